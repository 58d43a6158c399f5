// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QString>

namespace k12::test {

// Replaces the settings file the way another program (k12inc-unit, an editor) does. QSettings
// objects of one process share their copy of a file, so a test's own QSettings is no second
// writer. The time stamp moves on by a second, so that the change shows even within one tick of
// the file system's clock.
inline bool ReplaceSettingsFile(const QString& fileName, const QByteArray& ini) {
    const QFileInfo before(fileName);
    const QDateTime stamp =
        before.exists() ? before.lastModified().addSecs(1) : QDateTime::currentDateTime();
    if (!QDir().mkpath(before.absolutePath()))
        return false;
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(ini) != ini.size() || !file.commit())
        return false;
    QFile written(fileName);
    return written.open(QIODevice::ReadWrite) &&
           written.setFileTime(stamp, QFileDevice::FileModificationTime);
}

} // namespace k12::test
