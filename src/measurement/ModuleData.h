// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "MeasurementStore.h"
#include "platform/MessageBox.h"
#include "platform/SerialPort.h"

#include <functional>
#include <memory>
#include <optional>

namespace k12 {

using SerialPortFactory = std::function<std::unique_ptr<SerialPort>()>;

// The message for a unit whose line failed during a run: the unit ("1台目" .. "4台目") and the
// serial layer's description.
QString UnitFailureText(int unit, const DeviceError& error);

// The shared module: the store plus the procedures that act on every unit in use.
class ModuleData : public MeasurementStore {
  public:
    ModuleData(SerialPortFactory portFactory, MessageBox& messages);

    bool DevOpenAll();
    void DevCloseAll();
    bool GetDegreeAll();
    bool LogStartAll();
    // skip: units whose link is known to be closed (a unit down in a run that goes on).
    bool LogStopAll(const std::array<bool, UNIT_COUNT>& skip = {});

    // The same without a message box: the text the operator is to see about the first failure,
    // nullopt when every unit in use did it.
    std::optional<QString> OpenUnits();
    std::optional<QString> PollUnits();
    std::optional<QString> StartLogging();
    std::optional<QString> StopLogging(const std::array<bool, UNIT_COUNT>& skip = {});
    bool SetPcTimer();
    void UnloadDrivers();

    // The driver of unit i, created on first use.
    ComDrv& Driver(int i);
    MessageBox& Messages() { return messages_; }

  private:
    // Runs action(i, driver) for every unit in use, in index order; the first DeviceError ends
    // the loop and gives its text for the operator.
    template <typename Action> std::optional<QString> ForEachUnitInUse(Action action);
    // Shows the failure text, if any; true when there was none.
    bool Shown(const std::optional<QString>& failure);

    SerialPortFactory portFactory_;
    MessageBox& messages_;
};

} // namespace k12
