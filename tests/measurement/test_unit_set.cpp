// SPDX-License-Identifier: GPL-3.0-or-later
#include "FakeMessageBox.h"
#include "FakeSerialPort.h"
#include "measurement/ModuleData.h"

#include <QtTest>

using namespace k12;
using k12::test::FakeMessageBox;
using k12::test::FakeSerialPort;

namespace {

// Hands a test-owned fake to a driver, so the fake outlives the driver that closes it.
class PortProxy final : public SerialPort {
  public:
    explicit PortProxy(FakeSerialPort& target) : target(target) {}
    void setPortNumber(int16_t port) override { target.setPortNumber(port); }
    void setSettings(const QString& s) override { target.setSettings(s); }
    void open() override { target.open(); }
    void close() override { target.close(); }
    bool isOpen() const override { return target.isOpen(); }
    bool ctsHolding() override { return target.ctsHolding(); }
    int inBufferCount() override { return target.inBufferCount(); }
    char takeChar() override { return target.takeChar(); }
    void output(const QByteArray& data) override { target.output(data); }
    void sleep1ms() override { target.sleep1ms(); }
    std::optional<DeviceError> failure() const override { return target.failure(); }

    FakeSerialPort& target;
};

// A unit set whose drivers get fakes[0], fakes[1], ... in the order the drivers are created;
// every fake answers the open probe.
struct Rig {
    Rig() : md([this] { return std::make_unique<PortProxy>(fakes.at(created++)); }, box) {
        md.InitDataArea();
        md.ClearData();
        for (auto& f : fakes) {
            f.reply("", "OK\r\n", 0, true);
        }
    }
    void use(std::initializer_list<int> units) {
        for (int i : units) {
            md.Units[size_t(i)].Mflag = true;
            md.Units[size_t(i)].ComPort = int16_t(i + 1);
        }
    }
    FakeSerialPort& portOf(int unit) {
        return dynamic_cast<PortProxy&>(md.Drivers[size_t(unit)]->Port()).target;
    }
    void verifyMessage(const QString& text) {
        QCOMPARE(box.shown.size(), 1);
        QCOMPARE(box.last().text, text);
        QCOMPARE(box.last().title, kAppTitle);
        QCOMPARE(box.last().buttons, MsgButtons::Ok);
        QCOMPARE(box.last().icon, MsgIcon::None);
    }

    std::array<FakeSerialPort, UNIT_COUNT> fakes;
    size_t created = 0;
    FakeMessageBox box;
    ModuleData md;
};

} // namespace

class TestUnitSet : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void noUnitInUseDoesNothing();
    void opensAndClosesOnlyUnitsInUse();
    void openFailureStopsAtFailingUnit();
    void getDegreeStoresRow();
    void getDegreeTimeoutStopsAtFailingUnit();
    void setPcTimer_data();
    void setPcTimer();
    void logStartInterval_data();
    void logStartInterval();
    void unitLeftStreaming_data();
    void unitLeftStreaming();
    void logStopOnClosedLinkIsReported();
    void unloadDriversClosesPorts();
};

void TestUnitSet::noUnitInUseDoesNothing() {
    Rig rig;
    QVERIFY(rig.md.DevOpenAll());
    QVERIFY(rig.md.GetDegreeAll());
    QVERIFY(rig.md.LogStartAll());
    QVERIFY(rig.md.LogStopAll());
    rig.md.DevCloseAll();
    QVERIFY(rig.box.shown.isEmpty());
    QCOMPARE(rig.created, size_t(0));
    for (const auto& u : rig.md.Units) {
        QCOMPARE(u.DataCount, 0);
        QCOMPARE(u.Data[0], NO_DATA_VALUE);
    }
}

void TestUnitSet::opensAndClosesOnlyUnitsInUse() {
    Rig rig;
    rig.use({0, 2});
    rig.md.Units[2].ComPort = 17;
    QVERIFY(rig.md.DevOpenAll());
    QVERIFY(rig.box.shown.isEmpty());
    QVERIFY(!rig.md.Drivers[1] && !rig.md.Drivers[3]);
    QVERIFY(rig.md.Drivers[0]->Openflg() && rig.md.Drivers[2]->Openflg());
    QCOMPARE(rig.portOf(0).portNumber, int16_t(1));
    QCOMPARE(rig.portOf(2).portNumber, int16_t(17));
    rig.md.DevCloseAll();
    QVERIFY(!rig.portOf(0).isOpen() && !rig.portOf(2).isOpen());
    QVERIFY(!rig.md.Drivers[0]->Openflg() && !rig.md.Drivers[2]->Openflg());
}

