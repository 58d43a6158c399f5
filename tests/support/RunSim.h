// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>

namespace k12::test::sim {

// A whole run, simulated deterministically: the real engine, drivers, journal and piece writer
// on a fake clock, with simulated units whose every value tells the row it belongs to, under a
// seeded random schedule of faults. Nothing waits real time.
struct SimSetup {
    uint64_t seed = 1;
    bool pcTimer = false;
    // The interval in ms: whole seconds for the PC timer, steps of 100 ms for the device timer.
    int interval = 100;
    int units = 4;
    double days = 2.0;
    // Faults at all (off: a clean run, for benchmarks).
    bool faults = true;
    // Checks what a crash at this many random moments would leave for the next start.
    int crashes = 3;
    // Keeps the pieces and joins them at the end (a long run drops each piece once checked).
    bool join = true;

    // "device 100 ms, 4 units, 2 days, seed 7"
    QString Describe() const;
    // The environment that repeats this setup (K12_SIM=...), and its parse.
    QString Encode() const;
    static bool Decode(const QString& text, SimSetup& setup);
};

struct SimResult {
    // Empty when every check passed.
    QStringList failures;
    qint64 rows = 0;
    int pieces = 0;
    int faults = 0;
    int crashChecks = 0;
    double simulatedSeconds = 0.0;
    double wallSeconds = 0.0;
};

// Runs the setup's whole simulated time and checks it: every value a unit sent while it was up
// is found once, in its row counted from the run's start; every other row is a hole; the
// summary counts each unit's holes; every piece but the last is full and starts where the one
// before ended; the pieces join into the whole run; a crash leaves at most the last second
// unrecovered.
SimResult RunSimulation(const SimSetup& setup);

} // namespace k12::test::sim
