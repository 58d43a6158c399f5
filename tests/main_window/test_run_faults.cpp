// SPDX-License-Identifier: GPL-3.0-or-later
// Runs that go on through unit faults (ContinueOnError), over scripted units and a fake clock.
#include "MainWindowHarness.h"
#include "data_files/DataFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace k12;
using namespace k12::test;

namespace {

const QString kLineFailed = QStringLiteral("COM2 (/dev/pts/9) との通信が切断されました。");
const QString kNotFound = QStringLiteral("COM2 (/dev/ttyS1) が見つかりません。");

// Units 1 and 2 in use, going on through faults.
std::function<void(FakeSettingsStore&)> Continuing(bool pcTimer, int interval) {
    return [=](FakeSettingsStore& s) {
        Units({0, 1}, pcTimer, interval)(s);
        s.values[QStringLiteral("Options/ContinueOnError")] = QStringLiteral("True");
    };
}

void Click(MainWindowHarness& h, const char* name) {
    QTest::mouseClick(h.button(QString::fromLatin1(name)), Qt::LeftButton);
}

QLabel* Label(MainWindowHarness& h, int i) {
    return h.w<QLabel>(QStringLiteral("Label1_%1").arg(i));
}

bool ShowsError(MainWindowHarness& h, int i) {
    return h.label1(i) == QStringLiteral("エラー") &&
           Label(h, i)->palette().color(QPalette::WindowText) == QColor(Qt::red);
}

void AnswerAgain(FakeSerialPort& port) {
    port.clearReplies();
    port.reply("", "K12INC\r\n", 0, true);
    port.reply("GET", "  12.500\r\n", 0, true);
    port.reply("RUN00", "OK\r\n", 0, true);
    port.reply("STP", "OK\r\n", 0, true);
}

// One value for unit i, taken by its driver as its receive timer would.
void Receive(MainWindowHarness& h, int unit, double v) {
    h.port(unit).feed(QByteArray::number(v, 'f', 3).rightJustified(8, ' ') + "\r\n");
    h.port(unit).advance(1);
    h.md->Driver(unit).OnTimer1();
}

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// One device-timer step 100 ms after the last, unit 1 delivering its next value (1, 2, ...).
void DeviceStep(MainWindowHarness& h) {
    h.clock.advance(100);
    Receive(h, 0, h.md->Units[0].DataCount + 1);
    h.form->OnTimer2Tick();
}

} // namespace

class TestRunFaults : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void pcTimerGoesOnThroughFaults_data();
    void pcTimerGoesOnThroughFaults();
    void deviceTimerUnitReturnsAtItsRow();
    void deviceTimerUnitDownAtTheStop();
    void journalKeepsUpWhileAUnitIsDown();
};

void TestRunFaults::pcTimerGoesOnThroughFaults_data() {
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("firstCause");
    QTest::addColumn<QString>("lastCause");
    QTest::newRow("time-out") << "time-out"
                              << "タイムアウト"
                              << "タイムアウト";
    QTest::newRow("bad reply") << "bad reply"
                               << "リターン文字列不正"
                               << "リターン文字列不正";
    QTest::newRow("line failure, device gone") << "gone" << kLineFailed << kNotFound;
    QTest::newRow("line failure, device silent") << "silent" << kLineFailed << "タイムアウト";
}

