// SPDX-License-Identifier: GPL-3.0-or-later
#include "FakeFileDialog.h"
#include "FakeMessageBox.h"
#include "settings/DialogSetting.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtTest>

using namespace k12;
using k12::test::FakeFileDialog;
using k12::test::FakeMessageBox;

namespace {

MeasurementStore DefaultSettings() {
    MeasurementStore s;
    s.Units[0].Mflag = true;
    for (size_t i = 0; i < UNIT_COUNT; ++i) {
        s.Units[i].ComPort = int16_t(i + 1);
    }
    s.TimerType = true;
    s.IntervalTM = 1000;
    return s;
}

// Drives the dialog through its controls the way an operator would.
class Operator {
  public:
    explicit Operator(DialogSetting& d) : d_(d) {}

    template <typename W> W* find(const QString& name) {
        W* w = d_.findChild<W*>(name);
        if (!w) {
            qFatal("missing control %s", qPrintable(name));
        }
        return w;
    }
    QCheckBox* chk(int i) { return find<QCheckBox>(QStringLiteral("chkID_%1").arg(i)); }
    QLineEdit* port(int i) { return find<QLineEdit>(QStringLiteral("txtComport_%1").arg(i)); }
    QRadioButton* opt(int i) { return find<QRadioButton>(QStringLiteral("optTimer_%1").arg(i)); }
    QLineEdit* time(int i) { return find<QLineEdit>(QStringLiteral("txtTime_%1").arg(i)); }

    void type(QLineEdit* edit, const QString& text) {
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(edit, Qt::Key_Backspace);
        QTest::keyClicks(edit, text);
    }
    void check(int i, bool on) {
        if (chk(i)->isChecked() != on) {
            QTest::keyClick(chk(i), Qt::Key_Space);
        }
    }
    void selectTimer(int i) { QTest::keyClick(opt(i), Qt::Key_Space); }
    void ok() { QTest::mouseClick(find<QPushButton>("OKButton"), Qt::LeftButton); }
    void cancel() { QTest::mouseClick(find<QPushButton>("CancelButton"), Qt::LeftButton); }

  private:
    DialogSetting& d_;
};

} // namespace

class TestDialogSetting : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void captions();
    void loadsPcTimerSettings();
    void loadsDeviceTimerSettings();
    void okValidatesAndApplies_data();
    void okValidatesAndApplies();
    void correctedEntriesPassOnSecondOk();
    void cancelAndCloseBoxChangeNothing();
    void continueOnErrorOption();
    void runOptionsOnOk_data();
    void runOptionsOnOk();
    void saveFolderButtonTakesTheChosenFolder();
    void feedAndAlertsOnOk_data();
    void feedAndAlertsOnOk();
};

void TestDialogSetting::captions() {
    MeasurementStore store = DefaultSettings();
    FakeMessageBox box;
    FakeFileDialog files;
    DialogSetting d(store, box, files);
    Operator op(d);
    QCOMPARE(d.windowTitle(), QStringLiteral("取込設定"));
    const QStringList units = {"1台目", "２台目", "３台目", "４台目"};
    for (int i = 0; i < UNIT_COUNT; ++i) {
        QCOMPARE(op.chk(i)->text(), units[i]);
    }
    QCOMPARE(op.opt(0)->text(), QStringLiteral("装置タイマー"));
    QCOMPARE(op.opt(1)->text(), QStringLiteral("PCタイマー"));
    QCOMPARE(op.find<QPushButton>("CancelButton")->text(), QStringLiteral("ｷｬﾝｾﾙ"));
    QStringList texts;
    for (auto* w : d.findChildren<QWidget*>()) {
        texts << w->property("title").toString() << w->property("text").toString();
    }
    const QString captions = QStringLiteral(
        "comポート番号|測定間隔|×100msec|秒|OK|保存先|参照...|測定時間|分（0: 制限なし）|"
        "満杯時に保存して測定を続ける|ライブ配信|ブローカー|トピック|クライアントID|ユーザー名|"
        "パスワードファイル|CA証明書|警報（度、空欄: なし）|上限|下限|変化");
    for (const QString& t : captions.split(QLatin1Char('|'))) {
        QVERIFY2(texts.contains(t), qPrintable(t));
    }
}

