// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <vector>

namespace k12 {

// A serial device present on the machine; texts the system does not know are empty.
struct SerialDevice {
    QString location; // e.g. "/dev/ttyUSB0"
    QString description;
    QString manufacturer;
    QString serialNumber;
    QStringList byIdLinks; // links in the by-id folder that point at the device
};

// "/dev/serial/by-id": udev's names that stay the same when an adapter is re-plugged.
QString DefaultByIdFolder();
// The serial devices Qt knows of, and the targets of the links in byIdFolder (udev puts only
// serial devices there), each with the links that point at it; sorted by location.
std::vector<SerialDevice> ListSerialDevices(const QString& byIdFolder);
// The links in byIdFolder that point at device (itself possibly a link), sorted.
QStringList ByIdLinksTo(const QString& device, const QString& byIdFolder);
// Whether path names something that exists now; a dangling link does not.
bool DeviceExists(const QString& path);

} // namespace k12
