// SPDX-License-Identifier: GPL-3.0-or-later
// Runs in both timing modes against simulated units on real pseudo-terminals, through the real
// serial port and the driver's own receive timer.
#include "ByIdFolder.h"
#include "MainWindowRig.h"

#include <QFileInfo>
#include <QTest>

using namespace k12;
using namespace k12::test;

namespace {

SimUnitConfig Counter(int hangUpAfterLines = -1) {
    SimUnitConfig c = CounterUnit();
    c.hangUpAfterLines = hangUpAfterLines;
    return c;
}

// Answers `after` commands, then none of the next `count`, then answers again.
SimUnitConfig SilentSpell(int after, int count) {
    SimUnitConfig c = Counter();
    c.silentAfterCommands = after;
    c.silentForCommands = count;
    return c;
}

// Unit i's rows, NO_DATA_VALUE included, up to its count.
QList<float> Rows(const UnitRecord& u) {
    return QList<float>(u.Data.begin(), u.Data.begin() + u.DataCount);
}

} // namespace

class TestRunPty : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void pcTimerRun();
    void deviceTimerRun();
    void stopKeepsWhatTheUnitsAveraged();
    void hangUpInPcTimerMode();
    void hangUpInDeviceTimerMode();
    void silentSpell_data();
    void silentSpell();
    void pcTimerHangUpAndReturn();
    void deviceTimerHangUpAndReturn();
};

void TestRunPty::pcTimerRun() {
    MainWindowRig rig({{0, 1}, true, 1000}, {.simUnits = {Counter(), Counter()}});
    rig.start();
    QVERIFY(rig.messages.shown.isEmpty());
    QVERIFY(rig.form->Timer1().isActive());
    for (int k = 0; k < 3; ++k) {
        rig.tick();
    }
    QCOMPARE(rig.md.SampleCount, 3);
    QCOMPARE(rig.md.Units[1].DataCount, 3);
    QVERIFY(rig.consecutive({0, 1}));
    rig.stop();
    QVERIFY(!rig.md.Measuring);
    QVERIFY(rig.messages.shown.isEmpty());
    QVERIFY(rig.sim->receivedCommands(0).contains("GET"));
}

void TestRunPty::deviceTimerRun() {
    MainWindowRig rig({{0, 1}, false, 100}, {.simUnits = {Counter(), Counter()}});
    rig.start();
    QVERIFY(rig.messages.shown.isEmpty());
    QVERIFY(rig.form->Timer2().isActive());
    QTRY_VERIFY_WITH_TIMEOUT(rig.md.Units[0].DataCount >= 20 && rig.md.Units[1].DataCount >= 20,
                             10000);
    rig.stop();
    QVERIFY(!rig.md.Measuring);
    QVERIFY(rig.messages.shown.isEmpty());
    QVERIFY(rig.consecutive({0, 1}));
    QCOMPARE(rig.md.SampleCount, std::max(rig.md.Units[0].DataCount, rig.md.Units[1].DataCount));
    QTRY_VERIFY(rig.sim->receivedCommands(1).contains("STP"));
}

void TestRunPty::stopKeepsWhatTheUnitsAveraged() {
    MainWindowRig rig({{0, 1}, false, 100}, {.simUnits = {Counter(), Counter()}});
    rig.start();
    QVERIFY(rig.form->Timer2().isActive());
    // No collection step runs: everything the units deliver waits in their drivers.
    rig.form->Timer2().stop();
    QTRY_VERIFY_WITH_TIMEOUT(rig.md.Driver(0).GetLogLen() >= 5 && rig.md.Driver(1).GetLogLen() >= 5,
                             10000);
    rig.stop();
    QVERIFY(!rig.md.Measuring);
    QVERIFY(rig.messages.shown.isEmpty());
    QVERIFY(rig.md.Units[0].DataCount >= 5);
    QVERIFY(rig.md.Units[1].DataCount >= 5);
    QVERIFY(rig.consecutive({0, 1}));
    QCOMPARE(rig.md.SampleCount, std::max(rig.md.Units[0].DataCount, rig.md.Units[1].DataCount));
    QCOMPARE(rig.chart.pointCount(1), rig.md.SampleCount);
}