void TestUnitSet::openFailureStopsAtFailingUnit() {
    Rig rig;
    rig.use({0, 1, 3});
    const QString text = QStringLiteral("COM2 のデバイスが見つかりません");
    rig.fakes[1].setOpenError(DeviceError(serial_error::NotFound, text));
    QVERIFY(!rig.md.DevOpenAll());
    rig.verifyMessage(text);
    // The unit before stays open for the caller to close; the one after is not touched.
    QVERIFY(rig.md.Drivers[0]->Openflg());
    QVERIFY(!rig.md.Drivers[1]->Openflg());
    QVERIFY(!rig.md.Drivers[3]);
}

void TestUnitSet::getDegreeStoresRow() {
    Rig rig;
    rig.use({1, 3});
    rig.fakes[0].reply("GET", "0.1\r\n");
    rig.fakes[1].reply("GET", "-179.5\r\n");
    QVERIFY(rig.md.DevOpenAll());
    rig.md.SampleCount = 7;
    QVERIFY(rig.md.GetDegreeAll());
    QVERIFY(rig.box.shown.isEmpty());
    QCOMPARE(rig.md.Units[1].Data[7], 0.1f);
    QCOMPARE(rig.md.Units[3].Data[7], -179.5f);
    QCOMPARE(rig.md.Units[1].DataCount, 1);
    QCOMPARE(rig.md.Units[3].DataCount, 1);
    QCOMPARE(rig.md.Units[0].DataCount, 0);
    QCOMPARE(rig.md.Units[0].Data[7], NO_DATA_VALUE);
    QCOMPARE(rig.md.SampleCount, 7); // the caller advances it
}

void TestUnitSet::getDegreeTimeoutStopsAtFailingUnit() {
    Rig rig;
    rig.use({0, 2, 3});
    rig.fakes[0].reply("GET", "12.5\r\n");
    rig.fakes[2].reply("GET", "3.0\r\n"); // unit 2 (fakes[1]) stays silent
    QVERIFY(rig.md.DevOpenAll());
    rig.md.SampleCount = 4;
    QVERIFY(!rig.md.GetDegreeAll());
    rig.verifyMessage(QStringLiteral("タイムアウト"));
    QCOMPARE(rig.md.Units[0].Data[4], 12.5f);
    QCOMPARE(rig.md.Units[0].DataCount, 1);
    QCOMPARE(rig.md.Units[2].DataCount, 0);
    QCOMPARE(rig.md.Units[2].Data[4], NO_DATA_VALUE);
    QCOMPARE(rig.md.Units[3].DataCount, 0);
    QVERIFY(!rig.portOf(3).commands().contains("GET"));
    QCOMPARE(rig.md.SampleCount, 4);
}

void TestUnitSet::setPcTimer_data() {
    QTest::addColumn<int>("intervalTM");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("period");
    QTest::newRow("1000") << 1000 << true << 1000;
    QTest::newRow("1500 rounds up to 2 s") << 1500 << true << 2000;
    QTest::newRow("2500 rounds to even 2 s") << 2500 << true << 2000;
    QTest::newRow("3500 rounds to even 4 s") << 3500 << true << 4000;
    QTest::newRow("32767 gives 33 s") << 32767 << true << 33000;
    QTest::newRow("499") << 499 << false << 0;
    QTest::newRow("500 rounds to even 0 s") << 500 << false << 0;
    QTest::newRow("negative") << -1000 << false << 0;
}

void TestUnitSet::setPcTimer() {
    QFETCH(int, intervalTM);
    QFETCH(bool, ok);
    QFETCH(int, period);
    Rig rig;
    rig.md.PcTimerInterval = 777;
    rig.md.PcTicksPerSample = 9;
    rig.md.IntervalTM = int16_t(intervalTM);
    QCOMPARE(rig.md.SetPcTimer(), ok);
    QCOMPARE(rig.md.PcTimerInterval, period);
    QCOMPARE(rig.md.PcTicksPerSample, ok ? 1 : 0);
    QVERIFY(rig.box.shown.isEmpty());
}

void TestUnitSet::logStartInterval_data() {
    QTest::addColumn<int>("intervalTM");
    QTest::addColumn<int>("avgCount");
    QTest::addColumn<QString>("message");
    QTest::newRow("1000 ms is 10 steps") << 1000 << 10 << QString();
    QTest::newRow("150 ms truncates to 1") << 150 << 1 << QString();
    QTest::newRow("10000 ms is 100 steps") << 10000 << 100 << QString();
    QTest::newRow("50 ms is refused by the unit") << 50 << 0 << QStringLiteral("設定値範囲外");
}

