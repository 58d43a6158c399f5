// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's creation state, chart set-up and plotting, visible range, close rules and
// settings command, over fakes.
#include "FakeFileDialog.h"
#include "MainWindowRig.h"
#include "settings/DialogSetting.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QTest>

using namespace k12;
using namespace k12::test;

namespace {

const QString kEmptyHeader =
    QStringLiteral("開始時刻 [") + QString(21, QLatin1Char(' ')) + QStringLiteral("]");

} // namespace

class TestFormMain : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void creationState();
    void plotting();
    void plottingAllRows();
    void scrollShowAllAndAuto();
    void manualScroll();
    void displayCountChanges();
    void modeSelectionDuringRun();
    void modeSelectionWhenIdle();
    void yRange();
    void setGraphParamInvalidRangeKeepsAxes();
    void closeRules();
    void settingsCommand();
    void replayEndsLikeALiveRun();
    void continueOnErrorRoundTrip();
};

void TestFormMain::creationState() {
    MainWindowRig h;
    QCOMPARE(h.combo()->count(), 36);
    QCOMPARE(h.combo()->itemText(0), QStringLiteral("10"));
    QCOMPARE(h.combo()->itemText(8), QStringLiteral("90"));
    QCOMPARE(h.combo()->itemText(35), QStringLiteral("90000"));
    QCOMPARE(h.combo()->currentText(), QStringLiteral("100"));
    QVERIFY(h.opt(0)->isChecked());
    QCOMPARE(h.md.XScaleMode, int16_t(0));
    for (const char* name : {"cmdLeft", "cmdRight", "cmdSetScaleY", "cmdStop", "cmdDisp"}) {
        QVERIFY2(!h.button(QString::fromLatin1(name))->isEnabled(), name);
    }
    for (const char* name :
         {"cmdStart", "cmdSetting", "cmdPrint", "cmdRead", "cmdSave", "cmdEnd", "cmdMeasInfo"}) {
        QVERIFY2(h.button(QString::fromLatin1(name))->isEnabled(), name);
    }
    QVERIFY(!h.combo()->isEnabled());
    QVERIFY(!h.txt("txtVhi")->isEnabled());
    QVERIFY(!h.txt("txtVlow")->isEnabled());
    QCOMPARE(h.txt("txtVhi")->text(), QStringLiteral("180"));
    QCOMPARE(h.txt("txtVlow")->text(), QStringLiteral("-180"));
    QCOMPARE(h.chart.headerText(), kEmptyHeader);
    QCOMPARE(h.chart.axisTitle(ChartAxis::X), QStringLiteral("開始からの経過時間（秒）"));
    QCOMPARE(h.chart.axisTitle(ChartAxis::Y), QStringLiteral("度"));
    QCOMPARE(h.chart.seriesLabels(),
             QStringList({QStringLiteral("1台目"), QStringLiteral("2台目"), QStringLiteral("3台目"),
                          QStringLiteral("4台目")}));
    QCOMPARE(h.chart.seriesCount(), 4);
    QCOMPARE(h.window(), std::make_pair(1, 100));
    QCOMPARE(h.xRange(), std::make_pair(1.0, 100.0)); // default interval 1000 ms
    QCOMPARE(h.chart.axisRange(ChartAxis::Y), std::make_pair(-180.0, 180.0));
    for (int s = 1; s <= 4; ++s) {
        QCOMPARE(h.chart.pointCount(s), 1);
        QVERIFY(!h.chart.yValue(s, 1));
    }
    for (int i = 0; i < 4; ++i) {
        QVERIFY(h.label1(i).isEmpty());
    }
    // Defaults of an empty settings store: unit 1 on port 1, PC timer, one second.
    QVERIFY(h.md.Units[0].Mflag);
    QVERIFY(!h.md.Units[1].Mflag);
    QCOMPARE(h.md.Units[3].ComPort, int16_t(4));
    QVERIFY(h.md.TimerType);
    QCOMPARE(h.md.IntervalTM, int16_t(1000));
    QVERIFY(!h.chart.isRepaintSuspended());
    QVERIFY(!h.form->Timer1().isActive());
    QVERIFY(!h.form->Timer2().isActive());
}

