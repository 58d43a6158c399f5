// The main window's hot paths with the real chart, offscreen, at the window's own chart size:
// the device-timer step (logs, current values, scroll, whole-chart batch) followed by a replot,
// with a full store and with 100 rows, and reading plus replaying a full dedicated file.
#include "BenchUtil.h"
#include "MainWindowRig.h"

#include <QTemporaryDir>

using namespace k12;
using namespace k12::bench;

namespace {

constexpr int kStepRuns = 21;
constexpr int kReadRuns = 7;

struct StepTimings {
    Timing whole; // step then replot
    Timing step;
    Timing replot;
};

// Device-timer steps, each taking one new reading per unit, ending with `lastRows` rows.
StepTimings StepUntil(MainWindowRig& rig, int32_t lastRows) {
    const int32_t start = lastRows - kStepRuns - 1;
    rig.fill(start);
    rig.form->InitGraphParam(true);
    if (!rig.startStreaming()) {
        std::fprintf(stderr, "streaming did not start\n");
        return {};
    }
    // Untimed warm-up step: the chart takes over the new store once.
    int32_t row = start;
    rig.deliverOneReading(row++);
    FormMainTestAccess::DevTimerStep(*rig.form);
    rig.plot().replot(QCustomPlot::rpImmediateRefresh);
    Samples whole;
    Samples step;
    Samples replot;
    for (int i = 0; i < kStepRuns; ++i) {
        // The queued replot the step asked for is the one timed below; drop the duplicate.
        QApplication::processEvents();
        rig.deliverOneReading(row++);
        whole.start();
        step.start();
        FormMainTestAccess::DevTimerStep(*rig.form);
        step.stop();
        replot.start();
        rig.plot().replot(QCustomPlot::rpImmediateRefresh);
        replot.stop();
        whole.stop();
    }
    QApplication::processEvents();
    if (rig.md->SampleCount != lastRows) {
        std::fprintf(stderr, "step ended with %d rows, expected %d\n", rig.md->SampleCount,
                     lastRows);
    }
    rig.stopStreaming();
    return {whole.timing(), step.timing(), replot.timing()};
}

} // namespace

int main(int argc, char** argv) {
    QuietQtWarnings();
    QApplication app(argc, argv);
    SetUpApplication();
    MainWindowRig rig;
    std::printf("main window %dx%d, chart widget %dx%d\n", rig.form->width(), rig.form->height(),
                rig.plot().width(), rig.plot().height());

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("full.zr5"));
    rig.fill(MAX_SAMPLES);
    if (!dir.isValid() || !rig.writeFile(path)) {
        return 1;
    }

    const Timing read = Measure(kReadRuns, [&](int) {
        rig.form->ReadFile(path);
        rig.plot().replot(QCustomPlot::rpImmediateRefresh);
    });
    QApplication::processEvents();
    const bool readOk =
        rig.md->SampleCount == MAX_SAMPLES && rig.chart.pointCount(UNIT_COUNT) == MAX_SAMPLES;

    const StepTimings full = StepUntil(rig, MAX_SAMPLES - 1);
    const StepTimings small = StepUntil(rig, 100);

    Report("device-timer step + replot, 4 x 87999 rows", full.whole, "< 10 ms");
    Report("  of which the step (logs, values, scroll, batch)", full.step);
    Report("  of which the replot", full.replot);
    Report("device-timer step + replot, 4 x 100 rows", small.whole);
    Report("  of which the step", small.step);
    Report("  of which the replot", small.replot);
    Report("read + replay full .zr5 (4 x 88000) + replot", read, "< 300 ms");
    for (const auto& m : rig.messages.shown) {
        std::fprintf(stderr, "message shown: %s\n", qPrintable(m.text));
    }
    return readOk && rig.messages.shown.empty() ? 0 : 1;
}
