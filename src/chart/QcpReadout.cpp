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
    const ChartReader& reader = model_.reader();
    const int32_t stored = reader.rows ? reader.rows() : 0;
    const QCPRange range = plot_->xAxis->range();
    std::optional<int32_t> row;
    if (!replot && row_ != 0 && pos == mouse_ && range == rangeX_ && stored == rows_) {
        // A still pointer over the same rows stays on its row, though the plot may have moved a
        // little (Y tick labels widening as the Y range changes).
        row = row_;
    } else if (rows.inPlot(pos)) {
        row = rows.nearestRow(pos.x());
    }
    if (!row || !rows.shows(*row)) {
        hide(replot);
        return;
    }
    mouse_ = pos;
    rangeX_ = range;
    rows_ = stored;
    if (*row != row_ || !replot) {
        row_ = *row;
        lines_ = ShownLines(reader.readout ? reader.readout(row_) : QList<ChartTextLine>(), model_);
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

QRect QcpReadout::boxRect() const {
    if (row_ == 0 || lines_.isEmpty()) {
        return {};
    }
    return PlaceBox(plot_->axisRect()->rect(), plot_->viewport(),
                    PlotRows(plot_, model_.reader()).columnOf(row_), mouse_.y(), box_.size(lines_),
                    avoid_ ? avoid_() : QRect());
}

void QcpReadout::paint(QCPPainter* painter) {
    if (row_ == 0) {
        return;
    }
    const QRect area = plot_->axisRect()->rect();
    const int x = PlotRows(plot_, model_.reader()).columnOf(row_);
    painter->setPen(QPen(QColor(70, 70, 70), 1));
    painter->drawLine(QPoint(x, area.top()), QPoint(x, area.bottom()));
    if (!lines_.isEmpty()) {
        box_.draw(painter, boxRect(), lines_);
    }
}

} // namespace k12