void TestFormMain::plotting() {
    MainWindowRig h({{0, 2}, true, 2000});
    // Unit 3 ("3台目", index 2): row 3 of 12.5 lands at X = 6.0.
    h.fillRows(5, 10.0f);
    h.md.Units[2].Data[2] = 12.5f;
    h.md.Units[0].Data[1] = NO_DATA_VALUE; // a hole in unit 1
    h.md.Units[0].Data[3] = -999.5f;       // close to, but not, the no-data value
    h.md.Units[1].Data[2] = 55.0f;         // unit not in use: never drawn
    for (int k = 1; k <= 5; ++k) {
        h.form->GrDrawData(k);
    }
    QCOMPARE(h.chart.pointCount(3), 5);
    QCOMPARE(h.chart.xValue(3).value(), 6.0);
    QCOMPARE(h.chart.yValue(3, 3).value(), 12.5);
    QVERIFY(!h.chart.yValue(1, 2));
    QCOMPARE(h.chart.yValue(1, 4).value(), -999.5);
    for (int p = 1; p <= 5; ++p) {
        QVERIFY(!h.chart.yValue(2, p));
        QVERIFY(!h.chart.yValue(4, p));
    }
    // Cutting back keeps earlier points and drops later ones.
    h.form->GrDrawData(2);
    QCOMPARE(h.chart.pointCount(1), 2);
    QCOMPARE(h.chart.yValue(1, 1).value(), 10.0);

    // No unit in use: every series still gets the points, all holes, and no X is written.
    MainWindowRig none(RunSetup{.units = {}});
    none.md.SampleCount = 3;
    none.form->GrDrawData(3);
    for (int s = 1; s <= 4; ++s) {
        QCOMPARE(none.chart.pointCount(s), 3);
        QVERIFY(!none.chart.yValue(s, 3));
    }
    QVERIFY(!none.chart.xValue(3));
}

void TestFormMain::plottingAllRows() {
    MainWindowRig h({{0, 1}, false, 500});
    h.form->GrDrawData1(); // no rows: points stay as they were
    QCOMPARE(h.chart.pointCount(1), 1);

    h.fillRows(4, 1.0f);
    h.md.Units[1].DataCount = 2;
    h.md.Units[1].Data[2] = NO_DATA_VALUE;
    h.md.Units[1].Data[3] = NO_DATA_VALUE;
    h.form->GrDrawData1();
    QCOMPARE(h.chart.pointCount(2), 4);
    QCOMPARE(h.chart.xValue(1).value(), 0.5);
    QCOMPARE(h.chart.xValue(4).value(), 2.0);
    QCOMPARE(h.chart.yValue(1, 4).value(), 4.0);
    QCOMPARE(h.chart.yValue(2, 2).value(), 2.0);
    QVERIFY(!h.chart.yValue(2, 3));
}

void TestFormMain::scrollShowAllAndAuto() {
    MainWindowRig h;
    const QList<std::pair<int, int>> showAll = {
        {50, 100}, {101, 200}, {201, 300}, {1001, 2000}, {10001, 20000}};
    for (auto [rows, end] : showAll) {
        // Mode 0 moves by one step per call; walk rows up so it catches up as in a run.
        for (int r = h.md.SampleCount + 1; r <= rows; ++r) {
            h.md.SampleCount = r;
            FormMainTestAccess::ScrollAxesX(*h.form);
        }
        QCOMPARE(h.window(), std::make_pair(1, end));
    }
    QCOMPARE(h.xRange(), std::make_pair(1.0, 20000.0));

    MainWindowRig a;
    a.md.Measuring = true;
    QTest::mouseClick(a.opt(1), Qt::LeftButton);
    QCOMPARE(a.window(), std::make_pair(1, 100));
    a.md.SampleCount = 101;
    FormMainTestAccess::ScrollAxesX(*a.form);
    QCOMPARE(a.window(), std::make_pair(51, 150));
    a.md.SampleCount = 151;
    FormMainTestAccess::ScrollAxesX(*a.form);
    QCOMPARE(a.window(), std::make_pair(101, 200));
    // Manual mode never moves by itself.
    QTest::mouseClick(a.opt(2), Qt::LeftButton);
    a.md.SampleCount = 5000;
    FormMainTestAccess::ScrollAxesX(*a.form);
    QCOMPARE(a.window(), std::make_pair(101, 200));
}

