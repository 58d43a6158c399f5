// SPDX-License-Identifier: GPL-3.0-or-later
// What the main window shows and enables for each outcome of the run engine, over scripted
// units: a run in both timing modes, refused and failed starts, the end of a run and its
// messages, units in error, pieces.
#include "MainWindowRig.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace k12;
using namespace k12::test;

namespace {

const QString kLineFailed = QStringLiteral("COM2 (/dev/pts/9) との通信が切断されました。");
const QString kNotFound = QStringLiteral("COM2 (/dev/ttyS1) が見つかりません。");
const QString kTimerError = QStringLiteral("タイマー設定エラーのため測定開始できません。");
const QString kErase = QStringLiteral("測定を開始するとデータが消去されます。よろしいですか？");

} // namespace

class TestRunControl : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void pcTimerRunOfThreeRows();
    void deviceTimerRunAndStop();
    void startQuestionAnsweredNo();
    void refusedStartsChangeNothing_data();
    void refusedStartsChangeNothing();
    void startThatEndsAtOnce();
    void startClearsTheChartsLines();
    void messagesBeforeAndAfterTheStop_data();
    void messagesBeforeAndAfterTheStop();
    void noSecondStepWhileMessageOpen();
    void datalistButtonAfterClose();
    void unitInErrorWhileTheRunGoesOn();
    void unitDownAtTheStopKeepsItsError();
    void piecesStartTheChartOver_data();
    void piecesStartTheChartOver();
};

void TestRunControl::pcTimerRunOfThreeRows() {
    MainWindowRig h({{0, 1}, true, 1000});
    h.form->show();
    h.start();
    QVERIFY(h.messages.shown.isEmpty());
    QVERIFY(h.form->Timer1().isActive());
    QCOMPARE(h.form->Timer1().interval(), 1000);
    QCOMPARE(h.chart.headerText(), QStringLiteral("開始時刻 [ 2024/3/5 9:7:2 ]"));
    QVERIFY(h.chart.isRepaintSuspended()); // until the first step
    QVERIFY(h.enabled("cmdStop"));
    for (const char* b :
         {"cmdStart", "cmdSetting", "cmdPrint", "cmdRead", "cmdSave", "cmdEnd", "cmdDisp"}) {
        QVERIFY2(!h.enabled(b), b);
    }

    h.port(1).clearReplies();
    h.port(1).reply("GET", "-123.4567\r\n", 0, true);
    for (int k = 0; k < 3; ++k) {
        h.tick();
    }
    QVERIFY(!h.chart.isRepaintSuspended());
    QCOMPARE(h.label1(0), QStringLiteral("12.500"));
    QCOMPARE(h.label1(1), QStringLiteral("-123.456"));
    QCOMPARE(h.chart.pointCount(1), 3);
    QCOMPARE(h.chart.xValue(3).value(), 3.0);

    h.stop();
    QVERIFY(!h.form->Timer1().isActive());
    QVERIFY(h.enabled("cmdDisp"));
    QVERIFY(h.enabled("cmdStart"));
}

void TestRunControl::deviceTimerRunAndStop() {
    MainWindowRig h({{0, 1}, false, 100});
    h.form->show();
    h.start();
    QVERIFY(h.form->Timer2().isActive());
    QCOMPARE(h.form->Timer2().interval(), 100);
    h.receive(0, Readings(5, 1.0));
    h.receive(1, Readings(2, 50.0));
    h.step();
    QCOMPARE(h.label1(0), QStringLiteral("5.000"));
    QCOMPARE(h.label1(1), QStringLiteral("51.000"));
    QCOMPARE(h.chart.pointCount(2), 5);
    QVERIFY(!h.chart.yValue(2, 3));

    // What the stop still collects is shown.
    h.receive(0, Readings(3, 6.0));
    h.arrive(1, Readings(2, 52.0));
    h.stop();
    QVERIFY(!h.form->Timer2().isActive());
    QCOMPARE(h.chart.pointCount(1), 8);
    QCOMPARE(h.chart.yValue(1, 8).value(), 8.0);
    QCOMPARE(h.label1(1), QStringLiteral("53.000"));
    QVERIFY(h.messages.shown.isEmpty());
}

