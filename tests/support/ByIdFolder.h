// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFile>
#include <QTemporaryDir>

namespace k12::test {

// A folder of the test's own standing for /dev/serial/by-id: links named after adapters, made
// here or kept by the simulator (SimUnitConfig::linkPath follows a unit's pseudo-terminal the way
// a by-id link follows a USB adapter, and is gone while the unit is away).
class ByIdFolder {
  public:
    bool isValid() const { return dir_.isValid(); }
    QString path() const { return dir_.path(); }
    // The path of link `name` in the folder, made or not.
    QString linkPath(const QString& name) const { return dir_.filePath(name); }
    // Makes link `name` to `target` (which need not exist); its path, empty when it failed.
    QString link(const QString& name, const QString& target) const {
        return QFile::link(target, linkPath(name)) ? linkPath(name) : QString();
    }

  private:
    QTemporaryDir dir_;
};

} // namespace k12::test
