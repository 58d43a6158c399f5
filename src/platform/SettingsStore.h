// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

namespace k12 {

// Per-user text settings addressed by section and key (application "K12INC").
class SettingsStore {
  public:
    virtual ~SettingsStore() = default;
    // The stored text, or defaultText when the key is absent.
    virtual QString read(const QString& section, const QString& key,
                         const QString& defaultText) const = 0;
    virtual void write(const QString& section, const QString& key, const QString& text) = 0;
    // The keys present in section.
    virtual QStringList keys(const QString& section) const = 0;
    virtual void remove(const QString& section, const QString& key) = 0;
    // Flushes pending writes; returns an empty string on success, else a description of the
    // failure that can be shown to the operator.
    virtual QString sync() = 0;
    // Takes in what other programs (k12inc-unit) changed in the file since this store last read
    // or wrote it, so that read() and keys() give what is stored now. Writes not synced yet are
    // kept and go on overriding the file's values.
    virtual void reread() = 0;
};

} // namespace k12
