// SPDX-License-Identifier: GPL-3.0-or-later
// Runs that go on through unit faults (ContinueOnError): taking a unit down, trying it again,
// the rows it missed, the summary and the journal, over scripted units and a fake clock.
#include "EngineRig.h"

#include <QTemporaryDir>
#include <QTest>

using namespace k12;
using namespace k12::test;

namespace {

const QString kLineFailed = QStringLiteral("COM2 (/dev/pts/9) との通信が切断されました。");
const QString kNotFound = QStringLiteral("COM2 (/dev/ttyS1) が見つかりません。");

// Units 1 and 2 in use, going on through faults.
RunSetup Continuing(bool pcTimer) {
    return {{0, 1}, pcTimer, pcTimer ? 1000 : 100, true};
}

void AnswerAgain(FakeSerialPort& port) {
    port.clearReplies();
    port.reply("", "K12INC\r\n", 0, true);
    port.reply("GET", "  12.500\r\n", 0, true);
    port.reply("RUN00", "OK\r\n", 0, true);
    port.reply("STP", "OK\r\n", 0, true);
}

// One device-timer step, unit 1 delivering its next value (1, 2, ...) before it.
RunReport DeviceStep(EngineRig& rig) {
    rig.receive(0, {double(rig.md.Units[0].DataCount + 1)});
    return rig.step();
}

} // namespace

class TestRunFaults : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void pcTimerGoesOnThroughFaults_data();
    void pcTimerGoesOnThroughFaults();
    void deviceTimerUnitReturnsAtItsRow();
    void deviceTimerUnitDownAtTheStop();
    void journalKeepsUpWhileAUnitIsDown();
};

void TestRunFaults::pcTimerGoesOnThroughFaults_data() {
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("firstCause");
    QTest::addColumn<QString>("lastCause");
    QTest::newRow("time-out") << "time-out"
                              << "タイムアウト"
                              << "タイムアウト";
    QTest::newRow("bad reply") << "bad reply"
                               << "リターン文字列不正"
                               << "リターン文字列不正";
    QTest::newRow("line failure, device gone") << "gone" << kLineFailed << kNotFound;
    QTest::newRow("line failure, device silent") << "silent" << kLineFailed << "タイムアウト";
}

void TestRunFaults::pcTimerGoesOnThroughFaults() {
    QFETCH(QString, fault);
    QFETCH(QString, firstCause);
    QFETCH(QString, lastCause);
    EngineRig rig(Continuing(true));
    rig.start();
    rig.tick();
    FakeSerialPort& port = rig.port(1);
    if (fault == QLatin1String("time-out")) {
        port.clearReplies();
    } else if (fault == QLatin1String("bad reply")) {
        port.clearReplies();
        port.reply("GET", "   ERROR\r\n", 0, true);
    } else {
        port.setFailure(DeviceError(706, kLineFailed));
        if (fault == QLatin1String("gone")) {
            port.setOpenError(DeviceError(701, kNotFound));
        } else {
            port.clearReplies(); // the probe of the reopened port goes unanswered
        }
    }

    // Rows 1 and 2 without unit 2; a down unit holds the others up by one time-out at most.
    for (int row = 1; row <= 2; ++row) {
        const qint64 before = port.elapsedMs();
        const RunReport report = rig.tick();
        QVERIFY(port.elapsedMs() - before <= 101);
        QVERIFY(!report.ended && report.beforeStop.empty() && report.afterStop.empty());
        QVERIFY(rig.engine.ShowsError(1));
        QCOMPARE(rig.engine.LastError(1), row == 1 ? firstCause : lastCause);
    }

    AnswerAgain(port);
    port.setOpenError(std::nullopt);
    rig.tick();
    QCOMPARE(rig.md.SampleCount, 4);
    for (int i = 0; i < 2; ++i) {
        QCOMPARE(rig.md.Units[i].DataCount, 4);
    }
    const float expected[4] = {12.5f, NO_DATA_VALUE, NO_DATA_VALUE, 12.5f};
    for (int r = 0; r < 4; ++r) {
        QCOMPARE(rig.md.Units[0].Data[r], 12.5f);
        QCOMPARE(rig.md.Units[1].Data[r], expected[r]);
    }
    QVERIFY(!rig.engine.ShowsError(1));
    if (fault != QLatin1String("time-out") && fault != QLatin1String("bad reply")) {
        QCOMPARE(port.portNumber, int16_t(2)); // reopened by its COM number
    }

    const RunReport stop = rig.engine.Stop();
    QVERIFY(!rig.md.Measuring);
    // Both holes count for what took the unit down.
    QCOMPARE(Texts(stop.afterStop),
             QStringList{QStringLiteral("2台目: 2件（%1）").arg(firstCause)});
    QCOMPARE(stop.afterStop.back().title, QStringLiteral("Message"));
}

