// SPDX-License-Identifier: GPL-3.0-or-later
// Starting, running and stopping a measurement in both timing modes, over scripted units.
#include "MainWindowHarness.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace k12;
using namespace k12::test;

namespace {

const QString kOutOfMemory = QStringLiteral("メモリー不足です。測定値が保存できません");
const QString kBufferFull = QStringLiteral("データ入力バッファがいっぱいのため測定を中止します。");

void Click(MainWindowHarness& h, const char* name) {
    QTest::mouseClick(h.button(QString::fromLatin1(name)), Qt::LeftButton);
}

bool Enabled(MainWindowHarness& h, const char* name) {
    return h.button(QString::fromLatin1(name))->isEnabled();
}

// Lets unit i's driver take what its port received, as its receive timer would.
void Receive(MainWindowHarness& h, int unit, const QByteArrayList& lines) {
    QByteArray bytes;
    for (const auto& l : lines) {
        bytes += l + "\r\n";
    }
    h.port(unit).feed(bytes);
    h.port(unit).advance(1);
    h.md->Driver(unit).OnTimer1();
}

QByteArrayList Readings(int n, double first) {
    QByteArrayList out;
    for (int k = 0; k < n; ++k) {
        out << QByteArray::number(first + k, 'f', 3).rightJustified(8, ' ');
    }
    return out;
}

} // namespace

class TestRunControl : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void pcTimerRunOfThreeRows();
    void deviceTimerUnequalRates();
    void startQuestionAnsweredNo();
    void failedLinkOpenKeepsData();
    void refusedStartsChangeNothing_data();
    void refusedStartsChangeNothing();
    void failedLogStartStopsTheRun();
    void stopCollectsWhatTheUnitsDelivered();
    void startClearsTheChartsLines();
    void pcTimerLimit();
    void deviceTimerLimit();
    void pollTimeoutStopsRun();
    void noSecondStepWhileMessageOpen();
    void hangUpStopsRun_data();
    void hangUpStopsRun();
    void datalistButtonAfterClose();
    void piecesStartTheChartOver();
};

void TestRunControl::pcTimerRunOfThreeRows() {
    MainWindowHarness h(Units({0, 1}, true, 1000));
    h.form->show();
    Click(h, "cmdStart");
    QVERIFY(h.messages.shown.isEmpty());
    QVERIFY(h.md->Measuring);
    QVERIFY(h.form->Timer1().isActive());
    QCOMPARE(h.form->Timer1().interval(), 1000);
    QCOMPARE(h.md->StartTime, QStringLiteral("2024/3/5 9:7:2"));
    QCOMPARE(h.chart.headerText(), QStringLiteral("開始時刻 [ 2024/3/5 9:7:2 ]"));
    QVERIFY(h.chart.isRepaintSuspended()); // until the first step
    QVERIFY(Enabled(h, "cmdStop"));
    for (const char* b :
         {"cmdStart", "cmdSetting", "cmdPrint", "cmdRead", "cmdSave", "cmdEnd", "cmdDisp"}) {
        QVERIFY2(!Enabled(h, b), b);
    }

    h.port(1).clearReplies();
    h.port(1).reply("GET", "-123.4567\r\n", 0, true);
    for (int k = 0; k < 3; ++k) {
        h.form->OnTimer1Tick();
    }
    QVERIFY(!h.chart.isRepaintSuspended());
    QCOMPARE(h.md->SampleCount, 3);
    QCOMPARE(h.md->Units[0].DataCount, 3);
    QCOMPARE(h.md->Units[1].Data[2], -123.456f);
    QCOMPARE(h.md->Units[2].Data[0], NO_DATA_VALUE);
    QCOMPARE(h.label1(0), QStringLiteral("12.500"));
    QCOMPARE(h.label1(1), QStringLiteral("-123.456"));
    QCOMPARE(h.chart.pointCount(1), 3);
    QCOMPARE(h.chart.xValue(3).value(), 3.0);

    Click(h, "cmdStop");
    QVERIFY(!h.md->Measuring);
    QVERIFY(!h.form->Timer1().isActive());
    QVERIFY(Enabled(h, "cmdDisp"));
    QVERIFY(Enabled(h, "cmdStart"));
    QVERIFY(!h.port(0).isOpen());
    QCOMPARE(h.md->SampleCount, 3);
}

