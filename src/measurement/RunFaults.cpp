// SPDX-License-Identifier: GPL-3.0-or-later
#include "RunFaults.h"

#include <QStringList>
#include <algorithm>
#include <utility>

namespace k12 {

int32_t ImpliedRowCount(qint64 elapsedMs, int16_t intervalTM) {
    if (elapsedMs <= 0 || intervalTM <= 0) {
        return 0;
    }
    return static_cast<int32_t>(std::min<qint64>(elapsedMs / intervalTM, MAX_SAMPLES));
}

void RunFaults::Reset() {
    units_ = {};
}

void RunFaults::MarkDown(int unit, const DeviceError& error, qint64 nowMs) {
    Unit& u = at(unit);
    u.down = true;
    u.lastError = error;
    u.lastAttemptMs = nowMs;
}

void RunFaults::MarkUp(int unit) {
    at(unit).down = false;
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

void RunFaults::SetPadTarget(int unit, int32_t count) {
    at(unit).padTarget = count;
}

std::optional<int32_t> RunFaults::TakePadTarget(int unit) {
    return std::exchange(at(unit).padTarget, std::nullopt);
}

void RunFaults::CountMissed(int unit, int32_t n) {
    at(unit).missed += std::max(0, n);
}

int32_t RunFaults::Missed(int unit) const {
    return at(unit).missed;
}

QString RunFaults::Summary() const {
    QStringList lines;
    for (int i = 0; i < UNIT_COUNT; ++i) {
        if (Missed(i) > 0) {
            lines
                << QStringLiteral("%1台目: %2件（%3）").arg(i + 1).arg(Missed(i)).arg(LastError(i));
        }
    }
    return lines.join(QLatin1Char('\n'));
}

void RunFaults::ClearMissed() {
    for (Unit& u : units_) {
        u.missed = 0;
    }
}

} // namespace k12
