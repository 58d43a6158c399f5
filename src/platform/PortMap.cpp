// SPDX-License-Identifier: GPL-3.0-or-later
#include "PortMap.h"

#include <QRegularExpression>
#include <algorithm>

namespace k12 {

namespace {

const QString kSection = QStringLiteral("Ports");

QString Key(int port) {
    return QStringLiteral("COM%1").arg(port);
}

} // namespace

QString DefaultPortDevice(int port) {
    return QStringLiteral("/dev/ttyS%1").arg(port - 1);
}

QString PortDevice(SettingsStore& store, int port) {
    store.reread();
    const QString mapped = store.read(kSection, Key(port), QString()).trimmed();
    return mapped.isEmpty() ? DefaultPortDevice(port) : mapped;
}

std::vector<PortAssignment> AssignedPorts(SettingsStore& store) {
    store.reread();
    static const QRegularExpression comKey(QStringLiteral("^COM([1-9][0-9]{0,2})$"));
    std::vector<PortAssignment> found;
    for (const QString& key : store.keys(kSection)) {
        const auto match = comKey.match(key);
        if (!match.hasMatch())
            continue;
        const int port = match.captured(1).toInt();
        const QString device = store.read(kSection, key, QString()).trimmed();
        // An empty value does not override the default, so it assigns nothing.
        if (port <= MAX_COM_PORT && !device.isEmpty())
            found.push_back({port, device});
    }
    std::sort(found.begin(), found.end(),
              [](const PortAssignment& a, const PortAssignment& b) { return a.port < b.port; });
    return found;
}

void AssignPort(SettingsStore& store, int port, const QString& device) {
    store.write(kSection, Key(port), device);
}

bool UnassignPort(SettingsStore& store, int port) {
    if (!store.keys(kSection).contains(Key(port)))
        return false;
    store.remove(kSection, Key(port));
    return true;
}

} // namespace k12