void TestRunFaults::pcTimerGoesOnThroughFaults() {
    QFETCH(QString, fault);
    QFETCH(QString, firstCause);
    QFETCH(QString, lastCause);
    MainWindowHarness h(Continuing(true, 1000));
    Click(h, "cmdStart");
    h.form->OnTimer1Tick();
    FakeSerialPort& port = h.port(1);
    if (fault == QLatin1String("time-out")) {
        port.clearReplies();
    } else if (fault == QLatin1String("bad reply")) {
        port.clearReplies();
        port.reply("GET", "   ERROR\r\n", 0, true);
    } else {
        port.setFailure(DeviceError(706, kLineFailed));
        if (fault == QLatin1String("gone")) {
            port.setOpenError(DeviceError(701, kNotFound));
        } else {
            port.clearReplies(); // the probe of the reopened port goes unanswered
        }
    }

    // Rows 1 and 2 without unit 2; a down unit holds the others up by one time-out at most.
    for (int row = 1; row <= 2; ++row) {
        const qint64 before = port.elapsedMs();
        h.form->OnTimer1Tick();
        QVERIFY(port.elapsedMs() - before <= 101);
        QVERIFY(h.md->Measuring);
        QVERIFY(ShowsError(h, 1));
        QCOMPARE(Label(h, 1)->toolTip(), row == 1 ? firstCause : lastCause);
        QCOMPARE(h.label1(0), QStringLiteral("12.500"));
    }
    QVERIFY(h.messages.shown.isEmpty());

    AnswerAgain(port);
    port.setOpenError(std::nullopt);
    h.form->OnTimer1Tick();
    QCOMPARE(h.md->SampleCount, 4);
    for (int i = 0; i < 2; ++i) {
        QCOMPARE(h.md->Units[i].DataCount, 4);
    }
    const float expected[4] = {12.5f, NO_DATA_VALUE, NO_DATA_VALUE, 12.5f};
    for (int r = 0; r < 4; ++r) {
        QCOMPARE(h.md->Units[0].Data[r], 12.5f);
        QCOMPARE(h.md->Units[1].Data[r], expected[r]);
    }
    QVERIFY(!h.chart.yValue(2, 2) && !h.chart.yValue(2, 3)); // the gap
    QCOMPARE(h.chart.yValue(2, 4).value(), 12.5);
    QCOMPARE(h.label1(1), QStringLiteral("12.500"));
    QVERIFY(Label(h, 1)->toolTip().isEmpty());
    QVERIFY(Label(h, 1)->palette().color(QPalette::WindowText) != QColor(Qt::red));
    if (fault != QLatin1String("time-out") && fault != QLatin1String("bad reply")) {
        QCOMPARE(port.portNumber, int16_t(2)); // reopened by its COM number
    }

    Click(h, "cmdStop");
    QVERIFY(!h.md->Measuring);
    QCOMPARE(h.messages.texts(), QStringList{QStringLiteral("2台目: 2件（%1）").arg(lastCause)});
    QCOMPARE(h.messages.last().title, QStringLiteral("Message"));
}

void TestRunFaults::deviceTimerUnitReturnsAtItsRow() {
    MainWindowHarness h(Continuing(false, 100));
    Click(h, "cmdStart");
    FakeSerialPort& port = h.port(1);
    Receive(h, 1, 101.0);
    DeviceStep(h); // t = 100 ms
    // A line arrives, then the line fails; what arrived is kept.
    port.feed("  102.000\r\n");
    port.advance(1);
    port.setFailure(DeviceError(706, kLineFailed));
    port.setOpenError(DeviceError(701, kNotFound));
    DeviceStep(h); // t = 200 ms
    QVERIFY(h.md->Measuring);
    QCOMPARE(h.md->Units[1].DataCount, 2);
    QCOMPARE(h.md->Units[1].Data[1], 102.0f);
    QVERIFY(ShowsError(h, 1));
    QCOMPARE(Label(h, 1)->toolTip(), kLineFailed);

    // Tried again a second after the failure (still gone), then not before another second,
    // although the device is back.
    while (h.clock.monotonic < 1200) {
        DeviceStep(h);
    }
    QCOMPARE(Label(h, 1)->toolTip(), kNotFound);
    port.setOpenError(std::nullopt);
    const int opens = port.openCount;
    while (h.clock.monotonic < 2100) {
        DeviceStep(h);
    }
    QCOMPARE(port.openCount, opens);
    QVERIFY(ShowsError(h, 1));
    DeviceStep(h); // t = 2200 ms: back, streaming again
    QCOMPARE(port.openCount, opens + 1);
    QCOMPARE(port.commands().last(), QByteArray("RUN00"));
    QCOMPARE(h.label1(1), QStringLiteral("102.000"));
    QCOMPARE(h.md->Units[1].DataCount, 2); // no padding before a new value

    // Its first new value sits beside unit 1's value of the same moment.
    Receive(h, 1, 123.0);
    DeviceStep(h); // t = 2300 ms
    QCOMPARE(h.md->Units[0].DataCount, 23);
    QCOMPARE(h.md->Units[1].DataCount, 23);
    QCOMPARE(h.md->Units[1].Data[22], 123.0f);
    for (int r = 2; r < 22; ++r) {
        QCOMPARE(h.md->Units[1].Data[r], NO_DATA_VALUE);
    }
    QCOMPARE(h.chart.yValue(2, 23).value(), 123.0);
    QVERIFY(!h.chart.yValue(2, 22));
    QCOMPARE(h.label1(1), QStringLiteral("123.000"));
    QVERIFY(h.messages.shown.isEmpty());

    Click(h, "cmdStop");
    QCOMPARE(h.messages.texts(), QStringList{QStringLiteral("2台目: 20件（%1）").arg(kNotFound)});
    QCOMPARE(port.commands().last(), QByteArray("STP"));
}

