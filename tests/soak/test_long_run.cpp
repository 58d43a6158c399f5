// SPDX-License-Identifier: GPL-3.0-or-later
// Long runs of the real main window, chart and serial ports against four simulated units on
// pseudo-terminals, up to the store's limit in both timing modes.
#include "SoakRig.h"

#include <QApplication>
#include <QElapsedTimer>

using namespace k12;
using namespace k12::test;

namespace {

const QString kOutOfMemory = QStringLiteral("メモリー不足です。測定値が保存できません");
const QString kBufferFull = QStringLiteral("データ入力バッファがいっぱいのため測定を中止します。");

} // namespace

class TestLongRun : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void deviceTimerToTheLimit();
    void pcTimerToTheLimit();
};

void TestLongRun::deviceTimerToTheLimit() {
    SoakRig rig({{0, 1, 2, 3}, false, 100}); // one reading per logged value
    QElapsedTimer clock;
    clock.start();

    // Gaps between collection steps, to see whether the event loop kept up.
    QElapsedTimer sinceStep;
    qint64 maxGapMs = 0;
    QStringList longGaps;
    QObject::connect(&rig.form->Timer2(), &QTimer::timeout, rig.form.get(), [&] {
        if (sinceStep.isValid()) {
            const qint64 gap = sinceStep.elapsed();
            maxGapMs = std::max(maxGapMs, gap);
            if (gap > 250) {
                longGaps << QStringLiteral("%1 ms at row %2").arg(gap).arg(rig.md.SampleCount);
            }
        }
        sinceStep.start();
    });

    rig.start();
    QVERIFY(rig.md.Measuring);
    QVERIFY(rig.form->Timer2().isActive());
    QVERIFY(rig.messages.shown.isEmpty());

    int32_t seen = -1;
    QElapsedTimer sinceProgress;
    sinceProgress.start();
    while (rig.md.Measuring) {
        QTest::qWait(200);
        if (rig.md.SampleCount != seen) {
            seen = rig.md.SampleCount;
            sinceProgress.start();
        }
        QVERIFY2(sinceProgress.elapsed() < kStallMs,
                 qPrintable(QStringLiteral("no progress at %1 rows").arg(seen)));
    }
    qInfo("device-timer run: %lld ms, %d steps, longest gap between steps %lld ms; gaps over "
          "250 ms: %s",
          clock.elapsed(), rig.md.DeviceTickCount, maxGapMs, qPrintable(longGaps.join(", ")));

    QCOMPARE(rig.messages.texts(), QStringList{kBufferFull});
    QCOMPARE(rig.md.SampleCount, MAX_SAMPLES);
    QVERIFY(!rig.form->Timer2().isActive());
    for (int i = 0; i < UNIT_COUNT; ++i) {
        const UnitRecord& u = rig.md.Units[i];
        // The units started a few readings apart; none may lag further behind.
        QVERIFY2(u.DataCount > MAX_SAMPLES - 50, qPrintable(QString::number(u.DataCount)));
        QVERIFY(u.DataCount <= MAX_SAMPLES);
        QCOMPARE(rig.sim->receivedCommands(i).constLast(), QByteArray("STP"));
        QVERIFY(!rig.md.Driver(i).Openflg());
    }
    QVERIFY(rig.consecutive({0, 1, 2, 3}));

    // The costliest step's chart work: all rows replotted and drawn.
    QElapsedTimer draw;
    draw.start();
    rig.form->GrDrawData1();
    rig.chart.plot()->replot(QCustomPlot::rpImmediateRefresh);
    qInfo("replotting %d rows took %lld ms", rig.md.SampleCount, draw.elapsed());

    // Nothing runs after the stop.
    const int32_t steps = rig.md.DeviceTickCount;
    QTest::qWait(500);
    QCOMPARE(rig.md.DeviceTickCount, steps);
    QCOMPARE(rig.md.SampleCount, MAX_SAMPLES);
    QCOMPARE(rig.messages.shown.size(), 1);
    QVERIFY(!rig.md.Measuring);
}

