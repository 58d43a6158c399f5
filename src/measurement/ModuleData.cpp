// SPDX-License-Identifier: GPL-3.0-or-later
#include "ModuleData.h"

#include "Conversions.h"

#include <QCoreApplication>

namespace k12 {

QString UnitFailureText(int unit, const DeviceError& error) {
    return QCoreApplication::translate("ModuleData", "%1台目: %2")
        .arg(unit + 1)
        .arg(error.description());
}

ModuleData::ModuleData(SerialPortFactory portFactory, MessageBox& messages)
    : portFactory_(std::move(portFactory)), messages_(messages) {}

ComDrv& ModuleData::Driver(int i) {
    auto& slot = Drivers.at(static_cast<size_t>(i));
    if (!slot) {
        slot = std::make_unique<ComDrv>(portFactory_());
    }
    return *slot;
}

template <typename Action> std::optional<QString> ModuleData::ForEachUnitInUse(Action action) {
    for (int i = 0; i < UNIT_COUNT; ++i) {
        if (!Units[static_cast<size_t>(i)].Mflag) {
            continue;
        }
        try {
            action(i, Driver(i));
        } catch (const DeviceError& e) {
            // The description alone: the operator sees exactly what the link reported. A line
            // that failed is named with its unit, since its text names only the device.
            return e.number() == serial_error::LineFailed ? UnitFailureText(i, e) : e.description();
        }
    }
    return std::nullopt;
}

bool ModuleData::Shown(const std::optional<QString>& failure) {
    if (failure) {
        messages_.show(*failure, kAppTitle, MsgButtons::Ok, MsgIcon::None);
    }
    return !failure;
}

std::optional<QString> ModuleData::OpenUnits() {
    return ForEachUnitInUse(
        [this](int i, ComDrv& drv) { drv.DevOpen(Units[static_cast<size_t>(i)].ComPort); });
}

std::optional<QString> ModuleData::PollUnits() {
    return ForEachUnitInUse([this](int i, ComDrv& drv) {
        const double v = drv.GetDegree();
        UnitRecord& unit = Units[static_cast<size_t>(i)];
        unit.Data.at(static_cast<size_t>(SampleCount)) = static_cast<float>(v);
        ++unit.DataCount;
    });
}

std::optional<QString> ModuleData::StartLogging() {
    const auto steps = static_cast<int16_t>(IntervalTM / 100);
    return ForEachUnitInUse([steps](int, ComDrv& drv) {
        try {
            drv.LogStart(steps);
        } catch (const DeviceError&) {
            // A unit left streaming by a program that ended without "STP" (killed, or the PC
            // lost power) has readings, or the late answer to the probe, before its "OK".
            // Stopped, it is asked once more; a unit that refuses again, or never answered, is
            // reported as before.
            if (drv.LastStartReply().isEmpty()) {
                throw;
            }
            drv.StopStream();
            drv.LogStart(steps);
        }
    });
}

std::optional<QString> ModuleData::StopLogging(const std::array<bool, UNIT_COUNT>& skip) {
    return ForEachUnitInUse([&skip](int i, ComDrv& drv) {
        if (!skip[static_cast<size_t>(i)]) {
            drv.LogStop();
        }
    });
}

bool ModuleData::DevOpenAll() {
    return Shown(OpenUnits());
}

void ModuleData::DevCloseAll() {
    for (int i = 0; i < UNIT_COUNT; ++i) {
        if (Units[static_cast<size_t>(i)].Mflag) {
            Driver(i).DevClose();
        }
    }
}

bool ModuleData::GetDegreeAll() {
    return Shown(PollUnits());
}

bool ModuleData::LogStartAll() {
    return Shown(StartLogging());
}

bool ModuleData::LogStopAll(const std::array<bool, UNIT_COUNT>& skip) {
    return Shown(StopLogging(skip));
}

bool ModuleData::SetPcTimer() {
    const double s = RoundHalfEven(IntervalTM / 1000.0);
    if (s < 1.0) {
        PcTimerInterval = 0;
        PcTicksPerSample = 0;
        return false;
    }
    PcTimerInterval = static_cast<int32_t>(s) * 1000;
    PcTicksPerSample = 1;
    return true;
}

void ModuleData::UnloadDrivers() {
    for (auto& drv : Drivers) {
        if (drv) {
            // Closing stops the receive timer and frees the port before the object goes.
            drv->DevClose();
            drv.reset();
        }
    }
}

} // namespace k12
