// SPDX-License-Identifier: GPL-3.0-or-later
#include "chart/QcpLegendToggle.h"

#include "chart/ChartModel.h"

#include <QMouseEvent>

namespace k12 {

QcpLegendToggle::QcpLegendToggle(QCustomPlot* plot, ChartModel& model,
                                 std::function<QCPAbstractPlottable*(int series)> graphOf)
    : QObject(plot), plot_(plot), model_(model), graphOf_(std::move(graphOf)) {
    plot->installEventFilter(this);
}

int QcpLegendToggle::seriesAt(QPoint pos) const {
    if (!plot_->legend->visible()) {
        return 0;
    }
    for (int s = 1; s <= model_.seriesCount(); ++s) {
        QCPAbstractPlottable* graph = graphOf_(s);
        QCPPlottableLegendItem* item = graph ? plot_->legend->itemWithPlottable(graph) : nullptr;
        if (item && item->outerRect().contains(pos)) {
            return s;
        }
    }
    return 0;
}

bool QcpLegendToggle::eventFilter(QObject*, QEvent* event) {
    // The second press of a double-click comes as a double-click: it is a press all the same.
    const bool press =
        event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick;
    if (!press && event->type() != QEvent::MouseButtonRelease) {
        return false;
    }
    auto* e = static_cast<QMouseEvent*>(event);
    if (e->button() != Qt::LeftButton) {
        return false;
    }
    const int series = seriesAt(e->position().toPoint());
    if (press) {
        pressed_ = series;
    } else if (series != 0 && series == pressed_) {
        pressed_ = 0;
        model_.setSeriesHidden(series, !model_.seriesHidden(series));
    }
    return false;
}

} // namespace k12
