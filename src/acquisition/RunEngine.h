// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "acquisition/PieceWriter.h"
#include "acquisition/RunFaults.h"
#include "acquisition/RunFeed.h"
#include "acquisition/RunReport.h"
#include "acquisition/RunRows.h"
#include "data_files/RunJournal.h"
#include "measurement/ModuleData.h"
#include "platform/Clock.h"
#include "platform/MessageBox.h"

#include <QDateTime>
#include <QString>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace k12 {

// One measurement run from start to stop, in both timing modes: it opens and starts the units,
// takes their readings into the store, keeps the run journal, goes on through unit faults when
// ContinueOnError is set, cuts a long run into pieces when ContinueWhenFull is set, and ends the
// run. It shows nothing itself: every call reports what a front end (the main window, the
// recorder) is to show, and the front end paces the steps with its own timers.
//
// Every value's place is a row counted from the run's start (RunRows). The store holds the
// current piece; the piece before it stays open for units that lag, at most PIECE_WAIT_MS, and
// is then written on a queue of its own, so a step never waits for a disk.
class RunEngine {
  public:
    static constexpr int DEVICE_STEP_MS = 100;
    // A streaming unit that delivers no line at all for this long has timed out.
    static constexpr qint64 SILENCE_MS = 3000;
    // Going on into pieces, a full piece waits at most this long for units that lag behind.
    static constexpr qint64 PIECE_WAIT_MS = 10000;

    // `pieceQueue` writes the pieces; the default is a thread of the engine's own.
    RunEngine(ModuleData& md, const Clock& clock, RunJournal& journal,
              std::unique_ptr<TaskQueue> pieceQueue = {});
    // A run still going (the program ends) is stopped as 停止 would, keeping its last piece.
    ~RunEngine();
    RunEngine(const RunEngine&) = delete;
    RunEngine& operator=(const RunEngine&) = delete;

    // ---- starting, in this order ----
    // Why a start cannot go ahead at all, found before anything is asked, erased or opened.
    std::optional<RunMessage> StartRefusal();
    // Opens every unit in use; after a failure all are closed again and nothing else changed.
    std::optional<RunMessage> OpenUnits();
    // Erases the store and starts the run. `prepareView` runs once the store is erased and the
    // run is on, before the start time is stamped and the units start streaming. The report
    // ends the run at once when a unit would not start streaming.
    RunReport Start(const std::function<void()>& prepareView = {});

    // ---- running ----
    // A tick of the PC timer (Timer1) and the device-timer collection step (Timer2); nothing
    // happens outside a run of that mode.
    RunReport PcTimerTick();
    RunReport DevTimerTick();
    // The operator's stop: takes what the units already delivered, then ends the run. `why`
    // tells the live feed how the run ended (default "停止").
    RunReport Stop(const QString& why = {});

    bool Measuring() const { return md_.Measuring; }
    // The run has gone on for its set duration.
    bool DurationOver() const;
    // Rows of the current (or last) run so far, counted from its start over all its pieces.
    qint64 RunRowCount() const { return rows_.RowCount(); }
    // The rows of a piece: the store's size.
    int32_t PieceRows() const { return limit_; }
    const RunRows& Rows() const { return rows_; }
    // Pieces of the current (or last) run written so far, and the file of the last one.
    int PiecesWritten() const { return piecesWritten_; }
    QString LastPiece() const { return lastPiece_; }
    // The file name of the run's piece n (1, 2, ...): "<start yyyyMMdd-HHmmss>-<nnn>.zr5".
    QString PieceName(int n) const;
    // A store limit (and piece size) of `rows` instead of MAX_SAMPLES; for tests only.
    void SetPieceRowsForTest(int32_t rows) { limit_ = rows; }
    // The store's first `rows` rows of every unit in use were filled in by the caller as if the
    // units had delivered them; for tests and benchmarks only.
    void RowsFilledForTest(int32_t rows);
    // The unit's newest value in this run, also when it is still in the piece behind the store's;
    // nullopt before its first.
    std::optional<float> Newest(int unit) const;
    // The unit failed and is not back yet (it is tried again while the run goes on).
    bool IsDown(int unit) const { return faults_.IsDown(unit); }
    // The unit's current value is an error: it is down, or its newest value is a hole.
    bool ShowsError(int unit) const;
    // The description of the unit's last error in this run; empty when there was none.
    QString LastError(int unit) const { return faults_.LastError(unit); }

    // ---- the store changing hands, for the journal ----
    void DataSaved() { journal_.DataSaved(md_); }
    // The store's data are about to go with the program.
    void DataDiscarded() { journal_.DataDiscarded(md_); }
    std::optional<RunJournal::Leftover> FindLeftover() { return journal_.FindLeftover(); }
    // Keeps the leftover journal aside; the text for the operator when that failed.
    std::optional<QString> SetLeftoverAside();
    // The store now holds the leftover journal's rows.
    void LeftoverRead() { journal_.DataRecovered(md_); }

