// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "measurement/MeasurementStore.h"
#include "platform/MessageBox.h"

#include <QFile>
#include <QLockFile>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace k12 {

// Keeps the rows of the current run in a dedicated data file in the per-user state folder, so a
// crash, a killed process or a power cut loses at most about a second of measuring. The file is
// a valid .zr5 file at every moment: the header, then the rows appended as they become final.
//
// One program holds the folder's lock; a second one runs without a journal. Writing trouble
// never stops a run: the operator is told once, without a modal box, and the run goes on.
class RunJournal {
  public:
    // $XDG_STATE_HOME/K12INC, by default ~/.local/state/K12INC.
    static QString DefaultFolder();

    // `nowMs` is a monotonic clock in milliseconds (the flush pacing); the default is real time.
    RunJournal(QString folder, MessageBox& messages, std::function<qint64()> nowMs = {});
    ~RunJournal();
    RunJournal(const RunJournal&) = delete;
    RunJournal& operator=(const RunJournal&) = delete;

    QString Folder() const { return folder_; }
    QString Path() const;
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

    // The run side: the store has been cleared and its start time, timer type, interval and
    // ports set. An earlier journal is replaced when its data were the store's (the start asked
    // before erasing them), otherwise kept in the unsaved folder.
    void Begin(const MeasurementStore& store);
    // Rows [0, finalRows) of the store will not change any more.
    void Append(const MeasurementStore& store, int32_t finalRows);
    // The run has ended: the rest of the store's rows, the final row count, flushed.
    void End(const MeasurementStore& store);

    // The store's data were saved: the journal is no longer needed, if it holds them.
    void DataSaved();
    // The store now holds other data (a file was read, the settings cleared it).
    void DataReplaced() { current_ = false; }
    // The store holds the journal's rows again (read back after the start-up question).
    void DataRecovered() { current_ = true; }

    bool Writing() const { return file_.isOpen(); }
    int32_t RowsWritten() const { return rowsWritten_; }
    // Flushes to the disk asked for so far (one at the start, then at most one a second).
    int SyncRequests() const { return syncRequests_; }

  private:
    class Flusher;

    void Fail(const QString& reason);
    bool WriteAll(const QByteArray& bytes);
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

    QFile file_;
    std::unique_ptr<Flusher> flusher_;
    qint64 countOffset_ = 0;
    int32_t rowsWritten_ = 0;
    qint64 lastSyncMs_ = 0;
    bool dirty_ = false;
    int syncRequests_ = 0;
    bool current_ = false; // the journal's rows are the store's data
};

} // namespace k12
