// SPDX-License-Identifier: GPL-3.0-or-later
#include "data_files/RunJournal.h"

#include "data_files/FileCommon.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <unistd.h>
#include <utility>

namespace k12 {

namespace {

const QString kJournalName = QStringLiteral("current-run");
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
    return error != 0
               ? QCoreApplication::translate("RunJournal", "フォルダ %1 を作成できません（%2）。")
                     .arg(folder, SystemError(error))
               : QCoreApplication::translate("RunJournal", "フォルダ %1 を作成できません。")
                     .arg(folder);
}

} // namespace

// The file's side on the journal's queue: only the queue touches the writer.
struct JournalFile::Io {
    DataFileWriter writer;
    std::mutex mutex;
    // The first failure; nothing more is written once it is set.
    std::optional<QString> failure;

    bool Failed() {
        const std::lock_guard lock(mutex);
        return failure.has_value();
    }
    void Run(const std::optional<QString>& error) {
        if (error) {
            const std::lock_guard lock(mutex);
            failure = *error;
            writer.Close();
        }
    }
};

QString RunJournal::DefaultFolder() {
    QString base = qEnvironmentVariable("XDG_STATE_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base)) {
        base = QDir::homePath() + QStringLiteral("/.local/state");
    }
    return base + QStringLiteral("/K12INC");
}

RunJournal::RunJournal(QString folder, MessageBox& messages, std::function<qint64()> nowMs,
                       std::unique_ptr<TaskQueue> queue)
    : folder_(std::move(folder)), messages_(messages), nowMs_(std::move(nowMs)),
      queue_(std::move(queue)) {
    if (!nowMs_) {
        nowMs_ = [timer = std::make_shared<QElapsedTimer>()] {
            if (!timer->isValid()) {
                timer->start();
            }
            return timer->elapsed();
        };
    }
    if (!queue_) {
        queue_ = std::make_unique<ThreadTaskQueue>();
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
            unavailable_ =
                QCoreApplication::translate("RunJournal", "別の k12inc が一時保存を使用中です。");
        } else {
            // QLockFile keeps the system's reason to itself: ask the system again.
            const int fd = ::open(QFile::encodeName(lockPath).constData(),
                                  O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
            const int error = fd < 0 ? errno : 0;
            if (fd >= 0) {
                ::close(fd);
            }
            unavailable_ =
                QCoreApplication::translate("RunJournal",
                                            "ロックファイル %1 を作成できません（%2）。")
                    .arg(lockPath, error != 0
                                       ? SystemError(error)
                                       : QCoreApplication::translate("RunJournal", "不明な理由"));
        }
        lock_.reset();
    }
}

RunJournal::~RunJournal() {
    // Files still open are the engine's; what was asked of the disk is done before the lock goes.
    queue_.reset();
}

QString RunJournal::FailureText(const QString& reason) {
    return QCoreApplication::translate("RunJournal", "測定データの一時保存ができません。") +
           QLatin1Char('\n') + reason;
}

QString RunJournal::Path(int piece) const {
    return folder_ + QLatin1Char('/') + kJournalName +
           (piece <= 1 ? QString() : QStringLiteral("-%1").arg(piece)) + QStringLiteral(".zr5");
}

QString RunJournal::UnsavedFolder() const {
    return folder_.isEmpty() ? QString() : folder_ + QStringLiteral("/unsaved");
}

QStringList RunJournal::Files() const {
    QStringList files;
    const QDir dir(folder_);
    for (const QString& name :
         dir.entryList({kJournalName + QStringLiteral("*.zr5")}, QDir::Files, QDir::Name)) {
        files << dir.filePath(name);
    }
    std::stable_sort(files.begin(), files.end(), [](const QString& a, const QString& b) {
        return HeaderStartTime(a) < HeaderStartTime(b);
    });
    return files;
}

std::optional<RunJournal::Leftover> RunJournal::FindLeftover() {
    if (!unavailable_.isEmpty()) {
        return std::nullopt;
    }
    Drain();
    QStringList files = Files();
    std::optional<Leftover> offered;
    for (qsizetype k = files.size() - 1; k >= 0 && !offered; --k) {
        const DataFileParse parsed = ParseDataFile(files[k]);
        if (const auto* content = std::get_if<DataFileContent>(&parsed)) {
            offered = Leftover{files.takeAt(k), content->StartTime,
                               static_cast<int32_t>(content->Rows.size())};
        }
    }
    // Older pieces, and what cannot be read back, are kept where the operator finds them.
    for (const QString& path : files) {
        if (const auto error = SetAside(path)) {
            messages_.show(FailureText(*error), QStringLiteral("Message"), MsgButtons::Ok,
                           MsgIcon::Error);
        }
    }
    leftover_ = offered ? offered->path : QString();
    return offered;
}