void TestRunControl::startQuestionAnsweredNo() {
    MainWindowRig h({{0}, true, 1000});
    h.fillRows(4, 1.0f);
    h.md.StartTime = QStringLiteral("2024/1/1 0:0:0");
    h.messages.answers = {MsgAnswer::No};
    h.start();
    QCOMPARE(h.messages.last().text, kErase);
    QCOMPARE(h.messages.last().icon, MsgIcon::Question);
    QCOMPARE(h.md.SampleCount, 4);
    QCOMPARE(h.md.StartTime, QStringLiteral("2024/1/1 0:0:0"));
    QVERIFY(!h.md.Measuring);
    QVERIFY(h.md.Drivers[0] == nullptr); // no unit was touched
}

void TestRunControl::refusedStartsChangeNothing_data() {
    QTest::addColumn<bool>("openFails");
    QTest::addColumn<QStringList>("texts");
    QTest::newRow("refused") << false << QStringList{kTimerError};
    // Asked first whether to erase the data.
    QTest::newRow("a unit that cannot be opened") << true << QStringList{kErase, kNotFound};
}

void TestRunControl::refusedStartsChangeNothing() {
    QFETCH(bool, openFails);
    QFETCH(QStringList, texts);
    MainWindowRig h({{0, 1}, true, openFails ? 1000 : 500});
    h.fillRows(4, 1.0f);
    h.chart.setPointCount(1, 4);
    if (openFails) {
        h.port(1).setOpenError(DeviceError(701, kNotFound));
    }
    h.start(); // empty answer queue: Yes
    QCOMPARE(h.messages.texts(), texts);
    QCOMPARE(h.messages.last().buttons, MsgButtons::Ok);
    QCOMPARE(h.chart.pointCount(1), 4);
    QVERIFY(!h.form->Timer1().isActive());
    QVERIFY(!h.form->Timer2().isActive());
    QVERIFY(!h.chart.isRepaintSuspended());
    QVERIFY(h.enabled("cmdStart"));
}

void TestRunControl::startThatEndsAtOnce() {
    // Unit 1 starts streaming, unit 2 refuses.
    MainWindowRig h({{0, 1}, false, 1000});
    h.port(1).clearReplies();
    h.port(1).reply("", "K12INC\r\n", 0, true);
    h.port(1).reply("RUN00", "NG\r\n");
    h.start();
    QCOMPARE(h.messages.texts(), QStringList{QStringLiteral("リターン文字列不正")});
    QVERIFY(!h.form->Timer2().isActive());
    QVERIFY(h.enabled("cmdStart"));
    QVERIFY(!h.enabled("cmdStop"));
    QVERIFY(!h.chart.isRepaintSuspended());
}

void TestRunControl::startClearsTheChartsLines() {
    MainWindowRig h({{0}, false, 100});
    h.start();
    h.receive(0, Readings(5, 1.0));
    h.step();
    h.stop();
    QCOMPARE(h.chart.pointCount(1), 5);
    h.start(); // Yes: erase
    QVERIFY(h.md.Measuring);
    for (int s = 1; s <= 4; ++s) {
        QCOMPARE(h.chart.pointCount(s), 0);
    }
    h.step(); // the first step, before any value arrived, draws nothing old
    QCOMPARE(h.chart.pointCount(1), 0);
}

void TestRunControl::messagesBeforeAndAfterTheStop_data() {
    QTest::addColumn<bool>("pcTimer");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("afterTheStop");
    QTest::newRow("PC timer, store full")
        << true << QStringLiteral("メモリー不足です。測定値が保存できません") << false;
    QTest::newRow("device timer, store full")
        << false << QStringLiteral("データ入力バッファがいっぱいのため測定を中止します。") << true;
}

