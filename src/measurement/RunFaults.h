// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "MeasurementStore.h"
#include "platform/DeviceError.h"

#include <QString>
#include <array>
#include <cstdint>
#include <optional>

namespace k12 {

// Rows a unit streaming since the start of a run has delivered after elapsedMs, at most
// MAX_SAMPLES.
int32_t ImpliedRowCount(qint64 elapsedMs, int16_t intervalTM);

// The state of a run that goes on through unit faults: which units are down and why, when a
// down unit may be tried again, and how many readings each unit missed.
class RunFaults {
  public:
    // The device-timer mode tries a down unit again at most this often.
    static constexpr qint64 RETRY_MS = 1000;

    void Reset();

    // The unit failed, or an attempt to bring it back failed; nowMs counts as an attempt.
    void MarkDown(int unit, const DeviceError& error, qint64 nowMs);
    void MarkUp(int unit);
    bool IsDown(int unit) const;
    std::array<bool, UNIT_COUNT> DownUnits() const;
    // The description of the unit's last error; empty when it never failed.
    QString LastError(int unit) const;
    bool RetryDue(int unit, qint64 nowMs) const;

    // The count a returning unit is padded to before its next value is stored.
    void SetPadTarget(int unit, int32_t count);
    std::optional<int32_t> PadTarget(int unit) const { return at(unit).padTarget; }
    std::optional<int32_t> TakePadTarget(int unit);

    void CountMissed(int unit, int32_t n);
    int32_t Missed(int unit) const;
    // One line per unit that missed readings, e.g. "1台目: 12件（タイムアウト）"; empty when none
    // did.
    QString Summary() const;
    void ClearMissed();

  private:
    struct Unit {
        bool down = false;
        std::optional<DeviceError> lastError;
        qint64 lastAttemptMs = 0;
        std::optional<int32_t> padTarget;
        int32_t missed = 0;
    };
    Unit& at(int unit) { return units_.at(static_cast<size_t>(unit)); }
    const Unit& at(int unit) const { return units_.at(static_cast<size_t>(unit)); }

    std::array<Unit, UNIT_COUNT> units_;
};

} // namespace k12
