// SPDX-License-Identifier: GPL-3.0-or-later
#include "PortCommands.h"

#include "platform/PortMap.h"
#include "platform/SerialDevices.h"
#include "platform/SettingsStore.h"

#include <QCoreApplication>
#include <QFile>
#include <QTextStream>
#include <cstdio>
#include <sys/stat.h>

namespace k12 {

namespace {

// The context of the texts below in the translations.
struct UnitToolTr {
    Q_DECLARE_TR_FUNCTIONS(UnitTool)
};

std::optional<int> ComNumber(const QString& text) {
    bool ok = false;
    const int n = text.toInt(&ok);
    if (!ok || n < MIN_COM_PORT || n > MAX_COM_PORT)
        return std::nullopt;
    return n;
}

void Say(const QString& message) {
    QTextStream(stderr) << "k12inc-unit: " << message << "\n";
}

int Refuse(const QString& message) {
    Say(message);
    return 1;
}

// The caller adds the usage text.
int BadUsage(const QString& message) {
    Say(message);
    return 2;
}

// Checks that args holds exactly the names given; else says what is missing or too much.
std::optional<int> CountArgs(const QString& command, const QStringList& args,
                             const QStringList& names) {
    if (args.size() < names.size())
        return BadUsage(UnitToolTr::tr("%1: missing %2")
                            .arg(command, names.mid(args.size()).join(UnitToolTr::tr(" and "))));
    if (args.size() > names.size())
        return BadUsage(
            UnitToolTr::tr("%1: unexpected argument \"%2\"").arg(command, args[names.size()]));
    return std::nullopt;
}

int NotAComNumber(const QString& command, const QString& text) {
    return BadUsage(UnitToolTr::tr("%1: \"%2\" is not a COM number (%3..%4)")
                        .arg(command, text)
                        .arg(MIN_COM_PORT)
                        .arg(MAX_COM_PORT));
}

bool IsCharacterDevice(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 && S_ISCHR(st.st_mode);
}

int Sync(SettingsStore& store) {
    const QString error = store.sync();
    return error.isEmpty() ? 0 : Refuse(error);
}

int Ports(SettingsStore& store, const QString& settingsFile, const QString& byIdFolder) {
    QTextStream out(stdout);
    out << UnitToolTr::tr("Serial devices:") << "\n";
    const auto devices = ListSerialDevices(byIdFolder);
    if (devices.empty())
        out << "  " << UnitToolTr::tr("(none)") << "\n";
    for (const SerialDevice& d : devices) {
        out << "  " << d.location << "\n";
        const auto field = [&out](const QString& name, const QString& value) {
            if (!value.isEmpty())
                out << "    " << name << value << "\n";
        };
        // Each name padded to the same width, in every language.
        field(UnitToolTr::tr("description:   "), d.description);
        field(UnitToolTr::tr("manufacturer:  "), d.manufacturer);
        field(UnitToolTr::tr("serial number: "), d.serialNumber);
        for (const QString& link : d.byIdLinks)
            field(UnitToolTr::tr("by-id:         "), link);
    }
    out << UnitToolTr::tr("COM numbers assigned in [Ports] of %1:").arg(settingsFile) << "\n";
    const auto assigned = AssignedPorts(store);
    if (assigned.empty())
        out << "  " << UnitToolTr::tr("(none)") << "\n";
    for (const PortAssignment& a : assigned) {
        out << "  COM" << a.port << "  " << a.device << "  "
            << (DeviceExists(a.device) ? UnitToolTr::tr("present") : UnitToolTr::tr("missing")) << "\n";
    }
    out << UnitToolTr::tr("Other COM numbers n stand for /dev/ttyS<n-1>.") << "\n";
    return 0;
}

int Assign(QStringList args, SettingsStore& store, const QString& byIdFolder) {
    const bool force = !args.isEmpty() && args[0] == QLatin1String("--force");
    if (force)
        args.removeFirst();
    if (const auto rc = CountArgs(QStringLiteral("assign"), args, {"N", "DEVICE"}))
        return *rc;
    const auto port = ComNumber(args[0]);
    const QString device = args[1];
    if (!port)
        return NotAComNumber(QStringLiteral("assign"), args[0]);
    if (!device.startsWith(QLatin1Char('/')))
        return BadUsage(UnitToolTr::tr("assign: DEVICE \"%1\" is not an absolute path").arg(device));
    if (!force && !DeviceExists(device))
        return Refuse(UnitToolTr::tr("%1 does not exist (assign it anyway with --force)").arg(device));
    // A folder or a plain file given by mistake would only fail at the next start.
    if (!force && !IsCharacterDevice(device))
        return Refuse(UnitToolTr::tr("%1 is not a character device (assign it anyway with "
                                "--force)")
                          .arg(device));

    AssignPort(store, *port, device);
    if (const int rc = Sync(store))
        return rc;
    QTextStream out(stdout);
    out << UnitToolTr::tr("COM%1 now stands for %2").arg(*port).arg(device) << "\n";
    if (!device.startsWith(byIdFolder + QLatin1Char('/'))) {
        for (const QString& link : ByIdLinksTo(device, byIdFolder)) {
            out << UnitToolTr::tr("Note: %1 names the same device and keeps its name when the adapter "
                             "is plugged in again or elsewhere:")
                       .arg(link)
                << "\n  k12inc-unit assign " << *port << " " << link << "\n";
        }
    }
    return 0;
}

int Unassign(const QStringList& args, SettingsStore& store) {
    if (const auto rc = CountArgs(QStringLiteral("unassign"), args, {"N"}))
        return *rc;
    const auto port = ComNumber(args[0]);
    if (!port)
        return NotAComNumber(QStringLiteral("unassign"), args[0]);
    const bool removed = UnassignPort(store, *port);
    if (const int rc = Sync(store))
        return rc;
    QTextStream(stdout) << (removed ? UnitToolTr::tr("COM%1 now stands for %2")
                                    : UnitToolTr::tr("COM%1 stands for %2 (it was not assigned)"))
                               .arg(*port)
                               .arg(DefaultPortDevice(*port))
                        << "\n";
    return 0;
}

} // namespace

std::optional<int> RunPortCommand(const QString& command, const QStringList& args,
                                  SettingsStore& store, const QString& settingsFile,
                                  const QString& byIdFolder) {
    if (command == QLatin1String("ports")) {
        if (const auto rc = CountArgs(command, args, {}))
            return *rc;
        return Ports(store, settingsFile, byIdFolder);
    }
    if (command == QLatin1String("assign"))
        return Assign(args, store, byIdFolder);
    if (command == QLatin1String("unassign"))
        return Unassign(args, store);
    return std::nullopt;
}

} // namespace k12