void TestDialogSetting::loadsPcTimerSettings() {
    MeasurementStore store = DefaultSettings();
    store.Units[2].Mflag = true;
    store.Units[3].ComPort = 17;
    store.IntervalTM = 1500;
    FakeMessageBox box;
    FakeFileDialog files;
    DialogSetting d(store, box, files);
    Operator op(d);
    QVERIFY(op.chk(0)->isChecked() && !op.chk(1)->isChecked() && op.chk(2)->isChecked());
    QCOMPARE(op.port(3)->text(), QStringLiteral("17"));
    QVERIFY(op.opt(1)->isChecked() && !op.opt(0)->isChecked());
    QCOMPARE(op.time(1)->text(), QStringLiteral("1.5"));
    QCOMPARE(op.time(0)->text(), QStringLiteral("1"));
}

void TestDialogSetting::loadsDeviceTimerSettings() {
    MeasurementStore store = DefaultSettings();
    store.TimerType = false;
    store.IntervalTM = 2000;
    FakeMessageBox box;
    FakeFileDialog files;
    DialogSetting d(store, box, files);
    Operator op(d);
    QVERIFY(op.opt(0)->isChecked() && !op.opt(1)->isChecked());
    QCOMPARE(op.time(0)->text(), QStringLiteral("20"));
    QCOMPARE(op.time(1)->text(), QStringLiteral("1"));
}

void TestDialogSetting::okValidatesAndApplies_data() {
    QTest::addColumn<QString>("checks"); // one digit per unit
    QTest::addColumn<QStringList>("ports");
    QTest::addColumn<int>("timer");
    QTest::addColumn<QString>("timeText");
    QTest::addColumn<QString>("message"); // empty: accepted
    QTest::addColumn<int>("interval");    // stored IntervalTM when accepted

    const QStringList ports = {"1", "2", "3", "4"};
    const QString badPort = "ポート番号の設定に誤りがあります。";
    const QString noUnit = "使用ユニットにチェックが付いていません。";
    const QString samePort = "同じポート番号の設定があります。";
    const QString badTime = "時間の入力に誤りがあります。";

    QTest::newRow("no unit checked") << "0000" << ports << 1 << "1" << noUnit << 0;
    QTest::newRow("same port on units 2 and 4")
        << "0101" << QStringList{"1", "5", "3", "5"} << 1 << "1" << samePort << 0;
    QTest::newRow("same port on a checked and an unchecked unit")
        << "0100" << QStringList{"5", "5", "3", "4"} << 1 << "1" << QString() << 1000;
    QTest::newRow("port 0 checked")
        << "1000" << QStringList{"0", "2", "3", "4"} << 1 << "1" << badPort << 0;
    QTest::newRow("port 257 checked")
        << "0010" << QStringList{"1", "2", "257", "4"} << 1 << "1" << badPort << 0;
    QTest::newRow("ports 0 and 257 unchecked")
        << "0001" << QStringList{"0", "257", "3", "4"} << 1 << "1" << QString() << 1000;
    QTest::newRow("port text not a number")
        << "1000" << QStringList{"1", "2", "abc", "4"} << 1 << "1"
        << "３台目のポート番号が正しい数値ではありません。" << 0;
    QTest::newRow("empty port text") << "1000" << QStringList{"1", "", "3", "4"} << 1 << "1"
                                     << "２台目のポート番号が正しい数値ではありません。" << 0;
    QTest::newRow("port beyond 16 bits")
        << "1000" << QStringList{"1", "2", "3", "40000"} << 1 << "1"
        << "４台目のポート番号が正しい数値ではありません。" << 0;
    QTest::newRow("ports checked before time")
        << "1000" << QStringList{"300", "2", "3", "4"} << 1 << "x" << badPort << 0;

    QTest::newRow("device 1") << "1000" << ports << 0 << "1" << QString() << 100;
    QTest::newRow("device 100") << "1000" << ports << 0 << "100" << QString() << 10000;
    QTest::newRow("device 1.5 reads as 2") << "1000" << ports << 0 << "1.5" << QString() << 200;
    QTest::newRow("device 2.5 reads as 2") << "1000" << ports << 0 << "2.5" << QString() << 200;
    QTest::newRow("device 0") << "1000" << ports << 0 << "0" << badTime << 0;
    QTest::newRow("device 101") << "1000" << ports << 0 << "101" << badTime << 0;
    QTest::newRow("device empty") << "1000" << ports << 0 << "" << badTime << 0;
    QTest::newRow("device letters") << "1000" << ports << 0 << "ten" << badTime << 0;
    QTest::newRow("pc 32") << "1000" << ports << 1 << "32" << QString() << 32000;
    QTest::newRow("pc 33 overflows") << "1000" << ports << 1 << "33" << badTime << 0;
    QTest::newRow("pc 0") << "1000" << ports << 1 << "0" << badTime << 0;
    QTest::newRow("pc -1") << "1000" << ports << 1 << "-1" << badTime << 0;
    QTest::newRow("pc beyond 16 bits") << "1000" << ports << 1 << "70000" << badTime << 0;
}

