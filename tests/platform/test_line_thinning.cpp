// The thinned line kept between draws equals a thinning from scratch, whatever the stream of
// points, the visible window and the widget's size did in between.
#include "platform/Fonts.h"
#include "platform/LineThinning.h"
#include "platform/QcpChart.h"
#include "platform/QcpInclude.h"

#include <QtTest>
#include <array>
#include <cmath>
#include <random>

using namespace k12;

namespace {

constexpr float kNoData = -999.0f;
constexpr int kSeries = 4;

bool Same(double a, double b) {
    return a == b || (std::isnan(a) && std::isnan(b));
}

// Empty when equal, else where the two lines first differ.
QString Difference(const QVector<QCPGraphData>& got, const QVector<QCPGraphData>& want) {
    for (qsizetype i = 0; i < std::max(got.size(), want.size()); ++i) {
        if (i >= got.size() || i >= want.size() || !Same(got[i].key, want[i].key) ||
            !Same(got[i].value, want[i].value)) {
            return QStringLiteral("entry %1 of %2 (%3 expected)")
                .arg(i)
                .arg(got.size())
                .arg(want.size());
        }
    }
    return {};
}

// What the main window keeps and writes: sample rows per unit with holes, written to the chart
// as its plotting procedures do (shared X per row, nothing written for a hole), and the visible
// window moved by the rules of the three scroll modes.
class Stream {
  public:
    explicit Stream(Chart& chart, unsigned seed) : c_(chart), rng_(seed) {}

    void step() {
        const int op = pick(100);
        if (op < 55) {
            deviceTimerStep();
        } else if (op < 75) {
            pcTimerStep();
        } else if (op < 78) {
            replay();
        } else if (op < 80) {
            restart();
        } else if (op < 88) {
            changeMode();
        } else if (op < 95) {
            moveWindow();
        } else {
            rewriteAll();
        }
        scroll();
        const double step = interval_ / 1000.0;
        c_.setAxisRange(ChartAxis::X, step * viewStart_, step * viewEnd_);
    }

    int rows() const { return rows_; }

  private:
    int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }

    float reading(int unit) {
        if (pick(12) == 0) {
            return kNoData;
        }
        level_[unit] += std::normal_distribution<float>(0.0f, 4.0f)(rng_);
        return level_[unit];
    }

    void append(int unit) {
        auto& d = data_[unit];
        const int r = counts_[unit]++;
        if (static_cast<int>(d.size()) <= r) {
            d.resize(static_cast<std::size_t>(r) + 1, kNoData);
        }
        d[static_cast<std::size_t>(r)] = reading(unit);
    }

    float sample(int unit, int row) const {
        const auto& d = data_[unit];
        return row < static_cast<int>(d.size()) ? d[static_cast<std::size_t>(row)] : kNoData;
    }

    void writeRow(int r) {
        const double x = interval_ / 1000.0 * r;
        for (int u = 0; u < kSeries; ++u) {
            const float v = sample(u, r - 1);
            if (inUse_[u] && v != kNoData) {
                c_.setXValue(r, x);
                c_.setYValue(u + 1, r, v);
            }
        }
    }

    void setRows(int n) {
        for (int s = 1; s <= kSeries; ++s) {
            c_.setPointCount(s, n);
        }
    }

    // Units deliver unequal numbers of readings; the rows a lagging unit fills later are written
    // then, so changes reach back from the end.
    void deviceTimerStep() {
        for (int u = 0; u < kSeries; ++u) {
            const int n = pick(8) == 0 ? 0 : pick(4);
            for (int k = 0; k < n && inUse_[u]; ++k) {
                append(u);
            }
        }
        const int old = rows_;
        for (int u = 0; u < kSeries; ++u) {
            rows_ = std::max(rows_, counts_[u]);
        }
        c_.beginBatch();
        setRows(rows_);
        for (int r = std::max(1, old - 6); r <= rows_; ++r) {
            writeRow(r);
        }
        c_.endBatch();
    }

    void pcTimerStep() {
        ++rows_;
        for (int u = 0; u < kSeries; ++u) {
            counts_[u] = rows_ - 1;
            append(u);
        }
        c_.beginBatch();
        setRows(rows_);
        writeRow(rows_);
        c_.endBatch();
    }