void TestRunControl::deviceTimerUnequalRates() {
    MainWindowHarness h(Units({0, 1}, false, 100));
    h.form->show();
    Click(h, "cmdStart");
    QVERIFY(h.form->Timer2().isActive());
    QCOMPARE(h.form->Timer2().interval(), 100);
    QCOMPARE(h.md->Driver(0).AvgCount(), int16_t(1));
    Receive(h, 0, Readings(5, 1.0));
    Receive(h, 1, Readings(2, 50.0));
    h.form->OnTimer2Tick();
    QCOMPARE(h.md->SampleCount, 5);
    QCOMPARE(h.md->Units[0].DataCount, 5);
    QCOMPARE(h.md->Units[1].DataCount, 2);
    QCOMPARE(h.md->Units[1].Data[1], 51.0f);
    QCOMPARE(h.md->Units[1].Data[2], NO_DATA_VALUE);
    QCOMPARE(h.label1(0), QStringLiteral("5.000"));
    QCOMPARE(h.label1(1), QStringLiteral("51.000"));
    QCOMPARE(h.chart.pointCount(2), 5);
    QVERIFY(!h.chart.yValue(2, 3));
    QCOMPARE(h.md->DeviceTickCount, 1);

    Click(h, "cmdStop");
    QVERIFY(h.port(0).commands().contains("STP"));
    QVERIFY(!h.form->Timer2().isActive());
    QVERIFY(!h.md->Measuring);
}

void TestRunControl::startQuestionAnsweredNo() {
    MainWindowHarness h(Units({0}, true, 1000));
    h.fillRows(4, 1.0f);
    h.md->StartTime = QStringLiteral("2024/1/1 0:0:0");
    h.messages.answers = {MsgAnswer::No};
    Click(h, "cmdStart");
    QCOMPARE(h.messages.last().text,
             QStringLiteral("測定を開始するとデータが消去されます。よろしいですか？"));
    QCOMPARE(h.messages.last().icon, MsgIcon::Question);
    QCOMPARE(h.md->SampleCount, 4);
    QCOMPARE(h.md->StartTime, QStringLiteral("2024/1/1 0:0:0"));
    QVERIFY(!h.md->Measuring);
    QVERIFY(h.md->Drivers[0] == nullptr); // no unit was touched
}

void TestRunControl::failedLinkOpenKeepsData() {
    MainWindowHarness h(Units({0, 1}, true, 1000));
    h.fillRows(4, 1.0f);
    h.port(1).setOpenError(
        DeviceError(701, QStringLiteral("COM2 (/dev/ttyS1) が見つかりません。")));
    Click(h, "cmdStart"); // empty answer queue: Yes
    QCOMPARE(h.messages.texts().last(), QStringLiteral("COM2 (/dev/ttyS1) が見つかりません。"));
    QCOMPARE(h.messages.last().title, kAppTitle);
    QCOMPARE(h.md->SampleCount, 4);
    QCOMPARE(h.md->Units[0].Data[3], 4.0f);
    QVERIFY(!h.md->Measuring);
    QVERIFY(Enabled(h, "cmdStart"));
    QVERIFY(!h.port(0).isOpen()); // the unit opened before the failure is closed again
}

void TestRunControl::refusedStartsChangeNothing_data() {
    QTest::addColumn<bool>("pcTimer");
    QTest::addColumn<int>("interval");
    QTest::addColumn<bool>("anyUnit");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("title");
    const QString timerError = QStringLiteral("タイマー設定エラーのため測定開始できません。");
    const QString noUnit = QStringLiteral("使用ユニットにチェックが付いていません。");
    QTest::newRow("PC timer below 1 s") << true << 500 << true << timerError << "Message";
    QTest::newRow("no unit, PC timer") << true << 1000 << false << noUnit << "エラーメッセージ";
    QTest::newRow("no unit, device timer") << false << 100 << false << noUnit << "エラーメッセージ";
}

