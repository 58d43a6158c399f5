// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "measurement/MeasurementStore.h"
#include "platform/DeviceError.h"

#include <QString>
#include <array>
#include <cstdint>
#include <optional>

namespace k12 {

// Rows a unit streaming since the start of a run has delivered after elapsedMs: the row whose time
// is nearest.
int32_t RowCountAt(qint64 elapsedMs, int16_t intervalTM);

// The state of a run that goes on through unit faults: which units are down and why, and when a
// down unit may be tried again.
class RunFaults {
  public:
    // The device-timer mode tries a down unit again at most this often.
    static constexpr qint64 RETRY_MS = 1000;

    void Reset();

    // The unit failed, or an attempt to bring it back failed; nowMs counts as an attempt.
    void MarkDown(int unit, const DeviceError& error, qint64 nowMs);
    void MarkUp(int unit);
    // The unit stays up but delivered no reading (the error the summary names).
    void NoteError(int unit, const DeviceError& error);
    bool IsDown(int unit) const;
    std::array<bool, UNIT_COUNT> DownUnits() const;
    // The description of the unit's last error; empty when it never failed.
    QString LastError(int unit) const;
    bool RetryDue(int unit, qint64 nowMs) const;

    // The count a returning unit is padded to before its next value is stored.
    void SetPadTarget(int unit, int32_t count);
    std::optional<int32_t> PadTarget(int unit) const { return at(unit).padTarget; }
    std::optional<int32_t> TakePadTarget(int unit);

  private:
    struct Unit {
        bool down = false;
        std::optional<DeviceError> lastError;
        qint64 lastAttemptMs = 0;
        std::optional<int32_t> padTarget;
    };
    Unit& at(int unit) { return units_.at(static_cast<size_t>(unit)); }
    const Unit& at(int unit) const { return units_.at(static_cast<size_t>(unit)); }

    std::array<Unit, UNIT_COUNT> units_;
};

// Readings each unit in use missed in the rows the store holds: the holes up to its own count,
// and up to the store's row count for a unit that is down, waiting for its first value since it
// came back, or behind in a full store of `fullRows` rows (its rows there are holes in the saved
// file).
std::array<int32_t, UNIT_COUNT> MissedReadings(const MeasurementStore& store,
                                               const RunFaults& faults,
                                               int32_t fullRows = MAX_SAMPLES);

// One line per unit that missed readings, e.g. "1台目: 12件（タイムアウト）"; empty when none did.
QString MissedSummary(const std::array<int32_t, UNIT_COUNT>& missed, const RunFaults& faults);

} // namespace k12
