// SPDX-License-Identifier: GPL-3.0-or-later
#include "MeasurementStore.h"

#include <algorithm>
#include <atomic>

namespace k12 {

namespace {

// Unique across stores: data handed from one store to another keep their identity.
quint64 NewDataId() {
    static std::atomic<quint64> last{0};
    return ++last;
}

} // namespace

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
    DataId = NewDataId();
}

void MeasurementStore::ClearMemo() {
    for (auto& line : Memo) {
        line.clear();
    }
}

} // namespace k12
