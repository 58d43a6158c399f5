// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "chart/ChartModel.h"
#include "chart/QcpOverlay.h"

#include <QObject>
#include <QPointer>

namespace k12 {

// Two markers: a click on the plot (without dragging) puts marker A at the nearest row, a click
// with Shift marker B; Esc removes both. Each is a labelled vertical line; with both set a box
// shows what the reader gives for the rows between them. Drawn on the overlay alone.
class QcpMarkers : public QObject {
  public:
    QcpMarkers(QCustomPlot* plot, ChartModel& model);

    // The markers changed; draws them now unless a replot of the whole chart follows.
    void update(bool replot);
    // The chart is about to be drawn again: the box is worked out again when the points changed.
    void refresh();
    // The box's lines, those of hidden series left out; empty without both markers.
    QList<ChartTextLine> boxLines() const { return ShownLines(lines_, model_); }
    // Where the box stands, empty when none is shown.
    QRect boxRect() const;
    // The pixel column a marker's line is drawn in; none when it is not set or not in view.
    std::optional<int> column(ChartModel::Marker m) const;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void paint(QCPPainter* painter);

    QPointer<QCustomPlot> plot_;
    ChartModel& model_;
    OverlayDrawing* drawing_;
    TextBox box_;
    PressTracker press_;
    // The markers before the last click, for a double-click whose first click set one to undo.
    std::optional<int32_t> beforeClick_[2];
    bool clickSetMarker_ = false;
    QList<ChartTextLine> lines_;
    quint64 linesRevision_ = 0;
};

} // namespace k12