    // A file read: the plot cut to one point, then every row again, repainting suspended.
    void replay() {
        restart();
        const int n = 1 + pick(1500);
        for (int u = 0; u < kSeries; ++u) {
            while (counts_[u] < n) {
                append(u);
            }
        }
        c_.suspendRepaint();
        for (int r = 1; r <= n; ++r) {
            rows_ = r;
            c_.beginBatch();
            setRows(r);
            writeRow(r);
            c_.endBatch();
            scroll();
        }
        c_.resumeRepaint();
    }

    // A new measurement: other units and interval, the plot cut back to one hole.
    void restart() {
        for (int u = 0; u < kSeries; ++u) {
            inUse_[u] = pick(5) != 0;
            counts_[u] = 0;
            data_[u].clear();
        }
        interval_ = static_cast<int16_t>(100 * (1 + pick(20)));
        rows_ = 0;
        c_.beginBatch();
        setRows(1);
        c_.endBatch();
        viewStart_ = 1;
        viewEnd_ = width_ = mode_ == 0 ? 100 : width_;
    }

    void rewriteAll() {
        c_.beginBatch();
        setRows(rows_);
        for (int r = 1; r <= rows_; ++r) {
            writeRow(r);
        }
        c_.endBatch();
    }

    void changeMode() {
        static constexpr std::array kCounts = {10, 50, 100, 300, 1000, 5000};
        mode_ = pick(3);
        width_ = kCounts[static_cast<std::size_t>(pick(static_cast<int>(kCounts.size())))];
        if (mode_ == 0) {
            viewStart_ = 1;
            width_ = std::max(rows_, 100);
        }
        viewEnd_ = viewStart_ + width_ - 1;
    }

    void moveWindow() {
        if (mode_ != 2) {
            return;
        }
        const int half = width_ / 2;
        if (pick(2) == 0) {
            viewStart_ = std::max(1, viewStart_ - half);
        } else if (viewStart_ <= rows_ - half) {
            viewStart_ += half;
        }
        viewEnd_ = viewStart_ + width_ - 1;
    }

    void scroll() {
        if (mode_ == 0 && rows_ > viewEnd_) {
            viewStart_ = 1;
            width_ += rows_ < 100 ? 10 : rows_ < 1000 ? 100 : 1000;
            viewEnd_ = width_;
        } else if (mode_ == 1 && rows_ > viewEnd_) {
            viewStart_ += width_ / 2;
            viewEnd_ = viewStart_ + width_ - 1;
        }
    }

    Chart& c_;
    std::mt19937 rng_;
    std::array<std::vector<float>, kSeries> data_;
    std::array<int, kSeries> counts_{};
    std::array<bool, kSeries> inUse_{true, true, true, true};
    std::array<float, kSeries> level_{};
    int rows_ = 0;
    int16_t interval_ = 100;
    int mode_ = 0;
    int width_ = 100;
    int viewStart_ = 1;
    int viewEnd_ = 100;
};

} // namespace

