// SPDX-License-Identifier: GPL-3.0-or-later
#include "RunFaults.h"

#include <QStringList>
#include <algorithm>
#include <utility>

namespace k12 {

int32_t RowCountAt(qint64 elapsedMs, int16_t intervalTM) {
    if (elapsedMs <= 0 || intervalTM <= 0) {
        return 0;
    }
    return static_cast<int32_t>(
        std::min<qint64>((elapsedMs + intervalTM / 2) / intervalTM, MAX_SAMPLES));
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

void RunFaults::SetPadTarget(int unit, int32_t count) {
    at(unit).padTarget = count;
}

std::optional<int32_t> RunFaults::TakePadTarget(int unit) {
    return std::exchange(at(unit).padTarget, std::nullopt);
}

std::array<int32_t, UNIT_COUNT> MissedReadings(const MeasurementStore& store,
                                               const RunFaults& faults, int32_t fullRows) {
    std::array<int32_t, UNIT_COUNT> missed{};
    for (int i = 0; i < UNIT_COUNT; ++i) {
        const UnitRecord& u = store.Units[i];
        if (!u.Mflag) {
            continue;
        }
        // A unit that is up and merely a row behind the others has not missed its last rows.
        const bool away =
            faults.IsDown(i) || faults.PadTarget(i).has_value() || store.SampleCount >= fullRows;
        const int32_t end = std::min<int32_t>(away ? store.SampleCount : u.DataCount,
                                              static_cast<int32_t>(u.Data.size()));
        missed[i] = static_cast<int32_t>(
            std::count(u.Data.begin(), u.Data.begin() + std::max(end, 0), NO_DATA_VALUE));
    }
    return missed;
}

QString MissedSummary(const std::array<int32_t, UNIT_COUNT>& missed, const RunFaults& faults) {
    QStringList lines;
    for (int i = 0; i < UNIT_COUNT; ++i) {
        if (missed[i] > 0) {
            lines << QStringLiteral("%1台目: %2件（%3）")
                         .arg(i + 1)
                         .arg(missed[i])
                         .arg(faults.LastError(i));
        }
    }
    return lines.join(QLatin1Char('\n'));
}

} // namespace k12
