// SPDX-License-Identifier: GPL-3.0-or-later
#include "SerialDevices.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>
#include <algorithm>
#include <map>
#include <utility>

namespace k12 {

namespace {

// Link path -> canonical target, for the links that resolve.
std::map<QString, QString> ByIdTargets(const QString& byIdFolder) {
    std::map<QString, QString> targets;
    const QDir folder(byIdFolder);
    for (const QFileInfo& link :
         folder.entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot)) {
        const QString target = link.canonicalFilePath();
        if (link.isSymLink() && !target.isEmpty())
            targets.emplace(link.absoluteFilePath(), target);
    }
    return targets;
}

// "/dev/ttyS2" before "/dev/ttyS10".
bool LocationLess(const QString& a, const QString& b) {
    const auto split = [](const QString& s) {
        qsizetype i = s.size();
        while (i > 0 && s.at(i - 1).isDigit())
            --i;
        const QString digits = s.mid(i);
        return std::pair(s.left(i), digits.isEmpty() ? -1LL : digits.toLongLong());
    };
    return split(a) < split(b) || (split(a) == split(b) && a < b);
}

} // namespace

QString DefaultByIdFolder() {
    return QStringLiteral("/dev/serial/by-id");
}

std::vector<SerialDevice> ListSerialDevices(const QString& byIdFolder) {
    std::map<QString, SerialDevice> byLocation; // keyed by canonical path
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        const QString location = info.systemLocation();
        const QString canonical = QFileInfo(location).canonicalFilePath();
        SerialDevice& d = byLocation[canonical.isEmpty() ? location : canonical];
        d.location = location;
        d.description = info.description();
        d.manufacturer = info.manufacturer();
        d.serialNumber = info.serialNumber();
    }
    for (const auto& [link, target] : ByIdTargets(byIdFolder)) {
        SerialDevice& d = byLocation[target];
        if (d.location.isEmpty())
            d.location = target;
        d.byIdLinks.append(link);
    }
    std::vector<SerialDevice> devices;
    for (auto& [canonical, device] : byLocation)
        devices.push_back(std::move(device));
    std::sort(devices.begin(), devices.end(), [](const SerialDevice& a, const SerialDevice& b) {
        return LocationLess(a.location, b.location);
    });
    return devices;
}

QStringList ByIdLinksTo(const QString& device, const QString& byIdFolder) {
    const QString target = QFileInfo(device).canonicalFilePath();
    QStringList links;
    if (target.isEmpty())
        return links;
    for (const auto& [link, linkTarget] : ByIdTargets(byIdFolder)) {
        if (linkTarget == target && link != QFileInfo(device).absoluteFilePath())
            links.append(link);
    }
    return links;
}

bool DeviceExists(const QString& path) {
    return !path.isEmpty() && QFileInfo::exists(path);
}

} // namespace k12
