// SPDX-License-Identifier: GPL-3.0-or-later
#include "chart/QcpZoomY.h"

#include "chart/ChartModel.h"
#include "chart/QcpZoomX.h"

#include <QMouseEvent>
#include <QWheelEvent>

namespace k12 {

namespace {

// Twice round the circle: wider shows nothing more of angles.
constexpr double kMaxSpan = 720.0;

} // namespace

QcpZoomY::QcpZoomY(QCustomPlot* plot, ChartModel& model)
    : QObject(plot), plot_(plot), model_(model) {
    plot->installEventFilter(this);
}

bool QcpZoomY::eventFilter(QObject*, QEvent* event) {
    const ChartReader& reader = model_.reader();
    const PlotRows rows(plot_, reader);
    QCPAxis* y = plot_->yAxis;
    switch (event->type()) {
    case QEvent::Wheel: {
        auto* e = static_cast<QWheelEvent*>(event);
        const QPoint pos = e->position().toPoint();
        if (!e->modifiers().testFlag(Qt::ControlModifier) || !rows.inPlot(pos)) {
            return false;
        }
        // Ctrl turns some mice's wheel sideways; either direction zooms.
        const QPoint delta = e->angleDelta();
        const int steps = WheelSteps(delta.y() != 0 ? delta.y() : delta.x(), wheelRest_);
        if (steps != 0 && reader.rangeY) {
            const auto [min, max] = ZoomAround(y->range().lower, y->range().upper,
                                               y->pixelToCoord(pos.y()), steps, kMaxSpan);
            reader.rangeY(min, max);
        }
        return true;
    }
    case QEvent::MouseButtonPress: {
        auto* e = static_cast<QMouseEvent*>(event);
        const QPoint pos = e->position().toPoint();
        if (e->button() == Qt::LeftButton && e->modifiers().testFlag(Qt::ControlModifier) &&
            rows.inPlot(pos)) {
            press_.press(pos, e->modifiers());
            pressRange_ = y->range();
        }
        return false;
    }
    case QEvent::MouseMove: {
        auto* e = static_cast<QMouseEvent*>(event);
        press_.move(e->position().toPoint());
        const int height = plot_->axisRect()->height();
        if (press_.dragging() && reader.rangeY && height > 0) {
            // The value under the press follows the mouse, at the scale the drag began with.
            const double perPixel = pressRange_.size() / height;
            const double shift = (e->position().y() - press_.origin().y()) * perPixel;
            reader.rangeY(pressRange_.lower + shift, pressRange_.upper + shift);
        }
        return false;
    }
    case QEvent::MouseButtonRelease:
        press_.release();
        return false;
    default:
        return false;
    }
}

} // namespace k12
