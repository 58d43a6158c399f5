// SPDX-License-Identifier: GPL-3.0-or-later
#include "chart/QcpMarkers.h"

#include "platform/Fonts.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <algorithm>

namespace k12 {

namespace {

using Marker = ChartModel::Marker;

constexpr int kBoxInset = 6;

} // namespace

QcpMarkers::QcpMarkers(QCustomPlot* plot, ChartModel& model)
    : QObject(plot), plot_(plot), model_(model),
      drawing_(new OverlayDrawing(plot, [this](QCPPainter* p) { paint(p); })),
      box_(QFont(GothicFamily(), 9)) {
    // Takes the keyboard when clicked, for Esc.
    plot->setFocusPolicy(Qt::ClickFocus);
    plot->installEventFilter(this);
}

bool QcpMarkers::eventFilter(QObject*, QEvent* event) {
    const PlotRows rows(plot_, model_.reader());
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto* e = static_cast<QMouseEvent*>(event);
        const QPoint pos = e->position().toPoint();
        clickSetMarker_ = false;
        if (e->button() == Qt::LeftButton && rows.inPlot(pos)) {
            press_.press(pos, e->modifiers());
        }
        return false;
    }
    case QEvent::MouseMove:
        press_.move(static_cast<QMouseEvent*>(event)->position().toPoint());
        return false;
    case QEvent::MouseButtonRelease: {
        const bool click = press_.pressed() && !press_.dragging() &&
                           !press_.modifiers().testFlag(Qt::ControlModifier);
        press_.release();
        if (click) {
            if (const auto row = rows.nearestRow(press_.origin().x())) {
                beforeClick_[0] = model_.marker(Marker::A);
                beforeClick_[1] = model_.marker(Marker::B);
                const bool b = press_.modifiers().testFlag(Qt::ShiftModifier);
                model_.setMarker(b ? Marker::B : Marker::A, row);
                clickSetMarker_ = true;
            }
        }
        return false;
    }
    case QEvent::MouseButtonDblClick:
        // Only a double-click on the plot, whose first click set a marker, takes it back.
        if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton && clickSetMarker_) {
            model_.setMarker(Marker::A, beforeClick_[0]);
            model_.setMarker(Marker::B, beforeClick_[1]);
        }
        clickSetMarker_ = false;
        return false;
    case QEvent::KeyPress:
        if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape &&
            (model_.marker(Marker::A) || model_.marker(Marker::B))) {
            model_.setMarker(Marker::A, std::nullopt);
            model_.setMarker(Marker::B, std::nullopt);
            return true;
        }
        return false;
    default:
        return false;
    }
}

void QcpMarkers::update(bool replot) {
    const auto a = model_.marker(Marker::A);
    const auto b = model_.marker(Marker::B);
    const ChartReader& reader = model_.reader();
    lines_ = a && b && reader.markerBox ? reader.markerBox(*a, *b) : QList<ChartTextLine>();
    linesRevision_ = model_.dataRevision();
    if (replot) {
        drawing_->replot();
    }
}

void QcpMarkers::refresh() {
    if (!lines_.isEmpty() && model_.dataRevision() != linesRevision_) {
        update(false);
    }
}

std::optional<int> QcpMarkers::column(Marker m) const {
    const PlotRows rows(plot_, model_.reader());
    const auto row = model_.marker(m);
    if (!row || !rows.shows(*row)) {
        return std::nullopt;
    }
    return rows.columnOf(*row);
}

QRect QcpMarkers::boxRect() const {
    const QList<ChartTextLine> lines = boxLines();
    if (lines.isEmpty()) {
        return {};
    }
    // At the bottom left of the plot area, running past its right edge when it must.
    const QRect area = plot_->axisRect()->rect();
    const QSize size = box_.size(lines);
    const QRect viewport = plot_->viewport();
    const int left = std::max(viewport.left(),
                              std::min(area.left() + kBoxInset, viewport.right() - size.width()));
    const int top = std::max(viewport.top(), area.bottom() - kBoxInset - size.height());
    return QRect(QPoint(left, top), size);
}

void QcpMarkers::paint(QCPPainter* painter) {
    const QRect area = plot_->axisRect()->rect();
    QPen pen(QColor(40, 40, 40), 1, Qt::DashLine);
    const QFontMetrics fm(plot_->font());
    for (const auto& [m, name] : {std::pair{Marker::A, "A"}, std::pair{Marker::B, "B"}}) {
        const auto x = column(m);
        if (!x) {
            continue;
        }
        painter->setPen(pen);
        painter->drawLine(QPoint(*x, area.top()), QPoint(*x, area.bottom()));
        const QString label = QString::fromLatin1(name);
        const int width = fm.horizontalAdvance(label) + 6;
        // Right of the line, or left of it at the plot's right edge.
        const int left = *x + 2 + width <= area.right() ? *x + 2 : *x - 2 - width;
        const QRect tag(left, area.top() + 2, width, fm.height());
        painter->setPen(Qt::NoPen);
        painter->setBrush(QColor(40, 40, 40));
        painter->drawRect(tag);
        painter->setPen(Qt::white);
        painter->drawText(tag, Qt::AlignCenter, label);
    }
    if (const QRect box = boxRect(); !box.isEmpty()) {
        box_.draw(painter, box, boxLines());
    }
}

} // namespace k12
