// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "chart/QcpOverlay.h"

#include <QObject>
#include <QPointer>

namespace k12 {

class ChartModel;

// X zoom and pan, handed to the window as requests: the wheel over the plot zooms around the row
// under the mouse, dragging with the left button pulls the line, a double-click shows all rows.
// Ctrl held leaves the wheel and the drag to the Y axis.
class QcpZoomX : public QObject {
  public:
    QcpZoomX(QCustomPlot* plot, ChartModel& model);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QPointer<QCustomPlot> plot_;
    ChartModel& model_;
    PressTracker press_;
    int wheelRest_ = 0;
};

// Whole wheel notches in the delta plus what was left over from before (touchpads send parts).
int WheelSteps(int angleDelta, int& rest);

} // namespace k12
