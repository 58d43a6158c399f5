// SPDX-License-Identifier: GPL-3.0-or-later
// What the chart's mouse tools share: row lookups, the press/drag distinction, and drawing over
// the lines on the plot's buffered overlay layer, so the lines are not drawn again.
#pragma once

#include "chart/QcpInclude.h"
#include "platform/Chart.h"

#include <QColor>
#include <QPoint>
#include <functional>
#include <optional>

namespace k12 {

class ChartModel;

// The colour of a series' line (1 to 4), black for any other.
QColor SeriesColor(int series);

// The row nearest to a row coordinate among rows 1..rows; nullopt without rows.
std::optional<int32_t> NearestRow(double row, int32_t rows);

// The Y range zoomed by 1.25 per step (steps > 0 zooming in) around the value v; zooming out
// stops at maxSpan (or at the span there is, when wider).
std::pair<double, double> ZoomAround(double min, double max, double v, int steps, double maxSpan);

// Where a box of the given size stands beside x, at about y: right of x when it fits, else left
// of it, inside area, or inside the widget when it is larger than the area; clear of `avoid`,
// above or below it, when there is room for that.
QRect PlaceBox(const QRect& area, const QRect& widget, int x, int y, QSize size,
               const QRect& avoid = QRect());

// The lines of the series shown: a line of a hidden series is left out.
QList<ChartTextLine> ShownLines(const QList<ChartTextLine>& lines, const ChartModel& model);

// The plot's geometry as the tools need it, from the reader and the axes of the last draw.
class PlotRows {
  public:
    PlotRows(QCustomPlot* plot, const ChartReader& reader) : plot_(plot), reader_(reader) {}

    bool inPlot(QPoint pos) const { return plot_->axisRect()->rect().contains(pos); }
    double secondsPerRow() const;
    // The row coordinate at a pixel column, and the pixel column of a row.
    double rowAt(int x) const;
    double pixelOf(double row) const;
    // The stored row nearest to what a pixel column of the plot reads; nullopt without rows. The
    // axis's ends lie on the plot's outer edges, one pixel beyond its last column: so that both
    // can be read, the first column reads the lower end and the last column the upper end.
    std::optional<int32_t> nearestRow(int x) const;
    // Whether a row lies within the X axis's range, its ends included.
    bool shows(int32_t row) const;
    // The pixel column a row's line is drawn in, inside the plot.
    int columnOf(int32_t row) const;

  private:
    QCustomPlot* plot_;
    const ChartReader& reader_;
};

// A left-button press that becomes a drag once it has moved the platform's drag distance.
class PressTracker {
  public:
    void press(QPoint pos, Qt::KeyboardModifiers modifiers);
    // True when this move made the press a drag.
    bool move(QPoint pos);
    void release() { pressed_ = false; }

    bool pressed() const { return pressed_; }
    bool dragging() const { return pressed_ && dragging_; }
    QPoint origin() const { return origin_; }
    Qt::KeyboardModifiers modifiers() const { return modifiers_; }

  private:
    QPoint origin_;
    Qt::KeyboardModifiers modifiers_;
    bool pressed_ = false;
    bool dragging_ = false;
};

// Draws boxes of text lines: cells split by tabs line up in columns, the first one left-aligned
// and the others right-aligned; each line in its series' colour.
class TextBox {
  public:
    explicit TextBox(const QFont& font) : font_(font) {}
    QSize size(const QList<ChartTextLine>& lines) const;
    void draw(QCPPainter* painter, const QRect& box, const QList<ChartTextLine>& lines) const;

  private:
    QList<int> columnWidths(const QList<ChartTextLine>& lines) const;

    QFont font_;
};

// A layerable on the plot's "overlay" layer, which QCustomPlot keeps in a buffer of its own:
// replot() draws that buffer alone and repaints the widget.
class OverlayDrawing : public QCPLayerable {
  public:
    OverlayDrawing(QCustomPlot* plot, std::function<void(QCPPainter*)> paint);
    // Draws the overlay again (all of the plot when its buffers are not valid yet).
    void replot();

  protected:
    void applyDefaultAntialiasingHint(QCPPainter* painter) const override;
    QRect clipRect() const override;
    void draw(QCPPainter* painter) override;

  private:
    std::function<void(QCPPainter*)> paint_;
};

// The lines as the accessible description reads them: one per line, cells apart by blanks.
QString PlainText(const QList<ChartTextLine>& lines);

} // namespace k12
