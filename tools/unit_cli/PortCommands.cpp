// SPDX-License-Identifier: GPL-3.0-or-later
#include "PortCommands.h"

#include "platform/PortMap.h"
#include "platform/SerialDevices.h"
#include "platform/SettingsStore.h"

#include <QTextStream>
#include <cstdio>

namespace k12 {

namespace {

std::optional<int> ComNumber(const QString& text) {
    bool ok = false;
    const int n = text.toInt(&ok);
    if (!ok || n < MIN_COM_PORT || n > MAX_COM_PORT)
        return std::nullopt;
    return n;
}

int Refuse(const QString& message) {
    QTextStream(stderr) << "k12inc-unit: " << message << "\n";
    return 1;
}

int Sync(SettingsStore& store) {
    const QString error = store.sync();
    return error.isEmpty() ? 0 : Refuse(error);
}

int Ports(const SettingsStore& store, const QString& settingsFile, const QString& byIdFolder) {
    QTextStream out(stdout);
    out << "Serial devices:\n";
    const auto devices = ListSerialDevices(byIdFolder);
    if (devices.empty())
        out << "  (none)\n";
    for (const SerialDevice& d : devices) {
        out << "  " << d.location << "\n";
        const auto field = [&out](const char* name, const QString& value) {
            if (!value.isEmpty())
                out << "    " << name << value << "\n";
        };
        field("description:   ", d.description);
        field("manufacturer:  ", d.manufacturer);
        field("serial number: ", d.serialNumber);
        for (const QString& link : d.byIdLinks)
            field("by-id:         ", link);
    }
    out << "COM numbers assigned in [Ports] of " << settingsFile << ":\n";
    const auto assigned = AssignedPorts(store);
    if (assigned.empty())
        out << "  (none)\n";
    for (const PortAssignment& a : assigned) {
        out << "  COM" << a.port << "  " << a.device << "  "
            << (DeviceExists(a.device) ? "present" : "missing") << "\n";
    }
    out << "Other COM numbers n stand for /dev/ttyS<n-1>.\n";
    return 0;
}

std::optional<int> Assign(QStringList args, SettingsStore& store, const QString& byIdFolder) {
    const bool force = !args.isEmpty() && args[0] == QLatin1String("--force");
    if (force)
        args.removeFirst();
    if (args.size() != 2)
        return std::nullopt;
    const auto port = ComNumber(args[0]);
    const QString device = args[1];
    if (!port || !device.startsWith(QLatin1Char('/')))
        return std::nullopt;
    if (!force && !DeviceExists(device))
        return Refuse(
            QStringLiteral("%1 does not exist (assign it anyway with --force)").arg(device));

    AssignPort(store, *port, device);
    if (const int rc = Sync(store))
        return rc;
    QTextStream out(stdout);
    out << "COM" << *port << " now stands for " << device << "\n";
    if (!device.startsWith(byIdFolder + QLatin1Char('/'))) {
        for (const QString& link : ByIdLinksTo(device, byIdFolder)) {
            out << "Note: " << link << " names the same device and keeps its name when the "
                << "adapter is plugged in again or elsewhere:\n  k12inc-unit assign " << *port
                << " " << link << "\n";
        }
    }
    return 0;
}

std::optional<int> Unassign(const QStringList& args, SettingsStore& store) {
    const auto port = args.size() == 1 ? ComNumber(args[0]) : std::nullopt;
    if (!port)
        return std::nullopt;
    const bool removed = UnassignPort(store, *port);
    if (const int rc = Sync(store))
        return rc;
    QTextStream(stdout) << "COM" << *port << (removed ? " now stands for " : " stands for ")
                        << DefaultPortDevice(*port) << (removed ? "" : " (it was not assigned)")
                        << "\n";
    return 0;
}

} // namespace

std::optional<int> RunPortCommand(const QString& command, const QStringList& args,
                                  SettingsStore& store, const QString& settingsFile,
                                  const QString& byIdFolder) {
    std::optional<int> rc;
    if (command == QLatin1String("ports"))
        rc = args.isEmpty() ? std::optional(Ports(store, settingsFile, byIdFolder)) : std::nullopt;
    else if (command == QLatin1String("assign"))
        rc = Assign(args, store, byIdFolder);
    else if (command == QLatin1String("unassign"))
        rc = Unassign(args, store);
    else
        return std::nullopt;
    return rc.value_or(2);
}

} // namespace k12
