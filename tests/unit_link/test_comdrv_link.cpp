// SPDX-License-Identifier: GPL-3.0-or-later
// Unit link: framing, reading lines, opening and closing, errors and port failures.
#include "ComDrvRig.h"

#include <QTest>

using k12::DeviceError;
using k12::test::ComDrvRig;

class TestComDrvLink : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void getDegreeReplies_data();
    void getDegreeReplies();
    void timeoutIsHundredCycles_data();
    void timeoutIsHundredCycles();
    void charactersBehindLineStay();
    void devOpenConfiguresAndProbes();
    void ctsOffSendsNothing();
    void devOpenTwiceKeepsFirstLink();
    void devCloseIsHarmlessWhenClosed();
    void serialErrorPassesThrough();
    void lateReplyGoesToTickHandler();
    void portFailureSurfaces();
};

void TestComDrvLink::getDegreeReplies_data() {
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("error");
    QTest::addColumn<double>("value");

    QTest::newRow("plain") << QByteArray("12.5\r\n") << 0 << 12.5;
    QTest::newRow("first eight chars") << QByteArray("-123.4567\r\n") << 0 << -123.456;
    QTest::newRow("blanks and plus") << QByteArray(" +45.25 \r\n") << 0 << 45.25;
    QTest::newRow("integer") << QByteArray("-7\r\n") << 0 << -7.0;
    QTest::newRow("point first") << QByteArray(".5\r\n") << 0 << 0.5;
    QTest::newRow("tail ignored") << QByteArray("1.000000xyz\r\n") << 0 << 1.0;
    QTest::newRow("one-char line dropped, next taken") << QByteArray("5\r\n12.0\r\n") << 0 << 12.0;
    QTest::newRow("bare LF dropped") << QByteArray("99\n12.0\r\n") << 0 << 12.0;
    QTest::newRow("CR inside bare-LF text") << QByteArray("9\r9\n3.0\r\n") << 0 << 3.0;
    QTest::newRow("noise line dropped") << QByteArray(5000, '9') + "\r\n3.0\r\n" << 0 << 3.0;
    QTest::newRow("OK is not a reading") << QByteArray("OK\r\n") << 604 << 0.0;
    QTest::newRow("two points") << QByteArray("1.2.3\r\n") << 604 << 0.0;
    QTest::newRow("sign only") << QByteArray("-.\r\n") << 604 << 0.0;
    QTest::newRow("blank inside") << QByteArray("12 34\r\n") << 604 << 0.0;
    QTest::newRow("number after eighth char") << QByteArray("angle = 5\r\n") << 604 << 0.0;
    QTest::newRow("one-char line only") << QByteArray("5\r\n") << 603 << 0.0;
    QTest::newRow("empty line only") << QByteArray("\r\n") << 603 << 0.0;
    QTest::newRow("no CR") << QByteArray("12.5\n") << 603 << 0.0;
    QTest::newRow("no reply") << QByteArray() << 603 << 0.0;
}

void TestComDrvLink::getDegreeReplies() {
    QFETCH(QByteArray, reply);
    QFETCH(int, error);
    QFETCH(double, value);

    ComDrvRig rig;
    rig.open();
    rig.port->reply("GET", reply);
    if (error == 0) {
        QCOMPARE(rig.drv->GetDegree(), value);
    } else if (error == 603) {
        K12_EXPECT_DEVICE_ERROR(rig.drv->GetDegree(), 603, "タイムアウト");
    } else {
        K12_EXPECT_DEVICE_ERROR(rig.drv->GetDegree(), 604, "リターン文字列不正");
    }
    QCOMPARE(rig.port->commands().last(), QByteArray("GET"));
    QVERIFY(rig.drv->Openflg());
}

void TestComDrvLink::timeoutIsHundredCycles_data() {
    QTest::addColumn<int>("delayMs");
    QTest::addColumn<bool>("answered");
    QTest::newRow("just in time") << 100 << true;
    QTest::newRow("too late") << 101 << false;
}

void TestComDrvLink::timeoutIsHundredCycles() {
    QFETCH(int, delayMs);
    QFETCH(bool, answered);

    ComDrvRig rig;
    rig.open();
    const qint64 start = rig.port->elapsedMs();
    rig.port->reply("GET", "1.0\r\n", delayMs);
    if (answered) {
        QCOMPARE(rig.drv->GetDegree(), 1.0);
    } else {
        K12_EXPECT_DEVICE_ERROR(rig.drv->GetDegree(), 603, "タイムアウト");
        QCOMPARE(rig.port->elapsedMs() - start, 100);
    }
}

void TestComDrvLink::charactersBehindLineStay() {
    ComDrvRig rig;
    rig.port->reply("", "OK\r\n7.5\r\n");
    rig.drv->DevOpen(1);
    QCOMPARE(rig.port->received(), QByteArray("7.5\r\n"));
    // No reply to this GET: the leftover line answers it.
    QCOMPARE(rig.drv->GetDegree(), 7.5);
}

void TestComDrvLink::devOpenConfiguresAndProbes() {
    ComDrvRig rig;
    QVERIFY(!rig.drv->TimerActive());
    rig.port->reply("", "anything\r\n");
    rig.drv->DevOpen(7);
    QCOMPARE(rig.port->portNumber, int16_t(7));
    QCOMPARE(rig.port->settings, QString("115200,n,8,1"));
    QCOMPARE(rig.port->outputs, QByteArrayList{"\r\n"});
    QVERIFY(rig.port->isOpen());
    QVERIFY(rig.drv->Openflg());
    QCOMPARE(rig.drv->PortNo(), int16_t(7));
    QVERIFY(!rig.drv->Logflg());
    QVERIFY(rig.drv->TimerActive());

    rig.drv->DevClose();
    QVERIFY(!rig.drv->Openflg());
    QVERIFY(!rig.port->isOpen());
    QVERIFY(!rig.drv->TimerActive());
}

