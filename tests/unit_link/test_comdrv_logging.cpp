// SPDX-License-Identifier: GPL-3.0-or-later
// Unit logging: starting and stopping the stream, the tick handler, averaging and the ring.
#include "ComDrvRig.h"

#include <QTest>

using k12::test::ComDrvRig;

namespace {

// Streams the readings as lines and lets one tick take them.
void stream(ComDrvRig& rig, const QList<double>& readings) {
    QByteArray bytes;
    for (double r : readings) {
        bytes += QByteArray::number(r) + "\r\n";
    }
    rig.port->feed(bytes);
    rig.drv->OnTimer1();
}

QList<double> takeAll(ComDrvRig& rig) {
    QList<double> out;
    for (int n = rig.drv->GetLogLen(); n > 0; --n) {
        out.append(rig.drv->GetLog());
    }
    return out;
}

} // namespace

class TestComDrvLogging : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void logStartChecks_data();
    void logStartChecks();
    void logStartBadReply_data();
    void logStartBadReply();
    void averaging_data();
    void averaging();
    void everyLineIsAPeriod_data();
    void everyLineIsAPeriod();
    void ringKeepsOldestHundred();
    void emptyRing();
    void stopSequence();
    void tickKeepsPartialLine();
    void partialLineEndsWithTheSession();
    void reopenClearsLogflg();
};

void TestComDrvLogging::logStartChecks_data() {
    QTest::addColumn<int>("interval");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("0") << 0 << false;
    QTest::newRow("-1") << -1 << false;
    QTest::newRow("101") << 101 << false;
    QTest::newRow("1") << 1 << true;
    QTest::newRow("100") << 100 << true;
}

void TestComDrvLogging::logStartChecks() {
    QFETCH(int, interval);
    QFETCH(bool, accepted);

    ComDrvRig rig;
    K12_EXPECT_DEVICE_ERROR(rig.drv->LogStart(int16_t(interval)), 600, "オープンされていない");
    K12_EXPECT_DEVICE_ERROR(rig.drv->LogStop(), 600, "オープンされていない");

    rig.open();
    rig.port->reply("RUN00", "OK\r\n");
    if (!accepted) {
        K12_EXPECT_DEVICE_ERROR(rig.drv->LogStart(int16_t(interval)), 605, "設定値範囲外");
        QCOMPARE(rig.port->commands(), QByteArrayList{""});
        QVERIFY(!rig.drv->Logflg());
        return;
    }
    rig.drv->LogStart(int16_t(interval));
    QCOMPARE(rig.port->commands().last(), QByteArray("RUN00"));
    QVERIFY(rig.drv->Logflg());
    QVERIFY(!rig.drv->Stopflg());
    QVERIFY(rig.drv->TimerActive());
    QCOMPARE(rig.drv->AvgCount(), int16_t(interval));

    // Busy while logging, the logging check coming before the range check.
    K12_EXPECT_DEVICE_ERROR(rig.drv->LogStart(0), 605, "連続取り込み動作中");
    K12_EXPECT_DEVICE_ERROR(rig.drv->GetDegree(), 605, "連続取り込み動作中");
}

void TestComDrvLogging::logStartBadReply_data() {
    QTest::addColumn<QByteArray>("reply");
    QTest::newRow("NG") << QByteArray("NG\r\n");
    QTest::newRow("OK with blank") << QByteArray("OK \r\n");
    QTest::newRow("a reading") << QByteArray("10.0\r\n");
    QTest::newRow("none") << QByteArray();
}

void TestComDrvLogging::logStartBadReply() {
    QFETCH(QByteArray, reply);

    ComDrvRig rig;
    rig.open();
    rig.port->feed("42.0\r\n"); // a stray reading already in the ring
    rig.drv->OnTimer1();
    QCOMPARE(rig.drv->GetLogLen(), int16_t(1));

    rig.port->reply("RUN00", reply);
    K12_EXPECT_DEVICE_ERROR(rig.drv->LogStart(2), 604, "リターン文字列不正");
    QVERIFY(!rig.drv->Logflg());
    QCOMPARE(rig.drv->GetLogLen(), int16_t(1));
    QCOMPARE(rig.drv->GetLog(), 42.0);
}

