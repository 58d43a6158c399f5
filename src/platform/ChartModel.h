// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Chart.h"

#include <QList>
#include <array>
#include <vector>

namespace k12 {

// Everything a chart holds, and when it redraws, independent of how it draws. The real chart and
// the test fake both derive from it so their semantics cannot drift apart.
//
// Storage: one row per point number up to the largest point count, holding the shared X and the
// Y of every series side by side (rows are written in point order, so this keeps the writes of a
// whole-chart rewrite sequential); NaN marks "no value". A point is drawn only when both its X
// and its Y are set.
//
// Redraw policy: every change that alters something calls redraw() at once, unless repainting is
// suspended or a batch is open; then one redraw follows at resume / at the outermost endBatch.
// Resuming always redraws once; an operation that changes nothing does not redraw.
class ChartModel : public Chart {
  public:
    void suspendRepaint() override;
    void resumeRepaint() override;
    bool isRepaintSuspended() const override { return suspended_; }

    void resetLabels() override { ++resetLabelsCount_; }

    void setSeriesCount(int count) override;
    int seriesCount() const override { return static_cast<int>(series_.size()); }

    void beginBatch() override { ++batchDepth_; }
    void endBatch() override;

    void setPointCount(int series, int n) override;
    int pointCount(int series) const override;
    void setXValue(int point, double x) override;
    void setYValue(int series, int point, double y) override;
    std::optional<double> xValue(int point) const override;
    std::optional<double> yValue(int series, int point) const override;
    quint64 dataRevision() const override { return dataRevision_; }

    void setSeriesStyleSolidNoMarker(int style) override;
    void setSeriesLabels(const QStringList& labels) override;
    QStringList seriesLabels() const override { return labels_; }

    void setHeaderText(const QString& text) override;
    QString headerText() const override { return header_; }
    void setHeaderPlacement(int code) override;
    int headerPlacement() const { return headerPlacement_; }

    void setAxisTitle(ChartAxis axis, const QString& title) override;
    QString axisTitle(ChartAxis axis) const override { return axes_[index(axis)].title; }
    void setAxisRange(ChartAxis axis, double min, double max) override;
    std::pair<double, double> axisRange(ChartAxis axis) const override;
    void setAxisOrigin(ChartAxis axis, double value) override;
    std::optional<double> axisOrigin(ChartAxis axis) const { return axes_[index(axis)].origin; }

    void setReader(ChartReader reader) override { reader_ = std::move(reader); }
    const ChartReader& reader() const { return reader_; }
    void clearReading() override;
    void clearMarkers() override;
    void setClockAxis(bool on) override;
    bool clockAxis() const override { return clockAxis_; }

    // The two markers, each at a row or not set.
    enum class Marker { A, B };
    void setMarker(Marker m, std::optional<int32_t> row);
    std::optional<int32_t> marker(Marker m) const { return markers_[m == Marker::A ? 0 : 1]; }
    // A hidden series keeps its points but draws no line.
    void setSeriesHidden(int series, bool hidden);
    bool seriesHidden(int series) const;

    // Number of redraws so far (initial construction not counted).
    int redrawCount() const { return redrawCount_; }
    int resetLabelsCount() const { return resetLabelsCount_; }
    bool batchOpen() const { return batchDepth_ > 0; }
    // Styles given to setSeriesStyleSolidNoMarker, in call order.
    const QList<int>& solidStyles() const { return solidStyles_; }

    // Raw values by 0-based point index below rowCount(); NaN means no value.
    int rowCount() const { return rows_; }
    double xAt(int index) const { return cells_[cell(index, 0)]; }
    double yAt(int series, int index) const { return cells_[cell(index, series)]; }

  protected:
    // Half-open range of point indexes (0-based) whose key or value may have changed since the
    // last redraw; empty when lo >= hi.
    struct DirtyRange {
        int lo = 0;
        int hi = 0;
    };

    // Draws the current state once. Called by the policy above; dirtyRange() tells what changed.
    virtual void redraw() = 0;
    // The markers moved: only what is drawn over the lines needs drawing again.
    virtual void markersChanged() {}
    DirtyRange dirtyRange(int series) const { return series_.at(series - 1).dirty; }

  private:
    struct Series {
        int count = 0;
        DirtyRange dirty;
    };
    struct Axis {
        QString title;
        double min = 0.0;
        double max = 1.0;
        std::optional<double> origin;
    };

    static int index(ChartAxis axis) { return axis == ChartAxis::X ? 0 : 1; }
    static void widen(DirtyRange& r, int lo, int hi);
    void changed();
    void flush();
    std::size_t cell(int index, int column) const {
        return static_cast<std::size_t>(index) * static_cast<std::size_t>(stride_) +
               static_cast<std::size_t>(column);
    }
    void fitRows();

    // rows_ x stride_ values; column 0 is X, column s is series s.
    std::vector<double> cells_;
    int rows_ = 0;
    int stride_ = 1;
    std::vector<Series> series_;
    QStringList labels_;
    QString header_;
    int headerPlacement_ = 0;
    std::array<Axis, 2> axes_;
    QList<int> solidStyles_;
    bool suspended_ = false;
    bool pending_ = false;
    int batchDepth_ = 0;
    int redrawCount_ = 0;
    int resetLabelsCount_ = 0;
    quint64 dataRevision_ = 0;
    ChartReader reader_;
    std::array<std::optional<int32_t>, 2> markers_;
    std::vector<int> hidden_;
    bool clockAxis_ = false;
};

} // namespace k12
