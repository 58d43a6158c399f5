// SPDX-License-Identifier: GPL-3.0-or-later
// Times the device-timer plotting path: a batch rewriting every row of four series of up to
// 88000 points, and a full replot at a realistic widget size. Prints medians in milliseconds.
#include "BenchUtil.h"
#include "chart/QcpChart.h"
#include "chart/QcpInclude.h"
#include "platform/Fonts.h"

#include <QApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <functional>
#include <vector>

namespace {

constexpr int kRows = 88000;
constexpr int kSeries = 4;
constexpr int kRuns = 15;

struct Timing {
    double median;
    double min;
    double cpu;
};

double threadCpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

// Wall time (median and minimum) and the median CPU time of this thread, which leaves out the
// time other processes on a busy machine take.
Timing measure(const std::function<void(int)>& run) {
    std::vector<double> ms;
    std::vector<double> cpu;
    for (int i = 0; i < kRuns; ++i) {
        QElapsedTimer t;
        const double c0 = threadCpuMs();
        t.start();
        run(i);
        ms.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
        cpu.push_back(threadCpuMs() - c0);
    }
    std::sort(ms.begin(), ms.end());
    std::sort(cpu.begin(), cpu.end());
    return {ms[ms.size() / 2], ms.front(), cpu[cpu.size() / 2]};
}

constexpr float kNoData = -999.0f;

// Sample arrays as the store keeps them (single floats), one set per variant.
struct Samples {
    std::vector<std::vector<float>> units;
};

Samples makeSamples(int variant) {
    Samples out;
    for (int s = 1; s <= kSeries; ++s) {
        std::vector<float> d(kRows);
        for (int r = 0; r < kRows; ++r) {
            d[static_cast<std::size_t>(r)] =
                r % 1000 == 999 ? kNoData
                                : static_cast<float>(90.0 * std::sin(r * 0.001 * s + variant) + s);
        }
        out.units.push_back(std::move(d));
    }
    return out;
}

// The same call sequence the device-timer step makes: every row, every series, one batch.
void rewriteAll(k12::Chart& c, const Samples& samples, int rows) {
    c.setSeriesCount(kSeries);
    c.beginBatch();
    for (int r = 1; r <= rows; ++r) {
        for (int s = 1; s <= kSeries; ++s) {
            c.setPointCount(s, rows);
            const float v =
                samples.units[static_cast<std::size_t>(s - 1)][static_cast<std::size_t>(r - 1)];
            if (v != kNoData) {
                c.setXValue(r, 0.1 * r);
                c.setYValue(s, r, v);
            }
        }
    }
    c.endBatch();
}

} // namespace

int main(int argc, char** argv) {
    k12::bench::QuietQtWarnings();
    QApplication app(argc, argv);
    k12::RegisterFontSubstitutes();

    k12::QcpChart chart;
    QCustomPlot* plot = chart.plot();
    plot->resize(640, 350);
    plot->show();
    QApplication::processEvents();

    chart.suspendRepaint();
    chart.setSeriesCount(kSeries);
    chart.setSeriesLabels({"1台目", "2台目", "3台目", "4台目"});
    chart.setHeaderText("開始時刻 [ 2024/1/2 3:4:5 ]");
    chart.setHeaderPlacement(3);
    chart.setAxisTitle(k12::ChartAxis::X, "開始からの経過時間（秒）");
    chart.setAxisTitle(k12::ChartAxis::Y, "度");
    chart.setAxisRange(k12::ChartAxis::X, 0.1, 0.1 * kRows);
    chart.setAxisRange(k12::ChartAxis::Y, -180, 180);
    chart.setAxisOrigin(k12::ChartAxis::Y, -180);
    chart.resumeRepaint();
    const Samples a = makeSamples(0);
    const Samples b = makeSamples(1);
    const auto other = [&](int i) -> const Samples& { return i % 2 ? a : b; };
    rewriteAll(chart, a, kRows);
    plot->replot(QCustomPlot::rpImmediateRefresh);

    const Timing changed = measure([&](int i) { rewriteAll(chart, other(i), kRows); });
    const Timing same = measure([&](int) { rewriteAll(chart, a, kRows); });
    // A live tick: one more row, every earlier row rewritten unchanged.
    int rows = kRows - kRuns - 1;
    rewriteAll(chart, a, rows);
    const Timing grow = measure([&](int) { rewriteAll(chart, a, ++rows); });
    const Timing replot = measure([&](int) { plot->replot(QCustomPlot::rpImmediateRefresh); });
    const Timing both = measure([&](int i) {
        rewriteAll(chart, other(i), kRows);
        plot->replot(QCustomPlot::rpImmediateRefresh);
    });

    std::printf("chart benchmark, %d series x %d points, %dx%d widget, %d runs\n", kSeries, kRows,
                plot->width(), plot->height(), kRuns);
    std::printf("                                     median ms   min ms   cpu ms\n");
    const auto line = [](const char* what, Timing t) {
        std::printf("  %-34s %9.2f %8.2f %8.2f\n", what, t.median, t.min, t.cpu);
    };
    line("batch rewrite, all values changed", changed);
    line("batch rewrite, values unchanged", same);
    line("batch rewrite plus one new row", grow);
    line("full replot", replot);
    line("rewrite (all changed) plus replot", both);
    std::printf("BENCH\tchart alone: rewrite 4 x %d + replot\t%.2f\t%.2f\t%.2f\t%d\tms"
                "\t< 10 ms\n",
                kRows, both.median, both.min, both.cpu, kRuns);
    return 0;
}