void TestRunFaults::deviceTimerUnitDownAtTheStop() {
    MainWindowHarness h(Continuing(false, 100));
    Click(h, "cmdStart");
    Receive(h, 1, 101.0);
    DeviceStep(h);
    h.port(1).setFailure(DeviceError(706, kLineFailed));
    DeviceStep(h);
    QVERIFY(ShowsError(h, 1));
    // Ten seconds later, before any retry and with no further row stored, the run is stopped:
    // the summary counts the unit's holes in the stored rows, and no stream is stopped on its
    // closed link.
    h.clock.advance(10000);
    // A value the stop still collects redraws the current values: the down unit keeps its error.
    Receive(h, 0, 3.0);
    Click(h, "cmdStop");
    QCOMPARE(h.messages.texts(), QStringList{QStringLiteral("2台目: 2件（%1）").arg(kLineFailed)});
    QCOMPARE(h.port(0).commands().last(), QByteArray("STP"));
    QVERIFY(!h.md->Measuring);
    QVERIFY(ShowsError(h, 1)); // until the next start
    Click(h, "cmdStart");
    QVERIFY(h.label1(1).isEmpty());
    QVERIFY(Label(h, 1)->toolTip().isEmpty());
}

void TestRunFaults::journalKeepsUpWhileAUnitIsDown() {
    QTemporaryDir dir;
    MainWindowHarness h(Continuing(false, 100), dir.filePath(QStringLiteral("state")));
    Click(h, "cmdStart");
    Receive(h, 1, 101.0);
    DeviceStep(h);
    h.port(1).setFailure(DeviceError(706, kLineFailed));
    while (h.clock.monotonic < 900) {
        DeviceStep(h);
    }
    // Unit 2 holds one value, but the rows up to now will be holes for it whenever it returns.
    QCOMPARE(h.md->Units[1].DataCount, 1);
    QCOMPARE(h.journal->RowsWritten(), 9);

    while (h.clock.monotonic < 1300) {
        DeviceStep(h); // back at 1200 ms
    }
    Receive(h, 1, 113.0);
    DeviceStep(h);
    QCOMPARE(h.md->Units[1].Data[12], 113.0f);
    Click(h, "cmdStop");
    // The journal ends as saving the store would write it.
    const QString saved = dir.filePath(QStringLiteral("saved.zr5"));
    QVERIFY(!WriteDataFile(*h.md, saved));
    QCOMPARE(ReadAll(h.journal->Path()), ReadAll(saved));
}

QTEST_MAIN(TestRunFaults)
#include "test_run_faults.moc"