void TestRunPty::hangUpInPcTimerMode() {
    // Unit 2 hangs up after the probe reply and two readings.
    MainWindowRig rig({{0, 1}, true, 1000}, {.simUnits = {Counter(), Counter(3)}});
    rig.start();
    rig.tick();
    rig.tick();
    QCOMPARE(rig.md.SampleCount, 2);
    QTRY_VERIFY(rig.sim->hungUp(1));
    rig.tick();
    QCOMPARE(rig.messages.shown.size(), 1);
    QVERIFY2(rig.messages.last().text.startsWith(QStringLiteral("2台目: ")),
             qPrintable(rig.messages.last().text));
    QVERIFY(!rig.md.Measuring);
    QVERIFY(!rig.form->Timer1().isActive());
    QCOMPARE(rig.md.SampleCount, 2);
    QVERIFY(rig.consecutive({1}));
    QVERIFY(rig.form->findChild<QPushButton*>(QStringLiteral("cmdStart"))->isEnabled());
}

void TestRunPty::hangUpInDeviceTimerMode() {
    // Unit 2 hangs up after the probe reply, "OK" and five readings.
    MainWindowRig rig({{0, 1}, false, 100}, {.simUnits = {Counter(), Counter(7)}});
    rig.start();
    QTRY_VERIFY_WITH_TIMEOUT(!rig.md.Measuring, 10000);
    QCOMPARE(rig.messages.shown.size(), 1);
    QVERIFY2(rig.messages.last().text.startsWith(QStringLiteral("2台目: ")),
             qPrintable(rig.messages.last().text));
    QCOMPARE(rig.md.Units[1].DataCount, 5); // what arrived before the hang-up is kept
    QVERIFY(rig.consecutive({0, 1}));
    QVERIFY(!rig.form->Timer2().isActive());
    const int32_t rows = rig.md.SampleCount;
    QTest::qWait(300);
    QCOMPARE(rig.md.SampleCount, rows); // no step after the stop
}

void TestRunPty::silentSpell_data() {
    QTest::addColumn<bool>("continueOnError");
    QTest::newRow("option on") << true;
    QTest::newRow("option off: stopped as always") << false;
}

void TestRunPty::silentSpell() {
    QFETCH(bool, continueOnError);
    // Unit 2 answers the probe and two readings, then none of the next three.
    MainWindowRig rig({{0, 1}, true, 1000, continueOnError},
                      {.simUnits = {Counter(), SilentSpell(3, 3)}});
    rig.start();
    for (int k = 0; k < 7 && rig.md.Measuring; ++k) {
        rig.tick();
    }
    QVERIFY(rig.consecutive({0}));
    if (!continueOnError) {
        QCOMPARE(rig.messages.texts(), QStringList{QStringLiteral("タイムアウト")});
        QVERIFY(!rig.md.Measuring);
        QCOMPARE(rig.md.SampleCount, 2);
        return;
    }
    QVERIFY(rig.md.Measuring);
    QCOMPARE(rig.md.SampleCount, 7);
    QCOMPARE(Rows(rig.md.Units[1]),
             (QList<float>{1, 2, NO_DATA_VALUE, NO_DATA_VALUE, NO_DATA_VALUE, 3, 4}));
    QVERIFY(rig.messages.shown.isEmpty());
    QCOMPARE(rig.label1(1), QStringLiteral("4.000"));
    rig.stop();
    QCOMPARE(rig.messages.texts(), QStringList{QStringLiteral("2台目: 3件（タイムアウト）")});
}

