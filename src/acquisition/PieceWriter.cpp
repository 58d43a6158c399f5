// SPDX-License-Identifier: GPL-3.0-or-later
#include "acquisition/PieceWriter.h"

#include "data_files/DataFile.h"
#include "data_files/FileCommon.h"

#include <QDir>

namespace k12 {

PieceWriter::PieceWriter(std::unique_ptr<TaskQueue> queue)
    : queue_(std::move(queue)), mutex_(std::make_shared<std::mutex>()),
      done_(std::make_shared<std::vector<Done>>()) {
    if (!queue_) {
        queue_ = std::make_unique<ThreadTaskQueue>();
    }
}

PieceWriter::~PieceWriter() {
    queue_.reset();
}

void PieceWriter::Write(Piece piece) {
    // The task owns the piece; a std::function must be copyable, hence the shared pointer.
    auto shared = std::make_shared<Piece>(std::move(piece));
    queue_->Post([shared, mutex = mutex_, done = done_] {
        Done result = Save(*shared);
        const std::lock_guard lock(*mutex);
        done->push_back(std::move(result));
    });
}

std::vector<PieceWriter::Done> PieceWriter::TakeDone() {
    const std::lock_guard lock(*mutex_);
    return std::exchange(*done_, {});
}

PieceWriter::Done PieceWriter::Save(Piece& piece) {
    Done done;
    done.number = piece.number;
    done.dataId = piece.store->DataId;
    done.rows = piece.store->SampleCount;
    QString path = files::FreeFilePath(piece.folder, piece.name);
    const std::optional<DataFileError> failed = WriteDataFile(*piece.store, path);
    if (!failed) {
        done.path = path;
        return done;
    }
    done.failure = failed->message;
    if (!piece.asideFolder.isEmpty() && QDir().mkpath(piece.asideFolder)) {
        path = files::FreeFilePath(piece.asideFolder, piece.name);
        if (!WriteDataFile(*piece.store, path)) {
            done.path = path;
            return done;
        }
    }
    done.store = std::move(piece.store);
    return done;
}

} // namespace k12
