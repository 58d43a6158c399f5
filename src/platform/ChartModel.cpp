// SPDX-License-Identifier: GPL-3.0-or-later
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

void ChartModel::fitRows() {
    int n = 0;
    for (const Series& s : series_) {
        n = std::max(n, s.count);
    }
    if (n != rows_) {
        rows_ = n;
        cells_.resize(cell(rows_, 0), kNone);
    }
}

void ChartModel::setSeriesCount(int count) {
    count = std::max(count, 0);
    if (count == seriesCount()) {
        return;
    }
    // Re-lay the rows out for the new width, keeping X and the remaining series.
    const int stride = count + 1;
    std::vector<double> cells(static_cast<std::size_t>(rows_) * static_cast<std::size_t>(stride),
                              kNone);
    const int keep = std::min(stride, stride_);
    for (int r = 0; r < rows_; ++r) {
        std::copy_n(cells_.begin() + static_cast<std::ptrdiff_t>(cell(r, 0)), keep,
                    cells.begin() + static_cast<std::ptrdiff_t>(r) * stride);
    }
    cells_ = std::move(cells);
    stride_ = stride;
    series_.resize(static_cast<std::size_t>(count));
    fitRows();
    ++dataRevision_;
    changed();
}

void ChartModel::setPointCount(int series, int n) {
    const auto si = static_cast<std::size_t>(series - 1);
    if (si >= series_.size()) {
        return;
    }
    Series& s = series_[si];
    n = std::max(n, 0);
    if (n == s.count) {
        return;
    }
    const int old = s.count;
    s.count = n;
    if (n > old) {
        widen(s.dirty, old, n);
        fitRows();
    } else {
        // Dropped points are cleared so that they come back as holes.
        for (int i = n; i < old; ++i) {
            cells_[cell(i, series)] = kNone;
        }
        s.dirty.hi = std::min(s.dirty.hi, n);
        fitRows();
    }
    ++dataRevision_;
    changed();
}

int ChartModel::pointCount(int series) const {
    const auto si = static_cast<std::size_t>(series - 1);
    return si < series_.size() ? series_[si].count : 0;
}

void ChartModel::setXValue(int point, double x) {
    const int i = point - 1;
    if (i < 0 || i >= rows_) {
        return;
    }
    double& slot = cells_[cell(i, 0)];
    if (same(slot, x)) {
        return;
    }
    slot = x;
    ++dataRevision_;
    for (Series& s : series_) {
        if (i < s.count) {
            widen(s.dirty, i, i + 1);
        }
    }
    changed();
}

void ChartModel::setYValue(int series, int point, double y) {
    const auto si = static_cast<std::size_t>(series - 1);
    if (si >= series_.size()) {
        return;
    }
    Series& s = series_[si];
    const int i = point - 1;
    if (i < 0 || i >= s.count) {
        return;
    }
    double& slot = cells_[cell(i, series)];
    if (same(slot, y)) {
        return;
    }
    slot = y;
    ++dataRevision_;
    widen(s.dirty, i, i + 1);
    changed();
}

std::optional<double> ChartModel::xValue(int point) const {
    if (point < 1 || point > rows_ || std::isnan(xAt(point - 1))) {
        return std::nullopt;
    }
    return xAt(point - 1);
}

std::optional<double> ChartModel::yValue(int series, int point) const {
    if (point < 1 || point > pointCount(series) || std::isnan(yAt(series, point - 1))) {
        return std::nullopt;
    }
    return yAt(series, point - 1);
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

void ChartModel::clearReading() {
    clearMarkers();
    if (!hidden_.empty()) {
        hidden_.clear();
        changed();
    }
}

void ChartModel::clearMarkers() {
    if (markers_[0] || markers_[1]) {
        markers_ = {};
        markersChanged();
    }
}

void ChartModel::setClockAxis(bool on) {
    if (on == clockAxis_) {
        return;
    }
    clockAxis_ = on;
    changed();
}

void ChartModel::setMarker(Marker m, std::optional<int32_t> row) {
    auto& slot = markers_[m == Marker::A ? 0 : 1];
    if (slot == row) {
        return;
    }
    slot = row;
    markersChanged();
}

void ChartModel::setSeriesHidden(int series, bool hidden) {
    const auto it = std::find(hidden_.begin(), hidden_.end(), series);
    if (hidden == (it != hidden_.end())) {
        return;
    }
    if (hidden) {
        hidden_.push_back(series);
    } else {
        hidden_.erase(it);
    }
    changed();
}

bool ChartModel::seriesHidden(int series) const {
    return std::find(hidden_.begin(), hidden_.end(), series) != hidden_.end();
}

} // namespace k12
