// SPDX-License-Identifier: GPL-3.0-or-later
// The run engine without a window: the rules of a run over scripted units and a fake clock.
#include "EngineRig.h"

#include <QTest>
#include <algorithm>

using namespace k12;
using namespace k12::test;

namespace {

const QString kLineFailed = QStringLiteral("COM2 (/dev/pts/9) との通信が切断されました。");
const QString kOutOfMemory = QStringLiteral("メモリー不足です。測定値が保存できません");
const QString kBufferFull = QStringLiteral("データ入力バッファがいっぱいのため測定を中止します。");

int Holes(const UnitRecord& u, int32_t rows) {
    return int(std::count(u.Data.begin(), u.Data.begin() + rows, NO_DATA_VALUE));
}

} // namespace

class TestRunEngine : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void refusedStartsChangeNothing_data();
    void refusedStartsChangeNothing();
    void aUnitThatWillNotStreamEndsTheStart();
    void pcTimerRun();
    void deviceTimerUnequalRatesAndTheStop();
    void storeLimits_data();
    void storeLimits();
    void faultsThatEndTheRun_data();
    void faultsThatEndTheRun();
    void returningUnitLandsInTheNearestRow();
    void linesThatAreNotReadingsKeepTheirPeriods_data();
    void linesThatAreNotReadingsKeepTheirPeriods();
    void silentUnit_data();
    void silentUnit();
};

void TestRunEngine::refusedStartsChangeNothing_data() {
    QTest::addColumn<RunSetup>("setup");
    QTest::addColumn<bool>("openFails");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("title");
    const QString timerError = QStringLiteral("タイマー設定エラーのため測定開始できません。");
    const QString noUnit = QStringLiteral("使用ユニットにチェックが付いていません。");
    QTest::newRow("PC timer below 1 s")
        << RunSetup{{0, 1}, true, 500} << false << timerError << "Message";
    QTest::newRow("no unit, PC timer")
        << RunSetup{{}, true, 1000} << false << noUnit << "エラーメッセージ";
    QTest::newRow("no unit, device timer")
        << RunSetup{{}, false, 100} << false << noUnit << "エラーメッセージ";
    QTest::newRow("a unit that cannot be opened")
        << RunSetup{{0, 1}, true, 1000} << true
        << QStringLiteral("COM2 (/dev/ttyS1) が見つかりません。") << kAppTitle;
}

void TestRunEngine::refusedStartsChangeNothing() {
    QFETCH(RunSetup, setup);
    QFETCH(bool, openFails);
    QFETCH(QString, text);
    QFETCH(QString, title);
    EngineRig rig(setup);
    rig.md.Units[1].Data[3] = 4.0f; // stands for stored rows even with no unit in use
    rig.fillRows(4, 1.0f);
    rig.md.StartTime = QStringLiteral("2024/1/1 0:0:0");
    std::optional<RunMessage> refused = rig.engine.StartRefusal();
    if (openFails) {
        QVERIFY(!refused);
        rig.port(1).setOpenError(DeviceError(701, text));
        refused = rig.engine.OpenUnits();
        QVERIFY(!rig.port(0).isOpen()); // the unit opened before the failure is closed again
    } else {
        QVERIFY(rig.md.Drivers[0] == nullptr); // refused before any unit is touched
    }
    QVERIFY(refused);
    QCOMPARE(refused->text, text);
    QCOMPARE(refused->title, title);
    QCOMPARE(rig.md.SampleCount, 4);
    QCOMPARE(rig.md.Units[1].Data[3], 4.0f);
    QCOMPARE(rig.md.StartTime, QStringLiteral("2024/1/1 0:0:0"));
    QVERIFY(!rig.md.Measuring);
}

