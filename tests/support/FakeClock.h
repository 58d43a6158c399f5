// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Clock.h"

namespace k12::test {

class FakeClock final : public Clock {
  public:
    QDateTime now() const override { return current; }
    qint64 monotonicMs() const override { return monotonic; }
    // Moves both clocks forward.
    void advance(qint64 ms) {
        current = current.addMSecs(ms);
        monotonic += ms;
    }
    QDateTime current{QDate(2024, 3, 5), QTime(9, 7, 2)};
    qint64 monotonic = 0;
};

} // namespace k12::test
