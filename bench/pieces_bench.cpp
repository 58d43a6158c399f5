// SPDX-License-Identifier: GPL-3.0-or-later
// A run going on into pieces (4 units, device timer 100 ms): every step's time while full pieces
// are written to a folder that takes 5 s per piece (a slow USB stick), against an ordinary step,
// and the memory after three pieces. The journal and the pieces go to the build's disk on
// threads of their own, as in the program.
#include "BenchUtil.h"
#include "EngineRig.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <sys/resource.h>
#include <thread>

using namespace k12;
using namespace k12::bench;

namespace {

constexpr int kPieces = 3;
constexpr int kWriteMs = 5000;
// Rows the store holds when a piece's last ordinary steps begin.
constexpr int32_t kFilled = MAX_SAMPLES - 10;

double PeakRssMb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

// A folder that takes seconds per piece.
class SlowFolder final : public TaskQueue {
  public:
    void Post(std::function<void()> task) override {
        queue_.Post([task = std::move(task)] {
            std::this_thread::sleep_for(std::chrono::milliseconds(kWriteMs));
            task();
        });
    }
    void Drain() override { queue_.Drain(); }

  private:
    ThreadTaskQueue queue_;
};

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
                        {.stateFolder = state.path(),
                         .threadedDisk = true,
                         .pieceQueue = [] { return std::make_unique<SlowFolder>(); }});
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
    Samples writing;
    double slowest = 0.0;
    double rssAfterFirst = 0.0;
    bool ok = true;
    for (int p = 0; p < kPieces; ++p) {
        // The rows a run would have stored and journaled by now.
        for (UnitRecord& u : rig.md.Units) {
            for (int32_t r = u.DataCount; r < kFilled; ++r) {
                u.Data[size_t(r)] = float(std::fmod(0.01 * r, 180.0));
            }
        }
        rig.fillRows(kFilled);
        for (int32_t r = kFilled; r < MAX_SAMPLES; ++r) {
            deliver();
            rig.clock.advance(RunEngine::DEVICE_STEP_MS);
            ordinary.start();
            const RunReport report = rig.engine.DevTimerTick();
            ordinary.stop();
            ok = ok && !report.ended && !report.pieceStarted;
        }
        // The cut, then steps every 10 ms of real time until the slow folder has the piece.
        bool written = false;
        QElapsedTimer waited;
        waited.start();
        while (!written && waited.elapsed() < 3 * kWriteMs) {
            deliver();
            rig.clock.advance(RunEngine::DEVICE_STEP_MS);
            QElapsedTimer step;
            step.start();
            writing.start();
            const RunReport report = rig.engine.DevTimerTick();
            writing.stop();
            slowest = std::max(slowest, double(step.nsecsElapsed()) / 1e6);
            written = !report.piecesWritten.empty();
            ok = ok && !report.ended && report.notices.empty();
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ok = ok && written;
        if (p == 0) {
            rssAfterFirst = PeakRssMb();
        }
    }
    rig.engine.Stop();
    ok = ok && QDir(pieces.path()).entryList(QDir::Files).size() == kPieces + 1;

    ReportValue("slowest step while a full piece (4 x 88000) is written, 5 s a piece", slowest,
                "ms", "<= 2");
    Timing during = writing.timing();
    during.median *= 1000.0;
    during.min *= 1000.0;
    during.cpu *= 1000.0;
    Report("device-timer step while a piece is written", during, "", "us");
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