void TestRunEngine::aUnitThatWillNotStreamEndsTheStart() {
    // Unit 1 starts streaming, unit 2 refuses.
    EngineRig rig({{0, 1}, false, 1000});
    rig.port(1).clearReplies();
    rig.port(1).reply("", "K12INC\r\n", 0, true);
    rig.port(1).reply("RUN00", "NG\r\n");
    const RunReport report = rig.start();
    QVERIFY(report.ended);
    QCOMPARE(Texts(report.beforeStop), QStringList{QStringLiteral("リターン文字列不正")});
    QVERIFY(report.afterStop.empty());
    QVERIFY(!rig.md.Measuring);
    QCOMPARE(rig.port(0).commands().last(), QByteArray("STP"));
    QVERIFY(!rig.port(0).isOpen());
    QVERIFY(!rig.port(1).isOpen());
    QCOMPARE(rig.md.SampleCount, 0);
}

void TestRunEngine::pcTimerRun() {
    EngineRig rig({{0, 1}, true, 1000});
    rig.start();
    QVERIFY(rig.md.Measuring);
    QCOMPARE(rig.md.StartTime, QStringLiteral("2024/3/5 9:7:2"));
    rig.port(1).clearReplies();
    rig.port(1).reply("GET", "-123.4567\r\n", 0, true);
    for (int k = 0; k < 3; ++k) {
        QVERIFY(rig.tick().stored);
    }
    QCOMPARE(rig.md.SampleCount, 3);
    QCOMPARE(rig.md.Units[0].DataCount, 3);
    QCOMPARE(rig.md.Units[1].Data[2], -123.456f);
    QCOMPARE(rig.md.Units[2].Data[0], NO_DATA_VALUE);
    QVERIFY(rig.engine.Stop().ended);
    QVERIFY(!rig.md.Measuring);
    QVERIFY(!rig.port(0).isOpen());
    QCOMPARE(rig.md.SampleCount, 3);
}

void TestRunEngine::deviceTimerUnequalRatesAndTheStop() {
    EngineRig rig({{0, 1}, false, 100});
    rig.start();
    QCOMPARE(rig.md.Driver(0).AvgCount(), int16_t(1));
    rig.receive(0, Readings(5, 1.0));
    rig.receive(1, Readings(2, 50.0));
    QVERIFY(rig.step().stored);
    QCOMPARE(rig.md.SampleCount, 5);
    QCOMPARE(rig.md.Units[0].DataCount, 5);
    QCOMPARE(rig.md.Units[1].DataCount, 2);
    QCOMPARE(rig.md.Units[1].Data[2], NO_DATA_VALUE);
    QCOMPARE(rig.md.DeviceTickCount, 1);
    // The stop takes what the units averaged since: three values in unit 1's log, and two lines
    // unit 2's driver has received but not yet taken.
    rig.receive(0, Readings(3, 6.0));
    rig.arrive(1, Readings(2, 52.0));
    const RunReport stop = rig.engine.Stop();
    QVERIFY(stop.ended && stop.stored);
    QVERIFY(stop.beforeStop.empty() && stop.afterStop.empty());
    QVERIFY(!rig.md.Measuring);
    QCOMPARE(rig.md.SampleCount, 8);
    QCOMPARE(rig.md.Units[0].Data[7], 8.0f);
    QCOMPARE(rig.md.Units[1].DataCount, 4);
    QCOMPARE(rig.md.Units[1].Data[1], 51.0f);
    QCOMPARE(rig.md.Units[1].Data[3], 53.0f);
    QCOMPARE(rig.port(0).commands().last(), QByteArray("STP"));
    QVERIFY(!rig.port(0).isOpen());
}

void TestRunEngine::storeLimits_data() {
    QTest::addColumn<bool>("pcTimer");
    QTest::addColumn<int>("filled");   // rows stored before
    QTest::addColumn<int>("readings"); // unit 1 delivers 1, 2, ... (device timer)
    QTest::addColumn<int>("steps");    // the last one ends the run
    QTest::addColumn<float>("last");   // the value in the store's last row
    QTest::addColumn<QStringList>("beforeStop");
    QTest::addColumn<QStringList>("afterStop");
    // The step that fills the last row goes on; the next one ends the run.
    QTest::newRow("PC timer") << true << MAX_SAMPLES - 1 << 0 << 2 << 12.5f
                              << QStringList{kOutOfMemory} << QStringList();
    // The rest of that step's readings are dropped, and the message follows the stop.
    QTest::newRow("device timer") << false << 87990 << 20 << 1 << 10.0f << QStringList()
                                  << QStringList{kBufferFull};
    // Already full at a step: stopped before collecting.
    QTest::newRow("device timer, full before the step")
        << false << MAX_SAMPLES << 0 << 1 << float(MAX_SAMPLES - 1) << QStringList{kOutOfMemory}
        << QStringList();
}