std::optional<QString> RunJournal::MoveToUnsaved() {
    if (leftover_.isEmpty()) {
        return std::nullopt;
    }
    return SetAside(std::exchange(leftover_, QString()));
}

std::optional<QString> RunJournal::SetAside(const QString& path) {
    const QString target = UnsavedFolder();
    if (!QDir().mkpath(target)) {
        return QCoreApplication::translate("RunJournal", "フォルダ %1 を作成できません。")
            .arg(target);
    }
    QDateTime started = HeaderStartTime(path);
    if (!started.isValid()) {
        started = QFileInfo(path).lastModified();
    }
    const QString name =
        started.toString(QStringLiteral("yyyyMMdd-HHmmss")) + QStringLiteral(".zr5");
    QFile journal(path);
    for (;;) {
        const QString free = files::FreeFilePath(target, name);
        // rename() never replaces an existing file.
        if (journal.rename(free)) {
            Forget(path);
            return std::nullopt;
        }
        // Another program took the name meanwhile: the next one.
        if (!files::FileNameTaken(free)) {
            return QCoreApplication::translate("RunJournal", "%1 を %2 に移動できません（%3）。")
                .arg(path, free, journal.errorString());
        }
    }
}

void RunJournal::BeforeErase(const MeasurementStore& store) {
    blocked_ = false;
    if (!unavailable_.isEmpty()) {
        return;
    }
    Drain();
    for (const QString& path : Files()) {
        const Kept* kept = Find(path);
        if (kept && kept->open) {
            continue;
        }
        if (kept && kept->dataId == store.DataId) {
            if (!QFile::remove(path)) {
                blocked_ = true;
                Fail(QCoreApplication::translate("RunJournal", "%1 を削除できません。").arg(path));
            }
            Forget(path);
        } else if (const auto error = SetAside(path)) {
            blocked_ = true;
            Fail(*error);
        }
    }
}

std::unique_ptr<JournalFile> RunJournal::Open(const MeasurementStore& store, int piece) {
    if (!unavailable_.isEmpty()) {
        if (!unavailableTold_) {
            unavailableTold_ = true;
            Fail(unavailable_);
        }
        return nullptr;
    }
    if (blocked_) {
        return nullptr;
    }
    std::unique_ptr<JournalFile> file(new JournalFile(*this, Path(piece)));
    Forget(file->path_);
    kept_.push_back({file->path_, store.DataId, true});
    file->open_ = true;
    std::optional<DataFileError> error;
    auto header = DataFileHeader(DataFileHead::Of(store), 0, file->path_, error);
    if (!header) {
        file->Close();
        Fail(error ? error->message : file->path_);
        return nullptr;
    }
    file->Post([path = file->path_, head = DataFileHead::Of(store)](JournalFile::Io& io) {
        io.Run(io.writer.Create(path, head));
    });
    file->RequestSync();
    return file;
}

void RunJournal::DataSaved(quint64 dataId) {
    if (!unavailable_.isEmpty()) {
        return;
    }
    for (auto it = kept_.begin(); it != kept_.end();) {
        if (it->dataId == dataId && !it->open) {
            queue_->Post([path = it->path] { QFile::remove(path); });
            it = kept_.erase(it);
        } else {
            ++it;
        }
    }
}

void RunJournal::DataDiscarded(const MeasurementStore& store) {
    if (!unavailable_.isEmpty()) {
        return;
    }
    Drain();
    std::vector<QString> paths;
    for (const Kept& k : kept_) {
        if (k.dataId == store.DataId && !k.open && QFileInfo::exists(k.path)) {
            paths.push_back(k.path);
        }
    }
    // Whatever cannot be moved stays where it is and is offered at the next start.
    for (const QString& path : paths) {
        SetAside(path);
    }
}

void RunJournal::DataRecovered(const MeasurementStore& store) {
    if (leftover_.isEmpty()) {
        return;
    }
    Forget(leftover_);
    kept_.push_back({std::exchange(leftover_, QString()), store.DataId, false});
}

bool RunJournal::Writing() const {
    return std::any_of(kept_.begin(), kept_.end(), [](const Kept& k) { return k.open; });
}

