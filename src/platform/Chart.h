// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>

class QWidget;

namespace k12 {

enum class ChartAxis { X, Y };

// One line of a box the chart shows over its plot; series 0 is drawn in black, series s in the
// colour of its line.
struct ChartTextLine {
    QString text;
    int series = 0;

    bool operator==(const ChartTextLine&) const = default;
};

// How the chart reads with the mouse: what it asks of the window that holds the samples and the
// visible range, and what it asks that window to do. The chart calls only what is set.
struct ChartReader {
    // Rows stored; row r lies at X = r * secondsPerRow.
    std::function<int32_t()> rows;
    std::function<double()> secondsPerRow;
    // The start of the measurement for a clock time axis; invalid when unknown.
    std::function<QDateTime()> startTime;
    // The box beside the cursor at a row, and the box of the markers at rows a and b.
    std::function<QList<ChartTextLine>(int32_t row)> readout;
    std::function<QList<ChartTextLine>(int32_t a, int32_t b)> markerBox;

    // Wheel over the plot, steps > 0 zooming in; row is the row coordinate under the mouse and
    // at where the mouse stands across the plot, 0 at the left edge to 1 at the right.
    std::function<void(int steps, double row, double at)> zoomX;
    // Dragging: how many rows the line has been pulled to the right since the press (the window
    // moves the other way); start is true at the first call of a drag.
    std::function<void(double rows, bool start)> panX;
    // Back to showing all rows.
    std::function<void()> showAll;
    // A new Y range from zooming or dragging with Ctrl held.
    std::function<void(double min, double max)> rangeY;
    // The operator switched the clock time axis.
    std::function<void(bool on)> clockAxisChanged;
};

// The chart operations the program uses. Group 1 is the only chart group; series and points
// are counted from 1. A point that has received no value is a hole: it is not drawn and it
// breaks its series' line.
class Chart {
  public:
    virtual ~Chart() = default;

    virtual QWidget* widget() = 0;

    // While suspended nothing is replotted; resuming draws once with every change.
    virtual void suspendRepaint() = 0;
    virtual void resumeRepaint() = 0;
    virtual bool isRepaintSuspended() const = 0;

    // A no-argument reset of a component collection; changes nothing visible.
    virtual void resetLabels() = 0;

    virtual void setSeriesCount(int count) = 0;
    virtual int seriesCount() const = 0;

    // Point changes between begin and end are taken over together at the end.
    virtual void beginBatch() = 0;
    virtual void endBatch() = 0;

    // Points beyond n are dropped, points up to n keep their values, new points are holes.
    virtual void setPointCount(int series, int n) = 0;
    virtual int pointCount(int series) const = 0;
    // The X value of point n is shared by every series.
    virtual void setXValue(int point, double x) = 0;
    virtual void setYValue(int series, int point, double y) = 0;
    virtual std::optional<double> xValue(int point) const = 0;
    virtual std::optional<double> yValue(int series, int point) const = 0;
    // Grows with every change of the points (series count, point counts, X and Y values), so a
    // caller can tell whether the points are still as it left them. A chart that does not track
    // its changes gives a new value each time, so nothing is ever taken as unchanged.
    virtual quint64 dataRevision() const {
        static std::atomic<quint64> calls{0};
        return ++calls;
    }

    // Solid line without markers (the only style the program sets).
    virtual void setSeriesStyleSolidNoMarker(int style) = 0;
    virtual void setSeriesLabels(const QStringList& labels) = 0;
    virtual QStringList seriesLabels() const = 0;

    virtual void setHeaderText(const QString& text) = 0;
    virtual QString headerText() const = 0;
    // Code 3: the header stands at the left of the chart's top edge.
    virtual void setHeaderPlacement(int code) = 0;

    virtual void setAxisTitle(ChartAxis axis, const QString& title) = 0;
    virtual QString axisTitle(ChartAxis axis) const = 0;
    virtual void setAxisRange(ChartAxis axis, double min, double max) = 0;
    virtual std::pair<double, double> axisRange(ChartAxis axis) const = 0;
    // Where the other axis crosses this one (only the Y axis is used).
    virtual void setAxisOrigin(ChartAxis axis, double value) = 0;

    // Writes the chart as drawn into a vector picture file; false on failure.
    virtual bool exportPicture(const QString& path) = 0;

    // Reading with the mouse (cursor readout, zoom and pan, markers, lines hidden from the
    // legend); a chart without it ignores these. The reader is called until it is replaced; a
    // window sets an empty one as it goes.
    virtual void setReader(ChartReader) {}
    // Removes the markers and shows every hidden line again.
    virtual void clearReading() {}
    // Removes the markers only (the lines stay as the operator left them).
    virtual void clearMarkers() {}
    // The X axis labelled with clock times (start time + elapsed) instead of seconds.
    virtual void setClockAxis(bool) {}
    virtual bool clockAxis() const { return false; }
};

} // namespace k12
