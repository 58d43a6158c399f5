// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "SettingsStore.h"

#include <QSettings>

namespace k12 {

// The per-user INI file (XDG config folder, application "K12INC"), or another file of the same
// form.
class QtSettingsStore final : public SettingsStore {
  public:
    QtSettingsStore();
    explicit QtSettingsStore(const QString& fileName);
    QString read(const QString& section, const QString& key,
                 const QString& defaultText) const override;
    void write(const QString& section, const QString& key, const QString& text) override;
    QStringList keys(const QString& section) const override;
    void remove(const QString& section, const QString& key) override;
    QString sync() override;
    void reread() override;
    QString fileName() const { return settings_.fileName(); }
    // Whether the file read as settings (a file of another form gives FormatError).
    QSettings::Status status() const { return settings_.status(); }

  private:
    mutable QSettings settings_;
};

} // namespace k12
