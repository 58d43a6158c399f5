// SPDX-License-Identifier: GPL-3.0-or-later
#include "MeasurementStore.h"

#include <algorithm>

namespace k12 {

void MeasurementStore::InitDataArea() {
    for (auto& unit : Units) {
        unit.Data.assign(MAX_SAMPLES, NO_DATA_VALUE);
    }
}

void MeasurementStore::ClearData() {
    for (auto& unit : Units) {
        unit.DataCount = 0;
        std::fill(unit.Data.begin(), unit.Data.end(), NO_DATA_VALUE);
    }
    SampleCount = 0;
    Measuring = false;
    DeviceTickCount = 0;
    StartTime = QString(19, QLatin1Char(' '));
    ++DataId;
}

void MeasurementStore::ClearMemo() {
    for (auto& line : Memo) {
        line.clear();
    }
}

} // namespace k12
