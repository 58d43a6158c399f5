// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "measurement/MeasurementStore.h"
#include "platform/SettingsStore.h"

#include <QString>
#include <optional>

namespace k12 {

inline const QString kMeasInfoSection = QStringLiteral("MeasInfo");
inline const QString kOptionsSection = QStringLiteral("Options");
inline const QString kFeedSection = QStringLiteral("Feed");
inline const QString kAlertsSection = QStringLiteral("Alerts");

// Reads the acquisition settings (units in use, ports, timer type, interval) into the store.
// A missing key, or a stored text that does not convert, gives that key's default.
void LoadMeasInfo(MeasurementStore& store, const SettingsStore& settings);

// Writes the acquisition settings and flushes them. Returns an empty string on success, else a
// message for the operator saying the settings were not saved and why.
[[nodiscard]] QString SaveMeasInfo(const MeasurementStore& store, SettingsStore& settings);

// Reads the options kept beside the acquisition settings (ContinueOnError, ContinueWhenFull with
// SaveFolder, StopAfterMinutes, ClockAxis; off by default), the live feed ([Feed]) and the alert
// limits ([Alerts]). Feed and alert texts are taken as they are, checked where they are used.
void LoadOptions(MeasurementStore& store, const SettingsStore& settings);

// Writes the options without flushing them; SaveMeasInfo flushes everything written. An empty
// [Feed] or [Alerts] text is removed from the file rather than written.
void WriteOptions(const MeasurementStore& store, SettingsStore& settings);

// Why the pieces of a long run cannot be written into `folder`: none given, missing, not a folder,
// or not writable (tried by making a file there). A text for the operator, its lines apart.
std::optional<QString> SaveFolderProblem(const QString& folder);

// The settings dialog's refusals that the recorder gives for the same settings: an interval the
// timing mode cannot take, a unit in use on an impossible COM number, two units on one.
QString BadIntervalText();
QString BadPortText();
QString SharedPortText();

} // namespace k12
