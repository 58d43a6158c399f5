// SPDX-License-Identifier: GPL-3.0-or-later
// A device-timer step writes only the rows that are new, yet leaves the chart's points exactly as
// writing every stored row again would.
#include "MainWindowRig.h"

#include <QTest>
#include <algorithm>
#include <random>

using namespace k12;
using namespace k12::test;

namespace {

// The points of one chart copied into another.
void CopyPoints(const ChartModel& from, ChartModel& to) {
    to.setSeriesCount(from.seriesCount());
    for (int s = 1; s <= from.seriesCount(); ++s) {
        to.setPointCount(s, from.pointCount(s));
    }
    for (int p = 1; p <= from.rowCount(); ++p) {
        if (const auto x = from.xValue(p)) {
            to.setXValue(p, *x);
        }
        for (int s = 1; s <= from.seriesCount(); ++s) {
            if (const auto y = from.yValue(s, p)) {
                to.setYValue(s, p, *y);
            }
        }
    }
}

// Every stored row written over the chart, row by row, unit by unit.
void WriteEveryRow(const MeasurementStore& md, Chart& c) {
    c.setSeriesCount(UNIT_COUNT);
    const int32_t n = md.SampleCount;
    for (int32_t r = 1; r <= n; ++r) {
        for (int i = 0; i < UNIT_COUNT; ++i) {
            c.setPointCount(i + 1, n);
            const float v = md.Units[i].Data[r - 1];
            if (md.Units[i].Mflag && v != NO_DATA_VALUE) {
                c.setXValue(r, md.IntervalTM / 1000.0 * r);
                c.setYValue(i + 1, r, v);
            }
        }
    }
}

// Empty when both charts hold the same points, else the first difference.
QString Difference(const ChartModel& got, const ChartModel& want) {
    for (int s = 1; s <= UNIT_COUNT; ++s) {
        if (got.pointCount(s) != want.pointCount(s)) {
            return QStringLiteral("series %1 has %2 points, %3 expected")
                .arg(s)
                .arg(got.pointCount(s))
                .arg(want.pointCount(s));
        }
        for (int p = 1; p <= want.pointCount(s); ++p) {
            if (got.xValue(p) != want.xValue(p) || got.yValue(s, p) != want.yValue(s, p)) {
                return QStringLiteral("series %1, point %2").arg(s).arg(p);
            }
        }
    }
    return {};
}

} // namespace

class TestDeviceTimerPlotting : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    // Measurements one after the other, three units delivering unequal numbers of readings
    // (some of them the no-data value), and now and then a point changed by someone else.
    void stepsEqualWritingEveryRow() {
        MainWindowRig h({{0, 2, 3}, false, 200});
        std::mt19937 rng(4711);
        const auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
        double level = 0.0;
        int steps = 0;
        for (int run = 0; run < 40; ++run) {
            h.start();
            QVERIFY(h.form->Timer2().isActive());
            // Short runs too, so that a start's first step often brings more rows than the
            // previous run left in the chart.
            for (int k = pick(3) == 0 ? 1 : 1 + pick(40); k > 0; --k, ++steps) {
                for (int i : {0, 2, 3}) {
                    QByteArrayList lines;
                    for (int n = pick(6) == 0 ? 0 : 2 * pick(5); n > 0; --n) {
                        level = std::clamp(level + std::normal_distribution(0.0, 3.0)(rng), -170.0,
                                           170.0);
                        lines << ReadingLine(pick(10) == 0 ? -999.0 : level).chopped(2);
                    }
                    h.receive(i, lines);
                }
                if (pick(25) == 0 && h.chart.pointCount(1) > 0) {
                    const int p = 1 + pick(h.chart.pointCount(1));
                    h.chart.setXValue(p, -1.0);
                    h.chart.setYValue(1 + pick(UNIT_COUNT), p, 1234.5);
                }
                FakeChart want;
                CopyPoints(h.chart, want);
                h.form->OnTimer2Tick();
                WriteEveryRow(h.md, want);
                const QString diff = Difference(h.chart, want);
                QVERIFY2(
                    diff.isEmpty(),
                    qPrintable(QStringLiteral("run %1, step %2: %3").arg(run).arg(k).arg(diff)));
            }
            h.stop();
        }
        // Nothing but the questions before erasing data.
        for (const auto& m : h.messages.shown) {
            QVERIFY2(m.buttons == MsgButtons::YesNo, qPrintable(m.text));
        }
        QVERIFY(steps > 300);
    }
};

QTEST_MAIN(TestDeviceTimerPlotting)
#include "test_device_timer_plotting.moc"
