// SPDX-License-Identifier: GPL-3.0-or-later
#include "chart/QcpOverlay.h"

#include "chart/ChartModel.h"

#include <QApplication>
#include <QFontMetrics>
#include <algorithm>
#include <cmath>

namespace k12 {

namespace {

constexpr int kPadding = 4;
constexpr int kColumnGap = 10;
constexpr int kBoxGap = 8;

} // namespace

QColor SeriesColor(int series) {
    static const QColor colors[] = {QColor(255, 0, 0), QColor(0, 0, 205), QColor(255, 0, 255),
                                    QColor(34, 139, 34)};
    return series >= 1 && series <= 4 ? colors[series - 1] : QColor(Qt::black);
}

std::optional<int32_t> NearestRow(double row, int32_t rows) {
    if (rows < 1 || std::isnan(row)) {
        return std::nullopt;
    }
    return static_cast<int32_t>(std::clamp(std::round(row), 1.0, static_cast<double>(rows)));
}

std::pair<double, double> ZoomAround(double min, double max, double v, int steps, double maxSpan) {
    double f = std::pow(1.25, -steps);
    const double span = max - min;
    if (f > 1.0 && span > 0.0) {
        f = std::min(f, std::max(maxSpan / span, 1.0));
    }
    return {v - (v - min) * f, v + (max - v) * f};
}

namespace {

// Beside x at about y within bounds, as far as the box fits into them.
QRect Beside(const QRect& bounds, int x, int y, QSize size) {
    int left = x + kBoxGap;
    if (left + size.width() > bounds.right()) {
        left = x - kBoxGap - size.width();
    }
    left = std::max(bounds.left(), std::min(left, bounds.right() - size.width()));
    const int top = std::max(bounds.top(), std::min(y, bounds.bottom() - size.height()));
    return QRect(QPoint(left, top), size);
}

bool Fits(const QRect& bounds, QSize size) {
    return size.width() <= bounds.width() && size.height() <= bounds.height();
}

} // namespace

QRect PlaceBox(const QRect& area, const QRect& widget, int x, int y, QSize size,
               const QRect& avoid) {
    const QRect bounds = Fits(area, size) ? area : widget;
    const QRect box = Beside(bounds, x, y, size);
    if (avoid.isEmpty() || !box.intersects(avoid)) {
        return box;
    }
    // Above the box to avoid, else below it, else beside it; within the area first.
    for (const QRect& b : {bounds, widget}) {
        const QRect above(b.left(), b.top(), b.width(), avoid.top() - kBoxGap - b.top());
        const QRect below(b.left(), avoid.bottom() + kBoxGap + 1, b.width(),
                          b.bottom() - avoid.bottom() - kBoxGap);
        const QRect right(avoid.right() + kBoxGap + 1, b.top(), b.right() - avoid.right() - kBoxGap,
                          b.height());
        const QRect left(b.left(), b.top(), avoid.left() - kBoxGap - b.left(), b.height());
        for (const QRect& room : {above, below, right, left}) {
            if (Fits(room, size)) {
                return Beside(room, x, y, size);
            }
        }
    }
    return box;
}

QList<ChartTextLine> ShownLines(const QList<ChartTextLine>& lines, const ChartModel& model) {
    QList<ChartTextLine> out;
    for (const ChartTextLine& line : lines) {
        if (line.series < 1 || !model.seriesHidden(line.series)) {
            out.append(line);
        }
    }
    return out;
}

double PlotRows::secondsPerRow() const {
    const double s = reader_.secondsPerRow ? reader_.secondsPerRow() : 1.0;
    return s > 0.0 ? s : 1.0;
}

double PlotRows::rowAt(int x) const {
    return plot_->xAxis->pixelToCoord(x) / secondsPerRow();
}

double PlotRows::pixelOf(double row) const {
    return plot_->xAxis->coordToPixel(row * secondsPerRow());
}

std::optional<int32_t> PlotRows::nearestRow(int x) const {
    const QRect area = plot_->axisRect()->rect();
    const QCPRange range = plot_->xAxis->range();
    const double at = area.width() > 1 ? double(x - area.left()) / (area.width() - 1) : 0.0;
    const double row = (range.lower + std::clamp(at, 0.0, 1.0) * range.size()) / secondsPerRow();
    return NearestRow(row, reader_.rows ? reader_.rows() : 0);
}

bool PlotRows::shows(int32_t row) const {
    const QCPRange range = plot_->xAxis->range();
    // Rows are whole, the range's ends products of them: allow for their rounding.
    const double x = row * secondsPerRow();
    const double slack = range.size() * 1e-9;
    return x >= range.lower - slack && x <= range.upper + slack;
}

int PlotRows::columnOf(int32_t row) const {
    const QRect area = plot_->axisRect()->rect();
    return std::clamp(static_cast<int>(std::lround(pixelOf(row))), area.left(), area.right());
}

void PressTracker::press(QPoint pos, Qt::KeyboardModifiers modifiers) {
    origin_ = pos;
    modifiers_ = modifiers;
    pressed_ = true;
    dragging_ = false;
}

bool PressTracker::move(QPoint pos) {
    if (!pressed_ || dragging_) {
        return false;
    }
    dragging_ = (pos - origin_).manhattanLength() >= QApplication::startDragDistance();
    return dragging_;
}

QList<int> TextBox::columnWidths(const QList<ChartTextLine>& lines) const {
    const QFontMetrics fm(font_);
    QList<int> widths;
    for (const ChartTextLine& line : lines) {
        const QStringList cells = line.text.split(QLatin1Char('\t'));
        // A line of one cell runs over the columns instead of widening the first.
        if (cells.size() == 1) {
            continue;
        }
        for (qsizetype c = 0; c < cells.size(); ++c) {
            if (c >= widths.size()) {
                widths.append(0);
            }
            widths[c] = std::max(widths[c], fm.horizontalAdvance(cells[c]));
        }
    }
    return widths;
}

QSize TextBox::size(const QList<ChartTextLine>& lines) const {
    const QFontMetrics fm(font_);
    const QList<int> widths = columnWidths(lines);
    int width = 0;
    for (int w : widths) {
        width += w;
    }
    width += kColumnGap * static_cast<int>(std::max<qsizetype>(widths.size() - 1, 0));
    for (const ChartTextLine& line : lines) {
        if (!line.text.contains(QLatin1Char('\t'))) {
            width = std::max(width, fm.horizontalAdvance(line.text));
        }
    }
    return {width + 2 * kPadding, fm.height() * static_cast<int>(lines.size()) + 2 * kPadding};
}

void TextBox::draw(QCPPainter* painter, const QRect& box, const QList<ChartTextLine>& lines) const {
    painter->setPen(QPen(QColor(90, 90, 90)));
    // Opaque: a unit's coloured text must stay legible over a line of its own colour.
    painter->setBrush(Qt::white);
    painter->drawRect(box.adjusted(0, 0, -1, -1));
    painter->setFont(font_);
    const QFontMetrics fm(font_);
    const QList<int> widths = columnWidths(lines);
    int y = box.top() + kPadding;
    for (const ChartTextLine& line : lines) {
        painter->setPen(SeriesColor(line.series));
        const QStringList cells = line.text.split(QLatin1Char('\t'));
        int x = box.left() + kPadding;
        for (qsizetype c = 0; c < cells.size(); ++c) {
            const Qt::Alignment align = c == 0 ? Qt::AlignLeft : Qt::AlignRight;
            const int w = cells.size() == 1 ? box.width() - 2 * kPadding : widths[c];
            painter->drawText(QRect(x, y, w, fm.height()), align | Qt::AlignVCenter, cells[c]);
            x += w + kColumnGap;
        }
        y += fm.height();
    }
}

OverlayDrawing::OverlayDrawing(QCustomPlot* plot, std::function<void(QCPPainter*)> paint)
    : QCPLayerable(plot, QStringLiteral("overlay")), paint_(std::move(paint)) {}

void OverlayDrawing::replot() {
    if (QCPLayer* l = layer()) {
        l->replot();
    }
}

void OverlayDrawing::applyDefaultAntialiasingHint(QCPPainter* painter) const {
    applyAntialiasingHint(painter, false, QCP::aeOther);
}

QRect OverlayDrawing::clipRect() const {
    return parentPlot()->viewport();
}

void OverlayDrawing::draw(QCPPainter* painter) {
    paint_(painter);
}

QString PlainText(const QList<ChartTextLine>& lines) {
    QStringList out;
    for (const ChartTextLine& line : lines) {
        out << QString(line.text).replace(QLatin1Char('\t'), QLatin1Char(' '));
    }
    return out.join(QLatin1Char('\n'));
}

} // namespace k12
