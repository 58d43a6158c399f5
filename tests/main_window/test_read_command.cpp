// SPDX-License-Identifier: GPL-3.0-or-later
// The read command: a dedicated file written by the program is read back and replayed onto the
// chart as a live run would have drawn it; files that cannot be loaded lose nothing.
#include "MainWindowRig.h"
#include "data_files/DataFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace k12;
using namespace k12::test;

namespace {

// A finished two-unit measurement of n rows saved to path; unit 2 has fewer readings.
void SaveMeasurement(const QString& path, int32_t n) {
    MeasurementStore s;
    s.InitDataArea();
    s.ClearData();
    s.Units[0].Mflag = true;
    s.Units[1].Mflag = true;
    s.Units[0].ComPort = 5;
    s.Units[1].ComPort = 6;
    for (int32_t r = 0; r < n; ++r) {
        s.Units[0].Data[r] = static_cast<float>(r) * 0.5f;
    }
    for (int32_t r = 0; r < n / 2; ++r) {
        s.Units[1].Data[r] = -static_cast<float>(r);
    }
    s.Units[0].DataCount = n;
    s.Units[1].DataCount = n / 2;
    s.SampleCount = n;
    s.TimerType = false;
    s.IntervalTM = 300;
    s.StartTime = QStringLiteral("2024/3/5 21:15:30");
    s.Memo[0] = QStringLiteral("試験 1");
    QVERIFY(!WriteDataFile(s, path));
}

} // namespace

class TestReadCommand : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void readReplaysLikeALiveRun();
    void cancelChangesNothing();
    void filesThatCannotBeLoadedLoseNothing_data();
    void filesThatCannotBeLoadedLoseNothing();
    void rejectedYRangeDoesNotLockTheBoxes();
    void startClosesEveryDataList();
};

void TestReadCommand::readReplaysLikeALiveRun() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("run.zr5"));
    SaveMeasurement(path, 250);

    MainWindowRig h;
    h.form->show();
    h.w<QLabel>(QStringLiteral("Label1_0"))->setText(QStringLiteral("1.000"));
    h.readFile = path;
    h.click("cmdRead");
    QVERIFY(h.messages.shown.isEmpty());
    QCOMPARE(h.md.SampleCount, 250);
    QVERIFY(!h.md.Measuring);
    QCOMPARE(h.md.IntervalTM, int16_t(300));
    QVERIFY(!h.md.TimerType);
    QCOMPARE(h.md.Units[1].ComPort, int16_t(6));
    QVERIFY(h.md.Units[1].Mflag);
    QVERIFY(!h.md.Units[2].Mflag);
    QCOMPARE(h.md.Units[1].DataCount, 250);
    QCOMPARE(h.md.Memo[0], QStringLiteral("試験 1"));
    QCOMPARE(h.chart.headerText(), QStringLiteral("開始時刻  2024/3/5 21:15:30"));
    QCOMPARE(h.window(), std::make_pair(1, 300));
    QCOMPARE(h.xRange().second, 90.0); // 300 rows x 0.3 s
    QCOMPARE(h.chart.pointCount(1), 250);
    QCOMPARE(h.chart.yValue(1, 250).value(), 124.5);
    QVERIFY(!h.chart.yValue(2, 200)); // past unit 2's readings
    QVERIFY(h.label1(0).isEmpty());
    QVERIFY(h.enabled("cmdDisp"));
    QVERIFY(h.enabled("cmdStart"));
    QVERIFY(!h.chart.isRepaintSuspended());
    QVERIFY(h.txt("txtVhi")->isEnabled()); // the Y range was accepted again

    // Reading again without saving replaces the data without a question.
    SaveMeasurement(path, 40);
    h.click("cmdRead");
    QVERIFY(h.messages.shown.isEmpty());
    QCOMPARE(h.md.SampleCount, 40);
    QCOMPARE(h.combo()->count(), 36);
    QCOMPARE(h.window(), std::make_pair(1, 100));
}

void TestReadCommand::cancelChangesNothing() {
    MainWindowRig h;
    h.fillRows(7, 1.0f);
    h.readFile.reset();
    h.click("cmdRead");
    QCOMPARE(h.md.SampleCount, 7);
    QVERIFY(h.messages.shown.isEmpty());
}