void TestRunControl::refusedStartsChangeNothing() {
    QFETCH(bool, pcTimer);
    QFETCH(int, interval);
    QFETCH(bool, anyUnit);
    QFETCH(QString, text);
    QFETCH(QString, title);
    MainWindowHarness h(anyUnit ? Units({0}, pcTimer, interval) : Units({}, pcTimer, interval));
    h.md->Units[1].Data[3] = 4.0f; // stands for stored rows even with no unit in use
    h.fillRows(4, 1.0f);
    h.md->StartTime = QStringLiteral("2024/1/1 0:0:0");
    h.chart.setPointCount(1, 4);
    Click(h, "cmdStart");
    // Refused before the question about erasing the data, and before any unit is opened.
    QCOMPARE(h.messages.texts(), QStringList{text});
    QCOMPARE(h.messages.last().title, title);
    QCOMPARE(h.messages.last().buttons, MsgButtons::Ok);
    QCOMPARE(h.md->SampleCount, 4);
    QCOMPARE(h.md->Units[1].Data[3], 4.0f);
    QCOMPARE(h.md->StartTime, QStringLiteral("2024/1/1 0:0:0"));
    QCOMPARE(h.chart.pointCount(1), 4);
    QVERIFY(h.md->Drivers[0] == nullptr);
    QVERIFY(!h.md->Measuring);
    QVERIFY(!h.form->Timer1().isActive());
    QVERIFY(!h.form->Timer2().isActive());
    QVERIFY(!h.chart.isRepaintSuspended());
    QVERIFY(Enabled(h, "cmdStart"));
}

void TestRunControl::failedLogStartStopsTheRun() {
    // Unit 1 starts streaming, unit 2 refuses.
    MainWindowHarness h(Units({0, 1}, false, 1000));
    h.port(1).clearReplies();
    h.port(1).reply("", "K12INC\r\n", 0, true);
    h.port(1).reply("RUN00", "NG\r\n");
    Click(h, "cmdStart");
    QCOMPARE(h.messages.texts(), QStringList{QStringLiteral("リターン文字列不正")});
    QVERIFY(!h.md->Measuring);
    QVERIFY(!h.form->Timer2().isActive());
    QCOMPARE(h.port(0).commands().last(), QByteArray("STP"));
    QVERIFY(!h.port(0).isOpen());
    QVERIFY(!h.port(1).isOpen());
    QVERIFY(Enabled(h, "cmdStart"));
    QVERIFY(!Enabled(h, "cmdStop"));
    QVERIFY(!h.chart.isRepaintSuspended());
    QCOMPARE(h.md->SampleCount, 0);
}

void TestRunControl::stopCollectsWhatTheUnitsDelivered() {
    MainWindowHarness h(Units({0, 1}, false, 100));
    h.form->show();
    Click(h, "cmdStart");
    Receive(h, 0, Readings(2, 1.0));
    h.form->OnTimer2Tick();
    QCOMPARE(h.md->SampleCount, 2);
    // Averaged since the last step: three values in unit 1's log, and two lines unit 2's
    // driver has received but not yet taken.
    Receive(h, 0, Readings(3, 3.0));
    h.port(1).feed("    50.0\r\n    51.0\r\n");
    h.port(1).advance(1);
    Click(h, "cmdStop");
    QVERIFY(!h.md->Measuring);
    QCOMPARE(h.md->Units[0].DataCount, 5);
    QCOMPARE(h.md->Units[0].Data[4], 5.0f);
    QCOMPARE(h.md->Units[1].DataCount, 2);
    QCOMPARE(h.md->Units[1].Data[1], 51.0f);
    QCOMPARE(h.md->SampleCount, 5);
    QCOMPARE(h.chart.pointCount(1), 5);
    QCOMPARE(h.chart.yValue(1, 5).value(), 5.0);
    QCOMPARE(h.label1(1), QStringLiteral("51.000"));
    QCOMPARE(h.port(0).commands().last(), QByteArray("STP"));
    QVERIFY(!h.port(0).isOpen());
    QVERIFY(h.messages.shown.isEmpty());
}

void TestRunControl::startClearsTheChartsLines() {
    MainWindowHarness h(Units({0}, false, 100));
    Click(h, "cmdStart");
    Receive(h, 0, Readings(5, 1.0));
    h.form->OnTimer2Tick();
    Click(h, "cmdStop");
    QCOMPARE(h.chart.pointCount(1), 5);
    Click(h, "cmdStart"); // Yes: erase
    QVERIFY(h.md->Measuring);
    for (int s = 1; s <= 4; ++s) {
        QCOMPARE(h.chart.pointCount(s), 0);
    }
    h.form->OnTimer2Tick(); // the first step, before any value arrived, draws nothing old
    QCOMPARE(h.chart.pointCount(1), 0);
}

