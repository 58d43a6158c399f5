// SPDX-License-Identifier: GPL-3.0-or-later
// The holes of a piece closed while a unit lags are counted once, whatever it sends for them
// later (the simulated runs never lag that long; they check every other count).
#include "acquisition/RunRows.h"

#include <QTest>

using namespace k12;

namespace {

const QString kNoReading = QStringLiteral("リターン文字列不正");
const QString kTimeout = QStringLiteral("タイムアウト");

// Units 1 and 2 in use, pieces of 10 rows.
RunRows TwoUnits() {
    RunRows rows;
    rows.Start(10, {true, true, false, false});
    return rows;
}

void Take(RunRows& rows, int unit, int n, const QString* hole = nullptr) {
    for (int k = 0; k < n; ++k) {
        rows.Take(unit, hole);
    }
}

QString Holes(const RunRows& rows, int unit) {
    QStringList parts;
    for (const RunRows::Holes& h : rows.HolesOf(unit)) {
        parts << QStringLiteral("%1 %2").arg(h.count).arg(h.reason);
    }
    return parts.join(QStringLiteral(", "));
}

} // namespace

class TestRunRows : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void lateValuesAfterThePieceIsClosed() {
        RunRows rows = TwoUnits();
        Take(rows, 0, 11); // unit 1 is in piece 2 already
        Take(rows, 1, 6, &kNoReading);
        QCOMPARE(rows.Where(10).slot, RunRows::Slot::Ahead);
        rows.Cut();
        QCOMPARE(rows.Where(9).slot, RunRows::Slot::Closing);
        QCOMPARE(rows.Where(10).row, 0);
        // Closed by time-out with unit 2 at row 6: its rows 6..9 are holes, and what it still
        // sends for them is dropped, counted no second time.
        rows.Seal([](int) { return kTimeout; });
        QCOMPARE(rows.Where(9).slot, RunRows::Slot::Sealed);
        Take(rows, 1, 4, &kNoReading);
        QCOMPARE(rows.Take(1).slot, RunRows::Slot::Current);
        QCOMPARE(Holes(rows, 1), QStringLiteral("6 リターン文字列不正, 4 タイムアウト"));
        QCOMPARE(rows.HoleCount(1), 10);
        QCOMPARE(MissedSummary(rows),
                 QStringLiteral("2台目: 6件（リターン文字列不正）\n2台目: 4件（タイムアウト）"));
    }
};

QTEST_GUILESS_MAIN(TestRunRows)
#include "test_run_rows.moc"
