// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's hot paths with the real chart, offscreen, at the window's own chart size:
// the device-timer step (logs, current values, scroll, whole-chart batch) followed by a replot,
// with a full store and with 100 rows, and reading plus replaying a full dedicated file.
//
// As a reference, the same steps are timed, interleaved with ours, on a plain QCustomPlot of the
// chart's size with the chart's four pens, using the library's own real-time idiom: addData one
// point per graph, set the X range, replot, with its default adaptive sampling.
#include "BenchRig.h"
#include "BenchUtil.h"

#include <QTemporaryDir>

using namespace k12;
using namespace k12::bench;

namespace {

constexpr int kStepRuns = 41;
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

// One device-timer step of ours with the replot it asks for (a function of its own so that a
// profile shows its cost per call).
[[gnu::noinline]] void OurStep(BenchRig& rig, Samples& step, Samples& replot) {
    step.start();
    rig.form->OnTimer2Tick();
    step.stop();
    replot.start();
    rig.plot().replot(QCustomPlot::rpImmediateRefresh);
    replot.stop();
}

// A main window in a device-timer run that ends with `lastRows` rows, and the reference fed the
// same rows. Each run() is one step of both, each taking one new reading per unit.
class StepCase {
  public:
    explicit StepCase(BenchRig& rig) : rig_(rig), ref_(rig.plot()) {}

    bool prepare(int32_t lastRows) {
        lastRows_ = lastRows;
        const int32_t start = lastRows - 2 * kStepRuns - 1;
        rig_.fill(start);
        rig_.form->InitGraphParam(true);
        // The window a live run has reached at this row count.
        for (int32_t k = 1; k <= start; ++k) {
            rig_.md.SampleCount = k;
            FormMainTestAccess::ScrollAxesX(*rig_.form);
        }
        if (!rig_.startStreaming()) {
            std::fprintf(stderr, "streaming did not start\n");
            return false;
        }
        ref_.fill(start);
        // Untimed warm-up step: the chart takes over the new store once.
        row_ = start;
        refRow_ = row_;
        ref_.step(refRow_++, rig_.chart.axisRange(ChartAxis::X));
        rig_.deliverOneReading(row_++);
        rig_.form->OnTimer2Tick();
        rig_.plot().replot(QCustomPlot::rpImmediateRefresh);
        return true;
    }

    // Each timed step follows an untimed one of the same kind, so it finds the caches as a run
    // of steps alone would leave them.
    void run() {
        Samples untimed;
        for (Samples* s : {&untimed, &whole}) {
            // The queued replot the last step asked for is the one timed; drop the duplicate.
            QApplication::processEvents();
            rig_.deliverOneReading(row_++);
            s->start();
            OurStep(rig_, s == &whole ? step : untimed, s == &whole ? replot : untimed);
            s->stop();
        }
        const auto xRange = rig_.chart.axisRange(ChartAxis::X);
        for (Samples* s : {&untimed, &reference}) {
            s->start();
            ref_.step(refRow_++, xRange);
            s->stop();
        }
    }

    bool finish() {
        QApplication::processEvents();
        rig_.stopStreaming();
        if (rig_.md.SampleCount != lastRows_ || ref_.rows() != lastRows_) {
            std::fprintf(stderr, "steps ended with %d and %d rows, expected %d\n",
                         rig_.md.SampleCount, ref_.rows(), lastRows_);
            return false;
        }
        return true;
    }

    Samples whole; // step then replot
    Samples step;
    Samples replot;
    Samples reference;

  private:
    BenchRig& rig_;
    ReferencePlot ref_;
    int32_t lastRows_ = 0;
    int32_t row_ = 0;
    int32_t refRow_ = 0;
};

} // namespace

int main(int argc, char** argv) {
    QuietQtWarnings();
    QApplication app(argc, argv);
    SetUpApplication();
    BenchRig rig;
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
        rig.md.SampleCount == MAX_SAMPLES && rig.chart.pointCount(UNIT_COUNT) == MAX_SAMPLES;

    // Both sizes step in turn, so that a change in the machine's load hits both alike.
    BenchRig smallRig;
    StepCase full(rig);
    StepCase small(smallRig);
    if (!full.prepare(MAX_SAMPLES - 1) || !small.prepare(100)) {
        return 1;
    }
    for (int i = 0; i < kStepRuns; ++i) {
        full.run();
        small.run();
    }
    const bool stepsOk = full.finish() && small.finish();

    const Timing ours = full.whole.timing();
    const Timing oursSmall = small.whole.timing();
    const Timing reference = full.reference.timing();
    Report("device-timer step + replot, 4 x 87999 rows", ours, "< 10 ms");
    Report("  of which the step (logs, values, scroll, batch)", full.step.timing());
    Report("  of which the replot", full.replot.timing());
    Report("device-timer step + replot, 4 x 100 rows", oursSmall);
    Report("  of which the step", small.step.timing());
    Report("  of which the replot", small.replot.timing());
    Report("reference: QCustomPlot real-time step, 4 x 87999", reference);
    Report("reference: QCustomPlot real-time step, 4 x 100", small.reference.timing());
    ReportRatio("ratio: ours 87999 / ours 100", ours.median / oursSmall.median, "<= 2");
    ReportRatio("ratio: ours 87999 / reference 87999", ours.median / reference.median, "<= 0.5");
    Report("read + replay full .zr5 (4 x 88000) + replot", read, "< 300 ms");
    for (const auto& m : rig.messages.shown) {
        std::fprintf(stderr, "message shown: %s\n", qPrintable(m.text));
    }
    return readOk && stepsOk && rig.messages.shown.empty() && smallRig.messages.shown.empty() ? 0
                                                                                              : 1;
}