void TestLongRun::pcTimerToTheLimit() {
    SoakRig rig({{0, 1, 2, 3}, true, 1000});
    rig.start();
    QVERIFY(rig.md.Measuring);
    QVERIFY(rig.form->Timer1().isActive());
    QVERIFY(rig.messages.shown.isEmpty());

    // Rows before the polled ones, counting up to 0 so that the first poll (1) continues them.
    const int32_t first = MAX_SAMPLES - kPolledRows;
    for (UnitRecord& u : rig.md.Units) {
        for (int32_t r = 0; r < first; ++r) {
            u.Data[r] = static_cast<float>(r - first + 1);
        }
        u.DataCount = first;
    }
    rig.md.SampleCount = first;
    // The first step resumes repainting only in a run that starts empty.
    rig.chart.resumeRepaint();

    // Ticks come faster than the one-second timer; the timer's own ticks are welcome too.
    QElapsedTimer clock;
    clock.start();
    QElapsedTimer sinceProgress;
    sinceProgress.start();
    int32_t seen = rig.md.SampleCount;
    qint64 lastTickMs = 0;
    while (rig.md.Measuring && rig.md.SampleCount < MAX_SAMPLES) {
        QElapsedTimer tick;
        tick.start();
        rig.tick();
        lastTickMs = tick.elapsed();
        // The chart's queued replot and the timers run now and then, not after every row.
        if (rig.md.SampleCount % 100 == 0 && rig.md.SampleCount < MAX_SAMPLES) {
            QCoreApplication::processEvents();
        }
        if (rig.md.SampleCount != seen) {
            seen = rig.md.SampleCount;
            sinceProgress.start();
        }
        QVERIFY2(sinceProgress.elapsed() < kStallMs, qPrintable(QString::number(seen)));
    }
    const qint64 ms = clock.elapsed();
    const int32_t polled = rig.md.SampleCount - first;
    qInfo("last tick took %lld ms", lastTickMs);
    qInfo("PC-timer run: %d rows polled in %lld ms (%.2f ms per row of four units)", polled, ms,
          double(ms) / std::max(1, polled));
    for (int i = 0; i < UNIT_COUNT; ++i) {
        qInfo("unit %d: %lld commands received, %d lines sent", i + 1,
              qlonglong(rig.sim->receivedCommands(i).size()), rig.sim->linesSent(i));
    }
    QVERIFY2(rig.messages.shown.isEmpty(), qPrintable(rig.messages.texts().join(u'\n')));
    QCOMPARE(rig.md.SampleCount, MAX_SAMPLES);
    QVERIFY(rig.md.Measuring);
    for (const UnitRecord& u : rig.md.Units) {
        QCOMPARE(u.DataCount, MAX_SAMPLES);
    }
    QVERIFY(rig.consecutive({0, 1, 2, 3}, static_cast<float>(1 - first)));

    // The next tick finds the store full.
    rig.tick();
    QCOMPARE(rig.messages.texts(), QStringList{kOutOfMemory});
    QVERIFY(!rig.md.Measuring);
    QVERIFY(!rig.form->Timer1().isActive());
    const qsizetype gets = rig.sim->receivedCommands(0).count("GET");
    QCOMPARE(gets, qsizetype(kPolledRows));

    // Further ticks do nothing.
    for (int k = 0; k < 3; ++k) {
        rig.tick();
    }
    QTest::qWait(100);
    QCOMPARE(rig.messages.shown.size(), 1);
    QCOMPARE(rig.md.SampleCount, MAX_SAMPLES);
    for (int i = 0; i < UNIT_COUNT; ++i) {
        QCOMPARE(rig.sim->receivedCommands(i).count("GET"), gets);
        QVERIFY(!rig.md.Driver(i).Openflg());
    }
}

int main(int argc, char* argv[]) {
    // The device-timer run streams for six minutes, longer than QtTest's default watchdog.
    if (qEnvironmentVariableIsEmpty("QTEST_FUNCTION_TIMEOUT")) {
        qputenv("QTEST_FUNCTION_TIMEOUT", "570000");
    }
    QApplication app(argc, argv);
    TestLongRun test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "test_long_run.moc"