void TestComDrvLogging::averaging_data() {
    QTest::addColumn<int>("interval");
    QTest::addColumn<QList<double>>("readings");
    QTest::addColumn<QList<double>>("logged");

    QTest::newRow("across 180") << 2 << QList<double>{179, -179} << QList<double>{180};
    QTest::newRow("interval 1 unnormalised")
        << 1 << QList<double>{-200, 370.5} << QList<double>{-200, 370.5};
    QTest::newRow("interval 2 normalised") << 2 << QList<double>{-200, -200} << QList<double>{160};
    QTest::newRow("third quadrant") << 2 << QList<double>{-170, -160} << QList<double>{-165};
    QTest::newRow("plain mean, rest waits")
        << 3 << QList<double>{10, 20, 30, 40, 50} << QList<double>{20};
    QTest::newRow("across 0") << 2 << QList<double>{350, 20} << QList<double>{5};
    QTest::newRow("straight up") << 2 << QList<double>{80, 100} << QList<double>{90};
}

void TestComDrvLogging::averaging() {
    QFETCH(int, interval);
    QFETCH(QList<double>, readings);
    QFETCH(QList<double>, logged);

    ComDrvRig rig;
    rig.startLogging(int16_t(interval));
    stream(rig, readings);
    const QList<double> got = takeAll(rig);
    QCOMPARE(got.size(), logged.size());
    for (qsizetype i = 0; i < got.size(); ++i) {
        QVERIFY2(qAbs(got[i] - logged[i]) < 1e-9,
                 qPrintable(QString("%1 != %2").arg(got[i], 0, 'g', 17).arg(logged[i])));
    }
}

void TestComDrvLogging::everyLineIsAPeriod_data() {
    QTest::addColumn<int>("interval");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QList<double>>("logged");
    const double hole = k12::LOG_NO_READING;
    QTest::newRow("interval 1: an error line is a hole")
        << 1 << QByteArray("10.0\r\n   ERROR\r\n20.0\r\n") << QList<double>{10, hole, 20};
    QTest::newRow("interval 3: errors within windows")
        << 3 << QByteArray("10\r\n   ERROR\r\n20\r\n30\r\nNG\r\n   ERROR\r\n")
        << QList<double>{15, 30};
    QTest::newRow("interval 3: a window of only errors")
        << 3 << QByteArray("   ERROR\r\n   ERROR\r\n   ERROR\r\n40\r\n50\r\n60\r\n")
        << QList<double>{hole, 50};
    QTest::newRow("bare LF, one character, no CR")
        << 1 << QByteArray("\n7\r\nab\n5.5\r\n") << QList<double>{hole, hole, hole, 5.5};
    QTest::newRow("noise: a line too long to be a reply")
        << 1 << QByteArray(5000, '1') + "\r\n12.5\r\n"
        << QList<double>{hole, 12.5};
}

void TestComDrvLogging::everyLineIsAPeriod() {
    QFETCH(int, interval);
    QFETCH(QByteArray, bytes);
    QFETCH(QList<double>, logged);

    ComDrvRig rig;
    rig.startLogging(int16_t(interval));
    rig.port->feed(bytes);
    rig.drv->OnTimer1();
    QCOMPARE(rig.drv->LinesReceived(), quint64(bytes.count('\n')));
    const QList<double> got = takeAll(rig);
    QCOMPARE(got.size(), logged.size());
    for (qsizetype i = 0; i < got.size(); ++i) {
        QVERIFY2(qAbs(got[i] - logged[i]) < 1e-9, qPrintable(QString::number(got[i])));
    }
    rig.port->feed(QByteArray(5000, '7')); // noise without LF does not grow the line
    rig.drv->OnTimer1();
    QVERIFY(rig.drv->RcvBufSize() <= k12::MAX_LINE_LENGTH);
}

void TestComDrvLogging::ringKeepsOldestHundred() {
    // Readings of two or more characters: a one-character line is not a line.
    auto values = [](int first, int last) {
        QList<double> out;
        for (int i = first; i <= last; ++i) {
            out.append(1000 + i);
        }
        return out;
    };
    ComDrvRig rig;
    rig.startLogging(1);
    stream(rig, values(0, 100));
    QCOMPARE(rig.drv->GetLogLen(), int16_t(100));
    QCOMPARE(takeAll(rig), values(0, 99));
    QCOMPARE(rig.drv->GetLog(), 0.0);
    QCOMPARE(rig.drv->GetLogLen(), int16_t(0));
    // The 101st waited in the port: the next tick brings it.
    rig.drv->OnTimer1();
    QCOMPARE(takeAll(rig), values(100, 100));

    // Order holds across the wrap of the write and read positions, and 300 lines taken late
    // (a step 30 s behind) all arrive, a full log at a time.
    stream(rig, values(1, 10));
    QCOMPARE(rig.drv->GetLog(), 1001.0);
    stream(rig, values(11, 310));
    QList<double> late;
    for (int tick = 0; tick < 3; ++tick) {
        QCOMPARE(rig.drv->GetLogLen(), int16_t(100));
        late += takeAll(rig);
        rig.drv->OnTimer1();
    }
    QCOMPARE(late, values(2, 301));
    QCOMPARE(takeAll(rig), values(302, 310));
}

