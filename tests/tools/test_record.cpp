// SPDX-License-Identifier: GPL-3.0-or-later
// k12inc-record against simulated units: how a run ends, what it refuses, what it says, and the
// journal it shares with the window.
#include "FakeMessageBox.h"
#include "RecorderRig.h"
#include "data_files/RunJournal.h"

using namespace k12;
using namespace k12::test;

namespace {

const QRegularExpression
    kLogLine(QStringLiteral(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d\d:\d\d \S)"));

// Unit u of the piece holds the counter's 1, 2, ... up to `count`, then holes.
bool CountsUpTo(const DataFileContent& piece, int u, int count) {
    for (int r = 0; r < int(piece.Rows.size()); ++r) {
        const float want = r < count ? float(r + 1) : -999.0f;
        if (piece.Rows[size_t(r)][size_t(u)] != want) {
            qWarning("unit %d row %d holds %f, not %f", u + 1, r + 1,
                     double(piece.Rows[size_t(r)][size_t(u)]), double(want));
            return false;
        }
    }
    return count <= int(piece.Rows.size());
}

int Readings(const UnitSimulator& sim, int u) {
    return sim.linesStreamed(u);
}

} // namespace

class TestRecord : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void refusals_data();
    void refusals();
    void signalEndsTheRunWithTheLastPiece();
    void faultEndsTheRun();
    void eventLinesWithoutTerminal();
    void journalSharedWithTheWindow();
};

void TestRecord::refusals_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("settings");
    QTest::addColumn<QString>("refusal");
    QTest::addColumn<bool>("usage");
    // "@data" stands for the rig's data folder.
    const QStringList inData{QStringLiteral("--folder"), QStringLiteral("@data")};
    QTest::newRow("no unit in use") << inData << "MeasInfo/Mflag1=False;MeasInfo/Mflag2=False"
                                    << "No unit is ticked for use." << false;
    QTest::newRow("PC timer under a second")
        << inData << "MeasInfo/TimerType=True;MeasInfo/IntervalTM=400"
        << "The timer cannot be set: the measurement cannot start." << false;
    QTest::newRow("device timer in part tenths") << inData << "MeasInfo/IntervalTM=150"
                                                 << "The interval is not valid." << false;
    QTest::newRow("port out of range") << inData << "MeasInfo/CommPort2=0"
                                       << "A COM port number is not valid." << false;
    QTest::newRow("port shared") << inData << "MeasInfo/CommPort2=1"
                                 << "Two units have the same COM port number." << false;
    // The folder's other refusals are the settings dialog's, tested with it.
    QTest::newRow("no folder") << QStringList{} << ""
                               << "No folder to save to is given." << false;
    QTest::newRow("folder not writable")
        << QStringList{"--folder", "/proc"} << ""
        << "Cannot write into the folder to save to. /proc " << false;
    // The feed's and the alerts' refusals are tested with them; here that they stop the start.
    QTest::newRow("feed URL") << QStringList{"--folder", "@data", "--feed", "http://broker"} << ""
                              << "The broker is not valid. Enter it as mqtt://" << false;
    QTest::newRow("feed password file others can read")
        << inData << "Feed/Broker=mqtt://localhost;Feed/Username=u;Feed/PasswordFile=/etc/passwd"
        << "The password file /etc/passwd can be read by its group or other users." << false;
    QTest::newRow("alert limit") << inData << "Alerts/Change2=0"
                                 << "The change limit of the alert of Unit 2 is not valid."
                                 << false;
    QTest::newRow("settings file missing")
        << QStringList{"--config", "@data/none.ini"} << ""
        << "the settings file @data/none.ini does not exist" << false;
    QTest::newRow("unit out of range") << QStringList{"--units", "1,5"} << ""
                                       << "--units \"1,5\" is not a list" << true;
    QTest::newRow("device timer 0") << QStringList{"--device-timer", "0"} << ""
                                    << "--device-timer \"0\" is not a number" << true;
    QTest::newRow("PC timer 33 s") << QStringList{"--pc-timer=33"} << ""
                                   << "--pc-timer \"33\" is not a number" << true;
    QTest::newRow("both timers") << QStringList{"--pc-timer", "1", "--device-timer", "1"} << ""
                                 << "--pc-timer and --device-timer exclude each other" << true;
    QTest::newRow("minutes over a year")
        << QStringList{"--minutes", "527041"} << ""
        << "--minutes \"527041\" is not a number of minutes 0..527040" << true;
    QTest::newRow("value missing") << QStringList{"--folder"} << ""
                                   << "--folder needs a value" << true;
    QTest::newRow("feed empty") << QStringList{"--feed="} << ""
                                << "--feed needs a broker URL" << true;
    QTest::newRow("unknown option") << QStringList{"--port", "1"} << ""
                                    << "unknown option \"--port\"" << true;
    QTest::newRow("argument") << QStringList{"now"} << ""
                              << "unexpected argument \"now\"" << true;
}