void TestRunEngine::storeLimits() {
    QFETCH(bool, pcTimer);
    QFETCH(int, filled);
    QFETCH(int, readings);
    QFETCH(int, steps);
    QFETCH(float, last);
    QFETCH(QStringList, beforeStop);
    QFETCH(QStringList, afterStop);
    EngineRig rig({{0}, pcTimer, pcTimer ? 1000 : 100});
    rig.start();
    rig.fillRows(filled, 0.0f);
    if (readings > 0) {
        rig.receive(0, Readings(readings, 1.0));
    }
    RunReport report;
    for (int k = 1; k <= steps; ++k) {
        report = pcTimer ? rig.tick() : rig.step();
        QCOMPARE(report.ended, k == steps);
    }
    QCOMPARE(Texts(report.beforeStop), beforeStop);
    QCOMPARE(Texts(report.afterStop), afterStop);
    QVERIFY(!rig.md.Measuring);
    QCOMPARE(rig.md.SampleCount, MAX_SAMPLES);
    QCOMPARE(rig.md.Units[0].DataCount, MAX_SAMPLES);
    QCOMPARE(rig.md.Units[0].Data[MAX_SAMPLES - 1], last);
    QCOMPARE(rig.md.Driver(0).GetLogLen(), int16_t(0));
}

void TestRunEngine::faultsThatEndTheRun_data() {
    QTest::addColumn<bool>("pcTimer");
    QTest::addColumn<bool>("continueOnError");
    QTest::addColumn<bool>("firstRow"); // the fault comes before the first row
    QTest::addColumn<bool>("hangUp");   // else unit 2 falls silent
    QTest::addColumn<QStringList>("beforeStop");
    QTest::addColumn<QStringList>("afterStop");
    QTest::addColumn<QList<int>>("rows"); // the store's, unit 1's and unit 2's
    const QStringList timeout{QStringLiteral("タイムアウト")};
    const QStringList hungUp{QStringLiteral("2台目: ") + kLineFailed};
    // The rows of completed steps remain.
    QTest::newRow("PC timer, time-out")
        << true << false << false << false << timeout << QStringList() << QList<int>{1, 2, 1};
    QTest::newRow("PC timer, hang-up")
        << true << false << false << true << QStringList() << hungUp << QList<int>{1, 1, 1};
    // What arrived before the hang-up is still stored.
    QTest::newRow("device timer, hang-up")
        << false << false << false << true << QStringList() << hungUp << QList<int>{3, 3, 1};
    // The first row marks the units in use in a saved file: it must hold every unit, so a fault
    // before it ends the run even when the run goes on through faults.
    QTest::newRow("first row, PC timer")
        << true << true << true << false << timeout << QStringList() << QList<int>{0, 1, 0};
    QTest::newRow("first row, device timer")
        << false << true << true << true << QStringList() << hungUp << QList<int>{1, 1, 0};
}

