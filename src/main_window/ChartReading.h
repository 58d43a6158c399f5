// SPDX-License-Identifier: GPL-3.0-or-later
// What the chart's mouse tools show and do, worked out from the store without any widget: the
// values at a row, the statistics between two markers, and the X window a zoom or drag leads to.
#pragma once

#include "measurement/Directions.h"
#include "measurement/MeasurementStore.h"
#include "platform/Chart.h"

#include <QDateTime>
#include <array>
#include <optional>
#include <vector>

namespace k12 {

// to − from as an angle, -180 (excluded) to 180: from 179 to -179 is +2, not -358.
double AngleDifference(double from, double to);

// One unit's samples over rows a to b (both included, in either order). Holes (NO_DATA_VALUE)
// are left out of the minimum, maximum and mean, and counted.
struct UnitSpan {
    int unit = 0;
    std::optional<float> atA;
    std::optional<float> atB;
    // B − A as an angle.
    std::optional<double> difference;
    // The ends of the shortest arc that holds every value: a unit at ±180 gives 179.9 and -179.9.
    std::optional<float> min;
    std::optional<float> max;
    // The mean direction, averaged as the units' streams are (179 and -179 give 180); none where
    // the directions cancel.
    std::optional<double> mean;
    int32_t holes = 0;
};
// `sums` are the unit's running sums, kept by the caller while the unit's rows stay the same;
// they are extended over the rows that can no longer change (below its DataCount).
UnitSpan SpanOf(const UnitRecord& unit, int index, int32_t a, int32_t b, RunningDirections& sums);
UnitSpan SpanOf(const UnitRecord& unit, int index, int32_t a, int32_t b);

// The running sums of every unit for the statistics between the markers, so that a span's mean
// costs two subtractions: extended as far as the spans asked for reach, dropped when the store's
// data are replaced.
class StoreDirections {
  public:
    RunningDirections& of(const MeasurementStore& md, int unit);

  private:
    std::optional<quint64> dataId_;
    std::array<RunningDirections, UNIT_COUNT> sums_{
        RunningDirections(NO_DATA_VALUE), RunningDirections(NO_DATA_VALUE),
        RunningDirections(NO_DATA_VALUE), RunningDirections(NO_DATA_VALUE)};
};

// SpanOf for every unit in use.
std::vector<UnitSpan> MarkerSpans(const MeasurementStore& md, int32_t a, int32_t b,
                                  StoreDirections& sums);

// "12.3 秒（123 行目）": the elapsed time of a row and its number.
QString RowText(const MeasurementStore& md, int32_t row);
// The cursor box: the row, the clock time when the start is known, each unit in use.
QList<ChartTextLine> ReadoutLines(const MeasurementStore& md, int32_t row, const QDateTime& start);
// The markers' box: both rows, the time between them, a table of the units in use.
QList<ChartTextLine> MarkerLines(const MeasurementStore& md, int32_t a, int32_t b,
                                 StoreDirections& sums);

// The first row a window of `width` rows may start at when dragged or zoomed: half a window of
// stored rows still shown, the least that "→" leaves; at least 1.
int32_t LastWindowStart(int32_t rows, int32_t width);
// The first row of a window of `width` rows that keeps the row coordinate `row` at `at` (0 at the
// left edge to 1 at the right), within 1 to `last`.
int32_t ZoomedWindowStart(double row, double at, int32_t width, int32_t last);
// The index of the first display count that shows at least `shown` rows (the last one if none).
int ListIndexShowing(const QList<int32_t>& counts, int32_t shown);

// A Y bound as the boxes take it: at most 3 decimals, no trailing zeros.
QString BoundText(double v);

} // namespace k12
