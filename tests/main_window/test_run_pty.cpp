// Runs in both timing modes against simulated units on real pseudo-terminals, through the real
// serial port and the driver's own receive timer.
#include "FakeChart.h"
#include "FakeClock.h"
#include "FakeMessageBox.h"
#include "FakeSettingsStore.h"
#include "UnitSimulator.h"
#include "main_window/FormMain.h"
#include "platform/QtSerialPort.h"

#include <QPushButton>
#include <QTest>

using namespace k12;
using namespace k12::test;

namespace {

// A main window whose two units (COM1, COM2) are simulated units streaming a counter.
class PtyRig {
  public:
    PtyRig(bool pcTimer, int intervalTM, std::vector<SimUnitConfig> units, int periodMs = 20)
        : sim(std::move(units), periodMs) {
        sim.start();
        for (int i = 0; i < 4; ++i) {
            const bool used = i < sim.unitCount();
            settings.values[QStringLiteral("MeasInfo/Mflag%1").arg(i + 1)] =
                used ? QStringLiteral("True") : QStringLiteral("False");
            if (used) {
                settings.values[QStringLiteral("Ports/COM%1").arg(i + 1)] = sim.devicePath(i);
            }
        }
        settings.values[QStringLiteral("MeasInfo/TimerType")] =
            pcTimer ? QStringLiteral("True") : QStringLiteral("False");
        settings.values[QStringLiteral("MeasInfo/IntervalTM")] = QString::number(intervalTM);
        md = std::make_unique<ModuleData>(
            [this] { return std::make_unique<QtSerialPort>(settings); }, messages);
        form = std::make_unique<FormMain>(FormMainServices{*md, chart, messages, settings, clock},
                                          FormMainDialogs{});
    }

    void click(const char* name) {
        QTest::mouseClick(form->findChild<QPushButton*>(QString::fromLatin1(name)), Qt::LeftButton);
    }

    // Unit i's stored readings are the counter's values first, first + 1, ...
    bool consecutive(int unit, int first = 1) const {
        const UnitRecord& u = md->Units[unit];
        for (int32_t r = 0; r < u.DataCount; ++r) {
            if (u.Data[r] != static_cast<float>(first + r)) {
                qWarning("unit %d row %d holds %f", unit, r, double(u.Data[r]));
                return false;
            }
        }
        return true;
    }

