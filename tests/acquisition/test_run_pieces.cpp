// SPDX-License-Identifier: GPL-3.0-or-later
// Runs cut into pieces when the store is full, and runs of a set duration, on a small store.
#include "EngineRig.h"
#include "data_files/DataFile.h"
#include "measurement/Conversions.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace k12;
using namespace k12::test;

namespace {

constexpr int32_t kPiece = 10;

// What unit u reads for row r of the run (0-based): the same value whichever piece it lands in.
double Value(int u, int r) {
    return 100.0 * (u + 1) + r;
}

// A rig going on into pieces of `rows` rows in `folder`.
std::unique_ptr<EngineRig> PieceRig(RunSetup setup, const QString& folder,
                                    const QString& journal = {}, int32_t rows = kPiece) {
    setup.continueWhenFull = true;
    setup.saveFolder = folder;
    auto rig = std::make_unique<EngineRig>(setup, RigOptions{.stateFolder = journal});
    rig->engine.SetPieceRowsForTest(rows);
    return rig;
}

// The journal files the folder holds.
QStringList JournalFiles(const QString& folder) {
    return QDir(folder).entryList({QStringLiteral("current-run*.zr5")}, QDir::Files);
}

// The PC-timer units answer each poll with their next value.
void ScriptPolls(EngineRig& rig, int rows) {
    for (int u : {0, 1}) {
        FakeSerialPort& port = rig.port(u);
        port.clearReplies();
        port.reply("", "K12INC\r\n", 0, true);
        for (int r = 0; r < rows; ++r) {
            port.reply("GET", ReadingLine(Value(u, r)));
        }
    }
}

} // namespace

class TestRunPieces : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    int folders_ = 0;
    QString NewFolder() {
        const QString f = dir_.filePath(QStringLiteral("f%1").arg(++folders_));
        QDir().mkpath(f);
        return f;
    }

  private Q_SLOTS:
    void everyValueInItsPieceAndRow_data();
    void everyValueInItsPieceAndRow();
    void aLaggingUnitDoesNotHoldTheRunUp();
    void aPieceThatCannotBeWritten();
    void aPieceNeverReplacesAnother();
    void aLaterPieceGoesOnThroughFaults();
    void theLastPieceAtEveryEnd_data();
    void theLastPieceAtEveryEnd();
};

void TestRunPieces::everyValueInItsPieceAndRow_data() {
    QTest::addColumn<bool>("pcTimer");
    QTest::addColumn<int>("lag");   // rows unit 2 delivers later than unit 1
    QTest::addColumn<int>("steps"); // before the stop
    QTest::addColumn<int>("piecesWhileRunning");
    QTest::newRow("PC timer") << true << 0 << 25 << 2;
    QTest::newRow("device timer, in step") << false << 0 << 25 << 2;
    QTest::newRow("device timer, out of step") << false << 3 << 28 << 2;
    // Piece 2 still waits for unit 2 at the stop; unit 1 has rows of piece 3 already.
    QTest::newRow("device timer, stopped while a piece waits") << false << 3 << 22 << 1;
}

void TestRunPieces::everyValueInItsPieceAndRow() {
    QFETCH(bool, pcTimer);
    QFETCH(int, lag);
    QFETCH(int, steps);
    QFETCH(int, piecesWhileRunning);
    const QString folder = NewFolder();
    const QString state = NewFolder();
    constexpr int kRows = 25;
    auto rig = PieceRig({{0, 1}, pcTimer, pcTimer ? 1000 : 100}, folder, state);
    rig->start();
    if (pcTimer) {
        ScriptPolls(*rig, kRows);
    }
    int pieces = 0;
    for (int k = 0; k < steps; ++k) {
        RunReport report;
        if (pcTimer) {
            rig->clock.advance(1000);
            report = rig->engine.PcTimerTick();
        } else {
            if (k < kRows) {
                rig->receive(0, {Value(0, k)});
            }
            if (k >= lag) {
                rig->receive(1, {Value(1, k - lag)});
            }
            report = rig->step();
        }
        QVERIFY(!report.ended);
        if (!report.piecesWritten.empty()) {
            ++pieces;
            // The journal holds the open pieces only.
            QVERIFY(JournalFiles(state).contains(QFileInfo(rig->engine.JournalPath()).fileName()));
            QCOMPARE(SavedFile(rig->engine.JournalPath()).Rows.size(), size_t(rig->md.SampleCount));
        }
    }
    QCOMPARE(pieces, piecesWhileRunning);
    rig->engine.Stop();
    QVERIFY(JournalFiles(state).isEmpty()); // every row is in a piece
    const QStringList names = QDir(folder).entryList(QDir::Files, QDir::Name);
    QCOMPARE(names, (QStringList{"20240305-090702-001.zr5", "20240305-090702-002.zr5",
                                 "20240305-090702-003.zr5"}));
    // Every value delivered is in its piece and row, whenever the piece was written.
    const int delivered[2] = {std::min(steps, kRows), std::min(steps - lag, kRows)};
    const QDateTime start(QDate(2024, 3, 5), QTime(9, 7, 2));
    for (int p = 0; p < 3; ++p) {
        const DataFileContent piece = SavedFile(QDir(folder).filePath(names[p]));
        QCOMPARE(piece.StartTime,
                 FormatStartTime(start.addMSecs(qint64(p) * kPiece * (pcTimer ? 1000 : 100))));
        QCOMPARE(piece.Rows.size(), size_t(p < 2 ? kPiece : delivered[0] - 2 * kPiece));
        for (size_t j = 0; j < piece.Rows.size(); ++j) {
            for (int u : {0, 1}) {
                const int row = p * kPiece + int(j);
                QCOMPARE(piece.Rows[j][u],
                         row < delivered[u] ? float(Value(u, row)) : NO_DATA_VALUE);
            }
        }
    }
    QCOMPARE(rig->engine.PiecesWritten(), 3);
    // The store still holds the last piece.
    QCOMPARE(rig->md.SampleCount, delivered[0] - 2 * kPiece);
    QCOMPARE(rig->engine.PieceName(1000), QStringLiteral("20240305-090702-1000.zr5"));
}