void TestFormMain::manualScroll() {
    MainWindowRig h;
    h.fillRows(250);
    QTest::mouseClick(h.opt(2), Qt::LeftButton);
    QVERIFY(h.enabled("cmdLeft"));
    QCOMPARE(h.window(), std::make_pair(1, 100));
    const QList<std::pair<int, int>> walk = {
        {51, 150}, {101, 200}, {151, 250}, {201, 300}, {201, 300}};
    for (auto expected : walk) {
        h.click("cmdRight");
        QCOMPARE(h.window(), expected);
    }
    h.md.ViewStart = 31;
    h.click("cmdLeft");
    QCOMPARE(h.window(), std::make_pair(1, 100));
    h.click("cmdLeft");
    QCOMPARE(h.window(), std::make_pair(1, 100));
}

void TestFormMain::displayCountChanges() {
    MainWindowRig h;
    h.fillRows(250);
    QTest::mouseClick(h.opt(2), Qt::LeftButton);
    h.click("cmdRight");
    h.click("cmdRight");
    QCOMPARE(h.window(), std::make_pair(101, 200));
    h.selectCount(QStringLiteral("500"));
    QCOMPARE(h.window(), std::make_pair(101, 600));
    QCOMPARE(h.md.ViewWidth, 500);

    // Auto scroll during a run: the window snaps to the display count.
    MainWindowRig a;
    a.fillRows(250);
    a.md.Measuring = true;
    QTest::mouseClick(a.opt(1), Qt::LeftButton);
    a.md.ViewStart = 101;
    a.selectCount(QStringLiteral("200"));
    QCOMPARE(a.window(), std::make_pair(200, 399));
    a.md.ViewStart = 1;
    a.selectCount(QStringLiteral("100"));
    a.selectCount(QStringLiteral("200"));
    QCOMPARE(a.window(), std::make_pair(1, 200));
    // Choosing the count already in force changes nothing.
    a.md.ViewEnd = 777;
    a.selectCount(QStringLiteral("200"));
    QCOMPARE(a.md.ViewEnd, 777);
}

void TestFormMain::modeSelectionDuringRun() {
    const QList<std::pair<int, int>> showAll = {{250, 300}, {1000, 2000}, {999, 1000}, {100, 100}};
    for (auto [rows, end] : showAll) {
        MainWindowRig h;
        h.fillRows(rows);
        h.md.Measuring = true;
        QTest::mouseClick(h.opt(2), Qt::LeftButton);
        QTest::mouseClick(h.opt(0), Qt::LeftButton);
        QCOMPARE(h.window(), std::make_pair(1, end));
    }
    MainWindowRig a;
    a.fillRows(250);
    a.md.Measuring = true;
    QTest::mouseClick(a.opt(1), Qt::LeftButton);
    QCOMPARE(a.window(), std::make_pair(250, 350));
    QVERIFY(a.combo()->isEnabled());
    QVERIFY(!a.enabled("cmdLeft"));
}

void TestFormMain::modeSelectionWhenIdle() {
    MainWindowRig h;
    h.fillRows(250);
    QTest::mouseClick(h.opt(2), Qt::LeftButton);
    QTest::mouseClick(h.opt(0), Qt::LeftButton);
    QCOMPARE(h.window(), std::make_pair(1, 250));
    QVERIFY(!h.combo()->isEnabled());

    MainWindowRig empty;
    QTest::mouseClick(empty.opt(0), Qt::LeftButton);
    QCOMPARE(empty.window(), std::make_pair(1, 100));
    // Manual right after show-all starts at the first sample.
    empty.selectCount(QStringLiteral("500")); // combo disabled in mode 0, but the handler works
    QTest::mouseClick(empty.opt(2), Qt::LeftButton);
    QCOMPARE(empty.window(), std::make_pair(1, 500));

    MainWindowRig tenth({{0}, false, 100});
    tenth.fillRows(200);
    QTest::mouseClick(tenth.opt(2), Qt::LeftButton);
    tenth.click("cmdRight");
    QCOMPARE(tenth.window(), std::make_pair(51, 150));
    QCOMPARE(tenth.xRange().first, 5.1);
    QCOMPARE(tenth.xRange().second, 15.0);
}