void TestRunControl::messagesBeforeAndAfterTheStop() {
    QFETCH(bool, pcTimer);
    QFETCH(QString, text);
    QFETCH(bool, afterTheStop);
    MainWindowRig h({{0}, pcTimer, pcTimer ? 1000 : 100});
    h.start();
    h.fillRows(pcTimer ? MAX_SAMPLES : 87990, 0.0f);
    if (!pcTimer) {
        h.receive(0, Readings(20, 1.0));
    }
    bool stopShown = false;
    h.messages.onShow = [&](const FakeMessageBox::Shown&) {
        stopShown = h.enabled("cmdStart") && !h.enabled("cmdStop");
    };
    pcTimer ? h.tick() : h.step();
    QCOMPARE(h.messages.texts(), QStringList{text});
    QCOMPARE(stopShown, afterTheStop);
    QVERIFY(!h.form->Timer1().isActive());
    QVERIFY(!h.form->Timer2().isActive());
    QVERIFY(h.enabled("cmdStart"));
}

void TestRunControl::noSecondStepWhileMessageOpen() {
    MainWindowRig h({{0}, true, 1000});
    h.start();
    h.fillRows(MAX_SAMPLES, 0.0f);
    h.messages.onShow = [&](const FakeMessageBox::Shown&) {
        // Ticks delivered while the box is open start nothing.
        h.tick();
        h.form->OnTimer2Tick();
    };
    h.tick();
    QCOMPARE(h.messages.shown.size(), 1);
    QVERIFY(!h.form->Timer1().isActive());
}

void TestRunControl::datalistButtonAfterClose() {
    MainWindowRig h({{0}, true, 1000});
    h.form->show();
    h.click("cmdDisp"); // disabled with no rows: nothing
    QVERIFY(!h.form->IsDatalistOpen());
    h.start();
    h.tick();
    h.stop();
    h.click("cmdDisp");
    QVERIFY(h.form->IsDatalistOpen());
    QVERIFY(!h.enabled("cmdDisp"));
    // The list closed with its close box gives cmdDisp back.
    for (QWidget* w : h.form->findChildren<QWidget*>()) {
        if (w->isWindow()) {
            w->close();
        }
    }
    QVERIFY(!h.form->IsDatalistOpen());
    QTRY_VERIFY(h.enabled("cmdDisp"));
    h.click("cmdDisp");
    QVERIFY(h.form->IsDatalistOpen());
    // Start closes an open list; cmdDisp follows the run state.
    h.start();
    QVERIFY(!h.form->IsDatalistOpen());
    QVERIFY(!h.enabled("cmdDisp"));
    h.stop();
    QVERIFY(h.enabled("cmdDisp") == (h.md.SampleCount >= 1));
}

void TestRunControl::unitInErrorWhileTheRunGoesOn() {
    MainWindowRig h({{0, 1}, true, 1000, true});
    h.start();
    h.tick();
    FakeSerialPort& port = h.port(1);
    port.setFailure(DeviceError(706, kLineFailed));
    port.setOpenError(DeviceError(701, kNotFound));
    for (int row = 1; row <= 2; ++row) {
        h.tick();
        QVERIFY(h.showsError(1));
        QCOMPARE(h.label(1)->toolTip(), row == 1 ? kLineFailed : kNotFound);
        QCOMPARE(h.label1(0), QStringLiteral("12.500"));
    }
    QVERIFY(h.messages.shown.isEmpty());

    port.setOpenError(std::nullopt);
    h.tick();
    QVERIFY(!h.chart.yValue(2, 2) && !h.chart.yValue(2, 3)); // the gap
    QCOMPARE(h.chart.yValue(2, 4).value(), 12.5);
    QCOMPARE(h.label1(1), QStringLiteral("12.500"));
    QVERIFY(h.label(1)->toolTip().isEmpty());
    QVERIFY(h.label(1)->palette().color(QPalette::WindowText) != QColor(Qt::red));

    h.stop();
    QCOMPARE(h.messages.texts(), QStringList{QStringLiteral("2台目: 2件（%1）").arg(kLineFailed)});
    QCOMPARE(h.messages.last().title, QStringLiteral("Message"));
}

