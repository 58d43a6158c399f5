// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "SettingsStore.h"

#include <QString>
#include <vector>

namespace k12 {

// The program addresses units by COM number; section "Ports" of the settings store says which
// device each number stands for.
constexpr int MIN_COM_PORT = 1;
constexpr int MAX_COM_PORT = 256;

struct PortAssignment {
    int port = 0;
    QString device;
};

// "/dev/ttyS<n-1>": what COM number port stands for without an assignment.
QString DefaultPortDevice(int port);
// Both lookups reread the store first: k12inc-unit may change the assignments while the program
// runs, and they take effect at the next open or 取込設定.
// The device COM number port stands for: key "COM<n>" of section "Ports", else the default.
QString PortDevice(SettingsStore& store, int port);
// The assignments of COM numbers 1..256 in ascending order; other keys of the section are left
// out.
std::vector<PortAssignment> AssignedPorts(SettingsStore& store);
void AssignPort(SettingsStore& store, int port, const QString& device);
// Returns whether there was an assignment to remove.
bool UnassignPort(SettingsStore& store, int port);

} // namespace k12