void TestFormMain::yRange() {
    MainWindowRig h;
    h.md.Measuring = false;
    QVERIFY(h.form->SetGraphParam()); // enables the Y controls
    QVERIFY(h.txt("txtVhi")->isEnabled());
    h.txt("txtVhi")->setText(QStringLiteral("90"));
    h.txt("txtVlow")->setText(QStringLiteral("-90"));
    const auto xBefore = h.xRange();
    h.click("cmdSetScaleY");
    QCOMPARE(h.chart.axisRange(ChartAxis::Y), std::make_pair(-90.0, 90.0));
    QCOMPARE(h.md.YMin, -90.0f);
    QCOMPARE(h.xRange(), xBefore);
    QVERIFY(h.messages.shown.isEmpty());

    h.txt("txtVhi")->setText(QStringLiteral("10"));
    h.txt("txtVlow")->setText(QStringLiteral("10"));
    h.click("cmdSetScaleY");
    QCOMPARE(h.messages.texts(), QStringList{QStringLiteral("設定値に誤りがあります。")});
    QCOMPARE(h.messages.last().title, QStringLiteral("Message"));
    QCOMPARE(h.chart.axisRange(ChartAxis::Y), std::make_pair(-90.0, 90.0));

    h.messages.clear();
    h.txt("txtVhi")->setText(QStringLiteral("abc"));
    h.click("cmdSetScaleY");
    QVERIFY(h.messages.shown.isEmpty());
    QCOMPARE(h.md.YMax, 90.0f);
}

void TestFormMain::setGraphParamInvalidRangeKeepsAxes() {
    MainWindowRig h;
    QVERIFY(h.form->SetGraphParam());
    h.txt("txtVhi")->setText(QStringLiteral("-10"));
    h.txt("txtVlow")->setText(QStringLiteral("10"));
    h.md.ViewStart = 7;
    QVERIFY(h.form->SetGraphParam());
    QCOMPARE(h.messages.texts(), QStringList{QStringLiteral("設定値に誤りがあります。")});
    QCOMPARE(h.md.ViewStart, 7);
    QCOMPARE(h.md.YMax, 180.0f);
    // Text that is not a number is refused the same way.
    h.txt("txtVhi")->setText(QStringLiteral("x"));
    QVERIFY(h.form->SetGraphParam());
    QCOMPARE(h.messages.shown.size(), 2);
    QCOMPARE(h.chart.axisRange(ChartAxis::Y), std::make_pair(-180.0, 180.0));
}

void TestFormMain::closeRules() {
    {
        MainWindowRig h;
        h.form->show();
        h.messages.answers = {MsgAnswer::No};
        QVERIFY(!h.form->close());
        QCOMPARE(h.messages.last().text, QStringLiteral("終了しますか？"));
        QCOMPARE(h.messages.last().buttons, MsgButtons::YesNo);
        QCOMPARE(h.messages.last().icon, MsgIcon::Question);
        QCOMPARE(h.messages.last().title, QStringLiteral("Message"));
    }
    {
        MainWindowRig h;
        h.fillRows(3);
        h.form->show();
        h.button(QStringLiteral("cmdDisp"))->setEnabled(true); // as after a run with rows
        h.click("cmdDisp");
        QVERIFY(h.form->IsDatalistOpen());
        QVERIFY(!h.enabled("cmdDisp"));
        h.messages.answers = {MsgAnswer::Yes};
        QVERIFY(h.form->close());
        QCOMPARE(h.messages.last().text,
                 QStringLiteral("データが消去されます。終了してもよろしいですか？"));
        QVERIFY(!h.form->IsDatalistOpen());
    }
    {
        MainWindowRig h;
        h.form->show();
        h.start();
        QVERIFY(h.md.Measuring);
        QVERIFY(!h.form->close());
        QCOMPARE(h.messages.last().text,
                 QStringLiteral("測定中です。中止してから終了して下さい。"));
        QCOMPARE(h.messages.last().title, QStringLiteral("エラーメッセージ"));
        QCOMPARE(h.messages.last().icon, MsgIcon::Error);
        QVERIFY(h.md.Measuring);
        h.stop();
    }
}

