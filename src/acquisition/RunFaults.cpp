// SPDX-License-Identifier: GPL-3.0-or-later
#include "RunFaults.h"

namespace k12 {

qint64 RowAt(qint64 elapsedMs, int16_t intervalTM) {
    if (elapsedMs <= 0 || intervalTM <= 0) {
        return 0;
    }
    return (elapsedMs + intervalTM / 2) / intervalTM;
}

void RunFaults::Reset() {
    units_ = {};
}

void RunFaults::MarkDown(int unit, const DeviceError& error, qint64 nowMs) {
    Unit& u = at(unit);
    if (!u.down) {
        u.downReason = error.description();
    }
    u.down = true;
    u.lastError = error;
    u.lastAttemptMs = nowMs;
}

void RunFaults::MarkUp(int unit) {
    at(unit).down = false;
}

void RunFaults::NoteError(int unit, const DeviceError& error) {
    at(unit).lastError = error;
}

bool RunFaults::IsDown(int unit) const {
    return at(unit).down;
}

std::array<bool, UNIT_COUNT> RunFaults::DownUnits() const {
    std::array<bool, UNIT_COUNT> down{};
    for (size_t i = 0; i < UNIT_COUNT; ++i) {
        down[i] = units_[i].down;
    }
    return down;
}

QString RunFaults::LastError(int unit) const {
    const Unit& u = at(unit);
    return u.lastError ? u.lastError->description() : QString();
}

bool RunFaults::RetryDue(int unit, qint64 nowMs) const {
    return nowMs - at(unit).lastAttemptMs >= RETRY_MS;
}

} // namespace k12