void TestComDrvLogging::emptyRing() {
    ComDrvRig rig;
    QCOMPARE(rig.drv->GetLog(), 0.0);
    QCOMPARE(rig.drv->GetLogLen(), int16_t(0));
}

void TestComDrvLogging::stopSequence() {
    ComDrvRig rig;
    rig.startLogging(1);

    // "OK" while not stopping is no stop: a period without a reading.
    rig.port->feed("OK\r\n");
    rig.drv->OnTimer1();
    QCOMPARE(takeAll(rig), QList<double>{k12::LOG_NO_READING});
    QVERIFY(rig.drv->Logflg());
    QVERIFY(rig.drv->TimerActive());

    rig.drv->LogStop();
    QCOMPARE(rig.port->commands().last(), QByteArray("STP"));
    QVERIFY(rig.drv->Stopflg());
    QVERIFY(rig.drv->Logflg());
    K12_EXPECT_DEVICE_ERROR(rig.drv->LogStart(1), 605, "連続取り込み動作中");
    K12_EXPECT_DEVICE_ERROR(rig.drv->GetDegree(), 605, "連続取り込み動作中");

    // The acknowledgement stops the timer; the tick still takes the readings behind it. From the
    // stop on, other lines are no periods.
    rig.port->feed("3.0\r\n   ERROR\r\nOK\r\n   ERROR\r\n4.0\r\n");
    rig.drv->OnTimer1();
    QVERIFY(!rig.drv->TimerActive());
    QVERIFY(!rig.drv->Logflg());
    QVERIFY(rig.drv->Stopflg());
    QVERIFY(rig.port->received().isEmpty());
    QCOMPARE(takeAll(rig), (QList<double>{3.0, 4.0}));

    // Idle again: single readings work and logging can restart.
    rig.port->reply("GET", "8.25\r\n");
    QCOMPARE(rig.drv->GetDegree(), 8.25);
    rig.port->reply("RUN00", "OK\r\n");
    rig.drv->LogStart(1);
    QVERIFY(!rig.drv->Stopflg());
    QVERIFY(rig.drv->TimerActive());
}

void TestComDrvLogging::tickKeepsPartialLine() {
    ComDrvRig rig;
    rig.startLogging(1);
    rig.port->feed("12.");
    rig.drv->OnTimer1();
    QCOMPARE(rig.drv->GetLogLen(), int16_t(0));
    rig.port->feed("5\r");
    rig.drv->OnTimer1();
    QCOMPARE(rig.drv->GetLogLen(), int16_t(0));
    rig.port->feed("\nx\r\n7\n6.5\r\n");
    rig.drv->OnTimer1();
    QCOMPARE(takeAll(rig), (QList<double>{12.5, k12::LOG_NO_READING, k12::LOG_NO_READING, 6.5}));
}

void TestComDrvLogging::partialLineEndsWithTheSession() {
    ComDrvRig rig;
    rig.startLogging(1);
    rig.port->feed("1");
    rig.drv->OnTimer1();
    rig.drv->DevClose();
    rig.port->reply("RUN00", "OK\r\n");
    rig.open();
    rig.drv->LogStart(1);
    stream(rig, {13.5});
    QCOMPARE(takeAll(rig), QList<double>{13.5}); // not 113.5
}

void TestComDrvLogging::reopenClearsLogflg() {
    ComDrvRig rig;
    rig.startLogging(5);
    rig.drv->DevClose();
    QVERIFY(rig.drv->Logflg());
    QVERIFY(!rig.drv->TimerActive());
    rig.open();
    QVERIFY(!rig.drv->Logflg());
    QVERIFY(rig.drv->TimerActive());
}

QTEST_GUILESS_MAIN(TestComDrvLogging)
#include "test_comdrv_logging.moc"