void TestRunPieces::aLaggingUnitDoesNotHoldTheRunUp() {
    // Pieces of 15 s: the full piece waits ten seconds for unit 2, which falls behind after 140
    // rows (one value every two seconds, so it is not silent).
    constexpr int32_t kRows = 150;
    const QString folder = NewFolder();
    auto rig = PieceRig({{0, 1}, false, 100}, folder, {}, kRows);
    rig->start();
    RunReport report;
    int k = 0;
    int delivered = 0;
    auto step = [&] {
        rig->receive(0, {Value(0, k)});
        if (k < 140 || k % 20 == 0) {
            rig->receive(1, {Value(1, delivered++)});
        }
        report = rig->step();
        ++k;
    };
    while (report.piecesWritten.empty() && k < 400) {
        step();
    }
    // Unit 1's value for row 150 opened the next piece; ten seconds later the piece is written.
    QCOMPARE(k, kRows + 1 + RunEngine::PIECE_WAIT_MS / RunEngine::DEVICE_STEP_MS);
    const DataFileContent piece = SavedFile(report.piecesWritten[0].path);
    QCOMPARE(piece.Rows.size(), size_t(kRows));
    QCOMPARE(piece.Rows[size_t(delivered - 1)][1], float(Value(1, delivered - 1)));
    QCOMPARE(piece.Rows[size_t(delivered)][1], NO_DATA_VALUE);
    QVERIFY(!report.ended);
    // Its values for that piece come too late and are dropped; then the next piece goes on.
    while (delivered <= kRows) {
        step();
    }
    const RunReport stop = rig->engine.Stop();
    QCOMPARE(stop.piecesWritten.size(), size_t(2));
    QCOMPARE(SavedFile(stop.piecesWritten[0].path).Rows[0][1], float(Value(1, kRows)));
    // The summary counts the holes of the piece written while the run went on; the rows unit 2
    // has not reached at the stop are no fault.
    const QStringList summary = Texts(stop.afterStop);
    int holes = 0;
    for (const auto& row : piece.Rows) {
        holes += row[1] == NO_DATA_VALUE ? 1 : 0;
    }
    QCOMPARE(summary, QStringList{QStringLiteral("2台目: %1件（タイムアウト）").arg(holes)});
}

