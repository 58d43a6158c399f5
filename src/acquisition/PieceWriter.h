// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "measurement/MeasurementStore.h"
#include "platform/TaskQueue.h"

#include <QString>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace k12 {

// Writes a run's pieces away from its steps: a slow USB stick or network folder may take seconds
// for a piece, which no step may wait for. A piece goes into the save folder or, when that fails,
// into the folder kept for rows that could not be saved elsewhere.
class PieceWriter {
  public:
    struct Piece {
        int number = 0;
        QString name;
        QString folder;
        // Where the piece goes when the folder fails; empty: nowhere else.
        QString asideFolder;
        std::unique_ptr<MeasurementStore> store;
    };
    struct Done {
        int number = 0;
        quint64 dataId = 0;
        int32_t rows = 0;
        // The file written; empty when the piece could be kept nowhere.
        QString path;
        // Why the save folder failed (the piece may still have gone aside).
        QString failure;
        // The piece's rows, handed back when they could be kept nowhere.
        std::unique_ptr<MeasurementStore> store;
    };

    // `queue` runs the writes; the default is a thread of the writer's own.
    explicit PieceWriter(std::unique_ptr<TaskQueue> queue = {});
    ~PieceWriter();
    PieceWriter(const PieceWriter&) = delete;
    PieceWriter& operator=(const PieceWriter&) = delete;

    void Write(Piece piece);
    // The pieces finished since the last call, in the order they were given.
    std::vector<Done> TakeDone();
    // Waits until every piece given so far is finished.
    void Drain() { queue_->Drain(); }

  private:
    static Done Save(Piece& piece);

    std::unique_ptr<TaskQueue> queue_;
    std::shared_ptr<std::mutex> mutex_;
    std::shared_ptr<std::vector<Done>> done_;
};

} // namespace k12