void TestRunPty::pcTimerHangUpAndReturn() {
    ByIdFolder byId;
    SimUnitConfig c = Counter(3); // the probe's answer and two readings, then the line drops
    c.linkPath = byId.linkPath(QStringLiteral("usb-K12INC_unit2-if00-port0"));
    MainWindowRig rig({{0, 1}, true, 1000, true}, {.simUnits = {Counter(), c}});
    const QString firstDevice = rig.sim->devicePath(1);
    rig.start();
    rig.tick();
    rig.tick();
    QTRY_VERIFY(rig.sim->hungUp(1));
    rig.tick(); // the line has failed
    QVERIFY(rig.label(1)->toolTip().contains(QStringLiteral("通信が切断されました")));
    rig.tick(); // unplugged: the link is gone
    const QString notFound = QStringLiteral("COM2 (%1) が見つかりません。").arg(c.linkPath);
    QCOMPARE(rig.label(1)->toolTip(), notFound);
    QCOMPARE(rig.label1(1), QStringLiteral("エラー"));

    rig.sim->bringBack(1);
    QTRY_COMPARE(rig.sim->returns(1), 1);
    QVERIFY(rig.sim->devicePath(1) != firstDevice);
    QCOMPARE(QFileInfo(c.linkPath).symLinkTarget(), rig.sim->devicePath(1));
    rig.tick();
    rig.tick();
    QVERIFY(rig.md.Measuring);
    QCOMPARE(Rows(rig.md.Units[1]), (QList<float>{1, 2, NO_DATA_VALUE, NO_DATA_VALUE, 3, 4}));
    QVERIFY(rig.consecutive({0}));
    QCOMPARE(rig.label1(1), QStringLiteral("4.000"));
    QVERIFY(rig.messages.shown.isEmpty());
    rig.stop();
    // The holes count for what took the unit down.
    const QString hungUp = QStringLiteral("COM2 (%1) との通信が切断されました。").arg(c.linkPath);
    QCOMPARE(rig.messages.texts(), QStringList{QStringLiteral("2台目: 2件（%1）").arg(hungUp)});
}

void TestRunPty::deviceTimerHangUpAndReturn() {
    // Both units read the time in stream periods, so a value's row can be checked against the
    // other unit's value of the same moment.
    ByIdFolder byId;
    SimUnitConfig healthy;
    healthy.waveform = Waveform::Clock;
    SimUnitConfig c = healthy;
    c.hangUpAfterLines = 12; // the probe's answer, "OK", ten readings
    c.returnAfterMs = 1500;
    c.linkPath = byId.linkPath(QStringLiteral("unit2"));
    MainWindowRig rig({{0, 1}, false, 100, true},
                      {.simUnits = {healthy, c}, .streamPeriodMs = 100, .realClock = true});
    rig.start();
    QVERIFY(rig.md.Measuring);
    const UnitRecord& u1 = rig.md.Units[0];
    const UnitRecord& u2 = rig.md.Units[1];
    const auto holes = [&u2] { return Rows(u2).count(NO_DATA_VALUE); };
    // Back with ten values after the gap.
    QTRY_VERIFY_WITH_TIMEOUT(holes() > 0 && u2.Data[u2.DataCount - 10] != NO_DATA_VALUE, 15000);
    QVERIFY(rig.md.Measuring);
    QCOMPARE(rig.sim->returns(1), 1);
    rig.stop();

    const QList<float> rows = Rows(u2);
    const qsizetype gap = rows.indexOf(NO_DATA_VALUE);
    QCOMPARE(gap, qsizetype(10));
    QVERIFY2(holes() >= 14, qPrintable(QString::number(holes()))); // away 1.5 s at least
    QCOMPARE(rows.lastIndexOf(NO_DATA_VALUE), gap + holes() - 1);
    for (qsizetype r = 0; r < rows.size(); ++r) {
        if (rows[r] != NO_DATA_VALUE && r < u1.DataCount) {
            QVERIFY2(
                qAbs(rows[r] - u1.Data[r]) <= 2.0f,
                qPrintable(
                    QStringLiteral("row %1: %2 beside %3").arg(r).arg(rows[r]).arg(u1.Data[r])));
        }
    }
    QCOMPARE(rig.messages.shown.size(), 1);
    const QString summary = rig.messages.last().text;
    QVERIFY2(summary.startsWith(QStringLiteral("2台目: %1件（COM2 (").arg(holes())),
             qPrintable(summary));
}

QTEST_MAIN(TestRunPty)
#include "test_run_pty.moc"