void TestRunFaults::deviceTimerUnitReturnsAtItsRow() {
    EngineRig rig(Continuing(false));
    rig.start();
    FakeSerialPort& port = rig.port(1);
    rig.receive(1, {101.0});
    DeviceStep(rig); // t = 100 ms
    // A line arrives, then the line fails; what arrived is kept.
    rig.arrive(1, Readings(1, 102.0));
    port.setFailure(DeviceError(706, kLineFailed));
    port.setOpenError(DeviceError(701, kNotFound));
    QVERIFY(!DeviceStep(rig).ended); // t = 200 ms
    QCOMPARE(rig.md.Units[1].DataCount, 2);
    QCOMPARE(rig.md.Units[1].Data[1], 102.0f);
    QVERIFY(rig.engine.ShowsError(1));
    QCOMPARE(rig.engine.LastError(1), kLineFailed);

    // Tried again a second after the failure (still gone), then not before another second,
    // although the device is back.
    while (rig.clock.monotonic < 1200) {
        DeviceStep(rig);
    }
    QCOMPARE(rig.engine.LastError(1), kNotFound);
    port.setOpenError(std::nullopt);
    const int opens = port.openCount;
    while (rig.clock.monotonic < 2100) {
        DeviceStep(rig);
    }
    QCOMPARE(port.openCount, opens);
    QVERIFY(rig.engine.ShowsError(1));
    DeviceStep(rig); // t = 2200 ms: back, streaming again
    QCOMPARE(port.openCount, opens + 1);
    QCOMPARE(port.commands().last(), QByteArray("RUN00"));
    QVERIFY(!rig.engine.ShowsError(1));     // its last value shows again
    QCOMPARE(rig.md.Units[1].DataCount, 2); // no padding before a new value

    // Its first new value sits beside unit 1's value of the same moment.
    rig.receive(1, {123.0});
    const RunReport report = DeviceStep(rig); // t = 2300 ms
    QVERIFY(report.beforeStop.empty() && report.afterStop.empty());
    QCOMPARE(rig.md.Units[0].DataCount, 23);
    QCOMPARE(rig.md.Units[1].DataCount, 23);
    QCOMPARE(rig.md.Units[1].Data[22], 123.0f);
    for (int r = 2; r < 22; ++r) {
        QCOMPARE(rig.md.Units[1].Data[r], NO_DATA_VALUE);
    }

    const RunReport stop = rig.engine.Stop();
    QCOMPARE(Texts(stop.afterStop),
             QStringList{QStringLiteral("2台目: 20件（%1）").arg(kLineFailed)});
    QCOMPARE(port.commands().last(), QByteArray("STP"));
}

void TestRunFaults::deviceTimerUnitDownAtTheStop() {
    EngineRig rig(Continuing(false));
    rig.start();
    rig.receive(1, {101.0});
    DeviceStep(rig);
    rig.port(1).setFailure(DeviceError(706, kLineFailed));
    DeviceStep(rig);
    QVERIFY(rig.engine.ShowsError(1));
    // Ten seconds later, before any retry and with no further row stored, the run is stopped:
    // the summary counts the unit's holes in the stored rows, and no stream is stopped on its
    // closed link.
    rig.clock.advance(10000);
    rig.receive(0, {3.0});
    const RunReport stop = rig.engine.Stop();
    QCOMPARE(Texts(stop.afterStop),
             QStringList{QStringLiteral("2台目: 2件（%1）").arg(kLineFailed)});
    QCOMPARE(rig.port(0).commands().last(), QByteArray("STP"));
    QVERIFY(!rig.md.Measuring);
    QVERIFY(rig.engine.ShowsError(1)); // until the next start
    rig.start();
    QVERIFY(!rig.engine.ShowsError(1));
}

void TestRunFaults::journalKeepsUpWhileAUnitIsDown() {
    QTemporaryDir dir;
    EngineRig rig(Continuing(false), {.stateFolder = dir.filePath(QStringLiteral("state"))});
    rig.start();
    rig.receive(1, {101.0});
    DeviceStep(rig);
    rig.port(1).setFailure(DeviceError(706, kLineFailed));
    while (rig.clock.monotonic < 900) {
        DeviceStep(rig);
    }
    // Unit 2 holds one value, but the rows up to now will be holes for it whenever it returns.
    QCOMPARE(rig.md.Units[1].DataCount, 1);
    QCOMPARE(SavedFile(rig.engine.JournalPath()).Rows.size(), size_t(9));

    while (rig.clock.monotonic < 1300) {
        DeviceStep(rig); // back at 1200 ms
    }
    rig.receive(1, {113.0});
    DeviceStep(rig);
    QCOMPARE(rig.md.Units[1].Data[12], 113.0f);
    rig.engine.Stop();
    // The journal ends as saving the store would write it.
    const QString saved = dir.filePath(QStringLiteral("saved.zr5"));
    QVERIFY(!WriteDataFile(rig.md, saved));
    QCOMPARE(FileBytes(rig.journal.Path()), FileBytes(saved));
}

QTEST_GUILESS_MAIN(TestRunFaults)
#include "test_run_faults.moc"