void TestDialogSetting::okValidatesAndApplies() {
    QFETCH(QString, checks);
    QFETCH(QStringList, ports);
    QFETCH(int, timer);
    QFETCH(QString, timeText);
    QFETCH(QString, message);
    QFETCH(int, interval);

    MeasurementStore store = DefaultSettings();
    FakeMessageBox box;
    FakeFileDialog files;
    DialogSetting d(store, box, files);
    d.show();
    Operator op(d);
    for (int i = 0; i < UNIT_COUNT; ++i) {
        op.check(i, checks[i] == QLatin1Char('1'));
        op.type(op.port(i), ports[i]);
    }
    op.selectTimer(timer);
    op.type(op.time(timer), timeText);
    // The row not selected is neither checked nor stored.
    op.type(op.time(1 - timer), QStringLiteral("junk"));
    op.ok();

    if (!message.isEmpty()) {
        QCOMPARE(box.shown.size(), 1);
        QCOMPARE(box.last().text, message);
        QCOMPARE(box.last().title, QStringLiteral("エラーメッセージ"));
        QCOMPARE(box.last().buttons, MsgButtons::Ok);
        QCOMPARE(box.last().icon, MsgIcon::Error);
        QVERIFY(d.isVisible());
        for (int i = 0; i < UNIT_COUNT; ++i) {
            QCOMPARE(op.port(i)->text(), ports[i]);
            QCOMPARE(op.chk(i)->isChecked(), checks[i] == QLatin1Char('1'));
        }
        QCOMPARE(op.time(timer)->text(), timeText);
        QCOMPARE(op.opt(timer)->isChecked(), true);
        const MeasurementStore before = DefaultSettings();
        QCOMPARE(store.SettingChanged, false);
        QCOMPARE(store.IntervalTM, before.IntervalTM);
        QCOMPARE(store.TimerType, before.TimerType);
        for (size_t i = 0; i < UNIT_COUNT; ++i) {
            QCOMPARE(store.Units[i].Mflag, before.Units[i].Mflag);
            QCOMPARE(store.Units[i].ComPort, before.Units[i].ComPort);
        }
        return;
    }
    QVERIFY2(box.shown.isEmpty(), qPrintable(box.texts().join('|')));
    QVERIFY(!d.isVisible());
    QCOMPARE(d.result(), int(QDialog::Accepted));
    QCOMPARE(store.SettingChanged, true);
    QCOMPARE(store.TimerType, timer == 1);
    QCOMPARE(store.IntervalTM, int16_t(interval));
    for (size_t i = 0; i < UNIT_COUNT; ++i) {
        QCOMPARE(store.Units[i].Mflag, checks[int(i)] == QLatin1Char('1'));
        QCOMPARE(store.Units[i].ComPort, int16_t(ports[int(i)].toInt()));
    }
}

