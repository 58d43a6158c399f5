// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "chart/ChartModel.h"

#include <QImage>
#include <QPointer>
#include <QVector>
#include <memory>
#include <vector>

class QCustomPlot;
class QCPGraphData;
class QCPTextElement;
class QCPItemStraightLine;
class QCPAxisTicker;
class QWidget;

namespace k12 {

namespace detail {
class HoleGraph;
}

class FileDialog;
class MessageBox;
class QcpChartMenu;
class QcpClockTicker;
class QcpMarkers;
class QcpReadout;

// The chart on a QCustomPlot widget. Each series is one graph whose data container holds one
// entry per point, in point order: key = the shared X, value = Y, or NaN for a hole (a point
// without an X takes the previous entry's key so the keys stay sorted). The graph thins the
// visible points itself to a first/min/max/last polyline per pixel column, breaking the line at
// every hole, so large series cost little to draw and holes are never bridged. The thinned line
// is kept between draws and only its changed end is redone, so a draw costs the same with 100 as
// with 88000 points per series as long as the X range and the widget's size stay.
//
// Changes reach the widget in redraw(): only the changed point ranges are copied into the
// containers, then a queued replot is requested. replotCount() counts those redraws.
//
// The mouse reads the chart through tools of their own (QcpReadout, QcpZoomX, QcpZoomY,
// QcpMarkers, QcpLegendToggle, QcpChartMenu); the cursor readout and the markers are drawn on the
// plot's overlay layer, so moving them does not draw the lines again.
class QcpChart final : public ChartModel {
  public:
    // The widget belongs to parent. Without one it belongs to this chart: a window that takes it
    // in must hand it back (setParent(nullptr)) before the window is destroyed, unless the chart
    // goes first.
    explicit QcpChart(QWidget* parent = nullptr);
    ~QcpChart() override;

    QWidget* widget() override;
    QCustomPlot* plot() const;

    // SVG of the widget's current look (vector text and lines); false when the file cannot be
    // written. An existing file is replaced only on success.
    bool exportPicture(const QString& path) override;
    // The chart as shown, at the widget's size, into a PNG (twice the pixels), SVG or PDF file
    // chosen by the name's extension; false with the reason. The cursor readout is left out.
    bool exportImage(const QString& path, QString* error);
    // The dialogs the context menu's "画像として保存..." uses; they must outlive the chart.
    void setDialogs(FileDialog& files, MessageBox& messages);

    QcpReadout* readout() const;
    QcpMarkers* markers() const;
    QcpChartMenu* menu() const;

    int replotCount() const { return redrawCount(); }
    // Renders what the widget shows at the given size; the plot's axes keep that layout
    // afterwards, so coordToPixel matches the image until the next draw.
    QImage render(int width, int height);
    // The thinned line of a series as the last draw used it, and as a thinning from scratch of
    // the current points for the axes as last laid out gives it; the two must be equal.
    QVector<QCPGraphData> thinnedLine(int series) const;
    QVector<QCPGraphData> thinnedLineFromScratch(int series) const;

  protected:
    void redraw() override;
    void markersChanged() override;

  private:
    void setUpPlot();
    void setUpTools();
    void applyHidden();
    void applyClockAxis();
    bool writeSvg(const QString& path, QString* error);
    bool writePng(const QString& path, QString* error);
    bool writePdf(const QString& path, QString* error);
    QSize exportSize() const;
    void apply();
    void syncGraphs();
    void pushSeries(int series);

    std::unique_ptr<QCustomPlot> owned_;
    QPointer<QCustomPlot> plot_;
    QCPTextElement* header_ = nullptr;
    QCPItemStraightLine* originLine_ = nullptr;
    std::vector<detail::HoleGraph*> graphs_;
    std::vector<bool> needFullPush_;
    QSharedPointer<QCPAxisTicker> secondsTicker_;
    QSharedPointer<QcpClockTicker> clockTicker_;
    QPointer<QcpReadout> readout_;
    QPointer<QcpMarkers> markers_;
    QPointer<QcpChartMenu> menu_;
};

} // namespace k12
