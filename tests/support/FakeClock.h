#pragma once

#include "platform/Clock.h"

namespace k12::test {

class FakeClock final : public Clock {
public:
    QDateTime now() const override { return current; }
    QDateTime current{QDate(2024, 3, 5), QTime(9, 7, 2)};
};

} // namespace k12::test
