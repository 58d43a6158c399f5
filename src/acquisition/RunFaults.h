// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "measurement/MeasurementStore.h"
#include "platform/DeviceError.h"

#include <QString>
#include <array>
#include <cstdint>
#include <optional>

namespace k12 {

// The run's row, counted from its start, whose time is nearest to `elapsedMs` after the start:
// where a value ending an interval then belongs (rows end at 1, 2, ... intervals).
qint64 RowAt(qint64 elapsedMs, int16_t intervalTM);

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
    // The unit stays up but delivered no reading.
    void NoteError(int unit, const DeviceError& error);
    bool IsDown(int unit) const;
    std::array<bool, UNIT_COUNT> DownUnits() const;
    // The description of the unit's last error; empty when it never failed.
    QString LastError(int unit) const;
    // What took the unit down (not a later failed attempt to bring it back).
    QString DownReason(int unit) const { return at(unit).downReason; }
    bool RetryDue(int unit, qint64 nowMs) const;

  private:
    struct Unit {
        bool down = false;
        std::optional<DeviceError> lastError;
        QString downReason;
        qint64 lastAttemptMs = 0;
    };
    Unit& at(int unit) { return units_.at(static_cast<size_t>(unit)); }
    const Unit& at(int unit) const { return units_.at(static_cast<size_t>(unit)); }

    std::array<Unit, UNIT_COUNT> units_;
};

} // namespace k12
