// SPDX-License-Identifier: GPL-3.0-or-later
// The thinned line kept between draws equals a thinning from scratch, whatever the points, the
// visible window and the widget's size did in between.
#include "chart/LineThinning.h"
#include "chart/QcpChart.h"
#include "chart/QcpInclude.h"
#include "platform/Fonts.h"

#include <QtTest>
#include <array>
#include <cmath>
#include <random>

using namespace k12;

namespace {

constexpr float kNoData = -999.0f;

// Empty when equal (NaN equal to NaN), else where the lines first differ.
QString Difference(const QVector<QCPGraphData>& got, const QVector<QCPGraphData>& want) {
    const auto same = [](double a, double b) { return a == b || (std::isnan(a) && std::isnan(b)); };
    for (qsizetype i = 0; i < std::max(got.size(), want.size()); ++i) {
        if (i >= got.size() || i >= want.size() || !same(got[i].key, want[i].key) ||
            !same(got[i].value, want[i].value)) {
            return QStringLiteral("entry %1 of %2, %3 expected")
                .arg(i)
                .arg(got.size())
                .arg(want.size());
        }
    }
    return {};
}

// Rows written as the main window writes them (one X per row, nothing for a hole), from units
// that fall silent or behind and fill their rows later, and the window moved as the three scroll
// modes move it. Now and then an X out of order, which the chart must sort.
struct Stream {
    Chart& c;
    std::mt19937 rng;
    std::array<std::vector<float>, 4> data{};
    std::array<bool, 4> silent{};
    int rows = 0, interval = 100, mode = 0, width = 100, start = 1, end = 100;

    int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); }
    void setRows(int n) {
        for (int s = 1; s <= 4; ++s) {
            c.setPointCount(s, n);
        }
    }
    void write(int r) {
        for (int u = 0; u < 4; ++u) {
            if (r <= static_cast<int>(data[u].size()) && data[u][r - 1] != kNoData) {
                c.setXValue(r, interval / 1000.0 * r);
                c.setYValue(u + 1, r, data[u][r - 1]);
            }
        }
    }

    void step() {
        const int op = pick(100);
        if (op < 2) { // a new measurement, the plot cut to one hole
            rows = 0;
            for (int u = 0; u < 4; ++u) {
                data[u].clear();
                silent[u] = u > 0 && pick(2);
            }
            setRows(1);
        } else if (op < 4) { // a file read at another interval: rows replayed one by one
            interval = 100 * (1 + pick(20));
            c.suspendRepaint();
            for (int r = 1; r <= rows; ++r) {
                setRows(r);
                write(r);
            }
            c.resumeRepaint();
        } else if (op < 5 && rows > 1) { // another writer: an X out of order
            c.setXValue(1 + pick(rows), interval / 1000.0 * pick(rows));
        } else { // a few readings per unit; rows a unit fills late are written then
            for (int u = 0; u < 4; ++u) {
                for (int k = silent[u] ? 0 : pick(4); k > 0; --k) {
                    data[u].push_back(pick(10) ? std::normal_distribution(0.0f, 20.0f)(rng)
                                               : kNoData);
                }
            }
            const int old = rows;
            for (const auto& d : data) {
                rows = std::max(rows, static_cast<int>(d.size()));
            }
            c.beginBatch();
            setRows(rows);
            for (int r = std::max(1, old - 8); r <= rows; ++r) {
                write(r);
            }
            c.endBatch();
        }
        if (pick(25) == 0) {
            mode = pick(3);
            width = std::array{10, 100, 1000, 5000}[static_cast<std::size_t>(pick(4))];
            start = mode == 0 ? 1 : start;
            width = mode == 0 ? std::max(rows, 100) : width;
            end = start + width - 1;
        } else if (mode == 2 && pick(10) == 0) {
            start = pick(2) ? std::max(1, start - width / 2)
                            : start + (start <= rows - width / 2 ? width / 2 : 0);
            end = start + width - 1;
        } else if (mode != 2 && rows > end) {
            width += mode == 0 ? (rows < 100 ? 10 : rows < 1000 ? 100 : 1000) : 0;
            start = mode == 0 ? 1 : start + width / 2;
            end = mode == 0 ? width : start + width - 1;
        }
        c.setAxisRange(ChartAxis::X, interval / 1000.0 * start, interval / 1000.0 * end);
    }
};

} // namespace

