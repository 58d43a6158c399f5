// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "measurement/MeasurementStore.h"

#include <QString>
#include <QStringList>
#include <array>
#include <functional>
#include <optional>
#include <variant>

namespace k12 {

// What the command line asks for: a settings file, and single settings that override it.
struct RecordOptions {
    // Empty: the window program's settings file.
    QString configFile;
    std::optional<std::array<bool, UNIT_COUNT>> units;
    // Set together: the timing mode and its interval in milliseconds.
    std::optional<bool> pcTimer;
    int16_t interval = 0;
    bool continueOnError = false;
    std::optional<int32_t> minutes;
    std::optional<QString> folder;
    // The broker of the live feed, over the settings' [Feed] Broker.
    std::optional<QString> feed;
    bool quiet = false;
    bool help = false;
};

// The options (arguments without the program's name), or what is wrong with them in one line.
std::variant<RecordOptions, QString> ParseRecordArgs(const QStringList& args);

// Puts the options over the settings read into the store. The recorder always writes pieces, so
// ContinueWhenFull is on whatever the settings say; a relative folder is taken from the current
// one.
void ApplyRecordOptions(const RecordOptions& options, MeasurementStore& store);

// Why the settings cannot be measured with, beyond what the run engine refuses itself: an
// interval the timing mode cannot take, a unit in use on an impossible or shared COM number, no
// folder for the pieces (SaveFolderProblem), feed settings the feed cannot use
// (FeedSettingsProblem), alert limits that are not limits. The texts are those the settings
// dialog shows.
std::optional<QString> SettingsRefusal(const MeasurementStore& store);

// One line about what is measured: units with their COM numbers and devices, the timing, the
// folder, the duration, the ride-through, the feed and the alerts.
QString RunDescription(const MeasurementStore& store, const std::function<QString(int)>& device);

} // namespace k12
