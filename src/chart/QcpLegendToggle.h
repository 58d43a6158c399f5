// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "chart/QcpOverlay.h"

#include <QObject>
#include <QPointer>

namespace k12 {

class ChartModel;

// A click on a series' legend entry hides its line, or shows it again.
class QcpLegendToggle : public QObject {
  public:
    // graphOf gives the plottable of a series (1 to the series count), or nullptr.
    QcpLegendToggle(QCustomPlot* plot, ChartModel& model,
                    std::function<QCPAbstractPlottable*(int series)> graphOf);

    // The series whose legend entry lies at pos, 0 for none.
    int seriesAt(QPoint pos) const;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QPointer<QCustomPlot> plot_;
    ChartModel& model_;
    std::function<QCPAbstractPlottable*(int series)> graphOf_;
    int pressed_ = 0;
};

} // namespace k12
