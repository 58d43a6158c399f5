// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "AngleAlerts.h"
#include "FeedSettings.h"
#include "unit_link/ComDrv.h"

#include <QString>
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

namespace k12 {

inline constexpr int UNIT_COUNT = 4;
static_assert(ALERT_UNITS == UNIT_COUNT);
inline constexpr int32_t MAX_SAMPLES = 88000;
inline constexpr float NO_DATA_VALUE = -999.0f;
inline constexpr int MEMO_COUNT = 5;
// The longest run duration that can be set: a year, in minutes.
inline constexpr int32_t MAX_RUN_MINUTES = 527040;

struct UnitRecord {
    std::vector<float> Data; // MAX_SAMPLES slots once InitDataArea ran
    bool Mflag = false;
    int16_t ComPort = 0;
    int32_t DataCount = 0;
};

// The measurement data shared by every window. One lives for the program's run; tests make
// their own.
struct MeasurementStore {
    std::array<UnitRecord, UNIT_COUNT> Units;
    int32_t SampleCount = 0;
    bool Measuring = false;
    int32_t DeviceTickCount = 0;
    bool TimerType = false; // true: PC timer
    int16_t IntervalTM = 0; // milliseconds
    // A run goes on through unit faults, leaving gaps where readings are missing.
    bool ContinueOnError = false;
    // A full store is saved as a piece into SaveFolder and the run goes on in an empty one.
    bool ContinueWhenFull = false;
    QString SaveFolder;
    // A run stops by itself after this many minutes; 0: no limit.
    int32_t StopAfterMinutes = 0;
    // The chart's X axis shows clock times instead of elapsed seconds.
    bool ClockAxis = false;
    // Rows published live to a broker while a run goes on; off unless Feed.Broker is set.
    FeedSettings Feed;
    // Limits on the units' values that raise an alert; texts as kept, checked at use.
    AlertSettings Alerts;
    QString StartTime;
    int32_t ViewWidth = 0;
    int32_t ViewStart = 0;
    int32_t ViewEnd = 0;
    int16_t XScaleMode = 0;
    float YMax = 0.0f;
    float YMin = 0.0f;
    int32_t PcTickCount = 0;
    int32_t PcTicksPerSample = 0;
    int32_t PcTimerInterval = 0;
    std::array<QString, MEMO_COUNT> Memo;
    bool SettingChanged = false;
    std::array<std::unique_ptr<ComDrv>, UNIT_COUNT> Drivers;
    // Changes whenever ClearData erases the data (a start, a file read, a settings change), so
    // whoever keeps a copy of the rows can tell whether they are still the store's; never the
    // same for two sets of data, also in different stores.
    quint64 DataId = 0;

    void InitDataArea();
    void ClearData();
    void ClearMemo();
};

} // namespace k12