void TestRunEngine::faultsThatEndTheRun() {
    QFETCH(bool, pcTimer);
    QFETCH(bool, continueOnError);
    QFETCH(bool, firstRow);
    QFETCH(bool, hangUp);
    QFETCH(QStringList, beforeStop);
    QFETCH(QStringList, afterStop);
    QFETCH(QList<int>, rows);
    EngineRig rig({{0, 1}, pcTimer, pcTimer ? 1000 : 100, continueOnError});
    rig.start();
    // A step; in the device-timer mode unit 1 delivers `values` readings before it, and unit 2
    // one while its line works.
    const auto step = [&rig, pcTimer](int values) {
        if (pcTimer) {
            return rig.tick();
        }
        rig.receive(0, Readings(values, rig.md.Units[0].DataCount + 1));
        if (!rig.port(1).failure()) {
            rig.receive(1, {2.0});
        }
        return rig.step();
    };
    if (!firstRow) {
        QVERIFY(!step(1).ended);
        QCOMPARE(rig.md.SampleCount, 1);
    }
    if (hangUp) {
        rig.port(1).setFailure(DeviceError(706, kLineFailed));
    } else {
        rig.port(1).clearReplies();
    }
    const RunReport report = step(firstRow ? 1 : 2);
    QVERIFY(report.ended);
    QVERIFY(!rig.md.Measuring);
    QCOMPARE(Texts(report.beforeStop), beforeStop);
    QCOMPARE(Texts(report.afterStop), afterStop);
    QCOMPARE((QList<int>{rig.md.SampleCount, rig.md.Units[0].DataCount, rig.md.Units[1].DataCount}),
             rows);
}

void TestRunEngine::returningUnitLandsInTheNearestRow() {
    // 500 ms: five readings a value. Unit 2 fails at 1300 ms and is back at the retry at
    // 2300 ms; its first new value covers 2300..2800 ms, nearest to row 6's time (3000 ms).
    EngineRig rig({{0, 1}, false, 500, true});
    rig.start();
    FakeSerialPort& port = rig.port(1);
    RunReport last;
    while (rig.clock.monotonic < 4000) {
        const qint64 t = rig.clock.monotonic + RunEngine::DEVICE_STEP_MS;
        if (t == 1300) {
            port.setFailure(DeviceError(706, kLineFailed));
            port.setOpenError(
                DeviceError(701, QStringLiteral("COM2 (/dev/ttyS1) が見つかりません。")));
        } else if (t == 2300) {
            port.setOpenError(std::nullopt);
        }
        for (int unit : {0, 1}) {
            if (unit == 0 || t < 1300 || t > 2300) {
                rig.receive(unit, {double(t / 100)}); // the time in tenths of seconds
            }
        }
        last = rig.step();
        QVERIFY(!last.ended);
    }
    const UnitRecord& u2 = rig.md.Units[1];
    QCOMPARE(u2.Data[1], 8.0f); // the window 600..1000 ms, the mean of its five readings
    QCOMPARE(u2.Data[4], NO_DATA_VALUE);
    QCOMPARE(u2.Data[5], 26.0f); // readings of 2400..2800 ms
    QCOMPARE(u2.Data[6], 31.0f);
    const RunReport stop = rig.engine.Stop();
    // The summary counts exactly the holes the stored rows hold.
    const int holes = Holes(u2, rig.md.SampleCount);
    QCOMPARE(holes, 3);
    QCOMPARE(Texts(stop.afterStop),
             QStringList{QStringLiteral("2台目: 3件（%1）").arg(kLineFailed)});
}

void TestRunEngine::linesThatAreNotReadingsKeepTheirPeriods_data() {
    QTest::addColumn<bool>("continueOnError");
    QTest::addColumn<QByteArrayList>("firstWindow");
    QTest::addColumn<QStringList>("ending");
    const QByteArrayList readings{"    10.0", "    10.0", "    10.0"};
    const QByteArrayList errors{"   ERROR", "   ERROR", "   ERROR"};
    QTest::newRow("going on through faults") << true << readings << QStringList();
    QTest::newRow("stopping at faults") << false << readings << QStringList();
    // Row 0 tells a saved file which units were in use: it must hold a reading.
    QTest::newRow("no reading in the first row")
        << true << errors << QStringList{QStringLiteral("2台目: リターン文字列不正")};
}