void RunJournal::Drain() {
    queue_->Drain();
}

void RunJournal::Fail(const QString& reason) {
    messages_.notify(FailureText(reason), QStringLiteral("Message"), MsgIcon::Error);
}

void RunJournal::Forget(const QString& path) {
    kept_.erase(
        std::remove_if(kept_.begin(), kept_.end(), [&](const Kept& k) { return k.path == path; }),
        kept_.end());
}

RunJournal::Kept* RunJournal::Find(const QString& path) {
    const auto it =
        std::find_if(kept_.begin(), kept_.end(), [&](const Kept& k) { return k.path == path; });
    return it == kept_.end() ? nullptr : &*it;
}

// ---- one piece's file ----

JournalFile::JournalFile(RunJournal& owner, QString path)
    : owner_(owner), path_(std::move(path)), io_(std::make_shared<Io>()) {}

JournalFile::~JournalFile() {
    Close();
}

bool JournalFile::IsOpen() const {
    return open_;
}

void JournalFile::Post(std::function<void(Io&)> operation) {
    owner_.queue_->Post([io = io_, op = std::move(operation)] {
        if (!io->Failed()) {
            op(*io);
        }
    });
}

bool JournalFile::Healthy() {
    if (!open_) {
        return false;
    }
    std::optional<QString> failure;
    {
        const std::lock_guard lock(io_->mutex);
        failure = io_->failure;
    }
    if (failure) {
        Close();
        owner_.Fail(*failure);
        return false;
    }
    return true;
}

void JournalFile::Append(const MeasurementStore& store) {
    if (!Healthy()) {
        return;
    }
    // The lowest row that changed: a new row, or a value of a unit that reached a row the file
    // already holds (its hole there is written over). The rows from it on go in one write.
    const int32_t rows = std::max(rows_, std::min(store.SampleCount, MAX_SAMPLES));
    int32_t from = rows;
    for (int u = 0; u < UNIT_COUNT; ++u) {
        const UnitRecord& unit = store.Units[u];
        const int32_t upTo = std::min(unit.DataCount, rows_);
        for (int32_t r = valuesWritten_[u]; r < upTo && r < from; ++r) {
            if (unit.Data[r] != NO_DATA_VALUE) {
                from = r;
            }
        }
        valuesWritten_[u] = std::max(valuesWritten_[u], std::min(unit.DataCount, rows));
    }
    from = std::min(from, rows_);
    if (from < rows) {
        QByteArray bytes;
        AppendDataFileRows(bytes, store, from, rows);
        Post(
            [from, bytes = std::move(bytes)](Io& io) { io.Run(io.writer.WriteRows(from, bytes)); });
        rows_ = rows;
        dirty_ = true;
    }
    if (dirty_ && owner_.nowMs_() - lastSyncMs_ >= kSyncPeriodMs) {
        RequestSync();
    }
    // Told at once when the queue has already run into trouble.
    Healthy();
}

void JournalFile::End(const MeasurementStore& store) {
    Append(store);
    if (!open_) {
        return;
    }
    if (rows_ == 0) {
        // Nothing was measured: nothing to keep.
        Post([path = path_](Io& io) {
            io.writer.Close();
            QFile::remove(path);
        });
        Close();
        owner_.Forget(path_);
        return;
    }
    // The finished file carries its row count like any saved file, and is on the disk.
    Post([](Io& io) {
        io.Run(io.writer.WriteRowCount());
        if (!io.Failed()) {
            io.Run(io.writer.Sync());
        }
        io.writer.Close();
    });
    Close();
}

void JournalFile::RequestSync() {
    Post([path = path_](Io& io) {
        if (io.writer.IsOpen() && ::fdatasync(io.writer.Handle()) != 0) {
            io.Run(
                QCoreApplication::translate("RunJournal", "%1 をディスクに書き込めません（%2）。")
                    .arg(path, SystemError()));
        }
    });
    ++syncRequests_;
    dirty_ = false;
    lastSyncMs_ = owner_.nowMs_();
}

void JournalFile::Close() {
    if (!open_) {
        return;
    }
    open_ = false;
    if (RunJournal::Kept* kept = owner_.Find(path_)) {
        kept->open = false;
    }
    // A file abandoned without End (a failure) is closed on the queue, after what came before.
    owner_.queue_->Post([io = io_] { io->writer.Close(); });
}

} // namespace k12