class TestLineThinning : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void initTestCase() { RegisterFontSubstitutes(); }

    // Points added, changed (value, or key between its neighbours') near the end or anywhere,
    // dropped; the visible part and the scale moved at times.
    void incrementalEqualsFromScratch() {
        std::mt19937 rng(20261207);
        const auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
        const auto real = [&](double lo, double hi) {
            return std::uniform_real_distribution(lo, hi)(rng);
        };
        const auto value = [&] { return pick(10) ? real(-50.0, 50.0) : std::nan(""); };
        std::vector<QCPGraphData> pts;
        IncrementalThinning thinning;
        ColumnScale scale{0.0, 40.0, 2.5, 1.0};
        int begin = 0;
        QVector<QCPGraphData> want;
        for (int step = 0; step < 20000; ++step) {
            const int n = static_cast<int>(pts.size());
            const int op = pick(100);
            if (op < 60 || n == 0) {
                for (int k = 1 + pick(6); k > 0; --k) {
                    const double key = pts.empty() ? 0.0 : pts.back().key;
                    pts.emplace_back(key + std::array{0.0, 0.01, 0.3, 1.0, 7.0}[pick(5)], value());
                }
                thinning.invalidateFrom(n);
            } else if (op < 80) {
                const int i = op < 75 ? std::max(0, n - 1 - pick(8)) : pick(n);
                QCPGraphData& p = pts[static_cast<std::size_t>(i)];
                if (pick(3)) {
                    p.value = value();
                } else {
                    p.key =
                        real(i > 0 ? pts[i - 1].key : p.key, i + 1 < n ? pts[i + 1].key : p.key);
                }
                thinning.invalidateFrom(i);
            } else if (op < 84) {
                pts.resize(static_cast<std::size_t>(pick(n)));
                thinning.invalidateFrom(static_cast<qsizetype>(pts.size()));
            } else if (op < 88) {
                scale = {real(-10, 100), real(0, 80), (pick(2) ? 1 : -1) * real(0.05, 20),
                         pick(4) ? 1.0 : 4.0};
            } else if (op < 92) {
                begin = pick(n + 1);
            }
            const int size = static_cast<int>(pts.size());
            begin = std::min(begin, size);
            // The end mostly follows the data; at times it stops short, as at a window's edge.
            const int end = pick(5) ? size : begin + pick(size - begin + 1);
            ThinLine(pts.data(), begin, end, scale, want);
            const QString diff = Difference(thinning.update(pts.data(), begin, end, scale), want);
            QVERIFY2(diff.isEmpty(), qPrintable(QStringLiteral("step %1: %2").arg(step).arg(diff)));
        }
    }

    // The real chart fed as the main window feeds it, drawn at changing sizes after each step.
    void chartEqualsFromScratch() {
        QcpChart c;
        c.setSeriesCount(4);
        c.setAxisRange(ChartAxis::Y, -60, 60);
        Stream stream{c, std::mt19937(7)};
        int width = 640;
        int height = 350;
        int drawn = 0;
        for (int step = 0; step < 3000; ++step) {
            stream.step();
            if (stream.pick(20) == 0) {
                width = 150 + stream.pick(750);
                height = 120 + stream.pick(380);
            }
            c.render(width, height);
            for (int s = 1; s <= 4; ++s) {
                const QString diff = Difference(c.thinnedLine(s), c.thinnedLineFromScratch(s));
                QVERIFY2(diff.isEmpty(),
                         qPrintable(
                             QStringLiteral("step %1, series %2: %3").arg(step).arg(s).arg(diff)));
                drawn += c.thinnedLine(s).isEmpty() ? 0 : 1;
            }
        }
        // Proves something only if the draws had lines to draw.
        QVERIFY2(drawn > 3000, qPrintable(QString::number(drawn)));
    }
};

QTEST_MAIN(TestLineThinning)
#include "test_line_thinning.moc"
