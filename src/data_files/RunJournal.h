// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "data_files/DataFile.h"
#include "measurement/MeasurementStore.h"
#include "platform/MessageBox.h"

#include <QLockFile>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace k12 {

// Keeps the rows of the current run in a dedicated data file in the per-user state folder, so a
// crash, a killed process or a power cut loses at most about a second of measuring. The file is
// a valid .zr5 file at every moment: the header, then the rows as they arrive.
//
// One program holds the folder's lock; a second one runs without a journal. Writing trouble
// never stops a run: the operator is told once, without a modal box, and the run goes on.
class RunJournal {
  public:
    // $XDG_STATE_HOME/K12INC, by default ~/.local/state/K12INC.
    static QString DefaultFolder();

    // `nowMs` is a monotonic clock in milliseconds (the flush pacing); the default is real time.
    // With an empty folder the program keeps no journal, and says nothing about it.
    RunJournal(QString folder, MessageBox& messages, std::function<qint64()> nowMs = {});
    ~RunJournal();
    RunJournal(const RunJournal&) = delete;
    RunJournal& operator=(const RunJournal&) = delete;

    // The non-modal note the operator gets when the journal cannot be kept, with its reason.
    static QString FailureText(const QString& reason);

    QString Folder() const { return folder_; }
    QString Path() const;
    // Where rows that could not be kept elsewhere go; empty without a journal folder.
    QString UnsavedFolder() const;

    // A journal an earlier program left with at least one row, for the start-up question.
    struct Leftover {
        QString path;
        QString startTime;
        int32_t rows = 0;
    };
    // Looks at what an earlier program left. A journal that cannot be read is moved to the
    // unsaved folder at once; nullopt when there is nothing to offer (or no lock).
    std::optional<Leftover> FindLeftover();
    // Moves the journal to the unsaved folder under a name made from its start time, never
    // overwriting; the error text when it could not be moved.
    std::optional<QString> MoveToUnsaved();

    // The run side. The store is about to be erased for a new run: a journal of the data it
    // holds goes (the start asked before erasing them), a journal of other data is kept in the
    // unsaved folder.
    void BeforeErase(const MeasurementStore& store);
    // The store has been cleared and its start time, timer type, interval and ports set.
    void Begin(const MeasurementStore& store);
    // Writes the rows the store holds now. A row is written as soon as any unit holds it; the
    // values of units that reach it later are filled in when they arrive.
    void Append(const MeasurementStore& store);
    // The run has ended: the rest of the store's rows, the final row count, flushed.
    void End(const MeasurementStore& store);

    // The store changing hands: its data were saved (the journal is no longer needed if it holds
    // them), are about to be thrown away with the program (the journal is kept aside), or were
    // read back from the journal.
    void DataSaved(const MeasurementStore& store);
    void DataDiscarded(const MeasurementStore& store);
    void DataRecovered(const MeasurementStore& store) { heldData_ = store.DataId; }

    bool Writing() const { return writer_.IsOpen(); }
    int32_t RowsWritten() const { return writer_.Rows(); }
    // Flushes to the disk asked for so far (one at the start, then at most one a second).
    int SyncRequests() const { return syncRequests_; }

  private:
    class Flusher;

    // The store's data are the journal's rows.
    bool Holds(const MeasurementStore& store) const { return heldData_ == store.DataId; }
    void Fail(const QString& reason);
    // False (the journal given up for this run) when `error` is set.
    bool Check(const std::optional<QString>& error);
    // Asks for a flush to the disk in the background, so no step waits for the disk.
    void RequestSync();
    // Reports a background flush that failed; false then.
    bool CheckSync();
    void Close();

    QString folder_;
    MessageBox& messages_;
    std::function<qint64()> nowMs_;
    std::unique_ptr<QLockFile> lock_;
    // Why this program cannot keep a journal at all (no folder, another program holds the lock).
    QString unavailable_;
    bool unavailableTold_ = false;
    // The old journal could not be cleared away: this run keeps none.
    bool blocked_ = false;

    DataFileWriter writer_;
    std::unique_ptr<Flusher> flusher_;
    // Per unit, the leading values the file holds final.
    std::array<int32_t, UNIT_COUNT> valuesWritten_{};
    qint64 lastSyncMs_ = 0;
    bool dirty_ = false;
    int syncRequests_ = 0;
    // The store data (MeasurementStore::DataId) whose rows the journal holds.
    std::optional<quint64> heldData_;
};

} // namespace k12
