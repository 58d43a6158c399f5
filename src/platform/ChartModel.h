#pragma once

#include "platform/Chart.h"

#include <QList>
#include <array>
#include <vector>

namespace k12 {

// Everything a chart holds, and when it redraws, independent of how it draws. The real chart and
// the test fake both derive from it so their semantics cannot drift apart.
//
// Storage: one shared X array (length = the largest point count) and one Y array per series;
// NaN marks "no value". A point is drawn only when both its X and its Y are set.
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

    // Number of redraws so far (initial construction not counted).
    int redrawCount() const { return redrawCount_; }
    int resetLabelsCount() const { return resetLabelsCount_; }
    bool batchOpen() const { return batchDepth_ > 0; }
    // Styles given to setSeriesStyleSolidNoMarker, in call order.
    const QList<int>& solidStyles() const { return solidStyles_; }

    // Raw arrays: NaN means no value. X is shared; its length is the largest point count.
    const std::vector<double>& xArray() const { return x_; }
    const std::vector<double>& yArray(int series) const { return series_.at(series - 1).y; }

  protected:
    // Half-open range of point indexes (0-based) whose key or value may have changed since the
    // last redraw; empty when lo >= hi.
    struct DirtyRange {
        int lo = 0;
        int hi = 0;
    };

    // Draws the current state once. Called by the policy above; dirtyRange() tells what changed.
    virtual void redraw() = 0;
    DirtyRange dirtyRange(int series) const { return series_.at(series - 1).dirty; }

  private:
    struct Series {
        std::vector<double> y;
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
    void fitX();

    std::vector<double> x_;
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
};

} // namespace k12
