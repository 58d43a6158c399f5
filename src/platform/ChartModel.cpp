#include "platform/ChartModel.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace k12 {

namespace {

constexpr double kNone = std::numeric_limits<double>::quiet_NaN();

bool same(double a, double b) {
    return a == b || (std::isnan(a) && std::isnan(b));
}

} // namespace

void ChartModel::suspendRepaint() {
    suspended_ = true;
}

void ChartModel::resumeRepaint() {
    if (!suspended_) {
        return;
    }
    suspended_ = false;
    pending_ = true;
    if (batchDepth_ == 0) {
        flush();
    }
}

void ChartModel::endBatch() {
    if (batchDepth_ == 0) {
        return;
    }
    if (--batchDepth_ == 0 && pending_ && !suspended_) {
        flush();
    }
}

void ChartModel::changed() {
    pending_ = true;
    if (!suspended_ && batchDepth_ == 0) {
        flush();
    }
}

void ChartModel::flush() {
    redraw();
    for (Series& s : series_) {
        s.dirty = {};
    }
    pending_ = false;
    ++redrawCount_;
}

void ChartModel::widen(DirtyRange& r, int lo, int hi) {
    if (lo >= hi) {
        return;
    }
    if (r.lo >= r.hi) {
        r = {lo, hi};
    } else {
        r.lo = std::min(r.lo, lo);
        r.hi = std::max(r.hi, hi);
    }
}

void ChartModel::fitX() {
    std::size_t n = 0;
    for (const Series& s : series_) {
        n = std::max(n, s.y.size());
    }
    x_.resize(n, kNone);
}

void ChartModel::setSeriesCount(int count) {
    count = std::max(count, 0);
    if (count == seriesCount()) {
        return;
    }
    series_.resize(static_cast<std::size_t>(count));
    fitX();
    changed();
}

void ChartModel::setPointCount(int series, int n) {
    if (series < 1 || series > seriesCount()) {
        return;
    }
    n = std::max(n, 0);
    Series& s = series_[static_cast<std::size_t>(series - 1)];
    const int old = static_cast<int>(s.y.size());
    if (n == old) {
        return;
    }
    s.y.resize(static_cast<std::size_t>(n), kNone);
    if (n > old) {
        widen(s.dirty, old, n);
    } else {
        s.dirty.hi = std::min(s.dirty.hi, n);
    }
    fitX();
    changed();
}

int ChartModel::pointCount(int series) const {
    if (series < 1 || series > seriesCount()) {
        return 0;
    }
    return static_cast<int>(series_[static_cast<std::size_t>(series - 1)].y.size());
}

void ChartModel::setXValue(int point, double x) {
    if (point < 1 || point > static_cast<int>(x_.size())) {
        return;
    }
    const int i = point - 1;
    if (same(x_[static_cast<std::size_t>(i)], x)) {
        return;
    }
    x_[static_cast<std::size_t>(i)] = x;
    for (Series& s : series_) {
        if (i < static_cast<int>(s.y.size())) {
            widen(s.dirty, i, i + 1);
        }
    }
    changed();
}

void ChartModel::setYValue(int series, int point, double y) {
    if (series < 1 || series > seriesCount()) {
        return;
    }
    Series& s = series_[static_cast<std::size_t>(series - 1)];
    if (point < 1 || point > static_cast<int>(s.y.size())) {
        return;
    }
    const int i = point - 1;
    if (same(s.y[static_cast<std::size_t>(i)], y)) {
        return;
    }
    s.y[static_cast<std::size_t>(i)] = y;
    widen(s.dirty, i, i + 1);
    changed();
}

std::optional<double> ChartModel::xValue(int point) const {
    if (point < 1 || point > static_cast<int>(x_.size()) ||
        std::isnan(x_[static_cast<std::size_t>(point - 1)])) {
        return std::nullopt;
    }
    return x_[static_cast<std::size_t>(point - 1)];
}

std::optional<double> ChartModel::yValue(int series, int point) const {
    if (point < 1 || point > pointCount(series)) {
        return std::nullopt;
    }
    const double y =
        series_[static_cast<std::size_t>(series - 1)].y[static_cast<std::size_t>(point - 1)];
    if (std::isnan(y)) {
        return std::nullopt;
    }
    return y;
}

void ChartModel::setSeriesStyleSolidNoMarker(int style) {
    // Every series is always drawn solid without markers; only the call is recorded.
    solidStyles_.append(style);
}

void ChartModel::setSeriesLabels(const QStringList& labels) {
    if (labels == labels_) {
        return;
    }
    labels_ = labels;
    changed();
}

void ChartModel::setHeaderText(const QString& text) {
    if (text == header_) {
        return;
    }
    header_ = text;
    changed();
}

void ChartModel::setHeaderPlacement(int code) {
    if (code == headerPlacement_) {
        return;
    }
    headerPlacement_ = code;
    changed();
}

void ChartModel::setAxisTitle(ChartAxis axis, const QString& title) {
    Axis& a = axes_[index(axis)];
    if (title == a.title) {
        return;
    }
    a.title = title;
    changed();
}

void ChartModel::setAxisRange(ChartAxis axis, double min, double max) {
    Axis& a = axes_[index(axis)];
    if (same(a.min, min) && same(a.max, max)) {
        return;
    }
    a.min = min;
    a.max = max;
    changed();
}

std::pair<double, double> ChartModel::axisRange(ChartAxis axis) const {
    const Axis& a = axes_[index(axis)];
    return {a.min, a.max};
}

void ChartModel::setAxisOrigin(ChartAxis axis, double value) {
    Axis& a = axes_[index(axis)];
    if (a.origin && same(*a.origin, value)) {
        return;
    }
    a.origin = value;
    changed();
}

} // namespace k12
