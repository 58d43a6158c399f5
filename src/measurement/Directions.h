// SPDX-License-Identifier: GPL-3.0-or-later
// Angles as directions: how the units' streamed readings are averaged, shared by the unit link
// and the chart's statistics. Depends on nothing but the standard library, so the unit link,
// which the store builds on, can use it too.
#pragma once

namespace k12 {

// The value of pi the units' averaging uses, and degrees to radians with it.
inline constexpr double PI_15 = 3.14159265358979;
inline double DegreesToRadians(double x) {
    return x * PI_15 / 180.0;
}
// The direction in degrees, -180 to 180, of a sum of unit vectors (their cosines and sines): how
// streamed readings are averaged, so 179 and -179 average to 180. 0 for a zero sum.
double DirectionOfSums(double sumCos, double sumSin);

} // namespace k12
