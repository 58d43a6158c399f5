// SPDX-License-Identifier: GPL-3.0-or-later
// COM number assignments in the settings store, and the serial devices found through a by-id
// folder.
#include "FakeSettingsStore.h"
#include "SettingsFile.h"
#include "platform/PortMap.h"
#include "platform/QtSettingsStore.h"
#include "platform/SerialDevices.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>

using namespace k12;
using k12::test::FakeSettingsStore;

class TestPortMap : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void listsAssignmentsInNumberOrder() {
        FakeSettingsStore store;
        store.values = {{"Ports/COM12", "/dev/ttyUSB1"}, {"Ports/COM3", " /dev/ttyUSB0 "},
                        {"Ports/COM257", "/dev/x"},      {"Ports/COM0", "/dev/x"},
                        {"Ports/COM03", "/dev/x"},       {"Ports/COM7", ""},
                        {"Ports/Speed", "9600"},         {"MeasInfo/CommPort1", "4"}};
        const auto assigned = AssignedPorts(store);
        QCOMPARE(assigned.size(), size_t(2));
        QCOMPARE(assigned[0].port, 3);
        QCOMPARE(assigned[0].device, QStringLiteral("/dev/ttyUSB0"));
        QCOMPARE(assigned[1].port, 12);
        // An empty value assigns nothing: the default applies.
        QCOMPARE(PortDevice(store, 7), QStringLiteral("/dev/ttyS6"));
    }

    // k12inc-unit assigns COM2 and unassigns COM4 while the program runs; lookUp: the program
    // looks at the mapping before it saves.
    void seesWhatOtherProgramsWrite_data() {
        QTest::addColumn<bool>("lookUp");
        QTest::newRow("looked up, then saved") << true;
        QTest::newRow("saved without a look") << false;
    }
    void seesWhatOtherProgramsWrite() {
        QFETCH(bool, lookUp);
        const QString file = QtSettingsStore().fileName();
        QVERIFY(test::ReplaceSettingsFile(file, "[MeasInfo]\nIntervalTM=500\n\n"
                                                "[Ports]\nCOM4=/dev/ttyUSB4\n"));
        QtSettingsStore store;
        store.write("MeasInfo", "IntervalTM", "1000"); // the program's own, not synced yet
        QVERIFY(test::ReplaceSettingsFile(file, "[MeasInfo]\nIntervalTM=500\n\n"
                                                "[Ports]\nCOM2=/dev/ttyUSB2\n"));
        if (lookUp) {
            QCOMPARE(PortDevice(store, 2), QStringLiteral("/dev/ttyUSB2"));
            QCOMPARE(PortDevice(store, 4), QStringLiteral("/dev/ttyS3"));
            QCOMPARE(AssignedPorts(store).size(), size_t(1));
            QCOMPARE(store.read("MeasInfo", "IntervalTM", {}), QStringLiteral("1000"));
        }
        QCOMPARE(store.sync(), QString());
        QFile saved(file);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        const QByteArray text = saved.readAll();
        QVERIFY2(text.contains("COM2=/dev/ttyUSB2") && !text.contains("COM4") &&
                     text.contains("IntervalTM=1000"),
                 text.constData());
    }

    void findsDevicesThroughByIdLinks() {
        QTemporaryDir tmp;
        QVERIFY(tmp.isValid());
        const QDir root(tmp.path());
        QVERIFY(root.mkpath("by-id") && root.mkpath("dev"));
        QFile file(root.filePath("dev/ttyUSB9"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        const QString device = QFileInfo(file).canonicalFilePath();
        const QString byId = root.filePath("by-id");
        const QString linkA = byId + "/usb-Maker_Adapter_A1-if00-port0";
        const QString linkB = byId + "/usb-Maker_Adapter_A1-if00";
        QVERIFY(QFile::link(device, linkA));
        QVERIFY(QFile::link("../dev/ttyUSB9", linkB)); // relative, as udev makes them
        QVERIFY(QFile::link(root.filePath("dev/gone"), byId + "/usb-Gone-if00-port0"));

        const auto devices = ListSerialDevices(byId);
        const auto it = std::find_if(devices.begin(), devices.end(),
                                     [&](const SerialDevice& d) { return d.location == device; });
        QVERIFY(it != devices.end());
        QCOMPARE(it->byIdLinks, (QStringList{linkB, linkA}));
        for (const SerialDevice& d : devices)
            QVERIFY2(!d.location.contains("gone"), qPrintable(d.location));

        QCOMPARE(ByIdLinksTo(device, byId), (QStringList{linkB, linkA}));
        QCOMPARE(ByIdLinksTo(linkA, byId), QStringList{linkB});
        QVERIFY(DeviceExists(linkA));
        QVERIFY(!DeviceExists(byId + "/usb-Gone-if00-port0"));
    }
};

QTEST_GUILESS_MAIN(TestPortMap)
#include "test_port_map.moc"
