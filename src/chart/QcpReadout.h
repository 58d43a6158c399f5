// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "chart/QcpOverlay.h"

#include <QObject>
#include <QPointer>

namespace k12 {

class ChartModel;

// The values under the cursor: over the plot area a thin vertical line at the nearest row and a
// box beside it with what the reader gives for that row. The same text is the chart's accessible
// description while the mouse is over the plot. Drawn on the overlay alone.
class QcpReadout : public QObject {
  public:
    QcpReadout(QCustomPlot* plot, ChartModel& model);

    // The chart is about to be drawn again (new rows, another range): the row under a resting
    // mouse and its values are looked up again.
    void refresh();
    // Left out of pictures written from the chart.
    void setVisible(bool on) { drawing_->setVisible(on); }
    // The row shown, 0 when nothing is.
    int32_t row() const { return row_; }
    // Where the box stands, empty when none is shown; clear of what `avoid` gives when it can.
    QRect boxRect() const;
    void setAvoid(std::function<QRect()> avoid) { avoid_ = std::move(avoid); }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // replot: draw the overlay now; false when a replot of the whole chart follows anyway.
    void show(QPoint pos, bool replot);
    void hide(bool replot);
    void paint(QCPPainter* painter);

    QPointer<QCustomPlot> plot_;
    ChartModel& model_;
    OverlayDrawing* drawing_;
    TextBox box_;
    QPoint mouse_;
    int32_t row_ = 0;
    QList<ChartTextLine> lines_;
    // The X range and rows the row was looked up for.
    QCPRange rangeX_;
    int32_t rows_ = 0;
    std::function<QRect()> avoid_;
};

} // namespace k12
