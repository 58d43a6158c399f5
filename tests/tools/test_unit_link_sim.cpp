// SPDX-License-Identifier: GPL-3.0-or-later
// The unit driver over real pseudo-terminals against the simulator.
#include "UnitSimulator.h"
#include "platform/QtSerialPort.h"
#include "unit_link/ComDrv.h"

#include <QElapsedTimer>
#include <QTest>
#include <memory>

using k12::ComDrv;
using k12::DeviceError;
using k12::SimUnitConfig;
using k12::UnitSimulator;

namespace {

constexpr int StreamPeriodMs = 5;

struct Rig {
    explicit Rig(SimUnitConfig config) : sim({config}, StreamPeriodMs) {
        sim.start();
        drv = std::make_unique<ComDrv>(k12::QtSerialPort::ForDevice(sim.devicePath(0)));
    }
    ~Rig() { drv.reset(); }
    UnitSimulator sim;
    std::unique_ptr<ComDrv> drv;
};

SimUnitConfig counter() {
    SimUnitConfig c;
    c.waveform = k12::Waveform::Counter;
    return c;
}

template <typename F> int errorOf(F&& f) {
    try {
        f();
    } catch (const DeviceError& e) {
        return e.number();
    }
    return 0;
}

} // namespace

class TestUnitLinkSim : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void probeAndGet() {
        Rig rig(counter());
        rig.drv->DevOpen(4);
        QVERIFY(rig.drv->Openflg());
        QCOMPARE(rig.drv->PortNo(), int16_t(4));
        QCOMPARE(rig.drv->GetDegree(), 1.0);
        QCOMPARE(rig.drv->GetDegree(), 2.0);
        rig.drv->DevClose();
        QVERIFY(!rig.drv->Openflg());
        QCOMPARE(rig.sim.receivedCommands(0), (QList<QByteArray>{QByteArray(), "GET", "GET"}));
    }

    void constantWithDelayedReply() {
        SimUnitConfig c;
        c.level = -123.4567; // "-123.457": eight characters
        c.replyDelayMs = 20;
        Rig rig(c);
        rig.drv->DevOpen(1);
        QCOMPARE(rig.drv->GetDegree(), -123.457);
    }

    // Counter readings 1, 2, 3, ... averaged n at a time: the k-th value is k*n + (n+1)/2.
    void streamsWithAveraging_data() {
        QTest::addColumn<int>("interval");
        QTest::newRow("1") << 1;
        QTest::newRow("2") << 2;
        QTest::newRow("10") << 10;
    }
    void streamsWithAveraging() {
        QFETCH(int, interval);
        Rig rig(counter());
        rig.drv->DevOpen(1);
        rig.drv->LogStart(int16_t(interval));
        QVERIFY(rig.drv->Logflg());
        QVector<double> values;
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                while (rig.drv->GetLogLen() > 0)
                    values.append(rig.drv->GetLog());
                return values.size() >= 5;
            }(),
            10000);
        for (int k = 0; k < values.size(); ++k)
            QVERIFY2(qAbs(values[k] - (k * interval + (interval + 1) / 2.0)) < 1e-9,
                     qPrintable(QStringLiteral("value %1 is %2").arg(k).arg(values[k])));

        rig.drv->LogStop();
        QTRY_VERIFY(!rig.drv->Logflg());
        QVERIFY(!rig.drv->TimerActive());
        QCOMPARE(rig.sim.receivedCommands(0).last(), QByteArrayLiteral("STP"));
        // Idle again: single readings work and continue the count.
        QVERIFY(rig.drv->GetDegree() > values.last());
    }

    void cutOffLineDoesNotReachTheNextSession() {
        // The unit leaves a fragment of a reading after acknowledging the stop.
        SimUnitConfig c = counter();
        c.afterStop = "9";
        Rig rig(c);
        QVector<double> values;
        const auto take = [&] {
            while (rig.drv->GetLogLen() > 0)
                values.append(rig.drv->GetLog());
            return values.size();
        };
        rig.drv->DevOpen(1);
        rig.drv->LogStart(1);
        QTRY_VERIFY_WITH_TIMEOUT(take() >= 3, 10000);
        rig.drv->LogStop();
        QTRY_VERIFY(!rig.drv->Logflg());
        QTest::qWait(150); // the fragment is received by the open link
        take();
        rig.drv->DevClose();

        const qsizetype first = values.size();
        rig.drv->DevOpen(1);
        rig.drv->LogStart(1);
        QTRY_VERIFY_WITH_TIMEOUT(take() >= first + 2, 10000);
        rig.drv->LogStop();
        // The counter goes on without a gap: the new session's first reading is not lost.
        for (qsizetype k = 0; k < values.size(); ++k)
            QCOMPARE(values[k], double(k + 1));
    }

    void faultyUnitsFailToOpen_data() {
        QTest::addColumn<QString>("fault");
        QTest::newRow("silent") << "silent";
        QTest::newRow("one character") << "one-char";
        QTest::newRow("bare LF") << "bare-lf";
    }
    void faultyUnitsFailToOpen() {
        QFETCH(QString, fault);
        SimUnitConfig c;
        c.silent = fault == QLatin1String("silent");
        c.oneCharReplies = fault == QLatin1String("one-char");
        c.bareLf = fault == QLatin1String("bare-lf");
        Rig rig(c);
        QCOMPARE(errorOf([&] { rig.drv->DevOpen(1); }), k12::link_error::Timeout);
        QVERIFY(!rig.drv->Openflg());
        QVERIFY(!rig.drv->Port().isOpen());
        QCOMPARE(errorOf([&] { rig.drv->GetDegree(); }), k12::link_error::NotOpen);
    }

    void garbageReading() {
        SimUnitConfig c;
        c.garbage = true;
        Rig rig(c);
        rig.drv->DevOpen(1);
        QCOMPARE(errorOf([&] { rig.drv->GetDegree(); }), k12::link_error::BadReply);
        QVERIFY(rig.drv->Openflg());
    }

    void hangUpIsReported() {
        SimUnitConfig c;
        c.hangUpAfterLines = 1; // the probe's answer, then the line drops
        Rig rig(c);
        rig.drv->DevOpen(1);
        QTRY_VERIFY(rig.sim.hungUp(0));
        QCOMPARE(errorOf([&] { rig.drv->GetDegree(); }), k12::serial_error::LineFailed);
        QVERIFY(rig.drv->PortFailure());
        rig.drv->DevClose();
        QVERIFY(!rig.drv->PortFailure());
    }

    void hangUpWhileStreaming() {
        SimUnitConfig c = counter();
        c.hangUpAfterLines = 10; // probe answer, "OK", eight readings
        Rig rig(c);
        rig.drv->DevOpen(1);
        rig.drv->LogStart(1);
        QTRY_VERIFY(rig.drv->PortFailure());
        QCOMPARE(rig.drv->PortFailure()->number(), k12::serial_error::LineFailed);
        QVector<double> values;
        while (rig.drv->GetLogLen() > 0)
            values.append(rig.drv->GetLog());
        // What arrived before the drop is in order, without gaps or repeats.
        QVERIFY(values.size() <= 8);
        for (int k = 0; k < values.size(); ++k)
            QCOMPARE(values[k], double(k + 1));
    }

    // Streaming faults at a unit period slower than the simulator's: clock readings, given in
    // the unit's periods after the first value.
    void streamingFaults_data() {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QList<double>>("periods");
        const double hole = k12::LOG_NO_READING;
        QTest::newRow("error spell")
            << "error-spell" << QList<double>{0, 1, 2, hole, hole, hole, hole, 7, 8};
        QTest::newRow("power cut") << "power-cut" << QList<double>{0, 1, 2, 3};
        QTest::newRow("CR only") << "cr-only" << QList<double>{};
    }
    void streamingFaults() {
        QFETCH(QString, fault);
        QFETCH(QList<double>, periods);
        SimUnitConfig c;
        c.waveform = k12::Waveform::Clock;
        const int period = 4 * StreamPeriodMs;
        c.streamPeriodMs = period;
        c.errorAfterLines = fault == QLatin1String("error-spell") ? 3 : -1;
        c.errorForReadings = 4;
        c.powerCutAfterLines = fault == QLatin1String("power-cut") ? 4 : -1;
        c.crOnly = fault == QLatin1String("cr-only");
        QElapsedTimer sinceStart;
        sinceStart.start();
        Rig rig(c);
        rig.drv->DevOpen(1);
        rig.drv->LogStart(1);
        QVector<double> values;
        const auto take = [&] {
            while (rig.drv->GetLogLen() > 0)
                values.append(rig.drv->GetLog());
            return values.size();
        };
        QTRY_VERIFY_WITH_TIMEOUT(take() >= periods.size(), 10000);
        const quint64 lines = rig.drv->LinesReceived();
        QTest::qWait(15 * period);
        take();
        for (int k = 0; k < periods.size(); ++k)
            QCOMPARE(values[k],
                     periods[k] == k12::LOG_NO_READING ? periods[k] : values[0] + periods[k]);
        // A clock reading is never due before that many of the unit's own periods have passed.
        QVERIFY(values.isEmpty() || values.last() * period <= sinceStart.elapsed() + period);
        if (fault == QLatin1String("error-spell"))
            return;
        // Not one more line reaches the driver.
        QCOMPARE(values.size(), periods.size());
        QCOMPARE(rig.drv->LinesReceived(), lines);
        if (c.crOnly)
            return;
        // The line stayed open: the unit answers the probe and streams after a new start.
        rig.drv->DevClose();
        rig.drv->DevOpen(1);
        rig.drv->LogStart(1);
        QTRY_VERIFY_WITH_TIMEOUT(take() > periods.size(), 10000);
    }
};

QTEST_GUILESS_MAIN(TestUnitLinkSim)
#include "test_unit_link_sim.moc"
