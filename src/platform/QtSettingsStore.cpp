// SPDX-License-Identifier: GPL-3.0-or-later
#include "QtSettingsStore.h"

#include <QCoreApplication>

namespace k12 {

QtSettingsStore::QtSettingsStore()
    : settings_(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("K12INC"),
                QStringLiteral("K12INC")) {}

QtSettingsStore::QtSettingsStore(const QString& fileName)
    : settings_(fileName, QSettings::IniFormat) {}

QString QtSettingsStore::read(const QString& section, const QString& key,
                              const QString& defaultText) const {
    return settings_.value(section + QLatin1Char('/') + key, defaultText).toString();
}

void QtSettingsStore::write(const QString& section, const QString& key, const QString& text) {
    settings_.setValue(section + QLatin1Char('/') + key, text);
}

QStringList QtSettingsStore::keys(const QString& section) const {
    settings_.beginGroup(section);
    QStringList found = settings_.childKeys();
    settings_.endGroup();
    return found;
}

void QtSettingsStore::remove(const QString& section, const QString& key) {
    settings_.remove(section + QLatin1Char('/') + key);
}

QString QtSettingsStore::sync() {
    settings_.sync();
    switch (settings_.status()) {
    case QSettings::NoError:
        return {};
    case QSettings::AccessError:
        return QCoreApplication::translate("Settings", "設定ファイルに書き込めません: %1")
            .arg(settings_.fileName());
    case QSettings::FormatError:
        return QCoreApplication::translate("Settings", "設定ファイルの形式が正しくありません: %1")
            .arg(settings_.fileName());
    }
    return {};
}

void QtSettingsStore::reread() {
    // QSettings keeps the file in memory and reads it again only in sync(), when its size or
    // time stamp changed. The program writes only right before a sync, so this writes nothing
    // of its own (after a failed save it tries that save again).
    settings_.sync();
}

} // namespace k12