void TestRunControl::pcTimerLimit() {
    MainWindowHarness h(Units({0}, true, 1000));
    Click(h, "cmdStart");
    // Rows 0..87998 as if polled; the next step fills the last row.
    h.fillRows(MAX_SAMPLES - 1, 0.0f);
    h.form->OnTimer1Tick();
    QCOMPARE(h.md->SampleCount, MAX_SAMPLES);
    QCOMPARE(h.md->Units[0].Data[MAX_SAMPLES - 1], 12.5f);
    QVERIFY(h.messages.shown.isEmpty());
    QVERIFY(h.md->Measuring);
    h.form->OnTimer1Tick();
    QCOMPARE(h.messages.texts(), QStringList{kOutOfMemory});
    QVERIFY(!h.md->Measuring);
    QCOMPARE(h.md->SampleCount, MAX_SAMPLES);
    QCOMPARE(h.md->Units[0].DataCount, MAX_SAMPLES);
}

void TestRunControl::deviceTimerLimit() {
    MainWindowHarness h(Units({0}, false, 100));
    Click(h, "cmdStart");
    h.fillRows(87990, 0.0f);
    Receive(h, 0, Readings(20, 1.0));
    QCOMPARE(h.md->Driver(0).GetLogLen(), int16_t(20));
    bool measuringWhenShown = true;
    h.messages.onShow = [&](const FakeMessageBox::Shown&) { measuringWhenShown = h.md->Measuring; };
    h.form->OnTimer2Tick();
    QCOMPARE(h.md->Units[0].DataCount, MAX_SAMPLES);
    QCOMPARE(h.md->SampleCount, MAX_SAMPLES);
    QCOMPARE(h.md->Units[0].Data[MAX_SAMPLES - 1], 10.0f);
    QCOMPARE(h.messages.texts(), QStringList{kBufferFull});
    QVERIFY(!measuringWhenShown);                      // stopped before the message
    QCOMPARE(h.md->Driver(0).GetLogLen(), int16_t(0)); // the other ten were dropped
    QVERIFY(!h.form->Timer2().isActive());

    // A unit already full at a step stops the run before collecting.
    MainWindowHarness f(Units({0}, false, 100));
    Click(f, "cmdStart");
    f.fillRows(MAX_SAMPLES, 0.0f);
    f.form->OnTimer2Tick();
    QCOMPARE(f.messages.texts(), QStringList{kOutOfMemory});
    QVERIFY(!f.md->Measuring);
}

void TestRunControl::pollTimeoutStopsRun() {
    MainWindowHarness h(Units({0, 2}, true, 1000));
    Click(h, "cmdStart");
    h.form->OnTimer1Tick();
    h.port(2).clearReplies(); // unit 3 falls silent
    h.form->OnTimer1Tick();
    QCOMPARE(h.messages.texts(), QStringList{QStringLiteral("タイムアウト")});
    QVERIFY(!h.md->Measuring);
    QCOMPARE(h.md->SampleCount, 1); // rows of completed steps remain
    QCOMPARE(h.md->Units[0].DataCount, 2);
}

void TestRunControl::noSecondStepWhileMessageOpen() {
    MainWindowHarness h(Units({0}, true, 1000));
    Click(h, "cmdStart");
    h.fillRows(MAX_SAMPLES, 0.0f);
    h.messages.onShow = [&](const FakeMessageBox::Shown&) {
        // Ticks delivered while the box is open start nothing.
        h.form->OnTimer1Tick();
        h.form->OnTimer2Tick();
    };
    h.form->OnTimer1Tick();
    QCOMPARE(h.messages.shown.size(), 1);
    QVERIFY(!h.form->Timer1().isActive());
}

void TestRunControl::hangUpStopsRun_data() {
    QTest::addColumn<bool>("pcTimer");
    QTest::newRow("PC timer") << true;
    QTest::newRow("device timer") << false;
}

