// SPDX-License-Identifier: GPL-3.0-or-later
// The run engine without a window: the rules of a run over scripted units and a fake clock.
#include "EngineRig.h"

#include <QTest>
#include <algorithm>

using namespace k12;
using namespace k12::test;

namespace {

const QString kLineFailed = QStringLiteral("COM2 (/dev/pts/9) との通信が切断されました。");

QStringList Texts(const std::vector<RunMessage>& messages) {
    QStringList texts;
    for (const RunMessage& m : messages) {
        texts << m.text;
    }
    return texts;
}

int Holes(const UnitRecord& u, int32_t rows) {
    return int(std::count(u.Data.begin(), u.Data.begin() + rows, NO_DATA_VALUE));
}

} // namespace

class TestRunEngine : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void returningUnitLandsInTheNearestRow();
    void linesThatAreNotReadingsKeepTheirPeriods_data();
    void linesThatAreNotReadingsKeepTheirPeriods();
    void silentUnit_data();
    void silentUnit();
};

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
