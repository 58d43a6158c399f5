// SPDX-License-Identifier: GPL-3.0-or-later
#include "chart/QcpReadout.h"

#include "chart/ChartModel.h"
#include "platform/Fonts.h"

#include <QMouseEvent>

namespace k12 {

QcpReadout::QcpReadout(QCustomPlot* plot, ChartModel& model)
    : QObject(plot), plot_(plot), model_(model),
      drawing_(new OverlayDrawing(plot, [this](QCPPainter* p) { paint(p); })),
      box_(QFont(GothicFamily(), 9)) {
    plot->setMouseTracking(true);
    plot->installEventFilter(this);
}

bool QcpReadout::eventFilter(QObject*, QEvent* event) {
    switch (event->type()) {
    case QEvent::MouseMove:
        show(static_cast<QMouseEvent*>(event)->position().toPoint(), true);
        break;
    case QEvent::Leave:
        hide(true);
        break;
    default:
        break;
    }
    return false;
}

void QcpReadout::show(QPoint pos, bool replot) {
    const PlotRows rows(plot_, model_.reader());
    const auto row = rows.inPlot(pos) ? rows.nearestRow(pos.x()) : std::nullopt;
    if (!row || !rows.inPlot(QPoint(qRound(rows.pixelOf(*row)), pos.y()))) {
        hide(replot);
        return;
    }
    mouse_ = pos;
    if (*row != row_ || !replot) {
        row_ = *row;
        const ChartReader& reader = model_.reader();
        lines_ = reader.readout ? reader.readout(row_) : QList<ChartTextLine>();
        plot_->setAccessibleDescription(PlainText(lines_));
    }
    if (replot) {
        drawing_->replot();
    }
}

void QcpReadout::refresh() {
    if (row_ != 0) {
        show(mouse_, false);
    }
}

void QcpReadout::hide(bool replot) {
    if (row_ == 0) {
        return;
    }
    row_ = 0;
    lines_.clear();
    plot_->setAccessibleDescription(QString());
    if (replot) {
        drawing_->replot();
    }
}

void QcpReadout::paint(QCPPainter* painter) {
    if (row_ == 0) {
        return;
    }
    const QRect area = plot_->axisRect()->rect();
    const int x = qRound(PlotRows(plot_, model_.reader()).pixelOf(row_));
    painter->setPen(QPen(QColor(70, 70, 70), 1));
    painter->drawLine(QPoint(x, area.top()), QPoint(x, area.bottom()));
    if (!lines_.isEmpty()) {
        box_.draw(painter, PlaceBox(area, plot_->viewport(), x, mouse_.y(), box_.size(lines_)),
                  lines_);
    }
}

} // namespace k12
