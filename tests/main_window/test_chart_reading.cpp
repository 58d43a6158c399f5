// SPDX-License-Identifier: GPL-3.0-or-later
// What the chart shows under the cursor and between the markers, and the X windows of zooming
// and dragging, worked out from the store alone.
#include "main_window/ChartReading.h"

#include <QTest>

using namespace k12;

namespace {

using Opt = std::optional<double>;
constexpr float kHole = NO_DATA_VALUE;

UnitRecord Unit(const QList<float>& values) {
    UnitRecord u;
    u.Data.assign(values.begin(), values.end());
    u.Mflag = true;
    u.DataCount = static_cast<int32_t>(values.size());
    return u;
}

// Angles equal to 1e-4 degrees, 180 and -180 being the same.
bool Near(Opt a, Opt b) {
    return a.has_value() == b.has_value() && (!a || std::abs(AngleDifference(*a, *b)) < 1e-4);
}

// A full store's rows from `from` in steps of `step` degrees, wrapped into [-180, 180) and round
// again every `period` rows; every thousandth row a hole where `holes`.
QList<float> FullStore(double from, double step, int period, bool holes) {
    QList<float> out;
    for (int r = 0; r < MAX_SAMPLES; ++r) {
        const double v = from + step * (r % period);
        out << (holes && r % 1000 == 0 ? kHole : static_cast<float>(v >= 180.0 ? v - 360.0 : v));
    }
    return out;
}

// The mean direction worked out another way: atan2 of sums in long double.
Opt MeanByAtan2(const QList<float>& values) {
    long double c = 0;
    long double s = 0;
    for (const float v : values) {
        if (v != kHole) {
            c += std::cos(static_cast<long double>(v) * 3.14159265358979L / 180);
            s += std::sin(static_cast<long double>(v) * 3.14159265358979L / 180);
        }
    }
    return static_cast<double>(std::atan2(s, c) * 180 / 3.14159265358979L);
}

} // namespace

