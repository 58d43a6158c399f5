// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "measurement/MeasurementStore.h"
#include "platform/PortMap.h"
#include "settings/MeasInfo.h"

#include <QMetaType>
#include <vector>

namespace k12::test {

// What a run is set up for, as 取込設定 leaves it: the units in use (indexes; unit i on COM
// i + 1), the timing, the options and the devices COM numbers stand for.
struct RunSetup {
    std::vector<int> units = {0};
    bool pcTimer = true;
    int interval = 1000;
    bool continueOnError = false;
    bool continueWhenFull = false;
    QString saveFolder{};
    int stopAfterMinutes = 0;
    std::vector<PortAssignment> devices{};
};

// Writes the setup as the program saves its settings.
inline void WriteSetup(const RunSetup& setup, SettingsStore& settings) {
    MeasurementStore s;
    for (int i = 0; i < UNIT_COUNT; ++i) {
        s.Units[i].ComPort = static_cast<int16_t>(i + 1);
    }
    for (int i : setup.units) {
        s.Units[i].Mflag = true;
    }
    s.TimerType = setup.pcTimer;
    s.IntervalTM = static_cast<int16_t>(setup.interval);
    s.ContinueOnError = setup.continueOnError;
    s.ContinueWhenFull = setup.continueWhenFull;
    s.SaveFolder = setup.saveFolder;
    s.StopAfterMinutes = setup.stopAfterMinutes;
    WriteOptions(s, settings);
    if (!SaveMeasInfo(s, settings).isEmpty()) {
        qFatal("the run setup could not be written");
    }
    for (const PortAssignment& d : setup.devices) {
        AssignPort(settings, d.port, d.device);
    }
}

} // namespace k12::test

Q_DECLARE_METATYPE(k12::test::RunSetup)