void TestComDrvLink::ctsOffSendsNothing() {
    ComDrvRig rig;
    rig.port->setCts(false);
    rig.port->defaultReply("OK\r\n");
    K12_EXPECT_DEVICE_ERROR(rig.drv->DevOpen(2), 603, "タイムアウト");
    QVERIFY(rig.port->outputs.isEmpty());
    QVERIFY(!rig.port->isOpen());
    QCOMPARE(rig.port->closeCount, 1);
    QVERIFY(!rig.drv->Openflg());
    QVERIFY(!rig.drv->TimerActive());
    K12_EXPECT_DEVICE_ERROR(rig.drv->GetDegree(), 600, "オープンされていない");

    rig.port->setCts(true);
    rig.drv->DevOpen(2);
    rig.port->setCts(false);
    K12_EXPECT_DEVICE_ERROR(rig.drv->GetDegree(), 603, "タイムアウト");
    QCOMPARE(rig.port->commands(), QByteArrayList{""});
    QVERIFY(rig.drv->Openflg());
}

void TestComDrvLink::devOpenTwiceKeepsFirstLink() {
    ComDrvRig rig;
    rig.open(4);
    K12_EXPECT_DEVICE_ERROR(rig.drv->DevOpen(5), 601, "ポート接続動作中");
    QVERIFY(rig.drv->Openflg());
    QCOMPARE(rig.drv->PortNo(), int16_t(4));
    QCOMPARE(rig.port->portNumber, int16_t(4));
    QVERIFY(rig.port->isOpen());
    QCOMPARE(rig.port->openCount, 1);
    QVERIFY(rig.drv->TimerActive());
}

void TestComDrvLink::devCloseIsHarmlessWhenClosed() {
    ComDrvRig rig;
    rig.drv->DevClose();
    QCOMPARE(rig.port->closeCount, 0);
    rig.open();
    rig.drv->DevClose();
    rig.drv->DevClose();
    QCOMPARE(rig.port->closeCount, 1);
    K12_EXPECT_DEVICE_ERROR(rig.drv->GetDegree(), 600, "オープンされていない");
}

void TestComDrvLink::serialErrorPassesThrough() {
    ComDrvRig rig;
    rig.port->setOpenError(DeviceError(704, "COM9 を開けません"));
    K12_EXPECT_DEVICE_ERROR(rig.drv->DevOpen(9), 704, "COM9 を開けません");
    QVERIFY(!rig.drv->Openflg());
    QVERIFY(!rig.drv->TimerActive());

    // The link recovers once the port can be opened.
    rig.port->setOpenError(std::nullopt);
    rig.open(9);
    QVERIFY(rig.drv->Openflg());
}

void TestComDrvLink::lateReplyGoesToTickHandler() {
    ComDrvRig rig;
    rig.open();
    rig.port->reply("GET", "12.5\r\n", 150);
    K12_EXPECT_DEVICE_ERROR(rig.drv->GetDegree(), 603, "タイムアウト");
    QCOMPARE(rig.drv->GetLogLen(), int16_t(0));

    rig.port->advance(50);
    rig.drv->OnTimer1();
    QCOMPARE(rig.drv->GetLogLen(), int16_t(1));
    QCOMPARE(rig.drv->GetLog(), 12.5);
}

void TestComDrvLink::portFailureSurfaces() {
    const DeviceError hangUp(k12::serial_error::LineFailed, "COM3: 回線が切断されました");

    // A failure during the probe is reported instead of a time-out, and ends the wait early.
    {
        ComDrvRig rig;
        rig.port->setFailure(hangUp, 5);
        K12_EXPECT_DEVICE_ERROR(rig.drv->DevOpen(3), hangUp.number(), hangUp.description());
        QVERIFY(rig.port->elapsedMs() < 100);
        QVERIFY(!rig.port->isOpen());
        QVERIFY(!rig.drv->Openflg());
        QVERIFY(!rig.drv->TimerActive());
    }
    // GetDegree, LogStart, PortFailure and the tick on an open link whose port died.
    {
        ComDrvRig rig;
        rig.open();
        QVERIFY(!rig.drv->PortFailure());
        rig.port->setFailure(hangUp);
        K12_EXPECT_DEVICE_ERROR(rig.drv->GetDegree(), hangUp.number(), hangUp.description());
        K12_EXPECT_DEVICE_ERROR(rig.drv->LogStart(1), hangUp.number(), hangUp.description());
        QVERIFY(!rig.drv->Logflg());
        QVERIFY(rig.drv->PortFailure());
        QCOMPARE(rig.drv->PortFailure()->number(), hangUp.number());

        // Lines that arrived before the failure are still taken, without raising.
        rig.port->feed("1.0\r\n");
        rig.drv->OnTimer1();
        QCOMPARE(rig.drv->GetLogLen(), int16_t(1));
        QCOMPARE(rig.drv->GetLog(), 1.0);

        // A complete reply that did arrive is still taken.
        rig.port->reply("GET", "2.0\r\n");
        QCOMPARE(rig.drv->GetDegree(), 2.0);

        rig.drv->DevClose();
        QVERIFY(!rig.drv->PortFailure());
    }
}

QTEST_GUILESS_MAIN(TestComDrvLink)
#include "test_comdrv_link.moc"
