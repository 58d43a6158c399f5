// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "measurement/MeasurementStore.h"

#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace k12 {

// Where every value of a run goes. Rows are counted from the run's start; piece p (counted from
// 0) holds the run's rows pieceRows × p to pieceRows × (p + 1) − 1. Each unit in use has a row of
// its own for its next value: units stream at their own pace, come back after a fault at the row
// their time belongs to, and may still be filling the piece behind the store's while it waits to
// be closed. The holes each unit has inside the run are counted here too, with the reason of the
// fault that made them, so that every hole is counted exactly once.
class RunRows {
  public:
    enum class Slot {
        Sealed,  // a piece already closed: the value comes too late and is dropped
        Closing, // the piece behind the store's, still waiting for units that lag
        Current, // the piece the store holds
        Ahead,   // past the store's piece: the store must move on first
    };
    struct Place {
        Slot slot = Slot::Current;
        int32_t row = 0; // within its piece
    };
    struct Holes {
        QString reason;
        qint64 count = 0;
    };
    // The reason a unit's missing rows count for; nullopt when they are no fault of it.
    using Why = std::function<std::optional<QString>(int unit)>;

    void Start(int32_t pieceRows, const std::array<bool, UNIT_COUNT>& inUse);

    int32_t PieceRows() const { return pieceRows_; }
    // The piece the store holds, and whether the one before it is still open.
    int Current() const { return current_; }
    bool HasClosing() const { return closing_; }
    qint64 PieceStart(int piece) const { return qint64(piece) * pieceRows_; }
    // The row after the unit's last value.
    qint64 Next(int unit) const { return at(unit).next; }
    // The row the unit's next value goes to.
    qint64 Upcoming(int unit) const;
    // The unit came back and has not delivered a value since.
    bool Returning(int unit) const { return at(unit).returnTo.has_value(); }
    // The unit's rows in `piece` so far.
    int32_t CountIn(int piece, int unit) const;
    // The run's rows: as far as any unit in use has come.
    qint64 RowCount() const;
    Place Where(qint64 row) const;

    // Places the unit's next value and moves the unit on a row; a hole counts for `holeReason`
    // unless it falls into a piece already closed (its rows were counted then).
    Place Take(int unit, const QString* holeReason = nullptr);
    // A unit coming back: its next value belongs to `row`; the rows it skips are holes, counted
    // when that value comes (until then the unit's last value stays its newest).
    void ReturnAt(int unit, qint64 row, const QString& reason);
    // The store moves on to the next piece; the one it held stays open behind it until Seal.
    void Cut();
    // Closes the piece behind the store's: the rows of it a unit has not reached are holes for
    // `why(unit)`, and whatever the unit still sends for them is dropped.
    void Seal(const Why& why);
    // The run has ended: the rows up to the run's end that a unit has not reached count for
    // `why(unit)` (a unit that was away, not one merely behind).
    void End(const Why& why);

    // The unit's holes inside the run, by reason in the order they first occurred.
    const std::vector<Holes>& HolesOf(int unit) const { return at(unit).holes; }
    qint64 HoleCount(int unit) const;

  private:
    struct Return {
        qint64 row = 0;
        QString reason;
    };
    struct Unit {
        bool inUse = false;
        qint64 next = 0;
        std::optional<Return> returnTo;
        // Every row before it holds a value or is a counted hole.
        qint64 accounted = 0;
        std::vector<Holes> holes;
    };
    Unit& at(int unit) { return units_.at(static_cast<size_t>(unit)); }
    const Unit& at(int unit) const { return units_.at(static_cast<size_t>(unit)); }
    static void Count(Unit& u, const QString& reason, qint64 n);
    // Every unit's rows up to `end` are values or holes counted for `why(unit)` (none: no fault).
    void AccountTo(qint64 end, const Why& why);

    int32_t pieceRows_ = MAX_SAMPLES;
    int current_ = 0;
    bool closing_ = false;
    qint64 sealedEnd_ = 0;
    std::array<Unit, UNIT_COUNT> units_{};
};

// One line per unit and reason with holes, e.g. "1台目: 12件（タイムアウト）"; empty when none.
QString MissedSummary(const RunRows& rows);

} // namespace k12