void TestRecord::refusals() {
    QFETCH(QStringList, args);
    QFETCH(QString, settings);
    QFETCH(QString, refusal);
    QFETCH(bool, usage);
    RecorderRig rig;
    QMap<QString, QString> changes;
    for (const QString& item : settings.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        changes[item.section(QLatin1Char('='), 0, 0)] = item.section(QLatin1Char('='), 1);
    }
    rig.writeSettings(changes);
    const auto place = [&rig](QString text) {
        return text.replace(QStringLiteral("@data"), rig.folder());
    };
    for (QString& arg : args) {
        arg = place(arg);
    }
    rig.start(args);
    QCOMPARE(rig.finish(), 2);
    const QStringList lines = rig.err.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QVERIFY2(!lines.isEmpty() &&
                 lines[0].startsWith(QStringLiteral("k12inc-record: ") + place(refusal)),
             qPrintable(rig.err));
    // A usage error goes on with the usage; a refusal is the one line.
    QCOMPARE(lines.size() > 1 && lines[1].startsWith(QStringLiteral("usage:")), usage);
    QCOMPARE(lines.size() == 1, !usage);
    QVERIFY(rig.out.isEmpty());
    // Nothing was opened: the units heard no command.
    QVERIFY(rig.sim.receivedCommands(0).isEmpty());
}

// The options override the settings; a second signal while the run stops changes nothing.
void TestRecord::signalEndsTheRunWithTheLastPiece() {
    SimUnitConfig slow = RecorderRig::Counter();
    // Their answers keep the stop going for a while (within the driver's wait for an answer).
    slow.replyDelayMs = 60;
    RecorderRig rig({slow, slow});
    rig.writeSettings({{"MeasInfo/TimerType", "True"},
                       {"MeasInfo/IntervalTM", "1000"},
                       {"MeasInfo/Mflag2", "False"}});
    rig.start({"--units", "1,2", "--device-timer", "1", "--folder", rig.folder()});
    QVERIFY2(rig.waitForOutput(QStringLiteral("started ")), qPrintable(rig.err));
    QVERIFY(rig.waitUntil([&rig] { return Readings(rig.sim, 1) >= 15; }));
    rig.signal(SIGTERM);
    QVERIFY(rig.waitForOutput(QStringLiteral("SIGTERM: stopping the run")));
    rig.signal(SIGINT);
    QCOMPARE(rig.finish(), 0);
    QVERIFY2(rig.err.isEmpty(), qPrintable(rig.err));
    QVERIFY2(rig.out.contains(QStringLiteral("ended: stopped by SIGTERM")), qPrintable(rig.out));

    QCOMPARE(rig.pieces().size(), 1);
    const DataFileContent piece = RecorderRig::Read(QDir(rig.folder()).filePath(rig.pieces()[0]));
    QVERIFY(!piece.TimerType);
    QCOMPARE(piece.IntervalTM, int16_t(100));
    QCOMPARE(piece.ComPorts, (std::array<int16_t, 4>{1, 2, 3, 4}));
    QCOMPARE(int(piece.Rows.size()), piece.StoredCount);
    // Every reading either unit sent is in the piece, in order.
    QVERIFY(CountsUpTo(piece, 0, Readings(rig.sim, 0)));
    QVERIFY(CountsUpTo(piece, 1, Readings(rig.sim, 1)));
    QVERIFY(rig.out.contains(QStringLiteral("piece 1 written: %1/%2 (%3 rows)")
                                 .arg(rig.folder(), rig.pieces()[0])
                                 .arg(piece.Rows.size())));
    // Written as the piece, the rows need no journal.
    QVERIFY(!QFile::exists(rig.stateFolder() + QStringLiteral("/current-run.zr5")));
}

