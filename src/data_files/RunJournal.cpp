// SPDX-License-Identifier: GPL-3.0-or-later
#include "data_files/RunJournal.h"

#include "data_files/DataFile.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QtEndian>
#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
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
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    QByteArray bytes = file.read(1 << 20); // more than the largest header
    bytes.append(QByteArray(DATA_FILE_ROW_BYTES, '\0'));
    const DataFileParse parsed = ParseDataFileBytes(bytes, path);
    const auto* content = std::get_if<DataFileContent>(&parsed);
    return content == nullptr ? QDateTime()
                              : QDateTime::fromString(content->StartTime.trimmed(),
                                                      QStringLiteral("yyyy/M/d H:m:s"));
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
    if (!QDir().mkpath(folder_)) {
        unavailable_ = QStringLiteral("フォルダ %1 を作成できません。").arg(folder_);
        return;
    }
    lock_ = std::make_unique<QLockFile>(folder_ + QStringLiteral("/journal.lock"));
    // Held for the program's whole life: it must never count as stale while its owner runs.
    lock_->setStaleLockTime(0);
    if (!lock_->tryLock(0)) {
        unavailable_ = lock_->error() == QLockFile::LockFailedError
                           ? QStringLiteral("別の k12inc が一時保存を使用中です。")
                           : QStringLiteral("ロックファイルを作成できません（%1）。").arg(folder_);
        lock_.reset();
    }
}

RunJournal::~RunJournal() {
    Close();
}

QString RunJournal::Path() const {
    return folder_ + QLatin1Char('/') + kJournalName;
}

QString RunJournal::UnsavedFolder() const {
    return folder_ + QStringLiteral("/unsaved");
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
        messages_.show(kCannotKeep + QLatin1Char('\n') + *error, QStringLiteral("Message"),
                       MsgButtons::Ok, MsgIcon::Error);
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
    const QString stem =
        target + QLatin1Char('/') + started.toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QFile journal(Path());
    for (int n = 1; n < 1000; ++n) {
        const QString name =
            stem + (n == 1 ? QString() : QStringLiteral("-%1").arg(n)) + QStringLiteral(".zr5");
        if (QFileInfo::exists(name)) {
            continue;
        }
        // rename() never replaces an existing file.
        if (journal.rename(name)) {
            return std::nullopt;
        }
        if (QFileInfo::exists(name)) {
            continue;
        }
        return QStringLiteral("%1 を %2 に移動できません（%3）。")
            .arg(Path(), name, journal.errorString());
    }
    return QStringLiteral("%1 に空いている名前がありません。").arg(target);
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
    if (QFileInfo::exists(Path())) {
        // The start asked before erasing the store's data, not data that only the journal holds.
        if (current_) {
            if (!QFile::remove(Path())) {
                Fail(QStringLiteral("%1 を削除できません。").arg(Path()));
                return;
            }
        } else if (const auto error = MoveToUnsaved()) {
            Fail(*error);
            return;
        }
    }
    current_ = true;
    rowsWritten_ = 0;
    dirty_ = false;

    MeasurementStore head; // the header fields only: no sample arrays, empty memo lines
    head.StartTime = store.StartTime;
    head.TimerType = store.TimerType;
    head.IntervalTM = store.IntervalTM;
    for (int u = 0; u < UNIT_COUNT; ++u) {
        head.Units[u].ComPort = store.Units[u].ComPort;
    }
    std::optional<DataFileError> error;
    const auto header = DataFileHeader(head, 0, Path(), error);
    if (!header) {
        Fail(error ? error->message : QString());
        return;
    }
    file_.setFileName(Path());
    if (!file_.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
        Fail(QStringLiteral("%1 を作成できません（%2）。").arg(Path(), file_.errorString()));
        return;
    }
    countOffset_ = header->size() - 4;
    if (WriteAll(*header)) {
        RequestSync();
    }
}

void RunJournal::Append(const MeasurementStore& store, int32_t finalRows) {
    if (!file_.isOpen() || !CheckSync()) {
        return;
    }
    finalRows = std::min({finalRows, store.SampleCount, MAX_SAMPLES});
    if (finalRows > rowsWritten_) {
        QByteArray rows;
        AppendDataFileRows(rows, store, rowsWritten_, finalRows);
        if (!WriteAll(rows)) {
            return;
        }
        rowsWritten_ = finalRows;
        dirty_ = true;
    }
    if (dirty_ && nowMs_() - lastSyncMs_ >= kSyncPeriodMs) {
        RequestSync();
    }
}

void RunJournal::End(const MeasurementStore& store) {
    if (!file_.isOpen()) {
        return;
    }
    Append(store, store.SampleCount);
    if (!file_.isOpen()) {
        return;
    }
    if (rowsWritten_ == 0) {
        // Nothing was measured: nothing to keep.
        Close();
        QFile::remove(Path());
        return;
    }
    // The finished journal carries its row count like any saved file.
    char count[4];
    qToLittleEndian<int32_t>(rowsWritten_, count);
    if (::pwrite(file_.handle(), count, sizeof count, countOffset_) != qint64(sizeof count)) {
        Fail(QStringLiteral("%1 に書き込めません（%2）。").arg(Path(), SystemError()));
        return;
    }
    // The last flush waits: the run is over and its end must be on the disk.
    const int pending = flusher_ ? flusher_->Wait() : 0;
    if (pending != 0 || ::fdatasync(file_.handle()) != 0) {
        Fail(QStringLiteral("%1 をディスクに書き込めません（%2）。")
                 .arg(Path(), SystemError(pending != 0 ? pending : errno)));
        return;
    }
    Close();
}

void RunJournal::DataSaved() {
    if (current_ && !file_.isOpen()) {
        QFile::remove(Path());
    }
}

void RunJournal::Fail(const QString& reason) {
    Close();
    messages_.notify(kCannotKeep + QLatin1Char('\n') + reason, QStringLiteral("Message"),
                     MsgIcon::Error);
}

bool RunJournal::WriteAll(const QByteArray& bytes) {
    if (file_.write(bytes) != bytes.size()) {
        Fail(QStringLiteral("%1 に書き込めません（%2）。").arg(Path(), file_.errorString()));
        return false;
    }
    return true;
}

void RunJournal::RequestSync() {
    if (!flusher_) {
        flusher_ = std::make_unique<Flusher>();
    }
    flusher_->Request(file_.handle());
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
    if (file_.isOpen()) {
        // Never leave a flush running on a descriptor that is about to be closed.
        if (flusher_) {
            flusher_->Wait();
        }
        file_.close();
    }
}

} // namespace k12