    const RunJournal& Journal() const { return journal_; }
    // The live feed of the current (or last) run; null when it has none.
    const FeedPublisher* Feed() const { return feed_.Publisher(); }
    const AngleAlerts& Alerts() const { return feed_.Alerts(); }
    // The device a COM number stands for, named in the feed's status.
    void SetPortDevices(std::function<QString(int)> lookup) {
        feed_.SetPortDevices(std::move(lookup));
    }
    // The journal file of the store's piece; empty when none is written.
    QString JournalPath() const;

  private:
    RunReport PcTimerStep();
    RunReport DevTimerStep();
    // Stops the units, closes the pieces and ends the journal; `collect` first takes what the
    // units delivered. Without `keepLastPiece` (a piece that could be kept nowhere) the store's
    // rows are not written as a piece.
    RunReport Finish(RunReport report, bool collect, bool keepLastPiece = true,
                     const QString& why = {});
    bool CollectLastLogs(RunReport& report);

    bool CheckLogSpace() const;
    // Moves every pending logged value into its row; the message when that failed.
    std::optional<RunMessage> GetUnitLogs(RunReport& report);
    // Places the unit's next value; false when the rest of this step's values are dropped (a
    // full store without pieces, a hole in the run's first row).
    bool Place(int i, float v, RunReport& report);
    // The units' counts and the store's row count after values were placed.
    void UpdateCounts();
    void UpdateSampleCount();
    // The unit has stored a value in this run: a fault no longer ends the run (a saved file tells
    // the units in use by their readings).
    bool HasValues(int i) const { return rows_.Next(i) >= 1; }
    // A unit whose fault ends the run: its port failed, it fell silent, or its first value was
    // not a reading (with ContinueOnError only before its first value is stored).
    std::optional<RunMessage> UnitEndingTheRun();

    // ---- pieces ----
    // The store moves on to the next piece; the full one stays open behind it.
    void CutPiece(RunReport& report);
    // The piece behind is closed once every unit has delivered its rows or the wait is over.
    void SealIfComplete();
    // Closes the piece behind and hands it to the writer; `timedOut`: units still behind missed
    // their rows by a time-out.
    void SealClosing(bool timedOut);
    void WritePiece(int number, std::unique_ptr<MeasurementStore> store);
    // Reports the pieces written since the last call; false when one could be kept nowhere (the
    // run is then ended with the store holding that piece).
    bool TakeWrittenPieces(RunReport& report);
    // A store for the data of a piece leaving the engine's store.
    std::unique_ptr<MeasurementStore> TakeStoreData();

    // ---- the live feed and the alerts ----
    // Gives the feed the rows no unit can change any more (up to `upTo` when given: a piece
    // about to leave), and the units that went down or came back.
    void PublishFinalRows(std::optional<qint64> upTo = std::nullopt);
    std::optional<float> ValueAt(int i, qint64 row) const;
    void FinishFeed(const RunReport& report, const QString& why);

    // Going on through unit faults (ContinueOnError).
    void PollUnitsThroughFaults();
    void StoreMissedReading(int i, const DeviceError& error);
    void TakeFailedUnitsDown();
    void RestartDownUnits();
    // Notices streaming units that fell silent: taken down, or marked to end the run.
    void WatchForSilence();
    void ResetSilenceWatch(int i, qint64 nowMs);

    ModuleData& md_;
    const Clock& clock_;
    RunJournal& journal_;
    PieceWriter writer_;
    RunFaults faults_;
    RunRows rows_;
    // The run's start on the monotonic clock: the time since then implies a streaming unit's row.
    qint64 runStartMs_ = 0;
    QDateTime runStart_;
    int32_t limit_ = MAX_SAMPLES;
    int piecesWritten_ = 0;
    QString lastPiece_;
    std::unique_ptr<JournalFile> journalFile_;
    // The piece behind the store's, still open for units that lag, since when, and its journal.
    std::unique_ptr<MeasurementStore> closing_;
    std::unique_ptr<JournalFile> closingJournal_;
    qint64 closingSinceMs_ = 0;
    // Per unit: its first value was not a reading, so no saved file could tell it was in use.
    std::array<bool, UNIT_COUNT> leadingHole_{};
    // Per unit: the lines its driver had received when that count last changed, and when.
    struct LineWatch {
        quint64 lines = 0;
        qint64 sinceMs = 0;
        bool silent = false;
    };
    std::array<LineWatch, UNIT_COUNT> lineWatch_{};
    RunFeed feed_;
};

} // namespace k12
