// SPDX-License-Identifier: GPL-3.0-or-later
#include "ChartReading.h"

#include "measurement/Conversions.h"
#include "measurement/Directions.h"

#include <QCoreApplication>
#include <algorithm>
#include <cmath>

namespace k12 {

namespace {

const QString kHole = QStringLiteral("—");

// The context of the texts below in the translations.
struct ChartReadingTr {
    Q_DECLARE_TR_FUNCTIONS(ChartReading)
};

QString UnitName(int unit) {
    return ChartReadingTr::tr("%1台目").arg(unit + 1);
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

UnitSpan SpanOf(const UnitRecord& unit, int index, int32_t a, int32_t b, RunningDirections& sums) {
    UnitSpan out;
    out.unit = index;
    out.atA = Sample(unit, a);
    out.atB = Sample(unit, b);
    if (out.atA && out.atB) {
        out.difference = AngleDifference(*out.atA, *out.atB);
    }
    const auto size = static_cast<int32_t>(unit.Data.size());
    // 0-based, end excluded.
    const int32_t first = std::max(std::min(a, b), 1) - 1;
    const int32_t end = std::min(std::max(a, b), size);
    if (first >= end) {
        return out;
    }
    const float* data = unit.Data.data();
    sums.reserve(size);
    sums.extend(data, std::min(std::clamp(unit.DataCount, 0, size), end));
    DirectionSum sum = sums.over(first, end);
    // Rows a unit has not reached yet may still be filled: summed here, not kept.
    const int32_t rest = std::max(first, sums.size());
    if (rest < end) {
        RunningDirections tail(NO_DATA_VALUE);
        tail.extend(data + rest, end - rest);
        sum += tail.over(0, end - rest);
    }
    out.holes = end - first - sum.count;
    if (const auto arc = ShortestArc(data + first, end - first, NO_DATA_VALUE)) {
        out.min = arc->first;
        out.max = arc->last;
    }
    out.mean = MeanDirection(sum);
    return out;
}

UnitSpan SpanOf(const UnitRecord& unit, int index, int32_t a, int32_t b) {
    RunningDirections sums(NO_DATA_VALUE);
    return SpanOf(unit, index, a, b, sums);
}

RunningDirections& StoreDirections::of(const MeasurementStore& md, int unit) {
    if (dataId_ != md.DataId) {
        for (RunningDirections& s : sums_) {
            s.clear();
        }
        dataId_ = md.DataId;
    }
    RunningDirections& sums = sums_[static_cast<std::size_t>(unit)];
    // Fewer final rows than summed: the rows were replaced without the store saying so.
    if (md.Units[static_cast<std::size_t>(unit)].DataCount < sums.size()) {
        sums.clear();
    }
    return sums;
}

std::vector<UnitSpan> MarkerSpans(const MeasurementStore& md, int32_t a, int32_t b,
                                  StoreDirections& sums) {
    std::vector<UnitSpan> out;
    for (int i = 0; i < UNIT_COUNT; ++i) {
        if (md.Units[i].Mflag) {
            out.push_back(SpanOf(md.Units[i], i, a, b, sums.of(md, i)));
        }
    }
    return out;
}

QString RowText(const MeasurementStore& md, int32_t row) {
    return ChartReadingTr::tr("%1 秒（%2 行目）").arg(Seconds(SecondsPerRow(md) * row)).arg(row);
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

QList<ChartTextLine> MarkerLines(const MeasurementStore& md, int32_t a, int32_t b,
                                 StoreDirections& sums) {
    QList<ChartTextLine> lines{
        {QStringLiteral("A: ") + RowText(md, a)},
        {QStringLiteral("B: ") + RowText(md, b)},
        {ChartReadingTr::tr("B−A: %1 秒（%n 行）", nullptr, b - a)
             .arg(Seconds(SecondsPerRow(md) * (b - a)))},
        {ChartReadingTr::tr("\tA\tB\tB−A\t最小\t最大\t平均\t欠測")},
    };
    for (const UnitSpan& s : MarkerSpans(md, a, b, sums)) {
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
