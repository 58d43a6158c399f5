// SPDX-License-Identifier: GPL-3.0-or-later
#include "measurement/Directions.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace k12 {

double DirectionOfSums(double sumCos, double sumSin) {
    const double c = sumCos;
    const double s = sumSin;
    if (c == 0.0) {
        if (s == 0.0) {
            return 0.0;
        }
        return s > 0.0 ? 90.0 : -90.0;
    }
    const double t = std::atan(s / c) * 180.0 / PI_15;
    if (c < 0.0 && s >= 0.0) {
        return t + 180.0;
    }
    if (c < 0.0 && s < 0.0) {
        return t - 180.0;
    }
    return t;
}

std::optional<double> MeanDirection(const DirectionSum& sum) {
    if (sum.count <= 0 || std::hypot(sum.cos, sum.sin) < MIN_RESULTANT_LENGTH * sum.count) {
        return std::nullopt;
    }
    return DirectionOfSums(sum.cos, sum.sin);
}

void RunningDirections::reserve(int32_t rows) {
    const auto n = static_cast<std::size_t>(std::max(rows, 0)) + 1;
    cos_.reserve(n);
    sin_.reserve(n);
    count_.reserve(n);
}

void RunningDirections::extend(const float* values, int32_t end) {
    double c = cos_.back();
    double s = sin_.back();
    int32_t n = count_.back();
    for (int32_t r = size(); r < end; ++r) {
        const float v = values[r];
        if (v != hole_) {
            const double rad = DegreesToRadians(v);
            c += std::cos(rad);
            s += std::sin(rad);
            ++n;
        }
        cos_.push_back(c);
        sin_.push_back(s);
        count_.push_back(n);
    }
}

void RunningDirections::clear() {
    cos_.assign(1, 0.0);
    sin_.assign(1, 0.0);
    count_.assign(1, 0);
}

DirectionSum RunningDirections::over(int32_t first, int32_t end) const {
    const auto a = static_cast<std::size_t>(std::clamp(first, 0, size()));
    const auto b = static_cast<std::size_t>(std::clamp(end, 0, size()));
    if (a >= b) {
        return {};
    }
    return {cos_[b] - cos_[a], sin_[b] - sin_[a], count_[b] - count_[a]};
}

namespace {

// The lowest and highest angle that fell into a bucket, as angles in [-180, 180) and as the
// values they came from. Unused while lo > hi.
struct Bucket {
    float lo = std::numeric_limits<float>::infinity();
    float hi = -std::numeric_limits<float>::infinity();
    float loValue = 0.0f;
    float hiValue = 0.0f;
};

// A finite angle outside [-180, 180) brought into it.
float Normalized(float v) {
    const auto a = static_cast<float>(std::remainder(static_cast<double>(v), 360.0));
    return a >= 180.0f ? a - 360.0f : a < -180.0f ? a + 360.0f : a;
}

struct Gap {
    Arc arc;
    double width = 0.0;
};

// The largest gap between neighbouring angles that lies between buckets. Buckets split the circle
// evenly, so a gap inside one is narrower than a bucket: a gap found at least that wide is the
// largest of all.
std::optional<Gap> LargestGapBetween(const float* values, int32_t n, float hole,
                                     std::vector<Bucket>& buckets) {
    const auto count = static_cast<int>(buckets.size());
    const double perDegree = count / 360.0;
    for (int32_t i = 0; i < n; ++i) {
        const float v = values[i];
        if (v == hole) {
            continue;
        }
        float a = v;
        if (!(a >= -180.0f && a < 180.0f)) {
            // A value that is no angle at all has no place on the circle.
            if (!std::isfinite(v)) {
                continue;
            }
            a = Normalized(v);
        }
        const int k = std::min(static_cast<int>((a + 180.0) * perDegree), count - 1);
        Bucket& b = buckets[static_cast<std::size_t>(k)];
        if (a < b.lo) {
            b.lo = a;
            b.loValue = v;
        }
        if (a > b.hi) {
            b.hi = a;
            b.hiValue = v;
        }
    }
    const auto used = [](const Bucket& b) { return b.lo <= b.hi; };
    const auto first = std::find_if(buckets.begin(), buckets.end(), used);
    if (first == buckets.end()) {
        return std::nullopt;
    }
    const auto last = std::find_if(buckets.rbegin(), buckets.rend(), used);
    // Passing ±180 last, so that of equal gaps the one there wins.
    Gap best{{first->loValue, last->hiValue}, double(first->lo) + 360.0 - double(last->hi)};
    const Bucket* before = &*first;
    for (auto it = first + 1; it != buckets.end(); ++it) {
        if (!used(*it)) {
            continue;
        }
        const double width = double(it->lo) - double(before->hi);
        if (width > best.width) {
            best = {{it->loValue, before->hiValue}, width};
        }
        before = &*it;
    }
    return best;
}

constexpr int32_t kCoarseBuckets = 1024;

} // namespace

std::optional<Arc> ShortestArc(const float* values, int32_t n, float hole) {
    // Values that stay close together (a unit at rest, or turning slowly) leave a gap far wider
    // than a coarse bucket; only values spread thinly over the whole circle need a bucket each.
    std::vector<Bucket> buckets(static_cast<std::size_t>(std::clamp(n, 1, kCoarseBuckets)));
    auto gap = LargestGapBetween(values, n, hole, buckets);
    if (gap && n > kCoarseBuckets && !(gap->width > 360.0 / kCoarseBuckets)) {
        buckets.assign(static_cast<std::size_t>(n), Bucket());
        gap = LargestGapBetween(values, n, hole, buckets);
    }
    return gap ? std::optional<Arc>(gap->arc) : std::nullopt;
}

} // namespace k12