void TestUnitSet::logStartInterval() {
    QFETCH(int, intervalTM);
    QFETCH(int, avgCount);
    QFETCH(QString, message);
    Rig rig;
    rig.use({0, 3});
    for (auto& f : rig.fakes) {
        f.reply("RUN00", "OK\r\n");
    }
    rig.md.IntervalTM = int16_t(intervalTM);
    QVERIFY(rig.md.DevOpenAll());
    QCOMPARE(rig.md.LogStartAll(), message.isEmpty());
    if (!message.isEmpty()) {
        rig.verifyMessage(message);
        QVERIFY(!rig.md.Drivers[0]->Logflg());
        QVERIFY(!rig.portOf(3).commands().contains("RUN00"));
        return;
    }
    QVERIFY(rig.box.shown.isEmpty());
    for (int i : {0, 3}) {
        QCOMPARE(rig.md.Drivers[size_t(i)]->AvgCount(), int16_t(avgCount));
        QVERIFY(rig.md.Drivers[size_t(i)]->Logflg());
    }
    QVERIFY(rig.md.LogStopAll());
    QVERIFY(rig.portOf(0).commands().contains("STP"));
    QVERIFY(rig.portOf(3).commands().contains("STP"));
}

void TestUnitSet::unitLeftStreaming_data() {
    QTest::addColumn<QByteArray>("firstReply");
    QTest::addColumn<QByteArray>("secondReply");
    QTest::addColumn<bool>("started");
    // A program killed while logging leaves the unit streaming: its readings, or the probe's
    // late answer, come before the "OK" to "RUN00".
    QTest::newRow("a reading") << QByteArray("12.5\r\n") << QByteArray("OK\r\n") << true;
    QTest::newRow("the probe's answer") << QByteArray("K12\r\n") << QByteArray("OK\r\n") << true;
    QTest::newRow("NG twice") << QByteArray("NG\r\n") << QByteArray("NG\r\n") << false;
    QTest::newRow("no reply") << QByteArray() << QByteArray("OK\r\n") << false;
}

void TestUnitSet::unitLeftStreaming() {
    QFETCH(QByteArray, firstReply);
    QFETCH(QByteArray, secondReply);
    QFETCH(bool, started);
    Rig rig;
    rig.use({1});
    rig.fakes[0].reply("RUN00", firstReply);
    rig.fakes[0].reply("STP", "12.6\r\n12.7\r\nOK\r\n");
    rig.fakes[0].reply("RUN00", secondReply);
    rig.md.IntervalTM = 100;
    QVERIFY(rig.md.DevOpenAll());
    QCOMPARE(rig.md.LogStartAll(), started);
    const QByteArrayList asked = firstReply.isEmpty()
                                     ? QByteArrayList{"", "RUN00"}
                                     : QByteArrayList{"", "RUN00", "STP", "RUN00"};
    QCOMPARE(rig.portOf(1).commands(), asked);
    QCOMPARE(rig.md.Drivers[1]->Logflg(), started);
    if (started) {
        QVERIFY(rig.box.shown.isEmpty());
        QCOMPARE(rig.md.Drivers[1]->RcvBufSize(), 0);
    } else {
        rig.verifyMessage(QStringLiteral("リターン文字列不正"));
    }
}

void TestUnitSet::logStopOnClosedLinkIsReported() {
    Rig rig;
    rig.use({2});
    QVERIFY(!rig.md.LogStopAll());
    rig.verifyMessage(QStringLiteral("オープンされていない"));
}

void TestUnitSet::unloadDriversClosesPorts() {
    Rig rig;
    rig.use({0, 2});
    QVERIFY(rig.md.DevOpenAll());
    FakeSerialPort& p0 = rig.portOf(0);
    FakeSerialPort& p2 = rig.portOf(2);
    rig.md.UnloadDrivers();
    for (const auto& d : rig.md.Drivers) {
        QVERIFY(!d);
    }
    QVERIFY(!p0.isOpen() && !p2.isOpen());
    QCOMPARE(p0.closeCount, 1);
    // A later use creates fresh drivers.
    QVERIFY(rig.md.DevOpenAll());
    QVERIFY(rig.md.Drivers[0] && rig.md.Drivers[0]->Openflg());
}

QTEST_GUILESS_MAIN(TestUnitSet)
#include "test_unit_set.moc"
