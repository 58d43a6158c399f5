// SPDX-License-Identifier: GPL-3.0-or-later
#include "data_files/RunJournal.h"

#include "data_files/FileCommon.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <thread>
#include <unistd.h>
#include <utility>

namespace k12 {

namespace {

const QString kJournalName = QStringLiteral("current-run.zr5");
const QString kCannotKeep = QStringLiteral("測定データの一時保存ができません。");
// Appends are flushed to the disk at most this often during a run.
constexpr qint64 kSyncPeriodMs = 1000;

QString SystemError(int error = errno) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// The start time a journal's header names, also when no row follows it yet.
QDateTime HeaderStartTime(const QString& path) {
    const auto head = ReadDataFileHead(path);
    return head ? QDateTime::fromString(head->StartTime.trimmed(), QStringLiteral("yyyy/M/d H:m:s"))
                : QDateTime();
}

// Makes the folder; the reason when it cannot.
std::optional<QString> MakeFolder(const QString& folder) {
    errno = 0;
    if (QDir().mkpath(folder)) {
        return std::nullopt;
    }
    const int error = errno;
    return error != 0 ? QStringLiteral("フォルダ %1 を作成できません（%2）。")
                            .arg(folder, SystemError(error))
                      : QStringLiteral("フォルダ %1 を作成できません。").arg(folder);
}

} // namespace

QString RunJournal::DefaultFolder() {
    QString base = qEnvironmentVariable("XDG_STATE_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base)) {
        base = QDir::homePath() + QStringLiteral("/.local/state");
    }
    return base + QStringLiteral("/K12INC");
}

// Flushes the journal's file to the disk on a thread of its own: a flush can take milliseconds,
// which a 100 ms step should not wait for. Requests made while one runs are merged.
class RunJournal::Flusher {
  public:
    Flusher() : thread_([this] { Run(); }) {}
    ~Flusher() {
        {
            const std::lock_guard lock(mutex_);
            stop_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }
    Flusher(const Flusher&) = delete;
    Flusher& operator=(const Flusher&) = delete;

    void Request(int fd) {
        {
            const std::lock_guard lock(mutex_);
            fd_ = fd;
        }
        wake_.notify_all();
    }
    // Waits until no flush is asked for or under way; the first failure (errno) since the last
    // call, or 0.
    int Wait() {
        std::unique_lock lock(mutex_);
        idle_.wait(lock, [this] { return fd_ < 0 && !busy_; });
        return std::exchange(error_, 0);
    }
    // The first failure since the last call, without waiting.
    int TakeError() {
        const std::lock_guard lock(mutex_);
        return std::exchange(error_, 0);
    }

  private:
    void Run() {
        std::unique_lock lock(mutex_);
        for (;;) {
            wake_.wait(lock, [this] { return stop_ || fd_ >= 0; });
            if (fd_ < 0) {
                return;
            }
            const int fd = std::exchange(fd_, -1);
            busy_ = true;
            lock.unlock();
            const int result = ::fdatasync(fd);
            const int error = errno;
            lock.lock();
            busy_ = false;
            if (result != 0 && error_ == 0) {
                error_ = error;
            }
            idle_.notify_all();
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    int fd_ = -1;
    bool busy_ = false;
    bool stop_ = false;
    int error_ = 0;
    std::thread thread_;
};

RunJournal::RunJournal(QString folder, MessageBox& messages, std::function<qint64()> nowMs)
    : folder_(std::move(folder)), messages_(messages), nowMs_(std::move(nowMs)) {
    if (!nowMs_) {
        nowMs_ = [timer = std::make_shared<QElapsedTimer>()] {
            if (!timer->isValid()) {
                timer->start();
            }
            return timer->elapsed();
        };
    }
    if (folder_.isEmpty()) {
        // Off by choice: never mentioned to the operator.
        unavailable_ = QStringLiteral("off");
        unavailableTold_ = true;
        return;
    }
    if (const auto error = MakeFolder(folder_)) {
        unavailable_ = *error;
        return;
    }
    const QString lockPath = folder_ + QStringLiteral("/journal.lock");
    lock_ = std::make_unique<QLockFile>(lockPath);
    // Held for the program's whole life: it must never count as stale while its owner runs.
    lock_->setStaleLockTime(0);
    if (!lock_->tryLock(0)) {
        if (lock_->error() == QLockFile::LockFailedError) {
            unavailable_ = QStringLiteral("別の k12inc が一時保存を使用中です。");
        } else {
            // QLockFile keeps the system's reason to itself: ask the system again.
            const int fd = ::open(QFile::encodeName(lockPath).constData(),
                                  O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
            const int error = fd < 0 ? errno : 0;
            if (fd >= 0) {
                ::close(fd);
            }
            unavailable_ =
                QStringLiteral("ロックファイル %1 を作成できません（%2）。")
                    .arg(lockPath, error != 0 ? SystemError(error) : QStringLiteral("不明な理由"));
        }
        lock_.reset();
    }
}

RunJournal::~RunJournal() {
    Close();
}

QString RunJournal::FailureText(const QString& reason) {
    return kCannotKeep + QLatin1Char('\n') + reason;
}

QString RunJournal::Path() const {
    return folder_ + QLatin1Char('/') + kJournalName;
}

QString RunJournal::UnsavedFolder() const {
    return folder_.isEmpty() ? QString() : folder_ + QStringLiteral("/unsaved");
}

std::optional<RunJournal::Leftover> RunJournal::FindLeftover() {
    if (!unavailable_.isEmpty() || !QFileInfo::exists(Path())) {
        return std::nullopt;
    }
    const DataFileParse parsed = ParseDataFile(Path());
    if (const auto* content = std::get_if<DataFileContent>(&parsed)) {
        return Leftover{Path(), content->StartTime, static_cast<int32_t>(content->Rows.size())};
    }
    // Nothing to read back, but nothing is deleted either.
    if (const auto error = MoveToUnsaved()) {
        messages_.show(FailureText(*error), QStringLiteral("Message"), MsgButtons::Ok,
                       MsgIcon::Error);
    }
    return std::nullopt;
}

std::optional<QString> RunJournal::MoveToUnsaved() {
    const QString target = UnsavedFolder();
    if (!QDir().mkpath(target)) {
        return QStringLiteral("フォルダ %1 を作成できません。").arg(target);
    }
    QDateTime started = HeaderStartTime(Path());
    if (!started.isValid()) {
        started = QFileInfo(Path()).lastModified();
    }
    const QString name =
        started.toString(QStringLiteral("yyyyMMdd-HHmmss")) + QStringLiteral(".zr5");
    QFile journal(Path());
    for (;;) {
        const QString free = files::FreeFilePath(target, name);
        // rename() never replaces an existing file.
        if (journal.rename(free)) {
            return std::nullopt;
        }
        // Another program took the name meanwhile: the next one.
        if (!files::FileNameTaken(free)) {
            return QStringLiteral("%1 を %2 に移動できません（%3）。")
                .arg(Path(), free, journal.errorString());
        }
    }
}

void RunJournal::BeforeErase(const MeasurementStore& store) {
    blocked_ = false;
    if (!unavailable_.isEmpty() || !QFileInfo::exists(Path())) {
        return;
    }
    if (Holds(store)) {
        if (!QFile::remove(Path())) {
            blocked_ = true;
            Fail(QStringLiteral("%1 を削除できません。").arg(Path()));
        }
    } else if (const auto error = MoveToUnsaved()) {
        blocked_ = true;
        Fail(*error);
    }
}

void RunJournal::Begin(const MeasurementStore& store) {
    Close();
    if (!unavailable_.isEmpty()) {
        if (!unavailableTold_) {
            unavailableTold_ = true;
            Fail(unavailable_);
        }
        return;
    }
    if (blocked_) {
        return;
    }
    heldData_ = store.DataId;
    valuesWritten_ = {};
    dirty_ = false;
    if (Check(writer_.Create(Path(), DataFileHead::Of(store)))) {
        RequestSync();
    }
}

void RunJournal::Append(const MeasurementStore& store) {
    if (!writer_.IsOpen() || !CheckSync()) {
        return;
    }
    // Values of units that reached rows the file already holds.
    for (int u = 0; u < UNIT_COUNT; ++u) {
        const UnitRecord& unit = store.Units[u];
        const int32_t upTo = std::min(unit.DataCount, writer_.Rows());
        for (int32_t r = valuesWritten_[u]; r < upTo; ++r) {
            // The file holds the missing value there already.
            if (unit.Data[r] != NO_DATA_VALUE) {
                if (!Check(writer_.WriteValue(r, u, unit.Data[r]))) {
                    return;
                }
                dirty_ = true;
            }
        }
        valuesWritten_[u] = std::max(valuesWritten_[u], upTo);
    }
    const int32_t rows = std::min(store.SampleCount, MAX_SAMPLES);
    if (rows > writer_.Rows()) {
        if (!Check(writer_.AppendRows(store, writer_.Rows(), rows))) {
            return;
        }
        dirty_ = true;
        for (int u = 0; u < UNIT_COUNT; ++u) {
            valuesWritten_[u] = std::min(store.Units[u].DataCount, rows);
        }
    }
    if (dirty_ && nowMs_() - lastSyncMs_ >= kSyncPeriodMs) {
        RequestSync();
    }
}

void RunJournal::End(const MeasurementStore& store) {
    if (!writer_.IsOpen()) {
        return;
    }
    Append(store);
    if (!writer_.IsOpen()) {
        return;
    }
    if (writer_.Rows() == 0) {
        // Nothing was measured: nothing to keep.
        Close();
        QFile::remove(Path());
        return;
    }
    // The finished journal carries its row count like any saved file.
    if (!Check(writer_.WriteRowCount())) {
        return;
    }
    // The last flush waits: the run is over and its end must be on the disk.
    const int pending = flusher_ ? flusher_->Wait() : 0;
    if (pending != 0) {
        Fail(QStringLiteral("%1 をディスクに書き込めません（%2）。")
                 .arg(Path(), SystemError(pending)));
        return;
    }
    if (!Check(writer_.Sync())) {
        return;
    }
    Close();
}

void RunJournal::DataSaved(const MeasurementStore& store) {
    if (unavailable_.isEmpty() && Holds(store) && !writer_.IsOpen()) {
        QFile::remove(Path());
    }
}

void RunJournal::DataDiscarded(const MeasurementStore& store) {
    // Whatever cannot be moved stays where it is and is offered at the next start.
    if (unavailable_.isEmpty() && Holds(store) && !writer_.IsOpen() && QFileInfo::exists(Path())) {
        MoveToUnsaved();
    }
}

void RunJournal::Fail(const QString& reason) {
    Close();
    messages_.notify(FailureText(reason), QStringLiteral("Message"), MsgIcon::Error);
}

bool RunJournal::Check(const std::optional<QString>& error) {
    if (error) {
        Fail(*error);
        return false;
    }
    return true;
}

void RunJournal::RequestSync() {
    if (!flusher_) {
        flusher_ = std::make_unique<Flusher>();
    }
    flusher_->Request(writer_.Handle());
    ++syncRequests_;
    dirty_ = false;
    lastSyncMs_ = nowMs_();
}

bool RunJournal::CheckSync() {
    if (const int error = flusher_ ? flusher_->TakeError() : 0) {
        Fail(QStringLiteral("%1 をディスクに書き込めません（%2）。")
                 .arg(Path(), SystemError(error)));
        return false;
    }
    return true;
}

void RunJournal::Close() {
    if (writer_.IsOpen()) {
        // Never leave a flush running on a descriptor that is about to be closed.
        if (flusher_) {
            flusher_->Wait();
        }
        writer_.Close();
    }
}

} // namespace k12