void TestDialogSetting::correctedEntriesPassOnSecondOk() {
    MeasurementStore store = DefaultSettings();
    FakeMessageBox box;
    FakeFileDialog files;
    DialogSetting d(store, box, files);
    d.show();
    Operator op(d);
    op.type(op.time(1), QStringLiteral("33"));
    op.ok();
    QCOMPARE(box.texts(), QStringList{"時間の入力に誤りがあります。"});
    op.type(op.time(1), QStringLiteral("5"));
    op.ok();
    QCOMPARE(box.shown.size(), 1);
    QVERIFY(!d.isVisible());
    QCOMPARE(store.IntervalTM, int16_t(5000));
    QCOMPARE(store.SettingChanged, true);
}

void TestDialogSetting::cancelAndCloseBoxChangeNothing() {
    for (const bool useCloseBox : {false, true}) {
        MeasurementStore store = DefaultSettings();
        FakeMessageBox box;
        FakeFileDialog files;
        DialogSetting d(store, box, files);
        d.show();
        Operator op(d);
        op.check(0, false);
        op.check(3, true);
        op.type(op.port(3), QStringLiteral("9"));
        op.selectTimer(0);
        op.type(op.time(0), QStringLiteral("5"));
        if (useCloseBox) {
            d.close();
        } else {
            op.cancel();
        }
        QVERIFY(!d.isVisible());
        QCOMPARE(d.result(), int(QDialog::Rejected));
        QVERIFY(box.shown.isEmpty());
        QCOMPARE(store.SettingChanged, false);
        QCOMPARE(store.Units[0].Mflag, true);
        QCOMPARE(store.Units[3].Mflag, false);
        QCOMPARE(store.Units[3].ComPort, int16_t(4));
        QCOMPARE(store.TimerType, true);
        QCOMPARE(store.IntervalTM, int16_t(1000));
    }
}

void TestDialogSetting::continueOnErrorOption() {
    for (const bool before : {false, true}) {
        for (const bool accept : {true, false}) {
            MeasurementStore store = DefaultSettings();
            store.ContinueOnError = before;
            FakeMessageBox box;
            FakeFileDialog files;
            DialogSetting d(store, box, files);
            d.show();
            Operator op(d);
            auto* chk = op.find<QCheckBox>(QStringLiteral("chkContinueOnError"));
            QCOMPARE(chk->text(), QStringLiteral("エラー時も測定を続ける"));
            QCOMPARE(chk->isChecked(), before);
            // Below the timing frame, above the buttons.
            const QWidget* timing = op.find<QWidget>(QStringLiteral("Frame2"));
            QVERIFY(chk->geometry().top() >= timing->geometry().bottom());
            QVERIFY(chk->geometry().bottom() <= op.find<QPushButton>("OKButton")->geometry().top());
            QTest::keyClick(chk, Qt::Key_Space);
            accept ? op.ok() : op.cancel();
            QVERIFY(box.shown.isEmpty());
            QCOMPARE(store.ContinueOnError, accept ? !before : before);
            QCOMPARE(store.SettingChanged, accept);
        }
    }
}

void TestDialogSetting::runOptionsOnOk_data() {
    QTest::addColumn<bool>("ticked");
    QTest::addColumn<QString>("folder"); // <dir>: a fresh writable folder; <ro>: one made 0555
    QTest::addColumn<QString>("minutes");
    QTest::addColumn<QString>("message"); // empty: accepted
    const auto row = [](const char* name, bool ticked, const char* folder, const char* minutes,
                        const char* message) {
        QTest::newRow(name) << ticked << QString(folder) << QString(minutes) << QString(message);
    };
    const char* badTime = "測定時間の入力に誤りがあります。";
    const char* unwritable = "保存先のフォルダーに書き込めません。";
    row("ticked, writable folder", true, "<dir>", "90", "");
    row("unticked, folder unchecked", false, "", "527040", "");
    row("empty folder", true, "", "0", "保存先のフォルダーが指定されていません。");
    row("missing folder", true, "<dir>/none", "0", "保存先のフォルダーがありません。");
    row("a file", true, "<dir>/file", "0", "保存先がフォルダーではありません。");
    row("read-only folder", true, "<ro>", "0", unwritable);
    row("no one may write (/sys)", true, "/sys", "0", unwritable);
    row("minutes -1", false, "", "-1", badTime);
    row("minutes 527041", false, "", "527041", badTime);
    row("minutes abc", false, "", "abc", badTime);
}

