// SPDX-License-Identifier: GPL-3.0-or-later
// The k12inc-unit program against simulated units on pseudo-terminals.
#include "RunTool.h"
#include "UnitSimulator.h"

#include <QProcessEnvironment>
#include <QSettings>
#include <QTest>

using k12::SimUnitConfig;

namespace {

enum UnitIndex { Constant, Counter, Silent, Garbage };

std::vector<SimUnitConfig> units() {
    std::vector<SimUnitConfig> u(4);
    u[Counter].waveform = k12::Waveform::Counter;
    u[Silent].silent = true;
    u[Garbage].garbage = true;
    u[Garbage].crOnly = true; // its stream never ends a line: no values while logging
    return u;
}

using Result = k12::test::ToolResult;

} // namespace

class TestUnitCli : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void initTestCase() {
        program_ = k12::test::ToolPath(QStringLiteral("k12inc-unit"));
        QVERIFY2(QFile::exists(program_), qPrintable(program_));
        sim_.start();
        // COM7 is the constant unit through the per-user settings file.
        QSettings settings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("K12INC"),
                           QStringLiteral("K12INC"));
        settings.setValue(QStringLiteral("Ports/COM7"), sim_.devicePath(Constant));
        settings.sync();
        QCOMPARE(settings.status(), QSettings::NoError);
    }

    void succeeds_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("out");
        const QString constant = sim_.devicePath(Constant);
        const QString counter = sim_.devicePath(Counter);
        QTest::newRow("probe") << QStringList{"probe", constant} << "OK\n";
        QTest::newRow("get by COM number") << QStringList{"get", "7"} << "12.500\n";
        QTest::newRow("get three") << QStringList{"get", counter, "3"} << "1.000\n2.000\n3.000\n";
        // The counter goes on from 4: averages of (4,5), (6,7), (8,9).
        QTest::newRow("log") << QStringList{"log", counter, "2", "3"} << "4.500\n6.500\n8.500\n";
    }
    void succeeds() {
        QFETCH(QStringList, args);
        QFETCH(QString, out);
        const Result r = run(args);
        QCOMPARE(r.err, QString());
        QCOMPARE(r.out, out);
        QCOMPARE(r.exitCode, 0);
    }

    void logStopsTheStream() {
        const QList<QByteArray> commands = sim_.receivedCommands(Counter);
        QVERIFY(commands.contains("RUN00"));
        QCOMPARE(commands.last(), QByteArrayLiteral("STP"));
    }

    void deviceErrors_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("err");
        QTest::newRow("silent unit")
            << QStringList{"probe", sim_.devicePath(Silent)} << "error 603: Timeout\n";
        QTest::newRow("garbage reading")
            << QStringList{"get", sim_.devicePath(Garbage)} << "error 604: Invalid reply\n";
        QTest::newRow("interval out of range")
            << QStringList{"log", sim_.devicePath(Constant), "101", "1"}
            << "error 605: Setting out of range\n";
        QTest::newRow("missing device") << QStringList{"probe", "/dev/k12-missing"}
                                        << "error 701: /dev/k12-missing is not found.\n";
        QTest::newRow("unmapped COM number")
            << QStringList{"probe", "200"} << "error 701: COM200 (/dev/ttyS199) is not found.\n";
        QTest::newRow("no values while logging")
            << QStringList{"log", "--wait", "1", sim_.devicePath(Garbage), "1", "1"}
            << "error 603: timeout (no value for 1 s)\n";
    }
    void deviceErrors() {
        QFETCH(QStringList, args);
        QFETCH(QString, err);
        const Result r = run(args);
        QCOMPARE(r.err, err);
        QCOMPARE(r.out, QString());
        QCOMPARE(r.exitCode, 1);
    }

    void logWaitsLongEnoughForALongInterval() {
        // 100 readings at 110 ms: the first value needs 11 s, longer than a fixed 10 s wait.
        k12::UnitSimulator slow({SimUnitConfig{}}, 110);
        slow.start();
        const Result r = run(
            {QStringLiteral("log"), slow.devicePath(0), QStringLiteral("100"), QStringLiteral("1")},
            30000);
        QCOMPARE(r.err, QString());
        QCOMPARE(r.out, QStringLiteral("12.500\n"));
        QCOMPARE(r.exitCode, 0);
    }

    void badUsage_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("problem");
        QTest::newRow("nothing") << QStringList{} << "missing command";
        QTest::newRow("unknown command")
            << QStringList{"reset", "1"} << "unknown command \"reset\"";
        QTest::newRow("no port") << QStringList{"get"} << "get: missing PORT";
        QTest::newRow("bad port")
            << QStringList{"probe", "COM1"}
            << "probe: PORT \"COM1\" is neither a COM number (1..256) nor a device path";
        QTest::newRow("port out of range")
            << QStringList{"probe", "257"}
            << "probe: PORT \"257\" is neither a COM number (1..256) nor a device path";
        QTest::newRow("bad count")
            << QStringList{"get", "1", "0"} << "get: COUNT \"0\" is not a positive number";
        QTest::newRow("probe extra")
            << QStringList{"probe", "1", "2"} << "probe: unexpected argument \"2\"";
        QTest::newRow("log too short") << QStringList{"log", "1", "1"} << "log: missing COUNT";
        QTest::newRow("log bad interval")
            << QStringList{"log", "1", "x", "1"} << "log: INTERVAL \"x\" is not a number";
        QTest::newRow("log bad wait") << QStringList{"log", "--wait", "x", "1", "1", "1"}
                                      << "log: --wait \"x\" is not a positive number of seconds";
    }
    void badUsage() {
        QFETCH(QStringList, args);
        QFETCH(QString, problem);
        const Result r = run(args);
        QCOMPARE(r.err.section(QLatin1Char('\n'), 0, 0), "k12inc-unit: " + problem);
        QVERIFY2(r.err.section(QLatin1Char('\n'), 1).startsWith("usage: k12inc-unit"),
                 qPrintable(r.err));
        QCOMPARE(r.exitCode, 2);
    }

  private:
    Result run(const QStringList& args, int timeoutMs = 15000) {
        return k12::test::RunTool(program_, args, {}, timeoutMs);
    }

    QString program_;
    k12::UnitSimulator sim_{units(), 5};
};

QTEST_GUILESS_MAIN(TestUnitCli)
#include "test_unit_cli.moc"
