// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "chart/QcpOverlay.h"

#include <QObject>
#include <QPointer>

namespace k12 {

class ChartModel;

// Y zoom and pan with Ctrl held, handed to the window as a new range: the wheel zooms by 1.25 a
// step around the value under the mouse, dragging moves the range with the mouse.
class QcpZoomY : public QObject {
  public:
    QcpZoomY(QCustomPlot* plot, ChartModel& model);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QPointer<QCustomPlot> plot_;
    ChartModel& model_;
    PressTracker press_;
    QCPRange pressRange_;
    int wheelRest_ = 0;
};

} // namespace k12
