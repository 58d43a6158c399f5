// The main window's hot paths with the real chart, offscreen, at the window's own chart size:
// the device-timer step (logs, current values, scroll, whole-chart batch) followed by a replot,
// with a full store and with 100 rows, and reading plus replaying a full dedicated file.
//
// As a reference, the same steps are timed, interleaved with ours, on a plain QCustomPlot of the
// chart's size with the chart's four pens, using the library's own real-time idiom: addData one
// point per graph, set the X range, replot, with its default adaptive sampling.
#include "BenchUtil.h"
#include "MainWindowRig.h"

#include <QTemporaryDir>

using namespace k12;
using namespace k12::bench;

namespace {

constexpr int kStepRuns = 31;
constexpr int kReadRuns = 7;

// The reference: nothing but what QCustomPlot offers by default.
class ReferencePlot {
  public:
    explicit ReferencePlot(const QCustomPlot& like) {
        plot_.resize(like.size());
        for (int g = 0; g < like.graphCount(); ++g) {
            plot_.addGraph()->setPen(like.graph(g)->pen());
        }
        plot_.yAxis->setRange(-180.0, 180.0);
        plot_.show();
    }

    // Rows 0..rows-1 of every graph, as a run that has gone on so far holds them.
    void fill(int32_t rows) {
        for (int g = 0; g < plot_.graphCount(); ++g) {
            QVector<double> keys(rows);
            QVector<double> values(rows);
            for (int32_t r = 0; r < rows; ++r) {
                keys[r] = 0.1 * (r + 1);
                values[r] = Sample(g, r);
            }
            plot_.graph(g)->setData(keys, values, true);
        }
        plot_.replot(QCustomPlot::rpImmediateRefresh);
    }

    // One real-time step: the next row of every graph, the range, a replot.
    [[gnu::noinline]] void step(int32_t row, std::pair<double, double> xRange) {
        for (int g = 0; g < plot_.graphCount(); ++g) {
            plot_.graph(g)->addData(0.1 * (row + 1), Sample(g, row));
        }
        plot_.xAxis->setRange(xRange.first, xRange.second);
        plot_.replot(QCustomPlot::rpImmediateRefresh);
    }

    int32_t rows() const { return plot_.graphCount() ? plot_.graph(0)->dataCount() : 0; }

  private:
    QCustomPlot plot_;
};

struct StepTimings {
    Timing whole; // step then replot
    Timing step;
    Timing replot;
    Timing reference;
};

// One device-timer step of ours with the replot it asks for (a function of its own so that a
// profile shows its cost per call).
[[gnu::noinline]] void OurStep(MainWindowRig& rig, Samples& step, Samples& replot) {
    step.start();
    FormMainTestAccess::DevTimerStep(*rig.form);
    step.stop();
    replot.start();
    rig.plot().replot(QCustomPlot::rpImmediateRefresh);
    replot.stop();
}

// Device-timer steps, each taking one new reading per unit, ending with `lastRows` rows; the
// reference takes the same rows, one step after each of ours.
StepTimings StepUntil(MainWindowRig& rig, ReferencePlot& ref, int32_t lastRows) {
    const int32_t start = lastRows - kStepRuns - 1;
    rig.fill(start);
    rig.form->InitGraphParam(true);
    // The window a live run has reached at this row count.
    for (int32_t k = 1; k <= start; ++k) {
        rig.md->SampleCount = k;
        FormMainTestAccess::ScrollAxesX(*rig.form);
    }
    if (!rig.startStreaming()) {
        std::fprintf(stderr, "streaming did not start\n");
        return {};
    }
    ref.fill(start);
    // Untimed warm-up step: the chart takes over the new store once.
    int32_t row = start;
    ref.step(row, rig.chart.axisRange(ChartAxis::X));
    rig.deliverOneReading(row++);
    FormMainTestAccess::DevTimerStep(*rig.form);
    rig.plot().replot(QCustomPlot::rpImmediateRefresh);
    Samples whole;
    Samples step;
    Samples replot;
    Samples reference;
    for (int i = 0; i < kStepRuns; ++i) {
        // The queued replot the step asked for is the one timed below; drop the duplicate.
        QApplication::processEvents();
        rig.deliverOneReading(row);
        whole.start();
        OurStep(rig, step, replot);
        whole.stop();
        const auto xRange = rig.chart.axisRange(ChartAxis::X);
        reference.start();
        ref.step(row, xRange);
        reference.stop();
        ++row;
    }
    QApplication::processEvents();
    if (rig.md->SampleCount != lastRows || ref.rows() != lastRows) {
        std::fprintf(stderr, "steps ended with %d and %d rows, expected %d\n", rig.md->SampleCount,
                     ref.rows(), lastRows);
    }
    rig.stopStreaming();
    return {whole.timing(), step.timing(), replot.timing(), reference.timing()};
}

} // namespace

int main(int argc, char** argv) {
    QuietQtWarnings();
    QApplication app(argc, argv);
    SetUpApplication();
    MainWindowRig rig;
    ReferencePlot ref(rig.plot());
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

    const StepTimings full = StepUntil(rig, ref, MAX_SAMPLES - 1);
    const StepTimings small = StepUntil(rig, ref, 100);

    Report("device-timer step + replot, 4 x 87999 rows", full.whole, "< 10 ms");
    Report("  of which the step (logs, values, scroll, batch)", full.step);
    Report("  of which the replot", full.replot);
    Report("device-timer step + replot, 4 x 100 rows", small.whole);
    Report("  of which the step", small.step);
    Report("  of which the replot", small.replot);
    Report("reference: QCustomPlot real-time step, 4 x 87999", full.reference);
    Report("reference: QCustomPlot real-time step, 4 x 100", small.reference);
    ReportRatio("ratio: ours 87999 / ours 100", full.whole.median / small.whole.median, "<= 2");
    ReportRatio("ratio: ours 87999 / reference 87999", full.whole.median / full.reference.median,
                "<= 0.5");
    Report("read + replay full .zr5 (4 x 88000) + replot", read, "< 300 ms");
    for (const auto& m : rig.messages.shown) {
        std::fprintf(stderr, "message shown: %s\n", qPrintable(m.text));
    }
    return readOk && rig.messages.shown.empty() ? 0 : 1;
}
