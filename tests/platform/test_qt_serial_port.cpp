// SPDX-License-Identifier: GPL-3.0-or-later
#include "FakeSettingsStore.h"
#include "SettingsFile.h"
#include "UnitSimulator.h"
#include "platform/QtSerialPort.h"
#include "platform/QtSettingsStore.h"

#include <QTest>
#include <sys/stat.h>
#include <unistd.h>

using k12::DeviceError;
using k12::QtSerialPort;
namespace serial_error = k12::serial_error;

namespace {

// Pumps the port until a CR LF ended line arrived; takes the characters one by one.
QByteArray readLine(QtSerialPort& port, int maxCycles = 2000) {
    QByteArray line;
    for (int i = 0; i < maxCycles && !line.endsWith("\r\n"); ++i) {
        port.sleep1ms();
        while (port.inBufferCount() > 0 && !line.endsWith("\r\n"))
            line.append(port.takeChar());
    }
    return line;
}

int openError(QtSerialPort& port, QString* description) {
    try {
        port.open();
    } catch (const DeviceError& e) {
        *description = e.description();
        return e.number();
    }
    return 0;
}

} // namespace

class TestQtSerialPort : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void mapsComNumbers_data() {
        QTest::addColumn<QString>("mapped");
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("device");
        QTest::newRow("mapped") << "/dev/ttyUSB0" << 3 << "/dev/ttyUSB0";
        QTest::newRow("default COM1") << "" << 1 << "/dev/ttyS0";
        QTest::newRow("default COM12") << "" << 12 << "/dev/ttyS11";
    }
    void mapsComNumbers() {
        QFETCH(QString, mapped);
        QFETCH(int, port);
        QFETCH(QString, device);
        k12::test::FakeSettingsStore store;
        if (!mapped.isEmpty())
            store.values.insert(QStringLiteral("Ports/COM%1").arg(port), mapped);
        QCOMPARE(QtSerialPort::DeviceFor(store, int16_t(port)), device);
        QtSerialPort serial(store);
        serial.setPortNumber(int16_t(port));
        QCOMPARE(serial.devicePath(), device);
    }

    void parsesLineSettings_data() {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<bool>("valid");
        QTest::newRow("standard") << "115200,n,8,1" << true;
        QTest::newRow("even 7 2") << "9600,E,7,2" << true;
        QTest::newRow("odd") << "19200,o,8,1" << true;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("three items") << "115200,n,8" << false;
        QTest::newRow("bad speed") << "fast,n,8,1" << false;
        QTest::newRow("zero speed") << "0,n,8,1" << false;
        QTest::newRow("bad parity") << "115200,x,8,1" << false;
        QTest::newRow("nine bits") << "115200,n,9,1" << false;
        QTest::newRow("three stops") << "115200,n,8,3" << false;
    }
    void parsesLineSettings() {
        QFETCH(QString, settings);
        QFETCH(bool, valid);
        QtSerialPort port([](int16_t) { return QStringLiteral("/dev/null"); });
        int number = 0;
        try {
            port.setSettings(settings);
        } catch (const DeviceError& e) {
            number = e.number();
        }
        QCOMPARE(number, valid ? 0 : serial_error::BadSettings);
    }

    void reportsMissingDevice() {
        k12::test::FakeSettingsStore store;
        store.values.insert(QStringLiteral("Ports/COM3"), QStringLiteral("/dev/k12-missing"));
        QtSerialPort mapped(store);
        mapped.setPortNumber(3);
        QString description;
        QCOMPARE(openError(mapped, &description), serial_error::NotFound);
        QCOMPARE(description, QStringLiteral("COM3 (/dev/k12-missing) が見つかりません。"));
        QVERIFY(!mapped.isOpen());

        auto direct = QtSerialPort::ForDevice(QStringLiteral("/dev/k12-missing"));
        QCOMPARE(openError(*direct, &description), serial_error::NotFound);
        QCOMPARE(description, QStringLiteral("/dev/k12-missing が見つかりません。"));
    }

    // k12inc-unit assigns COM9 while the program runs: the next open, a reopen during a run
    // included, uses the device assigned at that moment.
    void opensTheDeviceAssignedNow() {
        k12::UnitSimulator sim({k12::SimUnitConfig{}});
        sim.start();
        k12::QtSettingsStore store;
        const auto assign = [&store](const QString& device) {
            return k12::test::ReplaceSettingsFile(store.fileName(),
                                                  "[Ports]\nCOM9=" + device.toUtf8() + "\n");
        };
        QVERIFY(assign("/dev/k12-missing"));
        QtSerialPort port(store);
        port.setPortNumber(9);
        QString description;
        QCOMPARE(openError(port, &description), serial_error::NotFound);
        QVERIFY(assign(sim.devicePath(0)));
        QCOMPARE(openError(port, &description), 0);
        QVERIFY(port.isOpen());
        port.close();
        QVERIFY(assign("/dev/k12-gone"));
        QCOMPARE(openError(port, &description), serial_error::NotFound);
        QCOMPARE(description, QStringLiteral("COM9 (/dev/k12-gone) が見つかりません。"));
    }

    void reportsPermissionDenied() {
        if (::geteuid() == 0)
            QSKIP("root may open any device");
        k12::UnitSimulator sim({k12::SimUnitConfig{}});
        sim.start();
        const QByteArray path = sim.devicePath(0).toLocal8Bit();
        QCOMPARE(::chmod(path.constData(), 0), 0);
        auto port = QtSerialPort::ForDevice(sim.devicePath(0));
        QString description;
        QCOMPARE(openError(*port, &description), serial_error::PermissionDenied);
        QVERIFY(description.contains(QStringLiteral("dialout")));
    }

    void reportsDeviceInUse() {
        k12::UnitSimulator sim({k12::SimUnitConfig{}});
        sim.start();
        k12::test::FakeSettingsStore store;
        store.values.insert(QStringLiteral("Ports/COM2"), sim.devicePath(0));
        QtSerialPort first(store);
        first.setPortNumber(2);
        first.open();
        QtSerialPort second(store);
        second.setPortNumber(2);
        QString description;
        QCOMPARE(openError(second, &description), serial_error::InUse);
        QCOMPARE(description,
                 QStringLiteral("COM2 (%1) は他のプログラムが使用中です。").arg(sim.devicePath(0)));
        first.close();
        second.open(); // free again once the first one let go
        QVERIFY(second.isOpen());
    }

    void exchangesLinesOverPty() {
        k12::UnitSimulator sim({k12::SimUnitConfig{}});
        sim.start();
        k12::test::FakeSettingsStore store;
        store.values.insert(QStringLiteral("Ports/COM2"), sim.devicePath(0));
        QtSerialPort port(store);
        port.setPortNumber(2);
        port.setSettings(QStringLiteral("115200,n,8,1"));
        port.open();
        QVERIFY(port.isOpen());
        // A pseudo-terminal has no modem lines: counts as asserted, and leaves no error behind.
        QVERIFY(port.ctsHolding());
        QVERIFY(port.ctsHolding());
        port.output(QByteArrayLiteral("GET\r\n"));
        QCOMPARE(readLine(port), QByteArrayLiteral("  12.500\r\n"));
        port.output(QByteArrayLiteral("\r\n"));
        QCOMPARE(readLine(port), QByteArrayLiteral("K12INC\r\n"));
        QCOMPARE(port.inBufferCount(), 0);
        QVERIFY(!port.failure());
        QCOMPARE(sim.receivedCommands(0),
                 (QList<QByteArray>{QByteArrayLiteral("GET"), QByteArray()}));
        port.close();
        QVERIFY(!port.isOpen());
    }

    void hangUpSetsFailureUntilClose() {
        k12::SimUnitConfig config;
        config.hangUpAfterLines = 1;
        k12::UnitSimulator sim({config});
        sim.start();
        k12::test::FakeSettingsStore store;
        store.values.insert(QStringLiteral("Ports/COM2"), sim.devicePath(0));
        QtSerialPort port(store);
        port.setPortNumber(2);
        port.open();
        port.output(QByteArrayLiteral("\r\n"));
        QCOMPARE(readLine(port), QByteArrayLiteral("K12INC\r\n"));
        QTRY_VERIFY(sim.hungUp(0));
        for (int i = 0; i < 1000 && !port.failure(); ++i) {
            port.sleep1ms();
            port.inBufferCount();
        }
        QVERIFY(port.failure());
        QCOMPARE(port.failure()->number(), serial_error::LineFailed);
        QCOMPARE(port.failure()->description(),
                 QStringLiteral("COM2 (%1) との通信が切断されました。").arg(sim.devicePath(0)));
        port.output(QByteArrayLiteral("GET\r\n")); // must not throw
        port.ctsHolding();
        QCOMPARE(port.inBufferCount(), 0);
        QVERIFY(port.failure());
        port.close();
        QVERIFY(!port.failure());
    }
};

QTEST_GUILESS_MAIN(TestQtSerialPort)
#include "test_qt_serial_port.moc"
