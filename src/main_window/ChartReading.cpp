// SPDX-License-Identifier: GPL-3.0-or-later
#include "ChartReading.h"

#include "measurement/Conversions.h"
#include "measurement/Directions.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace k12 {

namespace {

const QString kHole = QStringLiteral("—");
constexpr double kRadPerDegree = PI_15 / 180.0;

QString UnitName(int unit) {
    return QStringLiteral("%1台目").arg(unit + 1);
}

QString Value(std::optional<double> v) {
    return v ? FormatFixed3(*v) : kHole;
}

QString Signed(std::optional<double> v) {
    if (!v) {
        return kHole;
    }
    const QString text = FormatFixed3(*v);
    return *v > 0.0 && text != QLatin1String("0.000") ? QLatin1Char('+') + text : text;
}

std::optional<float> Sample(const UnitRecord& unit, int32_t row) {
    if (row < 1 || row > static_cast<int32_t>(unit.Data.size())) {
        return std::nullopt;
    }
    const float v = unit.Data[static_cast<std::size_t>(row - 1)];
    return v == NO_DATA_VALUE ? std::nullopt : std::optional<float>(v);
}

double SecondsPerRow(const MeasurementStore& md) {
    return md.IntervalTM / 1000.0;
}

// Seconds to the millisecond, without trailing zeros.
QString Seconds(double s) {
    return ShortestDoubleText(std::round(s * 1000.0) / 1000.0);
}

std::optional<double> Widen(std::optional<float> v) {
    return v ? std::optional<double>(*v) : std::nullopt;
}

// Sine and cosine of an angle in degrees, as std::sin and std::cos of DegreesToRadians give them
// (to an ulp or two) in a third of the time, which keeps the statistics of a full store quick:
// the whole degree from a table, the rest (half a degree at most) from short series.
class DegreeSinCos {
  public:
    DegreeSinCos() {
        for (int d = 0; d < 360; ++d) {
            sin_[d] = std::sin(DegreesToRadians(d));
            cos_[d] = std::cos(DegreesToRadians(d));
        }
    }

    void operator()(double v, double& sin, double& cos) const {
        if (!(std::abs(v) < 1e6)) {
            ::sincos(DegreesToRadians(v), &sin, &cos);
            return;
        }
        const auto whole = static_cast<int>(v >= 0.0 ? v + 0.5 : v - 0.5);
        const double r = (v - whole) * kRadPerDegree;
        const double r2 = r * r;
        // Taylor series to r^7 and r^6: below 1e-17 for half a degree.
        const double sr =
            r * (1.0 - r2 * (1.0 / 6.0) * (1.0 - r2 * (1.0 / 20.0) * (1.0 - r2 * (1.0 / 42.0))));
        const double cr = 1.0 - r2 * 0.5 * (1.0 - r2 * (1.0 / 12.0) * (1.0 - r2 * (1.0 / 30.0)));
        int d = whole < 0 ? whole + 360 : whole;
        if (d < 0 || d >= 360) {
            d = (whole % 360 + 360) % 360;
        }
        sin = sin_[d] * cr + cos_[d] * sr;
        cos = cos_[d] * cr - sin_[d] * sr;
    }

  private:
    double sin_[360];
    double cos_[360];
};

} // namespace

double AngleDifference(double from, double to) {
    double d = std::fmod(to - from, 360.0);
    if (d > 180.0) {
        d -= 360.0;
    } else if (d <= -180.0) {
        d += 360.0;
    }
    return d;
}

UnitSpan SpanOf(const UnitRecord& unit, int index, int32_t a, int32_t b) {
    UnitSpan out;
    out.unit = index;
    out.atA = Sample(unit, a);
    out.atB = Sample(unit, b);
    if (out.atA && out.atB) {
        out.difference = AngleDifference(*out.atA, *out.atB);
    }
    const auto size = static_cast<int32_t>(unit.Data.size());
    const int32_t first = std::max(std::min(a, b), 1);
    const int32_t last = std::min(std::max(a, b), size);
    const float* data = unit.Data.data();
    float lo = std::numeric_limits<float>::infinity();
    float hi = -lo;
    static const DegreeSinCos sinCos;
    double sumCos = 0.0;
    double sumSin = 0.0;
    int32_t values = 0;
    for (int32_t r = first; r <= last; ++r) {
        const float v = data[r - 1];
        if (v == NO_DATA_VALUE) {
            ++out.holes;
            continue;
        }
        lo = std::min(lo, v);
        hi = std::max(hi, v);
        double sin = 0.0;
        double cos = 0.0;
        sinCos(v, sin, cos);
        sumCos += cos;
        sumSin += sin;
        ++values;
    }
    if (values > 0) {
        out.min = lo;
        out.max = hi;
        out.mean = DirectionOfSums(sumCos, sumSin);
    }
    return out;
}

