// SPDX-License-Identifier: GPL-3.0-or-later
// The real main window, chart and serial ports against four simulated units on
// pseudo-terminals, for the long runs.
#pragma once

#include "MainWindowRig.h"
#include "chart/QcpChart.h"
#include "chart/QcpInclude.h"

namespace k12::test {

// The units stream a reading every 4 ms: 25 per 100 ms collection step, a quarter of a
// driver's ring.
inline constexpr int kStreamPeriodMs = 4;
// Rows the PC-timer run polls for real; the rows before them are put into the store directly
// (polling all 88000 rows of four units over pseudo-terminals takes several minutes).
inline constexpr int32_t kPolledRows = 5000;
// A run that stores nothing new for this long has hung.
inline constexpr qint64 kStallMs = 60000;

// The program as main() wires it, on the real clock, four counters on COM1..COM4; the window
// shown.
struct SoakRig : BasicMainWindowRig<QcpChart> {
    explicit SoakRig(const RunSetup& setup, int streamPeriodMs = kStreamPeriodMs)
        : BasicMainWindowRig(setup, {.simUnits = std::vector(UNIT_COUNT, CounterUnit()),
                                     .streamPeriodMs = streamPeriodMs,
                                     .realClock = true}) {
        form->show();
    }
};

} // namespace k12::test
