// SPDX-License-Identifier: GPL-3.0-or-later
// k12inc-unit ports, assign and unassign against the settings file of the test's private home
// and a by-id folder the test makes.
#include "ByIdFolder.h"
#include "RunTool.h"
#include "UnitSimulator.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

namespace {

using Result = k12::test::ToolResult;

QSettings Settings() {
    return {QSettings::IniFormat, QSettings::UserScope, QStringLiteral("K12INC"),
            QStringLiteral("K12INC")};
}

} // namespace

class TestUnitPorts : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void initTestCase() {
        program_ = k12::test::ToolPath(QStringLiteral("k12inc-unit"));
        QVERIFY2(QFile::exists(program_), qPrintable(program_));
        QVERIFY(tmp_.isValid());
        const QDir root(tmp_.path());
        QVERIFY(root.mkpath("dev") && byId_.isValid());
        QFile file(root.filePath("dev/ttyUSB9"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        plainFile_ = QFileInfo(file).canonicalFilePath();
        // A pseudo-terminal stands in for the adapter: a character device like the real one.
        sim_.start();
        device_ = QFileInfo(sim_.devicePath(0)).canonicalFilePath();
        link_ = byId_.link("usb-Maker_Adapter_A1-if00-port0", device_);
        QVERIFY(!link_.isEmpty());
        QVERIFY(!byId_.link("usb-Gone-if00-port0", root.filePath("dev/gone")).isEmpty());
    }

    void init() {
        QSettings s = Settings();
        s.clear();
        s.setValue("MeasInfo/IntervalTM", "1000");
        s.setValue("MeasInfo/CommPort1", "12");
        s.setValue("Options/Other", "kept");
        s.sync();
        QCOMPARE(s.status(), QSettings::NoError);
    }

    void portsListsDevicesAndAssignments() {
        QSettings s = Settings();
        s.setValue("Ports/COM12", "/dev/k12-missing");
        s.setValue("Ports/COM3", link_);
        s.sync();
        const Result r = run({"ports"});
        QCOMPARE(r.err, QString());
        QCOMPARE(r.exitCode, 0);
        QVERIFY2(r.out.startsWith("Serial devices:\n"), qPrintable(r.out));
        QVERIFY2(r.out.contains("\n  " + device_ + "\n    by-id:         " + link_ + "\n"),
                 qPrintable(r.out));
        QVERIFY2(!r.out.contains("usb-Gone"), qPrintable(r.out));
        const QString assigned = "COM numbers assigned in [Ports] of " + s.fileName() + ":\n" +
                                 "  COM3  " + link_ + "  present\n" +
                                 "  COM12  /dev/k12-missing  missing\n" +
                                 "Other COM numbers n stand for /dev/ttyS<n-1>.\n";
        QVERIFY2(r.out.endsWith(assigned), qPrintable(r.out));
    }

    void assignAndUnassignKeepTheRest() {
        Result r = run({"assign", "4", link_});
        QCOMPARE(r.err, QString());
        QCOMPARE(r.out, "COM4 now stands for " + link_ + "\n");
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(Settings().value("Ports/COM4").toString(), link_);
        checkRestKept();

        r = run({"unassign", "4"});
        QCOMPARE(r.out, QStringLiteral("COM4 now stands for /dev/ttyS3\n"));
        QCOMPARE(r.exitCode, 0);
        QVERIFY(!Settings().contains("Ports/COM4"));
        checkRestKept();

        r = run({"unassign", "4"});
        QCOMPARE(r.out, QStringLiteral("COM4 stands for /dev/ttyS3 (it was not assigned)\n"));
        QCOMPARE(r.exitCode, 0);
    }

    void assignPointsToTheStableName() {
        const Result r = run({"assign", "2", device_});
        QCOMPARE(r.exitCode, 0);
        QVERIFY2(r.out.contains("k12inc-unit assign 2 " + link_ + "\n"), qPrintable(r.out));
    }

    void assignRefusesUnlessForced_data() {
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("reason");
        QTest::newRow("missing") << "/dev/k12-missing"
                                 << "does not exist";
        QTest::newRow("folder") << QDir::tempPath() << "is not a character device";
        QTest::newRow("plain file") << plainFile_ << "is not a character device";
    }
    void assignRefusesUnlessForced() {
        QFETCH(QString, device);
        QFETCH(QString, reason);
        Result r = run({"assign", "5", device});
        QCOMPARE(r.exitCode, 1);
        QCOMPARE(r.err,
                 "k12inc-unit: " + device + " " + reason + " (assign it anyway with --force)\n");
        QVERIFY(!Settings().contains("Ports/COM5"));

        r = run({"assign", "--force", "5", device});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(Settings().value("Ports/COM5").toString(), device);
    }

    void badUsage_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("problem");
        QTest::newRow("ports extra")
            << QStringList{"ports", "1"} << "ports: unexpected argument \"1\"";
        QTest::newRow("assign no device") << QStringList{"assign", "1"} << "assign: missing DEVICE";
        QTest::newRow("assign 0") << QStringList{"assign", "0", "/dev/null"}
                                  << "assign: \"0\" is not a COM number (1..256)";
        QTest::newRow("assign 257") << QStringList{"assign", "257", "/dev/null"}
                                    << "assign: \"257\" is not a COM number (1..256)";
        QTest::newRow("assign COM1") << QStringList{"assign", "COM1", "/dev/null"}
                                     << "assign: \"COM1\" is not a COM number (1..256)";
        QTest::newRow("relative device") << QStringList{"assign", "1", "ttyUSB0"}
                                         << "assign: DEVICE \"ttyUSB0\" is not an absolute path";
        QTest::newRow("unassign nothing") << QStringList{"unassign"} << "unassign: missing N";
        QTest::newRow("unassign 0")
            << QStringList{"unassign", "0"} << "unassign: \"0\" is not a COM number (1..256)";
        QTest::newRow("unassign 257")
            << QStringList{"unassign", "257"} << "unassign: \"257\" is not a COM number (1..256)";
    }
    void badUsage() {
        QFETCH(QStringList, args);
        QFETCH(QString, problem);
        const Result r = run(args);
        QCOMPARE(r.err.section(QLatin1Char('\n'), 0, 0), "k12inc-unit: " + problem);
        QVERIFY2(r.err.section(QLatin1Char('\n'), 1).startsWith("usage: k12inc-unit"),
                 qPrintable(r.err));
        QCOMPARE(r.exitCode, 2);
        QCOMPARE(Settings().childGroups(), (QStringList{"MeasInfo", "Options"}));
    }

  private:
    void checkRestKept() {
        QSettings s = Settings();
        QCOMPARE(s.value("MeasInfo/IntervalTM").toString(), QStringLiteral("1000"));
        QCOMPARE(s.value("MeasInfo/CommPort1").toString(), QStringLiteral("12"));
        QCOMPARE(s.value("Options/Other").toString(), QStringLiteral("kept"));
    }

    Result run(const QStringList& args) {
        QProcessEnvironment byId;
        byId.insert(QStringLiteral("K12INC_SERIAL_BY_ID"), byId_.path());
        return k12::test::RunTool(program_, args, byId);
    }

    QString program_;
    QTemporaryDir tmp_;
    k12::UnitSimulator sim_{{k12::SimUnitConfig{}}};
    QString plainFile_;
    QString device_;
    k12::test::ByIdFolder byId_;
    QString link_;
};

QTEST_GUILESS_MAIN(TestUnitPorts)
#include "test_unit_ports.moc"
