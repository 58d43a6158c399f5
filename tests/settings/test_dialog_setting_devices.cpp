// SPDX-License-Identifier: GPL-3.0-or-later
// The settings dialog's device text beside each port box.
#include "ByIdFolder.h"
#include "FakeFileDialog.h"
#include "FakeMessageBox.h"
#include "FakeSettingsStore.h"
#include "SettingsFile.h"
#include "platform/PortMap.h"
#include "platform/QtSettingsStore.h"
#include "settings/DialogSetting.h"

#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QtTest>

using namespace k12;

class TestDialogSettingDevices : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void showsTheDeviceEachNumberStandsFor() {
        test::ByIdFolder byId;
        const QString present = byId.link("usb-K12INC_unit1-if00-port0", "/dev/null");
        QVERIFY(!present.isEmpty());

        test::FakeSettingsStore settings;
        AssignPort(settings, 1, present);
        AssignPort(settings, 2, "/dev/k12-missing");
        MeasurementStore store;
        for (size_t i = 0; i < UNIT_COUNT; ++i)
            store.Units[i].ComPort = int16_t(i + 1);
        test::FakeMessageBox box;
        test::FakeFileDialog files;
        DialogSetting d(store, box, files, nullptr,
                        [&settings](int port) { return PortDevice(settings, port); });
        const auto label = [&d](int i) {
            return d.findChild<QLabel*>(QStringLiteral("lblDevice_%1").arg(i));
        };
        // With the devices and the feed's column, on a 1024 x 768 screen with room for the
        // window's frame and a panel.
        QVERIFY2(
            d.sizeHint().width() <= 1000 && d.sizeHint().height() <= 700,
            qPrintable(
                QStringLiteral("%1 x %2").arg(d.sizeHint().width()).arg(d.sizeHint().height())));

        // The temporary path may be too long to show whole; the tool tip has all of it.
        QCOMPARE(label(0)->toolTip(), present);
        QVERIFY(label(0)->isEnabled());
        QCOMPARE(label(1)->text(), QStringLiteral("/dev/k12-missing（なし）"));
        QVERIFY(!label(1)->isEnabled());
        // Unmapped: the default device, greyed when this machine lacks it.
        const bool ttyS2 = QFileInfo::exists(QStringLiteral("/dev/ttyS2"));
        QCOMPARE(label(2)->text(),
                 ttyS2 ? QStringLiteral("/dev/ttyS2") : QStringLiteral("/dev/ttyS2（なし）"));
        QCOMPARE(label(2)->isEnabled(), ttyS2);

        // Follows the number as it is typed.
        auto* box3 = d.findChild<QLineEdit*>(QStringLiteral("txtComport_3"));
        box3->clear();
        QVERIFY(label(3)->text().isEmpty());
        QTest::keyClicks(box3, QStringLiteral("2"));
        QCOMPARE(label(3)->text(), QStringLiteral("/dev/k12-missing（なし）"));
        QTest::keyClicks(box3, QStringLiteral("57"));
        QVERIFY(label(3)->text().isEmpty()); // 257 is no COM number
        QTest::keyClick(box3, Qt::Key_Backspace);
        QTest::keyClick(box3, Qt::Key_Backspace);
        QTest::keyClick(box3, Qt::Key_Backspace);
        QTest::keyClicks(box3, QStringLiteral("1"));
        QCOMPARE(label(3)->toolTip(), present);
        QVERIFY(label(3)->isEnabled());
    }

    // k12inc-unit assigns COM2 while the program runs: the next 取込設定 shows it.
    void showsAssignmentsMadeSinceStartUp() {
        QtSettingsStore settings;
        const QString present = settings.fileName(); // any path that exists
        MeasurementStore store;
        store.Units[0].ComPort = 2;
        test::FakeMessageBox box;
        test::FakeFileDialog files;
        const auto shown = [&] {
            DialogSetting d(store, box, files, nullptr,
                            [&settings](int port) { return PortDevice(settings, port); });
            return d.findChild<QLabel*>(QStringLiteral("lblDevice_0"))->toolTip();
        };
        QVERIFY(test::ReplaceSettingsFile(present, "[Ports]\nCOM2=/dev/k12-missing\n"));
        QCOMPARE(shown(), QStringLiteral("/dev/k12-missing（なし）"));
        QVERIFY(test::ReplaceSettingsFile(present, "[Ports]\nCOM2=" + present.toUtf8() + "\n"));
        QCOMPARE(shown(), present);
    }

    void shortensLongNamesInTheMiddle() {
        const QString longName = QStringLiteral("/dev/serial/by-id/") +
                                 QString(200, QLatin1Char('x')) + QStringLiteral("-if00-port0");
        MeasurementStore store;
        store.Units[0].ComPort = 1;
        test::FakeMessageBox box;
        test::FakeFileDialog files;
        DialogSetting d(store, box, files, nullptr, [&](int) { return longName; });
        auto* label = d.findChild<QLabel*>(QStringLiteral("lblDevice_0"));
        QVERIFY(label->text().startsWith(QStringLiteral("/dev/")));
        QVERIFY(label->text().endsWith(QStringLiteral("（なし）")));
        QVERIFY(label->fontMetrics().horizontalAdvance(label->text()) <= label->width());
        QCOMPARE(label->toolTip(), longName + QStringLiteral("（なし）"));
    }
};

QTEST_MAIN(TestDialogSettingDevices)
#include "test_dialog_setting_devices.moc"