void TestDialogSetting::runOptionsOnOk() {
    QFETCH(bool, ticked);
    QFETCH(QString, folder);
    QFETCH(QString, minutes);
    QFETCH(QString, message);
    QTemporaryDir tmp;
    QVERIFY(QFile(tmp.filePath("file")).open(QIODevice::WriteOnly));
    folder.replace(QStringLiteral("<dir>"), tmp.path());
    if (folder == QLatin1String("<ro>")) {
        folder = tmp.filePath(QStringLiteral("ro"));
        QVERIFY(QDir().mkdir(folder, QFile::ReadOwner | QFile::ExeOwner));
        if (QFile(folder + QStringLiteral("/x")).open(QIODevice::WriteOnly)) {
            QSKIP("this user writes into read-only folders");
        }
    }
    MeasurementStore store = DefaultSettings();
    store.ContinueWhenFull = !ticked;
    store.SaveFolder = QStringLiteral("/before");
    store.StopAfterMinutes = 5;
    FakeMessageBox box;
    FakeFileDialog files;
    DialogSetting d(store, box, files);
    d.show();
    Operator op(d);
    auto* chk = op.find<QCheckBox>(QStringLiteral("chkContinueWhenFull"));
    auto* txtFolder = op.find<QLineEdit>(QStringLiteral("txtSaveFolder"));
    auto* txtMinutes = op.find<QLineEdit>(QStringLiteral("txtStopAfterMinutes"));
    QVERIFY(chk->isChecked() == !ticked && txtFolder->text() == "/before" &&
            txtMinutes->text() == "5");
    QVERIFY(chk->y() > op.find<QCheckBox>(QStringLiteral("chkContinueOnError"))->y());

    QTest::keyClick(chk, Qt::Key_Space);
    op.type(txtFolder, folder);
    op.type(txtMinutes, minutes);
    op.ok();
    if (!message.isEmpty()) {
        // The folder is named, and the system's reason given when it cannot be written.
        QCOMPARE(box.shown.size(), 1);
        const QStringList lines = box.last().text.split(QLatin1Char('\n'));
        QCOMPARE(lines[0], message);
        QVERIFY(folder.isEmpty() || lines.value(1) == folder);
        QVERIFY(!message.contains("書き込めません") || !lines.value(2).isEmpty());
        QVERIFY(box.last().title == "エラーメッセージ" && box.last().icon == MsgIcon::Error);
        QVERIFY(d.isVisible() && !store.SettingChanged && store.ContinueWhenFull == !ticked);
        QVERIFY(store.SaveFolder == "/before" && store.StopAfterMinutes == 5);
        return;
    }
    QVERIFY2(box.shown.isEmpty() && !d.isVisible(), qPrintable(box.texts().join('|')));
    QVERIFY(store.ContinueWhenFull == ticked && store.SaveFolder == folder);
    QCOMPARE(store.StopAfterMinutes, minutes.toInt());
    // The write test leaves nothing behind.
    QCOMPARE(QDir(tmp.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{"file"});
}

void TestDialogSetting::saveFolderButtonTakesTheChosenFolder() {
    MeasurementStore store = DefaultSettings();
    FakeMessageBox box;
    FakeFileDialog files;
    files.answers = {QStringLiteral("/chosen"), std::nullopt};
    DialogSetting d(store, box, files);
    Operator op(d);
    op.type(op.find<QLineEdit>(QStringLiteral("txtSaveFolder")), QStringLiteral("/start"));
    for (int i = 0; i < 2; ++i) { // the second time cancelled
        QTest::mouseClick(op.find<QPushButton>("cmdSaveFolder"), Qt::LeftButton);
        QCOMPARE(op.find<QLineEdit>(QStringLiteral("txtSaveFolder"))->text(), "/chosen");
    }
    QCOMPARE(files.requests[0].kind, FakeFileDialog::Kind::Folder);
    QCOMPARE(files.requests[0].parent, &d);
    QCOMPARE(files.requests[0].start + files.requests[1].start, "/start/chosen");
}

void TestDialogSetting::feedAndAlertsOnOk_data() {
    QTest::addColumn<QString>("broker");
    QTest::addColumn<bool>("chooseCa"); // a CA file through "参照..."
    QTest::addColumn<QString>("high1");
    QTest::addColumn<QString>("message"); // the first line; empty: accepted
    // The refusals themselves are tested with the feed and the alerts.
    QTest::newRow("feed with a CA file, an alert")
        << "mqtts://broker.local" << true << " 10 " << QString();
    QTest::newRow("feed off, alert only") << QString() << false << "-3.5" << QString();
    QTest::newRow("feed refused") << "http://broker" << false << QString()
                                  << "ブローカーの指定に誤りがあります。";
    QTest::newRow("alert refused") << QString() << false << "abc"
                                   << "1台目の警報の上限に誤りがあります。";
}

void TestDialogSetting::feedAndAlertsOnOk() {
    QFETCH(QString, broker);
    QFETCH(bool, chooseCa);
    QFETCH(QString, high1);
    QFETCH(QString, message);
    QTemporaryDir tmp;
    const QString ca = tmp.filePath(QStringLiteral("ca.crt"));
    QFile caFile(ca);
    QVERIFY(caFile.open(QIODevice::WriteOnly));
    caFile.write("-----BEGIN CERTIFICATE-----\n-----END CERTIFICATE-----\n");
    caFile.close();
    MeasurementStore store = DefaultSettings();
    store.Feed.Topic = QStringLiteral("plant/1");
    store.Alerts.Change[3] = QStringLiteral("2");
    FakeMessageBox box;
    FakeFileDialog files;
    files.answers = {ca};
    DialogSetting d(store, box, files);
    d.show();
    Operator op(d);
    QCOMPARE(op.find<QLineEdit>(QStringLiteral("txtTopic"))->text(), QStringLiteral("plant/1"));
    QCOMPARE(op.find<QLineEdit>(QStringLiteral("txtAlertChange_3"))->text(), QStringLiteral("2"));
    // The feed and the alerts stand in a column right of the other options.
    QVERIFY(op.find<QWidget>(QStringLiteral("Frame3"))->x() >
            op.find<QLineEdit>(QStringLiteral("txtSaveFolder"))->geometry().right());
    op.type(op.find<QLineEdit>(QStringLiteral("txtBroker")), broker);
    op.type(op.find<QLineEdit>(QStringLiteral("txtAlertHigh_0")), high1);
    if (chooseCa) {
        QTest::mouseClick(op.find<QPushButton>("cmdCaFile"), Qt::LeftButton);
        QCOMPARE(files.requests.size(), 1);
        QCOMPARE(files.requests[0].kind, FakeFileDialog::Kind::Open);
    }
    op.ok();
    if (!message.isEmpty()) {
        QCOMPARE(box.shown.size(), 1);
        QCOMPARE(box.last().text.section(QLatin1Char('\n'), 0, 0), message);
        QVERIFY(d.isVisible() && !store.SettingChanged);
        QVERIFY(store.Feed.Broker.isEmpty() && store.Alerts.High[0].isEmpty());
        return;
    }
    QVERIFY2(box.shown.isEmpty() && !d.isVisible(), qPrintable(box.texts().join('|')));
    QCOMPARE(store.Feed.Broker, broker);
    QCOMPARE(store.Feed.Topic, QStringLiteral("plant/1"));
    QCOMPARE(store.Feed.CaFile, chooseCa ? ca : QString());
    QCOMPARE(store.Alerts.High[0], high1.trimmed());
    QCOMPARE(store.Alerts.Change[3], QStringLiteral("2"));
}

QTEST_MAIN(TestDialogSetting)
#include "test_dialog_setting.moc"
