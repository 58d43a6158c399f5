// SPDX-License-Identifier: GPL-3.0-or-later
#include "measurement/Directions.h"

#include <cmath>

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

} // namespace k12
