// SPDX-License-Identifier: GPL-3.0-or-later
#include "chart/QcpZoomX.h"

#include "chart/ChartModel.h"

#include <QMouseEvent>
#include <QWheelEvent>
#include <cmath>

namespace k12 {

int WheelSteps(int angleDelta, int& rest) {
    constexpr int kNotch = 120;
    rest += angleDelta;
    const int steps = rest / kNotch;
    rest -= steps * kNotch;
    return steps;
}

QcpZoomX::QcpZoomX(QCustomPlot* plot, ChartModel& model)
    : QObject(plot), plot_(plot), model_(model) {
    plot->installEventFilter(this);
}

bool QcpZoomX::eventFilter(QObject*, QEvent* event) {
    const ChartReader& reader = model_.reader();
    const PlotRows rows(plot_, reader);
    switch (event->type()) {
    case QEvent::Wheel: {
        auto* e = static_cast<QWheelEvent*>(event);
        const QPoint pos = e->position().toPoint();
        if (e->modifiers().testFlag(Qt::ControlModifier) || !rows.inPlot(pos)) {
            return false;
        }
        const int steps = WheelSteps(e->angleDelta().y(), wheelRest_);
        if (steps != 0 && reader.zoomX) {
            const QRect area = plot_->axisRect()->rect();
            const double at = static_cast<double>(pos.x() - area.left()) / area.width();
            reader.zoomX(steps, rows.rowAt(pos.x()), at);
        }
        return true;
    }
    case QEvent::MouseButtonPress: {
        auto* e = static_cast<QMouseEvent*>(event);
        const QPoint pos = e->position().toPoint();
        if (e->button() == Qt::LeftButton && !e->modifiers().testFlag(Qt::ControlModifier) &&
            rows.inPlot(pos)) {
            press_.press(pos, e->modifiers());
        }
        return false;
    }
    case QEvent::MouseMove: {
        auto* e = static_cast<QMouseEvent*>(event);
        const QPoint pos = e->position().toPoint();
        const bool start = press_.move(pos);
        if (press_.dragging() && reader.panX) {
            const double perRow = rows.pixelOf(1.0) - rows.pixelOf(0.0);
            if (perRow > 0.0 && std::isfinite(perRow)) {
                reader.panX((pos.x() - press_.origin().x()) / perRow, start);
            }
        }
        return false;
    }
    case QEvent::MouseButtonRelease:
        press_.release();
        return false;
    case QEvent::MouseButtonDblClick: {
        auto* e = static_cast<QMouseEvent*>(event);
        if (e->button() == Qt::LeftButton && rows.inPlot(e->position().toPoint()) &&
            reader.showAll) {
            reader.showAll();
        }
        return false;
    }
    default:
        return false;
    }
}

} // namespace k12
