// SPDX-License-Identifier: GPL-3.0-or-later
#include "MeasInfo.h"

#include "measurement/Conversions.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <array>
#include <utility>

namespace k12 {

namespace {

// The context of the texts below in the translations.
struct SettingsTr {
    Q_DECLARE_TR_FUNCTIONS(Settings)
};

QString MflagKey(int i) {
    return QStringLiteral("Mflag%1").arg(i + 1);
}
QString PortKey(int i) {
    return QStringLiteral("CommPort%1").arg(i + 1);
}
const QString kTimerTypeKey = QStringLiteral("TimerType");
const QString kIntervalKey = QStringLiteral("IntervalTM");
const QString kContinueOnErrorKey = QStringLiteral("ContinueOnError");
const QString kContinueWhenFullKey = QStringLiteral("ContinueWhenFull");
const QString kSaveFolderKey = QStringLiteral("SaveFolder");
const QString kStopAfterMinutesKey = QStringLiteral("StopAfterMinutes");
const QString kClockAxisKey = QStringLiteral("ClockAxis");

// [Feed] keys and the members they fill.
const std::array<std::pair<QString, QString FeedSettings::*>, 6> kFeedKeys{{
    {QStringLiteral("Broker"), &FeedSettings::Broker},
    {QStringLiteral("Topic"), &FeedSettings::Topic},
    {QStringLiteral("ClientId"), &FeedSettings::ClientId},
    {QStringLiteral("Username"), &FeedSettings::Username},
    {QStringLiteral("PasswordFile"), &FeedSettings::PasswordFile},
    {QStringLiteral("CaFile"), &FeedSettings::CaFile},
}};

// [Alerts] keys High<n>, Low<n>, Change<n> and the texts they fill.
using AlertTexts = std::array<QString, ALERT_UNITS>;
const std::array<std::pair<QString, AlertTexts AlertSettings::*>, 3> kAlertKeys{{
    {QStringLiteral("High"), &AlertSettings::High},
    {QStringLiteral("Low"), &AlertSettings::Low},
    {QStringLiteral("Change"), &AlertSettings::Change},
}};

// Empty texts are left out of the file: absent and empty mean the same.
void WriteText(SettingsStore& settings, const QString& section, const QString& key,
               const QString& text) {
    if (text.trimmed().isEmpty()) {
        settings.remove(section, key);
    } else {
        settings.write(section, key, text.trimmed());
    }
}

// "True"/"False" in any letter case, or a number (non-zero is true).
std::optional<bool> TextToBool(const QString& text) {
    const QString t = text.trimmed();
    if (t.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0) {
        return true;
    }
    if (t.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0) {
        return false;
    }
    if (const auto v = TextToDouble(t)) {
        return *v != 0.0;
    }
    return std::nullopt;
}

bool ReadBool(const SettingsStore& settings, const QString& key, int defaultValue,
              const QString& section = kMeasInfoSection) {
    const QString text = settings.read(section, key, QString::number(defaultValue));
    return TextToBool(text).value_or(defaultValue != 0);
}

int16_t ReadInt16(const SettingsStore& settings, const QString& key, int16_t defaultValue) {
    const QString text = settings.read(kMeasInfoSection, key, QString::number(defaultValue));
    return TextToInt16(text).value_or(defaultValue);
}

QString BoolText(bool v) {
    return v ? QStringLiteral("True") : QStringLiteral("False");
}

// Why no file can be made in folder (the system's reason), or an empty string. Trying it is
// the only sure test: permission bits do not show a read-only mount or a full inode table. A
// named file, as the pieces will be: a temporary file may be made without a name.
QString WriteProblem(const QString& folder) {
    QFile probe(QDir(folder).filePath(
        QStringLiteral(".k12inc-probe-%1").arg(QRandomGenerator::global()->generate64(), 0, 16)));
    if (!probe.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        return probe.errorString();
    }
    probe.close();
    if (!probe.remove()) {
        return probe.errorString();
    }
    return {};
}

} // namespace

void LoadOptions(MeasurementStore& store, const SettingsStore& settings) {
    store.ContinueOnError = ReadBool(settings, kContinueOnErrorKey, 0, kOptionsSection);
    store.ContinueWhenFull = ReadBool(settings, kContinueWhenFullKey, 0, kOptionsSection);
    store.SaveFolder = settings.read(kOptionsSection, kSaveFolderKey, QString());
    // A duration out of range counts as none rather than as some other limit.
    bool ok = false;
    const int minutes = settings.read(kOptionsSection, kStopAfterMinutesKey, QStringLiteral("0"))
                            .trimmed()
                            .toInt(&ok);
    store.StopAfterMinutes = ok && minutes >= 0 && minutes <= MAX_RUN_MINUTES ? minutes : 0;
    store.ClockAxis = ReadBool(settings, kClockAxisKey, 0, kOptionsSection);
    for (const auto& [key, member] : kFeedKeys) {
        store.Feed.*member = settings.read(kFeedSection, key, QString()).trimmed();
    }
    for (const auto& [key, member] : kAlertKeys) {
        for (int u = 0; u < ALERT_UNITS; ++u) {
            (store.Alerts.*member)[size_t(u)] =
                settings.read(kAlertsSection, key + QString::number(u + 1), QString()).trimmed();
        }
    }
}

void WriteOptions(const MeasurementStore& store, SettingsStore& settings) {
    settings.write(kOptionsSection, kContinueOnErrorKey, BoolText(store.ContinueOnError));
    settings.write(kOptionsSection, kContinueWhenFullKey, BoolText(store.ContinueWhenFull));
    settings.write(kOptionsSection, kSaveFolderKey, store.SaveFolder);
    settings.write(kOptionsSection, kStopAfterMinutesKey, QString::number(store.StopAfterMinutes));
    settings.write(kOptionsSection, kClockAxisKey, BoolText(store.ClockAxis));
    for (const auto& [key, member] : kFeedKeys) {
        WriteText(settings, kFeedSection, key, store.Feed.*member);
    }
    for (const auto& [key, member] : kAlertKeys) {
        for (int u = 0; u < ALERT_UNITS; ++u) {
            WriteText(settings, kAlertsSection, key + QString::number(u + 1),
                      (store.Alerts.*member)[size_t(u)]);
        }
    }
}

void LoadMeasInfo(MeasurementStore& store, const SettingsStore& settings) {
    static constexpr int kMflagDefaults[UNIT_COUNT] = {1, 0, 0, 0};
    for (int i = 0; i < UNIT_COUNT; ++i) {
        store.Units[static_cast<size_t>(i)].Mflag =
            ReadBool(settings, MflagKey(i), kMflagDefaults[i]);
    }
    for (int i = 0; i < UNIT_COUNT; ++i) {
        store.Units[static_cast<size_t>(i)].ComPort =
            ReadInt16(settings, PortKey(i), static_cast<int16_t>(i + 1));
    }
    store.TimerType = ReadBool(settings, kTimerTypeKey, 1);
    store.IntervalTM = ReadInt16(settings, kIntervalKey, 1000);
}

QString SaveMeasInfo(const MeasurementStore& store, SettingsStore& settings) {
    for (int i = 0; i < UNIT_COUNT; ++i) {
        settings.write(kMeasInfoSection, MflagKey(i),
                       BoolText(store.Units[static_cast<size_t>(i)].Mflag));
    }
    for (int i = 0; i < UNIT_COUNT; ++i) {
        settings.write(kMeasInfoSection, PortKey(i),
                       QString::number(store.Units[static_cast<size_t>(i)].ComPort));
    }
    settings.write(kMeasInfoSection, kTimerTypeKey, BoolText(store.TimerType));
    settings.write(kMeasInfoSection, kIntervalKey, QString::number(store.IntervalTM));

    const QString error = settings.sync();
    if (error.isEmpty()) {
        return {};
    }
    return SettingsTr::tr("測定条件を保存できませんでした。\n%1").arg(error);
}

QString BadIntervalText() {
    return SettingsTr::tr("時間の入力に誤りがあります。");
}

QString BadPortText() {
    return SettingsTr::tr("ポート番号の設定に誤りがあります。");
}

QString SharedPortText() {
    return SettingsTr::tr("同じポート番号の設定があります。");
}

std::optional<QString> SaveFolderProblem(const QString& folder) {
    const QFileInfo info(folder);
    if (folder.isEmpty()) {
        return SettingsTr::tr("保存先のフォルダーが指定されていません。");
    }
    if (!info.exists()) {
        return SettingsTr::tr("保存先のフォルダーがありません。\n%1").arg(folder);
    }
    if (!info.isDir()) {
        return SettingsTr::tr("保存先がフォルダーではありません。\n%1").arg(folder);
    }
    if (const QString reason = WriteProblem(folder); !reason.isEmpty()) {
        return SettingsTr::tr("保存先のフォルダーに書き込めません。\n%1\n%2").arg(folder, reason);
    }
    return std::nullopt;
}

} // namespace k12
