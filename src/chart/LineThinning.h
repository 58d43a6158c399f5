// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "chart/QcpInclude.h"

#include <QVector>
#include <vector>

namespace k12 {

// Where keys fall on screen: key k lies in thinning column floor((p0 + (k - k0) * perKey) * cpp),
// with p0 the pixel of key k0, perKey the pixels per key unit and cpp the columns per pixel.
struct ColumnScale {
    double k0 = 0.0;
    double p0 = 0.0;
    double perKey = 0.0;
    double cpp = 1.0;

    bool operator==(const ColumnScale&) const = default;
};

namespace detail {
// The thinning scan's state where a point starts a new column: everything before it is final.
struct ThinningCheckpoint {
    qsizetype point;
    qsizetype outSize;
    qsizetype runStart;
};
} // namespace detail

// The polyline drawn for points [begin, end) of a series whose keys never fall: per run of points
// without holes (NaN values), and per column inside it, the first, lowest, highest and last point
// in point order, so it covers exactly the pixels the full line would. Each hole ends the run with
// a NaN entry (a line break); runs of one point draw nothing and are left out.
void ThinLine(const QCPGraphData* points, qsizetype begin, qsizetype end, const ColumnScale& scale,
              QVector<QCPGraphData>& out);

// ThinLine's result for a series that changes mostly at its end, kept up to date by rescanning
// only from the last column that a change can reach. A change of scale or of the first visible
// point rebuilds it.
class IncrementalThinning {
  public:
    // Points from index on may have changed, been added or been dropped.
    void invalidateFrom(qsizetype index);
    // Equal to ThinLine(points, begin, end, scale).
    const QVector<QCPGraphData>& update(const QCPGraphData* points, qsizetype begin, qsizetype end,
                                        const ColumnScale& scale);
    const QVector<QCPGraphData>& line() const { return out_; }

  private:
    QVector<QCPGraphData> out_;
    std::vector<detail::ThinningCheckpoint> checkpoints_;
    ColumnScale scale_;
    qsizetype begin_ = 0;
    qsizetype end_ = 0;
    qsizetype dirty_ = 0;
    bool valid_ = false;
};

} // namespace k12
