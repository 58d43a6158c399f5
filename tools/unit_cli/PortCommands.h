// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>
#include <optional>

namespace k12 {

class SettingsStore;

// Runs "ports", "assign" or "unassign" on the settings store; nullopt when command is none of
// them. settingsFile names the store in messages; byIdFolder is where udev's stable names are.
// Returns the exit status; 2 means bad usage: the reason is printed on stderr in one line and
// the caller adds the usage text.
std::optional<int> RunPortCommand(const QString& command, const QStringList& args,
                                  SettingsStore& store, const QString& settingsFile,
                                  const QString& byIdFolder);

} // namespace k12