void TestReadCommand::filesThatCannotBeLoadedLoseNothing_data() {
    QTest::addColumn<QByteArray>("content"); // empty: no file at all
    QTest::addColumn<QString>("message");    // empty: any message naming the file
    QTest::newRow("missing file") << QByteArray() << QStringLiteral("データがありません。");
    QByteArray header("\x06\x00RV0100", 8);
    header += QByteArray(2 * 6, '\0');                   // start time and five memo lines
    header += QByteArray("\x00\x00\xe8\x03\x00\x00", 6); // device timer, 1000 ms
    header += QByteArray(12, '\0');                      // ports, stored count
    QTest::newRow("header without rows") << header << QStringLiteral("データがありません。");
    QTest::newRow("header cut short") << header.left(20) << QString();
    QByteArray badInterval = header;
    badInterval[22] = 0;
    badInterval[23] = '\x80'; // 32768
    badInterval += QByteArray(16, '\0');
    QTest::newRow("interval out of range") << badInterval << QString();
    QByteArray zeroInterval = header;
    zeroInterval[22] = 0;
    zeroInterval[23] = 0; // 0 ms
    zeroInterval += QByteArray(16, '\0');
    QTest::newRow("interval 0") << zeroInterval << QString();
}

void TestReadCommand::rejectedYRangeDoesNotLockTheBoxes() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("run.zr5"));
    SaveMeasurement(path, 20);
    MainWindowRig h({{0}, true, 1000});
    h.readFile = path;
    h.click("cmdRead");
    QVERIFY(h.txt("txtVhi")->isEnabled());
    // Typed but not applied, then a read disables the boxes and rejects their text.
    h.txt("txtVhi")->setText(QStringLiteral("abc"));
    h.click("cmdRead");
    QCOMPARE(h.messages.texts(), QStringList{QStringLiteral("設定値に誤りがあります。")});
    QCOMPARE(h.md.SampleCount, 20); // the read went on
    QVERIFY(h.txt("txtVhi")->isEnabled());
    QVERIFY(h.txt("txtVlow")->isEnabled());
    QVERIFY(h.enabled("cmdSetScaleY"));
    QCOMPARE(h.txt("txtVhi")->text(), QStringLiteral("180"));
    QCOMPARE(h.txt("txtVlow")->text(), QStringLiteral("-180"));
    QCOMPARE(h.chart.axisRange(ChartAxis::Y), std::make_pair(-180.0, 180.0));
    // The next read and the next start are clean.
    h.messages.shown.clear();
    h.click("cmdRead");
    QVERIFY(h.messages.shown.isEmpty());
    h.readFile.reset();
    h.messages.answers = {MsgAnswer::Yes};
    h.start();
    QCOMPARE(h.messages.shown.size(), 1); // the question about erasing, nothing else
    QVERIFY(h.md.Measuring);
}

void TestReadCommand::startClosesEveryDataList() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("run.zr5"));
    SaveMeasurement(path, 20);
    MainWindowRig h({{0}, true, 1000});
    h.form->show();
    h.readFile = path;
    h.click("cmdRead");
    h.click("cmdDisp");
    QVERIFY(h.form->IsDatalistOpen());
    h.click("cmdRead"); // a read enables cmdDisp while the list is open
    QVERIFY(h.enabled("cmdDisp"));
    h.start();
    QVERIFY(h.md.Measuring);
    QVERIFY(!h.form->IsDatalistOpen());
    // The closed list goes away during the run without giving cmdDisp back.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!h.enabled("cmdDisp"));
    h.stop();
    QVERIFY(!h.enabled("cmdDisp")); // no rows yet
}

void TestReadCommand::filesThatCannotBeLoadedLoseNothing() {
    QFETCH(QByteArray, content);
    QFETCH(QString, message);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bad.zr5"));
    if (!content.isEmpty()) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    MainWindowRig h;
    h.fillRows(7, 1.0f);
    h.md.StartTime = QStringLiteral("2024/1/1 1:1:1");
    h.form->GrDrawData(1);
    h.w<QLabel>(QStringLiteral("Label1_0"))->setText(QStringLiteral("7.000"));
    h.readFile = path;
    h.click("cmdRead");
    QCOMPARE(h.messages.shown.size(), 1);
    if (message.isEmpty()) {
        QVERIFY2(h.messages.last().text.contains(path), qPrintable(h.messages.last().text));
    } else {
        QCOMPARE(h.messages.last().text, message);
    }
    QCOMPARE(h.messages.last().title, QStringLiteral("Message"));
    QCOMPARE(h.md.SampleCount, 7);
    QCOMPARE(h.md.StartTime, QStringLiteral("2024/1/1 1:1:1"));
    QCOMPARE(h.md.Units[0].Data[6], 7.0f);
    QCOMPARE(h.md.IntervalTM, int16_t(1000));
    QCOMPARE(h.label1(0), QStringLiteral("7.000"));
    QCOMPARE(h.chart.yValue(1, 1).value(), 1.0);
}

QTEST_MAIN(TestReadCommand)
#include "test_read_command.moc"