void TestRunEngine::linesThatAreNotReadingsKeepTheirPeriods() {
    QFETCH(bool, continueOnError);
    QFETCH(QByteArrayList, firstWindow);
    QFETCH(QStringList, ending);
    // 300 ms: three stream periods a value. Unit 1 keeps reading 1, 2, 3, ...
    EngineRig rig({{0, 1}, false, 300, continueOnError});
    rig.start();
    const QList<QByteArrayList> windows{
        firstWindow,
        {"   ERROR", "   ERROR", "   ERROR"}, // a hole
        {"   ERROR", "    30.0", "   ERROR"}, // what came
        {"    40.0", "    40.0", "    40.0"},
    };
    RunReport report;
    for (int w = 0; w < windows.size() && !report.ended; ++w) {
        rig.receive(0, {double(w + 1), double(w + 1), double(w + 1)});
        rig.receive(1, windows[w]);
        report = rig.step();
        if (w == 1 && !report.ended) {
            QVERIFY(rig.engine.ShowsError(1));
            QCOMPARE(rig.engine.LastError(1), QStringLiteral("リターン文字列不正"));
        }
    }
    if (!ending.isEmpty()) {
        QVERIFY(report.ended);
        QCOMPARE(Texts(report.afterStop), ending);
        QCOMPARE(rig.md.Units[0].Data[0], 1.0f); // the rows are kept
        return;
    }
    QVERIFY(!report.ended);
    QVERIFY(!rig.engine.ShowsError(1));
    const UnitRecord& u2 = rig.md.Units[1];
    QCOMPARE(u2.DataCount, 4);
    QCOMPARE((QList<float>{u2.Data[0], u2.Data[1], u2.Data[2], u2.Data[3]}),
             (QList<float>{10.0f, NO_DATA_VALUE, 30.0f, 40.0f}));
    const RunReport stop = rig.engine.Stop();
    QCOMPARE(Texts(stop.afterStop),
             continueOnError ? QStringList{QStringLiteral("2台目: 1件（リターン文字列不正）")}
                             : QStringList());
}

void TestRunEngine::silentUnit_data() {
    QTest::addColumn<bool>("continueOnError");
    QTest::newRow("going on through faults") << true;
    QTest::newRow("stopping at faults") << false;
}

void TestRunEngine::silentUnit() {
    // A unit whose own power failed behind an adapter that stays plugged in: its line stays
    // open, nothing more arrives.
    QFETCH(bool, continueOnError);
    EngineRig rig({{0, 1}, false, 100, continueOnError});
    rig.start();
    RunReport report;
    for (int k = 1; k <= 40 && !report.ended; ++k) {
        rig.receive(0, {double(k)});
        if (k <= 5) {
            rig.receive(1, {double(k)});
        }
        report = rig.step();
        // Three seconds after its last line.
        QCOMPARE(report.ended || rig.engine.ShowsError(1), k >= 35);
    }
    if (!continueOnError) {
        QVERIFY(report.ended);
        QCOMPARE(Texts(report.afterStop), QStringList{QStringLiteral("2台目: タイムアウト")});
        QCOMPARE(rig.md.SampleCount, 35);
        return;
    }
    QCOMPARE(rig.engine.LastError(1), QStringLiteral("タイムアウト"));
    QVERIFY(!rig.port(1).isOpen());
    // Probed and its stream started again a second later; its values go on in their rows.
    const int starts = int(rig.port(1).commands().count("RUN00"));
    for (int k = 41; k <= 45; ++k) {
        rig.receive(0, {double(k)});
        report = rig.step();
    }
    QCOMPARE(int(rig.port(1).commands().count("RUN00")), starts + 1);
    rig.receive(1, {46.0});
    rig.receive(0, {46.0});
    rig.step();
    QCOMPARE(rig.md.Units[1].DataCount, 46);
    QCOMPARE(rig.md.Units[1].Data[45], 46.0f);
    QCOMPARE(rig.md.Units[1].Data[5], NO_DATA_VALUE);
    QVERIFY(!rig.engine.ShowsError(1));
    QCOMPARE(Texts(rig.engine.Stop().afterStop),
             QStringList{QStringLiteral("2台目: 40件（タイムアウト）")});
}

QTEST_GUILESS_MAIN(TestRunEngine)
#include "test_run_engine.moc"