std::vector<UnitSpan> MarkerSpans(const MeasurementStore& md, int32_t a, int32_t b) {
    std::vector<UnitSpan> out;
    for (int i = 0; i < UNIT_COUNT; ++i) {
        if (md.Units[i].Mflag) {
            out.push_back(SpanOf(md.Units[i], i, a, b));
        }
    }
    return out;
}

QString RowText(const MeasurementStore& md, int32_t row) {
    return QStringLiteral("%1 秒（%2 行目）").arg(Seconds(SecondsPerRow(md) * row)).arg(row);
}

QList<ChartTextLine> ReadoutLines(const MeasurementStore& md, int32_t row, const QDateTime& start) {
    QList<ChartTextLine> lines{{RowText(md, row)}};
    if (start.isValid()) {
        const QDateTime t = start.addMSecs(static_cast<qint64>(md.IntervalTM) * row);
        const bool wholeSeconds = md.IntervalTM % 1000 == 0;
        lines.append({t.toString(wholeSeconds ? QStringLiteral("yyyy/M/d HH:mm:ss")
                                              : QStringLiteral("yyyy/M/d HH:mm:ss.zzz"))});
    }
    for (int i = 0; i < UNIT_COUNT; ++i) {
        if (md.Units[i].Mflag) {
            lines.append(
                {UnitName(i) + QLatin1Char('\t') + Value(Widen(Sample(md.Units[i], row))), i + 1});
        }
    }
    return lines;
}

QList<ChartTextLine> MarkerLines(const MeasurementStore& md, int32_t a, int32_t b) {
    QList<ChartTextLine> lines{
        {QStringLiteral("A: ") + RowText(md, a)},
        {QStringLiteral("B: ") + RowText(md, b)},
        {QStringLiteral("B−A: %1 秒（%2 行）")
             .arg(Seconds(SecondsPerRow(md) * (b - a)))
             .arg(b - a)},
        {QStringLiteral("\tA\tB\tB−A\t最小\t最大\t平均\t欠測")},
    };
    for (const UnitSpan& s : MarkerSpans(md, a, b)) {
        const QStringList cells{UnitName(s.unit),     Value(Widen(s.atA)),     Value(Widen(s.atB)),
                                Signed(s.difference), Value(Widen(s.min)),     Value(Widen(s.max)),
                                Value(s.mean),        QString::number(s.holes)};
        lines.append({cells.join(QLatin1Char('\t')), s.unit + 1});
    }
    return lines;
}

int32_t LastWindowStart(int32_t rows, int32_t width) {
    return std::max(rows - width / 2 + 1, 1);
}

int32_t ZoomedWindowStart(double row, double at, int32_t width, int32_t last) {
    const double start = std::round(row - std::clamp(at, 0.0, 1.0) * (width - 1));
    if (!(start >= 1.0)) {
        return 1;
    }
    return static_cast<int32_t>(std::min(start, static_cast<double>(std::max(last, 1))));
}

int ListIndexShowing(const QList<int32_t>& counts, int32_t shown) {
    for (qsizetype i = 0; i < counts.size(); ++i) {
        if (counts[i] >= shown) {
            return static_cast<int>(i);
        }
    }
    return static_cast<int>(counts.size()) - 1;
}

QString BoundText(double v) {
    QString text = QString::number(v, 'f', 3);
    while (text.endsWith(QLatin1Char('0'))) {
        text.chop(1);
    }
    if (text.endsWith(QLatin1Char('.'))) {
        text.chop(1);
    }
    return text == QLatin1String("-0") ? QStringLiteral("0") : text;
}

} // namespace k12
