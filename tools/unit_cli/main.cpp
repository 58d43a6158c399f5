// SPDX-License-Identifier: GPL-3.0-or-later
// k12inc-unit: talks to one angle unit through the unit driver, for diagnosis, and assigns
// COM numbers to serial devices.
#include "PortCommands.h"
#include "language/Language.h"
#include "measurement/Conversions.h"
#include "platform/DeviceError.h"
#include "platform/QtSerialPort.h"
#include "platform/QtSettingsStore.h"
#include "platform/SerialDevices.h"
#include "unit_link/ComDrv.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QStringList>
#include <QTimer>
#include <cstdio>
#include <memory>
#include <optional>

namespace {

// The context of the texts below in the translations.
struct UnitToolTr {
    Q_DECLARE_TR_FUNCTIONS(UnitTool)
};

constexpr const char* Usage = QT_TRANSLATE_NOOP(
    "UnitTool",
    "usage: k12inc-unit probe PORT\n"
    "       k12inc-unit get PORT [COUNT]\n"
    "       k12inc-unit log [--wait SECONDS] PORT INTERVAL COUNT\n"
    "       k12inc-unit ports\n"
    "       k12inc-unit assign [--force] N DEVICE\n"
    "       k12inc-unit unassign N\n"
    "\n"
    "  probe     open the port and check that the unit answers; prints OK\n"
    "  get       print COUNT single readings (default 1), one per line\n"
    "  log       stream with INTERVAL readings (1..100) averaged per value and print COUNT\n"
    "            values as they arrive; gives up when no value arrives for SECONDS (default:\n"
    "            the time INTERVAL readings take at 100 ms each, plus 5)\n"
    "  ports     list the serial devices present with their /dev/serial/by-id names, then the\n"
    "            COM numbers assigned in [Ports] and whether their devices exist now\n"
    "  assign    make COM number N (1..256) stand for DEVICE, an absolute path (best a\n"
    "            /dev/serial/by-id name); refuses a DEVICE that does not exist or is not a\n"
    "            character device (a folder, a plain file) unless --force\n"
    "  unassign  remove the assignment of COM number N, which then stands for /dev/ttyS<N-1>\n"
    "\n"
    "PORT is a COM number 1..256 (key COM<n> of section [Ports] in\n"
    "~/.config/K12INC/K12INC.ini, else /dev/ttyS<n-1>) or a device path starting with /.\n"
    "Testing aid: K12INC_SERIAL_BY_ID names a folder to use instead of /dev/serial/by-id.\n"
    "Exit status: 0 success, 1 device error (\"error <number>: <description>\" on stderr) or\n"
    "refused assignment, 2 bad usage (what is wrong on stderr, then this text).\n");

int usage() {
    std::fputs(UnitToolTr::tr(Usage).toUtf8().constData(), stderr);
    return 2;
}

// What is wrong in one line, then the usage.
int badUsage(const QString& problem) {
    std::fprintf(stderr, "k12inc-unit: %s\n", qPrintable(problem));
    return usage();
}

std::optional<int> positive(const QString& text) {
    bool ok = false;
    const int v = text.toInt(&ok);
    if (!ok || v < 1)
        return std::nullopt;
    return v;
}

void printValue(double v) {
    std::printf("%s\n", qPrintable(k12::FormatFixed3(v)));
    std::fflush(stdout);
}

// Runs the event loop until COUNT logged values were printed; throws on a failure.
void logValues(k12::ComDrv& drv, int interval, int count, int waitSeconds) {
    drv.LogStart(static_cast<int16_t>(interval));
    std::optional<k12::DeviceError> error;
    int printed = 0;
    QElapsedTimer sinceLast;
    sinceLast.start();
    QTimer poll;
    poll.setInterval(20);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (const auto failed = drv.PortFailure()) {
            error = *failed;
        } else {
            while (drv.GetLogLen() > 0 && printed < count) {
                printValue(drv.GetLog());
                ++printed;
                sinceLast.restart();
            }
            if (printed < count && sinceLast.elapsed() > qint64(waitSeconds) * 1000)
                error = k12::DeviceError(k12::link_error::Timeout,
                                         UnitToolTr::tr("timeout (no value for %1 s)").arg(waitSeconds));
        }
        if (error || printed == count)
            QCoreApplication::exit(0);
    });
    poll.start();
    QCoreApplication::exec();
    poll.stop();
    if (!error) {
        drv.LogStop();
    } else if (!drv.PortFailure()) {
        try {
            drv.LogStop(); // best effort: leave the unit quiet
        } catch (const k12::DeviceError&) {
        }
    }
    if (error)
        throw *error;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    k12::ChooseLanguage(k12::Language::English);
    QStringList args = QCoreApplication::arguments().mid(1);
    if (args.isEmpty())
        return badUsage(UnitToolTr::tr("missing command"));
    if (args[0] == QLatin1String("-h") || args[0] == QLatin1String("--help")) {
        std::fputs(UnitToolTr::tr(Usage).toUtf8().constData(), stdout);
        return 0;
    }
    const QString command = args.takeFirst();
    k12::QtSettingsStore store;
    const QString byIdFolder =
        QDir::cleanPath(qEnvironmentVariable("K12INC_SERIAL_BY_ID", k12::DefaultByIdFolder()));
    if (const auto rc = k12::RunPortCommand(command, args, store, store.fileName(), byIdFolder))
        return *rc == 2 ? usage() : *rc;

    static const QStringList driverCommands{QStringLiteral("probe"), QStringLiteral("get"),
                                            QStringLiteral("log")};
    if (!driverCommands.contains(command))
        return badUsage(UnitToolTr::tr("unknown command \"%1\"").arg(command));
    // "get: missing PORT", "log: unexpected argument \"x\"" and the like.
    const auto problem = [&command](const QString& text) {
        return badUsage(command + QStringLiteral(": ") + text);
    };
    const auto unexpected = [&problem](const QString& arg) {
        return problem(UnitToolTr::tr("unexpected argument \"%1\"").arg(arg));
    };

    std::optional<int> waitSeconds;
    if (command == QLatin1String("log") && !args.isEmpty() && args[0] == QLatin1String("--wait")) {
        if (args.size() < 2)
            return problem(UnitToolTr::tr("missing SECONDS after --wait"));
        const auto w = positive(args[1]);
        if (!w)
            return problem(
                UnitToolTr::tr("--wait \"%1\" is not a positive number of seconds").arg(args[1]));
        waitSeconds = *w;
        args.remove(0, 2);
    }
    if (args.isEmpty())
        return problem(UnitToolTr::tr("missing PORT"));

    // PORT: a device path, or a COM number mapped through the settings store.
    const QString portText = args.takeFirst();
    std::unique_ptr<k12::QtSerialPort> port;
    int16_t portNo = 0;
    if (portText.startsWith(QLatin1Char('/'))) {
        port = k12::QtSerialPort::ForDevice(portText);
    } else {
        const auto n = positive(portText);
        if (!n || *n > 256)
            return problem(
                UnitToolTr::tr("PORT \"%1\" is neither a COM number (1..256) nor a device path")
                    .arg(portText));
        portNo = static_cast<int16_t>(*n);
        port = std::make_unique<k12::QtSerialPort>(store);
    }

    int count = 1;
    int interval = 0;
    const auto notCount = [&problem](const QString& arg) {
        return problem(UnitToolTr::tr("COUNT \"%1\" is not a positive number").arg(arg));
    };
    if (command == QLatin1String("probe")) {
        if (!args.isEmpty())
            return unexpected(args[0]);
    } else if (command == QLatin1String("get")) {
        if (args.size() > 1)
            return unexpected(args[1]);
        if (args.size() == 1) {
            const auto c = positive(args[0]);
            if (!c)
                return notCount(args[0]);
            count = *c;
        }
    } else {
        if (args.size() < 2)
            return problem(args.isEmpty() ? UnitToolTr::tr("missing INTERVAL and COUNT")
                                          : UnitToolTr::tr("missing COUNT"));
        if (args.size() > 2)
            return unexpected(args[2]);
        bool ok = false;
        interval = args[0].toShort(&ok); // the range is the driver's to check
        if (!ok)
            return problem(UnitToolTr::tr("INTERVAL \"%1\" is not a number").arg(args[0]));
        const auto c = positive(args[1]);
        if (!c)
            return notCount(args[1]);
        count = *c;
    }

    k12::ComDrv drv(std::move(port));
    try {
        drv.DevOpen(portNo);
        if (command == QLatin1String("probe")) {
            std::printf("OK\n");
        } else if (command == QLatin1String("get")) {
            for (int i = 0; i < count; ++i)
                printValue(drv.GetDegree());
        } else {
            // The first value needs INTERVAL readings of 100 ms; a fixed wait would give up on
            // long intervals before it could arrive.
            logValues(drv, interval, count, waitSeconds.value_or((interval + 9) / 10 + 5));
        }
        drv.DevClose();
    } catch (const k12::DeviceError& e) {
        drv.DevClose();
        std::fflush(stdout);
        std::fprintf(
            stderr, "%s\n",
            qPrintable(
                UnitToolTr::tr("error %1: %2").arg(QString::number(e.number()), e.description())));
        return 1;
    }
    return 0;
}