void TestFormMain::settingsCommand() {
    // No data: nothing asked, and after OK only the chart is reset.
    MainWindowRig h;
    h.settingsDialogAction = [](ModuleData& md) {
        md.Units[1].Mflag = true;
        md.SettingChanged = true;
    };
    h.click("cmdSetting");
    QVERIFY(h.messages.shown.isEmpty());
    QCOMPARE(h.settingsDialogRuns, 1);
    QVERIFY(h.md.Units[1].Mflag);

    // With data: a question; No changes nothing and the dialog is not shown.
    MainWindowRig no;
    no.fillRows(10, 1.0f);
    no.messages.answers = {MsgAnswer::No};
    no.click("cmdSetting");
    QCOMPARE(no.messages.last().text,
             QStringLiteral("設定を変更するとデータが消去されます。よろしいですか？"));
    QCOMPARE(no.messages.last().buttons, MsgButtons::YesNo);
    QCOMPARE(no.settingsDialogRuns, 0);
    QCOMPARE(no.md.SampleCount, 10);

    // Yes, then a cancelled dialog: data, labels and chart stay.
    MainWindowRig c;
    c.fillRows(10, 1.0f);
    c.form->GrDrawData(1);
    c.settingsDialogAction = [](ModuleData&) {};
    c.click("cmdSetting");
    QCOMPARE(c.md.SampleCount, 10);
    QCOMPARE(c.chart.yValue(1, 1).value(), 1.0);

    // Yes and OK with data: store cleared, labels emptied, cmdDisp off, chart reset.
    MainWindowRig ok;
    ok.fillRows(10, 1.0f);
    ok.form->GrDrawData(1);
    ok.settingsDialogAction = [](ModuleData& md) { md.SettingChanged = true; };
    ok.click("cmdSetting");
    QCOMPARE(ok.md.SampleCount, 0);
    QCOMPARE(ok.md.Units[0].Data[0], NO_DATA_VALUE);
    QVERIFY(ok.label1(0).isEmpty());
    QVERIFY(!ok.enabled("cmdDisp"));
    QCOMPARE(ok.chart.pointCount(1), 1); // a single point draws nothing
    QCOMPARE(ok.chart.headerText(), kEmptyHeader);
}

void TestFormMain::replayEndsLikeALiveRun() {
    const QList<std::pair<int, int>> cases = {{250, 300}, {5000, 5000}, {5001, 6000}};
    for (auto [rows, end] : cases) {
        MainWindowRig h;
        h.fillRows(rows);
        h.md.StartTime = QStringLiteral("2024/3/5 9:7:2");
        FormMainTestAccess::ReplayData(*h.form);
        QCOMPARE(h.md.SampleCount, 0);
        QCOMPARE(h.window(), std::make_pair(1, end));
        QCOMPARE(h.chart.pointCount(1), rows);
        QCOMPARE(h.chart.headerText(), QStringLiteral("開始時刻  2024/3/5 9:7:2"));
        QCOMPARE(h.combo()->count(), 36);
        QCOMPARE(h.combo()->currentText(), QStringLiteral("100"));
        QVERIFY(!h.chart.isRepaintSuspended());
    }
}

void TestFormMain::continueOnErrorRoundTrip() {
    MainWindowRig h;
    QCOMPARE(h.md.ContinueOnError, false);
    h.settingsDialogAction = [&h](ModuleData& md) {
        test::FakeFileDialog files;
        DialogSetting d(md, h.messages, files);
        d.show();
        QTest::keyClick(d.findChild<QCheckBox*>(QStringLiteral("chkContinueOnError")),
                        Qt::Key_Space);
        d.OKButton_Click();
    };
    h.click("cmdSetting");
    QVERIFY(h.md.ContinueOnError);
    h.click("cmdMeasInfo");
    QCOMPARE(h.settings.values.value(QStringLiteral("Options/ContinueOnError")),
             QStringLiteral("True"));
    QVERIFY(h.messages.shown.isEmpty());
    // Read at the next start-up.
    MainWindowRig next({}, {.savedSettings = h.settings.values});
    QVERIFY(next.md.ContinueOnError);
}

QTEST_MAIN(TestFormMain)
#include "test_form_main.moc"