void TestRunPieces::aPieceThatCannotBeWritten() {
    // The folder is gone: the piece goes where the journal keeps rows aside, with a note, and
    // the run goes on.
    const QString state = NewFolder();
    auto rig = PieceRig({{0}, true, 1000}, dir_.filePath(QStringLiteral("gone")), state);
    rig->start();
    // The piece is cut when the next row comes.
    RunReport report;
    for (int k = 0; k <= kPiece; ++k) {
        rig->clock.advance(1000);
        report = rig->engine.PcTimerTick();
    }
    QVERIFY(!report.ended);
    QCOMPARE(report.notices.size(), size_t(1));
    QVERIFY(report.notices[0].text.contains(QStringLiteral("gone")));
    QCOMPARE(report.piecesWritten.size(), size_t(1));
    QCOMPARE(report.piecesWritten[0].path,
             rig->journal.UnsavedFolder() + QStringLiteral("/20240305-090702-001.zr5"));
    QCOMPARE(SavedFile(report.piecesWritten[0].path).Rows.size(), size_t(kPiece));

    // Kept nowhere (no journal either): the run stops as a full store stops it.
    auto nowhere = PieceRig({{0}, true, 1000}, dir_.filePath(QStringLiteral("gone")));
    nowhere->start();
    for (int k = 0; k <= kPiece; ++k) {
        nowhere->clock.advance(1000);
        report = nowhere->engine.PcTimerTick();
    }
    QVERIFY(report.ended);
    QCOMPARE(report.beforeStop.size(), size_t(2));
    QCOMPARE(report.beforeStop[1].text, QStringLiteral("メモリー不足です。測定値が保存できません"));
    // The piece's rows are in memory to be saved elsewhere.
    QCOMPARE(nowhere->md.SampleCount, kPiece);
    QCOMPARE(nowhere->md.StartTime, QStringLiteral("2024/3/5 9:7:2"));
}

void TestRunPieces::aPieceNeverReplacesAnother() {
    // An earlier run that started in the same second left its first piece.
    const QString folder = NewFolder();
    const QString earlier = QDir(folder).filePath(QStringLiteral("20240305-090702-001.zr5"));
    QFile file(earlier);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("earlier");
    file.close();
    auto rig = PieceRig({{0}, true, 1000}, folder);
    rig->start();
    RunReport report;
    for (int k = 0; k <= kPiece; ++k) {
        rig->clock.advance(1000);
        report = rig->engine.PcTimerTick();
    }
    QCOMPARE(report.piecesWritten.size(), size_t(1));
    QCOMPARE(report.piecesWritten[0].path,
             QDir(folder).filePath(QStringLiteral("20240305-090702-001-2.zr5")));
    QCOMPARE(QFileInfo(earlier).size(), qint64(7));
}

void TestRunPieces::aLaterPieceGoesOnThroughFaults() {
    // Only the run's first row ends the run on a unit fault, not a later piece's first row.
    auto rig = PieceRig({{0, 1}, true, 1000, true}, NewFolder());
    rig->start();
    RunReport report;
    for (int k = 1; k <= kPiece + 3 && !report.ended; ++k) {
        if (k == kPiece + 1) {
            rig->port(1).clearReplies();
        }
        rig->clock.advance(1000);
        report = rig->engine.PcTimerTick();
    }
    QVERIFY(!report.ended);
    QVERIFY(rig->engine.ShowsError(1));
    QCOMPARE(rig->md.Units[1].Data[0], NO_DATA_VALUE);
}

void TestRunPieces::theLastPieceAtEveryEnd_data() {
    QTest::addColumn<QString>("end");
    QTest::newRow("stop") << "stop";
    QTest::newRow("run duration") << "duration";
    QTest::newRow("a line failure that ends the run") << "fault";
    QTest::newRow("a unit that does not answer") << "timeout";
    QTest::newRow("the program ends") << "quit";
}

void TestRunPieces::theLastPieceAtEveryEnd() {
    QFETCH(QString, end);
    const QString folder = NewFolder();
    auto rig = PieceRig({{0}, true, 1000}, folder);
    rig->md.StopAfterMinutes = end == QLatin1String("duration") ? 1 : 0;
    rig->start();
    RunReport report;
    for (int k = 1; k <= 65 && !report.ended; ++k) {
        if (end == QLatin1String("fault") && k == 13) {
            rig->port(0).setFailure(DeviceError(706, QStringLiteral("切断")));
        } else if (end == QLatin1String("timeout") && k == 13) {
            rig->port(0).clearReplies();
        }
        rig->clock.advance(1000);
        report = rig->engine.PcTimerTick();
    }
    if (end == QLatin1String("stop")) {
        report = rig->engine.Stop();
    } else if (end == QLatin1String("quit")) {
        rig.reset();
    }
    const QStringList names = QDir(folder).entryList(QDir::Files, QDir::Name);
    const int rows = end == QLatin1String("duration")                                   ? 60
                     : end == QLatin1String("fault") || end == QLatin1String("timeout") ? 12
                                                                                        : 65;
    QCOMPARE(names.size(), (rows + kPiece - 1) / kPiece);
    QCOMPARE(SavedFile(QDir(folder).filePath(names.last())).Rows.size(),
             size_t(rows - (names.size() - 1) * kPiece));
    if (rig) {
        QVERIFY(report.ended);
        QCOMPARE(rig->md.SampleCount, rows - (names.size() - 1) * kPiece);
    }
}

QTEST_GUILESS_MAIN(TestRunPieces)
#include "test_run_pieces.moc"
