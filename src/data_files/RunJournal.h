// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "data_files/DataFile.h"
#include "measurement/MeasurementStore.h"
#include "platform/MessageBox.h"
#include "platform/TaskQueue.h"

#include <QLockFile>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace k12 {

class JournalFile;

// Keeps the rows of the current run in dedicated data files in the per-user state folder, so a
// crash, a killed process or a power cut loses at most about a second of measuring. Each piece of
// a run has a file of its own while it is open ("current-run.zr5", "current-run-2.zr5", ...); a
// file is a valid .zr5 file at every moment: the header, then the rows as they arrive.
//
// Every disk operation runs on the journal's own queue, in order, so a measuring step never waits
// for the disk. One program holds the folder's lock; a second one runs without a journal. Writing
// trouble never stops a run: the operator is told once, without a modal box, and the run goes on.
class RunJournal {
  public:
    // $XDG_STATE_HOME/K12INC, by default ~/.local/state/K12INC.
    static QString DefaultFolder();

    // `nowMs` is a monotonic clock in milliseconds (the flush pacing); the default is real time.
    // `queue` runs the disk operations; the default is a thread of the journal's own. With an
    // empty folder the program keeps no journal, and says nothing about it.
    RunJournal(QString folder, MessageBox& messages, std::function<qint64()> nowMs = {},
               std::unique_ptr<TaskQueue> queue = {});
    ~RunJournal();
    RunJournal(const RunJournal&) = delete;
    RunJournal& operator=(const RunJournal&) = delete;

    // The non-modal note the operator gets when the journal cannot be kept, with its reason.
    static QString FailureText(const QString& reason);

    QString Folder() const { return folder_; }
    // The file of a run's piece (1, 2, ...).
    QString Path(int piece = 1) const;
    // Where rows that could not be kept elsewhere go; empty without a journal folder.
    QString UnsavedFolder() const;

    // A journal an earlier program left with at least one row, for the start-up question.
    struct Leftover {
        QString path;
        QString startTime;
        int32_t rows = 0;
    };
    // Looks at what an earlier program left: the newest file is offered, any older one (a piece
    // that was still being saved) is kept in the unsaved folder, and so is a file that cannot be
    // read. nullopt when there is nothing to offer (or no lock).
    std::optional<Leftover> FindLeftover();
    // Moves the offered leftover to the unsaved folder under a name made from its start time,
    // never overwriting; the error text when it could not be moved.
    std::optional<QString> MoveToUnsaved();

    // The run side. The store is about to be erased for a new run: files of the data it holds go
    // (the start asked before erasing them), files of other data are kept in the unsaved folder.
    void BeforeErase(const MeasurementStore& store);
    // A new file for the rows of the store's piece `piece`: the store has been cleared and its
    // start time, timer type, interval and ports set. Null when no journal is kept.
    std::unique_ptr<JournalFile> Open(const MeasurementStore& store, int piece = 1);

    // The store's data changing hands: saved (the files holding them are no longer needed), about
    // to be thrown away with the program (the files are kept aside), or read back from the
    // offered leftover.
    void DataSaved(quint64 dataId);
    void DataSaved(const MeasurementStore& store) { DataSaved(store.DataId); }
    void DataDiscarded(const MeasurementStore& store);
    void DataRecovered(const MeasurementStore& store);

    // A file is open for writing.
    bool Writing() const;
    // Waits until the disk operations asked for so far are done.
    void Drain();

  private:
    friend class JournalFile;
    struct Kept {
        QString path;
        quint64 dataId = 0;
        bool open = false;
    };

    void Fail(const QString& reason);
    void Forget(const QString& path);
    Kept* Find(const QString& path);
    // Moves `path` to the unsaved folder; the error text when it could not.
    std::optional<QString> SetAside(const QString& path);
    // The journal files in the folder, oldest start first.
    QStringList Files() const;

    QString folder_;
    MessageBox& messages_;
    std::function<qint64()> nowMs_;
    std::unique_ptr<TaskQueue> queue_;
    std::unique_ptr<QLockFile> lock_;
    // Why this program cannot keep a journal at all (no folder, another program holds the lock).
    QString unavailable_;
    bool unavailableTold_ = false;
    // The old journal could not be cleared away: this run keeps none.
    bool blocked_ = false;
    // The files this program wrote, with the store data they hold.
    std::vector<Kept> kept_;
    // The leftover offered at start-up.
    QString leftover_;
};

// One piece's journal file, written as the piece's rows arrive; the run engine holds one per open
// piece. Its disk operations run on the journal's queue.
class JournalFile {
  public:
    ~JournalFile();
    JournalFile(const JournalFile&) = delete;
    JournalFile& operator=(const JournalFile&) = delete;

    // Writes the rows the store holds now. A row is written as soon as any unit holds it; the
    // values of units that reach it later are filled in when they arrive.
    void Append(const MeasurementStore& store);
    // The piece is complete or the run has ended: the rest of its rows and the final row count,
    // flushed to the disk; the file is closed.
    void End(const MeasurementStore& store);

    QString Path() const { return path_; }
    bool IsOpen() const;
    int32_t RowsWritten() const { return rows_; }
    // Flushes to the disk asked for so far (one at the start, then at most one a second).
    int SyncRequests() const { return syncRequests_; }

  private:
    friend class RunJournal;
    struct Io;
    JournalFile(RunJournal& owner, QString path);
    // False, the file given up and the operator told, when a disk operation has failed.
    bool Healthy();
    void Post(std::function<void(Io&)> operation);
    void RequestSync();
    void Close();

    RunJournal& owner_;
    QString path_;
    std::shared_ptr<Io> io_;
    bool open_ = false;
    int32_t rows_ = 0;
    // Per unit, the leading values the file holds final.
    std::array<int32_t, UNIT_COUNT> valuesWritten_{};
    qint64 lastSyncMs_ = 0;
    bool dirty_ = false;
    int syncRequests_ = 0;
};

} // namespace k12
