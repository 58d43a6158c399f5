// SPDX-License-Identifier: GPL-3.0-or-later
#include "acquisition/RunRows.h"

#include <QCoreApplication>
#include <QStringList>
#include <algorithm>
#include <climits>
#include <utility>

namespace k12 {

void RunRows::Start(int32_t pieceRows, const std::array<bool, UNIT_COUNT>& inUse) {
    pieceRows_ = pieceRows;
    current_ = 0;
    closing_ = false;
    sealedEnd_ = 0;
    units_ = {};
    for (size_t i = 0; i < UNIT_COUNT; ++i) {
        units_[i].inUse = inUse[i];
    }
}

int32_t RunRows::CountIn(int piece, int unit) const {
    return static_cast<int32_t>(std::clamp<qint64>(Next(unit) - PieceStart(piece), 0, pieceRows_));
}

qint64 RunRows::RowCount() const {
    qint64 rows = 0;
    for (const Unit& u : units_) {
        if (u.inUse) {
            rows = std::max(rows, u.next);
        }
    }
    return rows;
}

RunRows::Place RunRows::Where(qint64 row) const {
    const qint64 start = PieceStart(current_);
    if (row < sealedEnd_) {
        return {Slot::Sealed, 0};
    }
    if (row < start) {
        return {Slot::Closing, static_cast<int32_t>(row - PieceStart(current_ - 1))};
    }
    if (row < start + pieceRows_) {
        return {Slot::Current, static_cast<int32_t>(row - start)};
    }
    return {Slot::Ahead, 0};
}

qint64 RunRows::Upcoming(int unit) const {
    const Unit& u = at(unit);
    return u.returnTo ? std::max(u.next, u.returnTo->row) : u.next;
}

RunRows::Place RunRows::Take(int unit, const QString* holeReason) {
    Unit& u = at(unit);
    if (u.returnTo) {
        const Return back = *std::exchange(u.returnTo, std::nullopt);
        if (back.row > u.accounted) {
            Count(u, back.reason, back.row - u.accounted);
            u.accounted = back.row;
        }
        u.next = std::max(u.next, back.row);
    }
    const Place place = Where(u.next);
    if (holeReason && u.next >= u.accounted) {
        Count(u, *holeReason, 1);
    }
    ++u.next;
    u.accounted = std::max(u.accounted, u.next);
    return place;
}

void RunRows::ReturnAt(int unit, qint64 row, const QString& reason) {
    Unit& u = at(unit);
    if (row > u.next) {
        u.returnTo = Return{row, reason};
    }
}

void RunRows::Cut() {
    closing_ = true;
    ++current_;
}

void RunRows::Seal(const Why& why) {
    if (!closing_) {
        return;
    }
    sealedEnd_ = PieceStart(current_);
    AccountTo(sealedEnd_, why);
    closing_ = false;
}

void RunRows::End(const Why& why) {
    AccountTo(RowCount(), why);
}

void RunRows::AccountTo(qint64 end, const Why& why) {
    for (int i = 0; i < UNIT_COUNT; ++i) {
        Unit& u = at(i);
        if (!u.inUse || u.accounted >= end) {
            continue;
        }
        if (const auto reason = why(i)) {
            Count(u, *reason, end - u.accounted);
        }
        u.accounted = end;
    }
}

qint64 RunRows::HoleCount(int unit) const {
    qint64 n = 0;
    for (const Holes& h : HolesOf(unit)) {
        n += h.count;
    }
    return n;
}

void RunRows::Count(Unit& u, const QString& reason, qint64 n) {
    const auto it = std::find_if(u.holes.begin(), u.holes.end(),
                                 [&](const Holes& h) { return h.reason == reason; });
    if (it != u.holes.end()) {
        it->count += n;
    } else {
        u.holes.push_back({reason, n});
    }
}

QString MissedSummary(const RunRows& rows) {
    QStringList lines;
    for (int i = 0; i < UNIT_COUNT; ++i) {
        for (const RunRows::Holes& h : rows.HolesOf(i)) {
            const int count = static_cast<int>(std::min<qint64>(h.count, INT_MAX));
            lines << QCoreApplication::translate("RunEngine", "%1台目: %n件（%2）", nullptr, count)
                         .arg(i + 1)
                         .arg(h.reason);
        }
    }
    return lines.join(QLatin1Char('\n'));
}

} // namespace k12
