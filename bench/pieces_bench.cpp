// SPDX-License-Identifier: GPL-3.0-or-later
// A run going on into pieces: the device-timer step that writes a full piece (4 x 88000 rows) and
// starts the next, against an ordinary step of the same run, and the memory after three pieces.
// The pieces and the journal are written on the build's disk, not /tmp, which may be in memory.
#include "BenchUtil.h"
#include "EngineRig.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <cmath>
#include <sys/resource.h>

using namespace k12;
using namespace k12::bench;

namespace {

constexpr int kPieces = 3;
// Rows the store holds when a piece's last ordinary steps begin.
constexpr int32_t kFilled = MAX_SAMPLES - 10;

double PeakRssMb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QString base = QCoreApplication::applicationDirPath();
    QTemporaryDir pieces(base + QStringLiteral("/pieces-bench-XXXXXX"));
    QTemporaryDir state(base + QStringLiteral("/pieces-bench-state-XXXXXX"));
    test::EngineRig rig({.units = {0, 1, 2, 3},
                         .pcTimer = false,
                         .interval = 100,
                         .continueWhenFull = true,
                         .saveFolder = pieces.path()},
                        {.stateFolder = state.path()});
    if (rig.start().ended) {
        std::fprintf(stderr, "the run did not start\n");
        return 1;
    }
    int32_t reading = 0;
    const auto deliver = [&rig, &reading] {
        for (int u = 0; u < UNIT_COUNT; ++u) {
            rig.receive(u, {std::fmod(0.01 * reading + u, 180.0)});
        }
        ++reading;
    };

    Samples ordinary;
    Samples cut;
    double rssAfterFirst = 0.0;
    bool ok = true;
    for (int p = 0; p < kPieces; ++p) {
        // The rows a run would have stored and journaled by now.
        for (UnitRecord& u : rig.md.Units) {
            for (int32_t r = u.DataCount; r < kFilled; ++r) {
                u.Data[size_t(r)] = float(std::fmod(0.01 * r, 180.0));
            }
            u.DataCount = kFilled;
        }
        rig.md.SampleCount = kFilled;
        rig.engine.RowsFilledForTest(kFilled);
        for (int32_t r = kFilled; r < MAX_SAMPLES - 1; ++r) {
            deliver();
            rig.clock.advance(RunEngine::DEVICE_STEP_MS);
            ordinary.start();
            const RunReport report = rig.engine.DevTimerTick();
            ordinary.stop();
            ok = ok && !report.ended && !report.pieceStarted;
        }
        deliver();
        rig.clock.advance(RunEngine::DEVICE_STEP_MS);
        cut.start();
        const RunReport report = rig.engine.DevTimerTick();
        cut.stop();
        ok = ok && report.pieceStarted && !report.ended && report.notices.empty();
        if (p == 0) {
            rssAfterFirst = PeakRssMb();
        }
    }
    rig.engine.Stop();
    ok = ok && QDir(pieces.path()).entryList(QDir::Files).size() == kPieces;

    Report("device-timer step writing a full piece (4 x 88000) and starting the next", cut.timing(),
           "< 100");
    Timing step = ordinary.timing();
    step.median *= 1000.0;
    step.min *= 1000.0;
    step.cpu *= 1000.0;
    Report("ordinary device-timer step of the same run", step, "", "us");
    ReportValue("peak memory after the first piece", rssAfterFirst, "MB");
    ReportValue("peak memory after three pieces", PeakRssMb(), "MB");
    if (!ok) {
        std::fprintf(stderr, "the pieces were not written as expected\n");
        return 1;
    }
    return 0;
}