void TestRunControl::hangUpStopsRun() {
    QFETCH(bool, pcTimer);
    MainWindowHarness h(Units({0, 1}, pcTimer, pcTimer ? 1000 : 100));
    Click(h, "cmdStart");
    if (pcTimer) {
        h.form->OnTimer1Tick();
    } else {
        Receive(h, 0, Readings(1, 1.0));
        Receive(h, 1, Readings(1, 2.0));
        h.form->OnTimer2Tick();
    }
    QCOMPARE(h.md->SampleCount, 1);
    const QString cause = QStringLiteral("COM2 (/dev/pts/9) との通信が切断されました。");
    h.port(1).setFailure(DeviceError(706, cause));
    if (pcTimer) {
        h.form->OnTimer1Tick();
    } else {
        Receive(h, 0, Readings(2, 5.0)); // what arrived before is still stored
        h.form->OnTimer2Tick();
        QCOMPARE(h.md->SampleCount, 3);
    }
    QCOMPARE(h.messages.texts(), QStringList{QStringLiteral("2台目: ") + cause});
    QVERIFY(!h.md->Measuring);
    QVERIFY(Enabled(h, "cmdStart"));
    QVERIFY(h.md->SampleCount >= 1);
    QVERIFY(!h.form->Timer1().isActive());
    QVERIFY(!h.form->Timer2().isActive());
}

void TestRunControl::datalistButtonAfterClose() {
    MainWindowHarness h(Units({0}, true, 1000));
    h.form->show();
    Click(h, "cmdDisp"); // disabled with no rows: nothing
    QVERIFY(!h.form->IsDatalistOpen());
    Click(h, "cmdStart");
    h.form->OnTimer1Tick();
    Click(h, "cmdStop");
    Click(h, "cmdDisp");
    QVERIFY(h.form->IsDatalistOpen());
    QVERIFY(!Enabled(h, "cmdDisp"));
    // The list closed with its close box gives cmdDisp back.
    for (QWidget* w : h.form->findChildren<QWidget*>()) {
        if (w->isWindow()) {
            w->close();
        }
    }
    QVERIFY(!h.form->IsDatalistOpen());
    QTRY_VERIFY(Enabled(h, "cmdDisp"));
    Click(h, "cmdDisp");
    QVERIFY(h.form->IsDatalistOpen());
    // Start closes an open list; cmdDisp follows the run state.
    Click(h, "cmdStart");
    QVERIFY(!h.form->IsDatalistOpen());
    QVERIFY(!Enabled(h, "cmdDisp"));
    Click(h, "cmdStop");
    QVERIFY(Enabled(h, "cmdDisp") == (h.md->SampleCount >= 1));
}

void TestRunControl::piecesStartTheChartOver() {
    QTemporaryDir folder;
    MainWindowHarness h([&folder](FakeSettingsStore& s) {
        Units({0}, false, 100)(s);
        s.values[QStringLiteral("Options/ContinueWhenFull")] = QStringLiteral("True");
        s.values[QStringLiteral("Options/SaveFolder")] = folder.path();
    });
    h.engine->SetPieceRowsForTest(10);
    h.form->show();
    Click(h, "cmdStart");
    auto* status = h.w<QLabel>(QStringLiteral("lblPieces"));
    QVERIFY(status->isVisible());
    Receive(h, 0, Readings(13, 1.0));
    h.form->OnTimer2Tick();
    // Ten rows went into the first piece; the chart shows the next one from its own start.
    QCOMPARE(h.md->SampleCount, 3);
    QCOMPARE(h.chart.pointCount(1), 3);
    QCOMPARE(h.chart.yValue(1, 1).value(), 11.0);
    QCOMPARE(h.chart.headerText(), QStringLiteral("開始時刻 [ 2024/3/5 9:7:3 ]"));
    QCOMPARE(h.xRange(), std::make_pair(0.1, 10.0));
    QCOMPARE(status->text(), QStringLiteral("現在のファイル: 3 行　保存したファイル: 1　保存済み: "
                                            "20240305-090702-001.zr5"));
    Click(h, "cmdStop");
    QVERIFY(QFileInfo::exists(folder.filePath(QStringLiteral("20240305-090702-002.zr5"))));
    QVERIFY(h.messages.shown.isEmpty());
}

QTEST_MAIN(TestRunControl)
#include "test_run_control.moc"