class TestLineThinning : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void initTestCase() { RegisterFontSubstitutes(); }

    // Points appended, changed near the end or anywhere, dropped; the visible part and the
    // scale moved at times.
    void incrementalEqualsFromScratch() {
        std::mt19937 rng(20261207);
        const auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
        const auto value = [&] {
            return pick(10) == 0 ? std::nan("") : std::uniform_real_distribution(-50.0, 50.0)(rng);
        };
        static constexpr std::array kKeySteps = {0.0, 0.01, 0.1, 0.3, 1.0, 7.0};
        std::vector<QCPGraphData> pts;
        IncrementalThinning thinning;
        ColumnScale scale{0.0, 40.0, 2.5, 1.0};
        qsizetype begin = 0;
        QVector<QCPGraphData> want;
        for (int step = 0; step < 20000; ++step) {
            const int op = pick(100);
            const auto n = static_cast<qsizetype>(pts.size());
            if (op < 60 || n == 0) {
                double key = n ? pts.back().key : 0.0;
                for (int k = 1 + pick(6); k > 0; --k) {
                    key += kKeySteps[static_cast<std::size_t>(pick(kKeySteps.size()))];
                    pts.emplace_back(key, value());
                }
                thinning.invalidateFrom(n);
            } else if (op < 80) {
                // A value, or a key between its neighbours' (as when a row gets its X).
                const qsizetype i = op < 75 ? std::max<qsizetype>(0, n - 1 - pick(8)) : pick(n);
                QCPGraphData& p = pts[static_cast<std::size_t>(i)];
                if (pick(3) == 0) {
                    const double lo = i > 0 ? pts[static_cast<std::size_t>(i - 1)].key : p.key;
                    const double hi = i + 1 < n ? pts[static_cast<std::size_t>(i + 1)].key : p.key;
                    p.key = std::uniform_real_distribution(lo, hi)(rng);
                } else {
                    p.value = value();
                }
                thinning.invalidateFrom(i);
            } else if (op < 84) {
                const qsizetype keep = pick(n);
                pts.resize(static_cast<std::size_t>(keep));
                thinning.invalidateFrom(keep);
            } else if (op < 88) {
                scale = {std::uniform_real_distribution(-10.0, 100.0)(rng),
                         std::uniform_real_distribution(0.0, 80.0)(rng),
                         (pick(2) ? 1 : -1) * std::uniform_real_distribution(0.05, 20.0)(rng),
                         pick(4) ? 1.0 : 4.0};
            } else if (op < 92) {
                begin = pick(static_cast<int>(n) + 1);
            }
            const auto size = static_cast<qsizetype>(pts.size());
            begin = std::min(begin, size);
            // The end mostly follows the data, at times it stops short as at a window's edge.
            const qsizetype end = pick(5) ? size : begin + pick(static_cast<int>(size - begin) + 1);
            const auto& got = thinning.update(pts.data(), begin, end, scale);
            ThinLine(pts.data(), begin, end, scale, want);
            const QString diff = Difference(got, want);
            QVERIFY2(diff.isEmpty(), qPrintable(QStringLiteral("step %1: %2").arg(step).arg(diff)));
        }
    }

    // One new point of a full series rescans only the last column, not the series.
    void newPointRescansLastColumn() {
        constexpr int n = 88000;
        constexpr double columns = 600;
        std::vector<QCPGraphData> pts;
        for (int i = 0; i < n; ++i) {
            pts.emplace_back(0.1 * i, std::sin(i * 0.001));
        }
        const ColumnScale scale{0.0, 0.0, columns / (0.1 * n), 1.0};
        IncrementalThinning thinning;
        thinning.update(pts.data(), 0, n - 1, scale);
        QCOMPARE(thinning.lastScanned(), n - 1);
        thinning.invalidateFrom(n - 1);
        thinning.update(pts.data(), 0, n, scale);
        QVERIFY2(thinning.lastScanned() <= n / columns + 2,
                 qPrintable(QString::number(thinning.lastScanned())));
        // Nothing changed: nothing is scanned.
        thinning.update(pts.data(), 0, n, scale);
        QCOMPARE(thinning.lastScanned(), 0);
    }

    // The real chart fed as the main window feeds it, drawn at changing sizes after each step.
    void chartEqualsFromScratch() {
        QcpChart c;
        c.suspendRepaint();
        c.setSeriesCount(kSeries);
        c.setSeriesLabels({"1台目", "2台目", "3台目", "4台目"});
        c.setAxisRange(ChartAxis::Y, -60, 60);
        c.resumeRepaint();
        Stream stream(c, 7);
        std::mt19937 rng(11);
        int width = 640;
        int height = 350;
        int drawn = 0;
        for (int step = 0; step < 3000; ++step) {
            stream.step();
            if (std::uniform_int_distribution<int>(0, 19)(rng) == 0) {
                width = std::uniform_int_distribution<int>(150, 900)(rng);
                height = std::uniform_int_distribution<int>(120, 500)(rng);
            }
            c.render(width, height);
            for (int s = 1; s <= kSeries; ++s) {
                const QVector<QCPGraphData> got = c.thinnedLine(s);
                const QString diff = Difference(got, c.thinnedLineFromScratch(s));
                QVERIFY2(diff.isEmpty(),
                         qPrintable(
                             QStringLiteral("step %1, series %2: %3").arg(step).arg(s).arg(diff)));
                drawn += got.isEmpty() ? 0 : 1;
            }
        }
        // The stream must have drawn something most of the time to prove anything.
        QVERIFY2(drawn > 3000 * kSeries / 2, qPrintable(QString::number(drawn)));
    }
};

QTEST_MAIN(TestLineThinning)
#include "test_line_thinning.moc"
