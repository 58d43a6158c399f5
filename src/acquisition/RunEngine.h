// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "acquisition/RunFaults.h"
#include "data_files/RunJournal.h"
#include "measurement/ModuleData.h"
#include "platform/Clock.h"
#include "platform/MessageBox.h"

#include <QDateTime>
#include <QString>
#include <array>
#include <functional>
#include <optional>
#include <vector>

namespace k12 {

// A message for the operator, with an OK button.
struct RunMessage {
    QString text;
    QString title;
    MsgIcon icon = MsgIcon::None;
};

// What one call of the engine did, for a front end to show.
struct RunReport {
    // A sampling step ran (the first one of a run lets the chart repaint again).
    bool stepped = false;
    // New readings reached the store: the current values and the chart are due.
    bool stored = false;
    // The run ended in this call: the units are stopped and closed and the journal is ended.
    bool ended = false;
    // Messages that belong before the stop is shown (the front end still shows the run), and
    // after it, the summary of missed readings last.
    std::vector<RunMessage> beforeStop;
    std::vector<RunMessage> afterStop;
    // A full store was saved as a piece (its file) and the run goes on in an empty one: the
    // chart starts over.
    std::optional<QString> pieceWritten;
    bool pieceStarted = false;
    // Notes that must not hold the run up (shown without a modal box).
    std::vector<RunMessage> notices;
};

// One measurement run from start to stop, in both timing modes: it opens and starts the units,
// takes their readings into the store, keeps the run journal, goes on through unit faults when
// ContinueOnError is set, and ends the run. It shows nothing itself: every call reports what a
// front end (the main window, the recorder) is to show, and the front end paces the steps with
// its own timers.
class RunEngine {
  public:
    static constexpr int DEVICE_STEP_MS = 100;
    // A streaming unit that delivers no line at all for this long has timed out.
    static constexpr qint64 SILENCE_MS = 3000;
    // Going on into pieces, a full store waits at most this long for units that lag behind.
    static constexpr qint64 PIECE_WAIT_MS = 10000;

    RunEngine(ModuleData& md, const Clock& clock, RunJournal& journal);
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
    // The operator's stop: takes what the units already delivered, then ends the run.
    RunReport Stop();

    bool Measuring() const { return md_.Measuring; }
    // Pieces of the current (or last) run written so far, and the file of the last one.
    int PiecesWritten() const { return piecesWritten_; }
    QString LastPiece() const { return lastPiece_; }
    // The file name of the run's piece n (1, 2, ...): "<start yyyyMMdd-HHmmss>-<nnn>.zr5".
    QString PieceName(int n) const;
    // A store limit (and piece size) of `rows` instead of MAX_SAMPLES; for tests only.
    void SetPieceRowsForTest(int32_t rows) { limit_ = rows; }
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

  private:
    RunReport PcTimerStep();
    RunReport DevTimerStep();
    // Stops the units and ends the journal; `collect` first takes what the units delivered.
    RunReport Finish(RunReport report, bool collect);
    bool CollectLastLogs(RunReport& report);

    bool CheckLogSpace() const;
    // The run has gone on for its set duration.
    bool DurationOver() const;
    // The store is full: a piece is due (or the run ends). False when the run ended.
    bool StoreFull(RunReport& report);
    // Every unit in use has delivered the piece's last row, or the others waited long enough.
    bool PieceComplete(qint64 nowMs) const;
    // Saves the store as the run's next piece (elsewhere if the folder fails); the reason when it
    // could be kept nowhere.
    std::optional<QString> WritePiece(RunReport& report);
    // After a piece: the store starts over with the values that belong to the next piece.
    void StartNextPiece(RunReport& report);
    // Moves every pending logged value into the store; the message when that failed.
    std::optional<RunMessage> GetUnitLogs();
    void UpdateSampleCount();
    // The unit has stored a value in this run: a fault no longer ends the run (a saved file tells
    // the units in use by their first row).
    bool HasValues(int i) const;
    // A unit whose fault ends the run: its port failed, it fell silent, or its first value was
    // not a reading (with ContinueOnError only before its first value is stored).
    std::optional<RunMessage> UnitEndingTheRun();

    // Going on through unit faults (ContinueOnError).
    void PollUnitsThroughFaults();
    void StoreMissedReading(int i, const DeviceError& error);
    void DrainFailedUnits();
    void TakeFailedUnitsDown();
    void RestartDownUnits();
    void PadMissedRows(int i);
    // Notices streaming units that fell silent: taken down, or marked to end the run.
    void WatchForSilence();
    void ResetSilenceWatch(int i, qint64 nowMs);

    ModuleData& md_;
    const Clock& clock_;
    RunJournal& journal_;
    RunFaults faults_;
    // The run's start on the monotonic clock: the time since then implies a streaming unit's row.
    qint64 runStartMs_ = 0;
    QDateTime runStart_;
    int32_t limit_ = MAX_SAMPLES;
    int piecesWritten_ = 0;
    QString lastPiece_;
    // When the store first held a full piece's rows while other units still lagged.
    std::optional<qint64> fullSinceMs_;
    // Per unit: values still to come that belong to a piece already written (dropped), values
    // that belong to the next piece (kept for it), and holes in pieces already written.
    std::array<int32_t, UNIT_COUNT> behind_{};
    std::array<std::vector<float>, UNIT_COUNT> carry_;
    std::array<int32_t, UNIT_COUNT> missedBefore_{};
    // Per unit: its first value was not a reading, so no saved file could tell it was in use.
    std::array<bool, UNIT_COUNT> leadingHole_{};
    // Per unit: the lines its driver had received when that count last changed, and when.
    struct LineWatch {
        quint64 lines = 0;
        qint64 sinceMs = 0;
        bool silent = false;
    };
    std::array<LineWatch, UNIT_COUNT> lineWatch_{};
};

} // namespace k12
