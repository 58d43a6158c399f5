// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/SettingsStore.h"

#include <QMap>

namespace k12::test {

class FakeSettingsStore final : public SettingsStore {
  public:
    QString read(const QString& section, const QString& key,
                 const QString& defaultText) const override {
        return values.value(section + QLatin1Char('/') + key, defaultText);
    }
    void write(const QString& section, const QString& key, const QString& text) override {
        values.insert(section + QLatin1Char('/') + key, text);
        writes.append(section + QLatin1Char('/') + key);
    }
    QStringList keys(const QString& section) const override {
        QStringList found;
        const QString prefix = section + QLatin1Char('/');
        for (auto it = values.cbegin(); it != values.cend(); ++it) {
            if (it.key().startsWith(prefix) &&
                !it.key().mid(prefix.size()).contains(QLatin1Char('/')))
                found.append(it.key().mid(prefix.size()));
        }
        return found;
    }
    void remove(const QString& section, const QString& key) override {
        values.remove(section + QLatin1Char('/') + key);
    }
    QString sync() override { return syncError; }
    void reread() override {}

    QMap<QString, QString> values; // "Section/Key" -> text
    QStringList writes;            // keys in write order
    QString syncError;             // returned by sync()
};

} // namespace k12::test