void TestRecord::faultEndsTheRun() {
    SimUnitConfig dying = RecorderRig::Counter();
    dying.hangUpAfterLines = 15;
    RecorderRig rig({RecorderRig::Counter(), dying});
    rig.writeSettings();
    rig.start({"--folder", rig.folder()});
    QCOMPARE(rig.finish(), 1);
    // The window's message for the unit, as its message box shows it.
    QVERIFY2(rig.err.contains(QRegularExpression(QStringLiteral("\\S Unit 2: "))),
             qPrintable(rig.err));
    QVERIFY(rig.out.contains(QStringLiteral("ended: a fault ended the run")));
    // The rows up to the fault are the last piece.
    QCOMPARE(rig.pieces().size(), 1);
    const DataFileContent piece = RecorderRig::Read(QDir(rig.folder()).filePath(rig.pieces()[0]));
    QVERIFY(CountsUpTo(piece, 1, Readings(rig.sim, 1)));
    QVERIFY(piece.Rows.size() >= 10);
}

void TestRecord::eventLinesWithoutTerminal() {
    SimUnitConfig spell = RecorderRig::Counter();
    spell.errorAfterLines = 10;
    spell.errorForReadings = 10;
    RecorderRig rig({RecorderRig::Counter(), spell});
    rig.writeSettings({{"Options/ContinueOnError", "True"}});
    rig.start({"--folder", rig.folder()});
    QVERIFY2(rig.waitForOutput(QStringLiteral("unit 2 back")), qPrintable(rig.out + rig.err));
    rig.signal(SIGINT);
    QCOMPARE(rig.finish(), 0);

    const QStringList lines = rig.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    const QStringList expected{"started ",        "unit 2 down: Invalid reply",
                               "unit 2 back",     "SIGINT: stopping the run",
                               "piece 1 written", "ended: stopped by SIGINT"};
    QCOMPARE(lines.size(), expected.size());
    for (int k = 0; k < lines.size(); ++k) {
        const auto match = kLogLine.match(lines[k]);
        QVERIFY2(match.hasMatch() &&
                     lines[k].mid(match.capturedLength() - 1).startsWith(expected[k]),
                 qPrintable(lines[k]));
    }
    QVERIFY(!rig.out.contains(QLatin1Char('\r')));
    // The missed readings, as the window sums them up at the end.
    QVERIFY2(rig.err.contains(QStringLiteral("Unit 2: ")), qPrintable(rig.err));
}

void TestRecord::journalSharedWithTheWindow() {
    RecorderRig rig({RecorderRig::Counter(), RecorderRig::Counter()});
    rig.writeSettings();
    rig.start({"--units", "1", "--folder", rig.folder()});
    QVERIFY(rig.waitForOutput(QStringLiteral("journal ")));
    const QString journalPath = rig.stateFolder() + QStringLiteral("/current-run.zr5");
    QVERIFY(rig.waitUntil([&] { return RecorderRig::Read(journalPath).Rows.size() >= 5; }));

    // A second program on the same state folder measures without a journal, and says so.
    {
        RecorderRig other;
        other.stateHome = rig.path(QStringLiteral("state"));
        other.writeSettings();
        other.start({"--folder", other.folder()});
        QVERIFY(other.waitForOutput(QStringLiteral("; no journal")));
        other.signal(SIGTERM);
        QCOMPARE(other.finish(), 0);
        QVERIFY(other.err.contains(QStringLiteral("Another k12inc is keeping the run on disk.")));
    }

    // "started 2026/12/7 22:5:7: units ...": the run's start time.
    const QString started =
        rig.out.section(QStringLiteral("started "), 1).section(QLatin1Char(':'), 0, 2);
    rig.signal(SIGKILL);
    QCOMPARE(rig.finish(), -1);
    FakeMessageBox messages;
    {
        // What the window's start-up question offers: the killed run's rows, counting from 1.
        RunJournal window(rig.stateFolder(), messages);
        const auto left = window.FindLeftover();
        QVERIFY(left.has_value());
        QCOMPARE(left->startTime.trimmed(), started);
        const DataFileContent rows = RecorderRig::Read(left->path);
        QCOMPARE(int(rows.Rows.size()), left->rows);
        QVERIFY(left->rows >= 5);
        QVERIFY(CountsUpTo(rows, 0, left->rows));
    }
    // A recorder started again keeps them aside before it measures.
    rig.start({"--units", "1", "--folder", rig.folder(), "--quiet"});
    QVERIFY(rig.waitForOutput(QStringLiteral("started ")));
    rig.signal(SIGTERM);
    QCOMPARE(rig.finish(), 0);
    QVERIFY2(rig.err.contains(QStringLiteral("a run journal left by an earlier program")),
             qPrintable(rig.err));
    const QStringList aside =
        QDir(rig.stateFolder() + QStringLiteral("/unsaved")).entryList(QDir::Files);
    QCOMPARE(aside.size(), 1);
}

QTEST_GUILESS_MAIN(TestRecord)
#include "test_record.moc"