    UnitSimulator sim;
    FakeSettingsStore settings;
    FakeMessageBox messages;
    FakeClock clock;
    FakeChart chart;
    std::unique_ptr<ModuleData> md;
    std::unique_ptr<FormMain> form;
};

SimUnitConfig Counter(int hangUpAfterLines = -1) {
    SimUnitConfig c;
    c.waveform = Waveform::Counter;
    c.hangUpAfterLines = hangUpAfterLines;
    return c;
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
};

void TestRunPty::pcTimerRun() {
    PtyRig rig(true, 1000, {Counter(), Counter()});
    rig.click("cmdStart");
    QVERIFY(rig.messages.shown.isEmpty());
    QVERIFY(rig.form->Timer1().isActive());
    for (int k = 0; k < 3; ++k) {
        rig.form->OnTimer1Tick();
    }
    QCOMPARE(rig.md->SampleCount, 3);
    QCOMPARE(rig.md->Units[1].DataCount, 3);
    QVERIFY(rig.consecutive(0));
    QVERIFY(rig.consecutive(1));
    rig.click("cmdStop");
    QVERIFY(!rig.md->Measuring);
    QVERIFY(rig.messages.shown.isEmpty());
    QVERIFY(rig.sim.receivedCommands(0).contains("GET"));
}

void TestRunPty::deviceTimerRun() {
    PtyRig rig(false, 100, {Counter(), Counter()});
    rig.click("cmdStart");
    QVERIFY(rig.messages.shown.isEmpty());
    QVERIFY(rig.form->Timer2().isActive());
    QTRY_VERIFY_WITH_TIMEOUT(rig.md->Units[0].DataCount >= 20 && rig.md->Units[1].DataCount >= 20,
                             10000);
    rig.click("cmdStop");
    QVERIFY(!rig.md->Measuring);
    QVERIFY(rig.messages.shown.isEmpty());
    QVERIFY(rig.consecutive(0));
    QVERIFY(rig.consecutive(1));
    QCOMPARE(rig.md->SampleCount, std::max(rig.md->Units[0].DataCount, rig.md->Units[1].DataCount));
    QTRY_VERIFY(rig.sim.receivedCommands(1).contains("STP"));
}

void TestRunPty::stopKeepsWhatTheUnitsAveraged() {
    PtyRig rig(false, 100, {Counter(), Counter()});
    rig.click("cmdStart");
    QVERIFY(rig.form->Timer2().isActive());
    // No collection step runs: everything the units deliver waits in their drivers.
    rig.form->Timer2().stop();
    QTRY_VERIFY_WITH_TIMEOUT(
        rig.md->Driver(0).GetLogLen() >= 5 && rig.md->Driver(1).GetLogLen() >= 5, 10000);
    rig.click("cmdStop");
    QVERIFY(!rig.md->Measuring);
    QVERIFY(rig.messages.shown.isEmpty());
    QVERIFY(rig.md->Units[0].DataCount >= 5);
    QVERIFY(rig.md->Units[1].DataCount >= 5);
    QVERIFY(rig.consecutive(0));
    QVERIFY(rig.consecutive(1));
    QCOMPARE(rig.md->SampleCount, std::max(rig.md->Units[0].DataCount, rig.md->Units[1].DataCount));
    QCOMPARE(rig.chart.pointCount(1), rig.md->SampleCount);
}

void TestRunPty::hangUpInPcTimerMode() {
    // Unit 2 hangs up after the probe reply and two readings.
    PtyRig rig(true, 1000, {Counter(), Counter(3)});
    rig.click("cmdStart");
    rig.form->OnTimer1Tick();
    rig.form->OnTimer1Tick();
    QCOMPARE(rig.md->SampleCount, 2);
    QTRY_VERIFY(rig.sim.hungUp(1));
    rig.form->OnTimer1Tick();
    QCOMPARE(rig.messages.shown.size(), 1);
    QVERIFY2(rig.messages.last().text.startsWith(QStringLiteral("2台目: ")),
             qPrintable(rig.messages.last().text));
    QVERIFY(!rig.md->Measuring);
    QVERIFY(!rig.form->Timer1().isActive());
    QCOMPARE(rig.md->SampleCount, 2);
    QVERIFY(rig.consecutive(1));
    QVERIFY(rig.form->findChild<QPushButton*>(QStringLiteral("cmdStart"))->isEnabled());
}

void TestRunPty::hangUpInDeviceTimerMode() {
    // Unit 2 hangs up after the probe reply, "OK" and five readings.
    PtyRig rig(false, 100, {Counter(), Counter(7)});
    rig.click("cmdStart");
    QTRY_VERIFY_WITH_TIMEOUT(!rig.md->Measuring, 10000);
    QCOMPARE(rig.messages.shown.size(), 1);
    QVERIFY2(rig.messages.last().text.startsWith(QStringLiteral("2台目: ")),
             qPrintable(rig.messages.last().text));
    QCOMPARE(rig.md->Units[1].DataCount, 5); // what arrived before the hang-up is kept
    QVERIFY(rig.consecutive(0));
    QVERIFY(rig.consecutive(1));
    QVERIFY(!rig.form->Timer2().isActive());
    const int32_t rows = rig.md->SampleCount;
    QTest::qWait(300);
    QCOMPARE(rig.md->SampleCount, rows); // no step after the stop
}

QTEST_MAIN(TestRunPty)
#include "test_run_pty.moc"
