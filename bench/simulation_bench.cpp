// SPDX-License-Identifier: GPL-3.0-or-later
// The simulated run (tests/support/RunSim): a day at 100 ms with four units under the random
// faults, as fast as it goes; the month in the soak tests takes thirty of these.
#include "BenchUtil.h"
#include "RunSim.h"

#include <QCoreApplication>

using namespace k12::bench;
using namespace k12::test::sim;

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    SimSetup setup;
    setup.seed = 2026;
    setup.days = 1.0;
    setup.crashes = 0;
    setup.join = false;
    const SimResult result = RunSimulation(setup);
    if (!result.failures.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(result.failures.join(QLatin1Char('\n'))));
        return 1;
    }
    ReportValue("simulated day at 100 ms, 4 units, with faults", result.wallSeconds, "s", "<= 10");
    ReportRatio("simulated time per wall-clock second", result.simulatedSeconds / result.wallSeconds,
                ">= 8640");
    return 0;
}