class TestChartReading : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void spans_data() {
        QTest::addColumn<QList<float>>("values");
        QTest::addColumn<int>("a");
        QTest::addColumn<int>("b");
        QTest::addColumn<Opt>("difference");
        QTest::addColumn<Opt>("min");
        QTest::addColumn<Opt>("max");
        QTest::addColumn<Opt>("mean");
        QTest::addColumn<int>("holes");
        // Minimum and maximum are the ends of the shortest arc holding every value.
        QTest::newRow("across +-180") << QList<float>{179, -179} << 1 << 2 << Opt(2) << Opt(179)
                                      << Opt(-179) << Opt(180) << 0;
        QTest::newRow("B before A") << QList<float>{179, -179} << 2 << 1 << Opt(-2) << Opt(179)
                                    << Opt(-179) << Opt(180) << 0;
        QTest::newRow("half a turn")
            << QList<float>{-90, 0, 90} << 1 << 3 << Opt(180) << Opt(-90) << Opt(90) << Opt(0) << 0;
        QTest::newRow("half a turn across +-180")
            << QList<float>{100, 170, -170, -100} << 1 << 4 << Opt(160) << Opt(100) << Opt(-100)
            << Opt(180) << 0;
        QTest::newRow("spread, not from the order of rows")
            << QList<float>{135, -45, 45} << 1 << 3 << Opt(-90) << Opt(-45) << Opt(135) << Opt(45)
            << 0;
        // No mean where the directions cancel; of two equal arcs, the one not passing ±180.
        QTest::newRow("opposite") << QList<float>{90, -90} << 1 << 2 << Opt(180) << Opt(-90)
                                  << Opt(90) << Opt() << 0;
        QTest::newRow("three ways") << QList<float>{0, 120, -120} << 1 << 3 << Opt(-120)
                                    << Opt(-120) << Opt(120) << Opt() << 0;
        QTest::newRow("out of range")
            << QList<float>{350, 370} << 1 << 2 << Opt(20) << Opt(350) << Opt(370) << Opt(0) << 0;
        QTest::newRow("holes left out") << QList<float>{kHole, 80, kHole, 100, 5} << 1 << 4 << Opt()
                                        << Opt(80) << Opt(100) << Opt(90) << 2;
        QTest::newRow("only holes")
            << QList<float>{1, kHole, kHole} << 2 << 3 << Opt() << Opt() << Opt() << Opt() << 2;
        QTest::newRow("one row") << QList<float>{-45, 7} << 1 << 1 << Opt(0) << Opt(-45) << Opt(-45)
                                 << Opt(-45) << 0;
        // A unit sitting at ±180: 179.90 to 180.10 and round again.
        const QList<float> at180 = FullStore(179.9, 0.01, 21, true);
        QTest::newRow("full store at +-180") << at180 << 1 << MAX_SAMPLES << Opt() << Opt(179.9)
                                             << Opt(-179.9) << MeanByAtan2(at180) << 88;
        // Once round, leaving a gap narrower than a thousandth of the circle just below -100.
        const QList<float> round = FullStore(-100.0, 359.9 / MAX_SAMPLES, MAX_SAMPLES, false);
        QTest::newRow("full store once round")
            << round << 1 << MAX_SAMPLES << Opt(AngleDifference(round.first(), round.last()))
            << Opt(round.first()) << Opt(round.last()) << MeanByAtan2(round) << 0;
    }
    void spans() {
        QFETCH(QList<float>, values);
        QFETCH(int, a);
        QFETCH(int, b);
        const UnitSpan s = SpanOf(Unit(values), 2, a, b);
        QCOMPARE(s.unit, 2);
        QFETCH(Opt, difference);
        QFETCH(Opt, min);
        QFETCH(Opt, max);
        QFETCH(Opt, mean);
        QFETCH(int, holes);
        QVERIFY(Near(s.difference, difference));
        QVERIFY(Near(s.min ? Opt(*s.min) : Opt(), min));
        QVERIFY(Near(s.max ? Opt(*s.max) : Opt(), max));
        QVERIFY2(Near(s.mean, mean), qPrintable(QString::number(s.mean.value_or(-1))));
        QCOMPARE(s.holes, holes);

        // The same through sums kept while the rows arrive: rows past the unit's count are holes
        // at the first look and filled before the second. One set of sums serves every row of the
        // table, each row's store holding other data.
        static StoreDirections kept;
        static quint64 dataId = 0;
        MeasurementStore md;
        md.DataId = ++dataId;
        UnitRecord& u = md.Units[2] = Unit(values);
        u.DataCount /= 2;
        std::fill(u.Data.begin() + u.DataCount, u.Data.end(), kHole);
        MarkerSpans(md, a, b, kept);
        u = Unit(values);
        const UnitSpan k = MarkerSpans(md, a, b, kept).at(0);
        QVERIFY(k.min == s.min && k.max == s.max && Near(k.mean, s.mean) && k.holes == s.holes);
    }

    // The mean of one value is that value.
    void meanOfOne() {
        for (const float v : {-179.999f, -123.456f, -0.5f, 0.0004f, 45.5f, 89.9999f, 179.5f, 180.0f,
                              359.75f, -4000.25f}) {
            const double mean = SpanOf(Unit({v}), 0, 1, 1).mean.value();
            QVERIFY2(std::abs(AngleDifference(v, mean)) < 1e-9, qPrintable(QString::number(v)));
        }
    }

    // The readout and the markers' box of a device-timer store (100 ms): unit 2 has a hole.
    void texts() {
        MeasurementStore md;
        md.IntervalTM = 100;
        md.Units[0] = Unit({10.5f, 20.25f, 179.0f});
        md.Units[2] = Unit({-1.0f, kHole, -179.0f});
        const QDateTime start(QDate(2026, 12, 7), QTime(23, 59, 59));
        QCOMPARE(ReadoutLines(md, 2, start),
                 (QList<ChartTextLine>{{QStringLiteral("0.2 秒（2 行目）")},
                                       {QStringLiteral("2026/12/7 23:59:59.200")},
                                       {QStringLiteral("1台目\t20.250"), 1},
                                       {QStringLiteral("3台目\t—"), 3}}));
        md.IntervalTM = 1000;
        QCOMPARE(ReadoutLines(md, 3, QDateTime()).first().text, QStringLiteral("3 秒（3 行目）"));
        QCOMPARE(ReadoutLines(md, 3, start).at(1).text, QStringLiteral("2026/12/8 00:00:02"));

        StoreDirections sums;
        const QList<ChartTextLine> box = MarkerLines(md, 1, 3, sums);
        QCOMPARE(box.size(), 6);
        QCOMPARE(box[2].text, QStringLiteral("B−A: 2 秒（2 行）"));
        // The mean as a direction: atan2 of the summed sines and cosines, worked out aside.
        QCOMPARE(box[4], (ChartTextLine{QStringLiteral("1台目\t10.500\t179.000\t+168.500\t10.500\t"
                                                       "179.000\t30.636\t0"),
                                        1}));
        QCOMPARE(box[5].text, QStringLiteral("3台目\t-1.000\t-179.000\t-178.000\t-179.000\t-1.000\t"
                                             "-90.000\t1"));
    }

    void windows() {
        // Half a window of stored rows stays in view; "→" stops there too.
        QCOMPARE(LastWindowStart(250, 100), 201);
        QCOMPARE(LastWindowStart(30, 100), 1);
        // The row under the mouse stays where it is, as far as the first and last start allow.
        QCOMPARE(ZoomedWindowStart(150.0, 0.5, 100, 201), 101);
        QCOMPARE(ZoomedWindowStart(150.0, 0.5, 400, 51), 1);
        QCOMPARE(ZoomedWindowStart(240.0, 1.0, 20, 241), 221);
        QCOMPARE(ZoomedWindowStart(240.0, 0.0, 20, 231), 231);
        const QList<int32_t> counts{10, 20, 100, 200};
        QCOMPARE(ListIndexShowing(counts, 100), 2);
        QCOMPARE(ListIndexShowing(counts, 101), 3);
        QCOMPARE(ListIndexShowing(counts, 88000), 3);
        QCOMPARE(BoundText(144.0), QStringLiteral("144"));
        QCOMPARE(BoundText(-12.34567), QStringLiteral("-12.346"));
        QCOMPARE(BoundText(-0.0001), QStringLiteral("0"));
    }
};

QTEST_GUILESS_MAIN(TestChartReading)
#include "test_chart_reading.moc"