void TestRunControl::unitDownAtTheStopKeepsItsError() {
    MainWindowRig h({{0, 1}, false, 100, true});
    h.start();
    h.receive(1, {101.0});
    h.receive(0, {1.0});
    h.step();
    h.port(1).setFailure(DeviceError(706, kLineFailed));
    h.receive(0, {2.0});
    h.step();
    QVERIFY(h.showsError(1));
    QCOMPARE(h.label(1)->toolTip(), kLineFailed);
    // A value the stop still collects redraws the current values: the down unit keeps its error.
    h.receive(0, {3.0});
    h.stop();
    QVERIFY(!h.md.Measuring);
    QVERIFY(h.showsError(1)); // until the next start
    h.start();
    QVERIFY(h.label1(1).isEmpty());
    QVERIFY(h.label(1)->toolTip().isEmpty());
}

void TestRunControl::piecesStartTheChartOver_data() {
    QTest::addColumn<bool>("pcTimer");
    QTest::newRow("PC timer") << true;
    QTest::newRow("device timer") << false;
}

void TestRunControl::piecesStartTheChartOver() {
    QFETCH(bool, pcTimer);
    QTemporaryDir folder;
    MainWindowRig h({.units = {0},
                     .pcTimer = pcTimer,
                     .interval = pcTimer ? 1000 : 100,
                     .continueWhenFull = true,
                     .saveFolder = folder.path()});
    h.engine.SetPieceRowsForTest(10);
    h.form->show();
    h.start();
    QVERIFY(h.pieces()->isVisible());
    if (pcTimer) {
        h.port(0).clearReplies();
        for (int k = 1; k <= 13; ++k) {
            h.port(0).reply("GET", ReadingLine(k));
        }
        for (int k = 1; k <= 10; ++k) {
            h.tick();
        }
    } else {
        h.receive(0, Readings(10, 1.0));
        h.step();
    }
    h.chart.setMarker(ChartModel::Marker::A, 2);
    h.chart.setMarker(ChartModel::Marker::B, 8);
    // The piece is full: its last row stays shown until the next one comes.
    QCOMPARE(h.label1(0), QStringLiteral("10.000"));
    QCOMPARE(h.pieces()->text(), QStringLiteral("現在のファイル: 10 行　保存したファイル: 0"));
    if (pcTimer) {
        for (int k = 11; k <= 13; ++k) {
            h.tick();
            QCOMPARE(h.label1(0), QString::number(k) + QStringLiteral(".000"));
        }
    } else {
        h.receive(0, Readings(3, 11.0));
        h.step();
        QCOMPARE(h.label1(0), QStringLiteral("13.000"));
    }
    // Ten rows went into the first piece; the chart shows the next one from its own start, and
    // the markers of the piece before are gone.
    QCOMPARE(h.md.SampleCount, 3);
    QCOMPARE(h.chart.pointCount(1), 3);
    QCOMPARE(h.chart.yValue(1, 1).value(), 11.0);
    QCOMPARE(h.chart.headerText(), pcTimer ? QStringLiteral("開始時刻 [ 2024/3/5 9:7:12 ]")
                                           : QStringLiteral("開始時刻 [ 2024/3/5 9:7:3 ]"));
    QVERIFY(!h.chart.marker(ChartModel::Marker::A) && !h.chart.marker(ChartModel::Marker::B));
    QCOMPARE(h.pieces()->text(),
             QStringLiteral("現在のファイル: 3 行　保存したファイル: 1　保存済み: "
                            "20240305-090702-001.zr5"));
    h.stop();
    QVERIFY(QFileInfo::exists(folder.filePath(QStringLiteral("20240305-090702-002.zr5"))));
    QVERIFY(h.messages.shown.isEmpty());
}

QTEST_MAIN(TestRunControl)
#include "test_run_control.moc"
