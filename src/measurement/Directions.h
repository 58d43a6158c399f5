// SPDX-License-Identifier: GPL-3.0-or-later
// Angles as directions: how the units' streamed readings are averaged, shared by the unit link
// and the chart's statistics. Depends on nothing but the standard library, so the unit link,
// which the store builds on, can use it too.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace k12 {

// The value of pi the units' averaging uses, and degrees to radians with it.
inline constexpr double PI_15 = 3.14159265358979;
inline double DegreesToRadians(double x) {
    return x * PI_15 / 180.0;
}
// The direction in degrees, -180 to 180, of a sum of unit vectors (their cosines and sines): how
// streamed readings are averaged, so 179 and -179 average to 180. 0 for a zero sum.
double DirectionOfSums(double sumCos, double sumSin);

// Below this mean resultant length the directions cancel: no mean direction stands out.
inline constexpr double MIN_RESULTANT_LENGTH = 1e-6;

// The unit vectors of `count` directions, summed.
struct DirectionSum {
    double cos = 0.0;
    double sin = 0.0;
    int32_t count = 0;

    DirectionSum& operator+=(const DirectionSum& o) {
        cos += o.cos;
        sin += o.sin;
        count += o.count;
        return *this;
    }
};
// The mean direction as DirectionOfSums gives it; none without values or where they cancel.
std::optional<double> MeanDirection(const DirectionSum& sum);

// Running sums of the unit vectors of a series of angles in degrees, the `hole` value left out,
// so the sum over any span of the rows summed so far is a difference of two.
class RunningDirections {
  public:
    explicit RunningDirections(float hole) : hole_(hole) {}

    // Rows summed so far.
    int32_t size() const { return static_cast<int32_t>(count_.size()) - 1; }
    // Room for sums of that many rows, so extending never copies them.
    void reserve(int32_t rows);
    // Sums rows size() to end - 1 of values.
    void extend(const float* values, int32_t end);
    void clear();
    // The sum over rows first to end - 1 (0-based), within the rows summed.
    DirectionSum over(int32_t first, int32_t end) const;

  private:
    float hole_;
    // Entry r sums rows 0 to r - 1.
    std::vector<double> cos_{0.0};
    std::vector<double> sin_{0.0};
    std::vector<int32_t> count_{0};
};

// The shortest arc that holds every angle of a series: from `first` counter-clockwise (the way
// angles grow) to `last`, both values of the series as they are. Of two arcs equally short, the
// one that does not pass ±180 is taken.
struct Arc {
    float first = 0.0f;
    float last = 0.0f;

    bool operator==(const Arc&) const = default;
};
// Linear in n: the arc leaves out the largest gap between neighbouring angles, found with
// buckets. None when every value is the hole.
std::optional<Arc> ShortestArc(const float* values, int32_t n, float hole);

} // namespace k12
