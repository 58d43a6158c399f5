// SPDX-License-Identifier: GPL-3.0-or-later
#include "chart/LineThinning.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace k12 {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr qsizetype kClean = std::numeric_limits<qsizetype>::max();

using detail::ThinningCheckpoint;

// One pass over points, appending to out. Starting at a checkpoint's point with its output size
// and run start gives the same result as a pass from the beginning.
class ThinningScan {
  public:
    ThinningScan(const QCPGraphData* points, const ColumnScale& scale, QVector<QCPGraphData>& out,
                 qsizetype runStart, std::vector<ThinningCheckpoint>* checkpoints)
        : pts_(points), s_(scale), out_(out), runStart_(runStart), checkpoints_(checkpoints) {}

    void run(qsizetype from, qsizetype end) {
        for (qsizetype i = from; i < end; ++i) {
            const QCPGraphData& p = pts_[i];
            if (std::isnan(p.value)) {
                closeRun();
                continue;
            }
            // Inside the current column a point costs one comparison of its key.
            if (inColumn_ && p.key >= colLo_ && p.key < colHi_) {
                if (p.value < pts_[low_].value) {
                    low_ = i;
                }
                if (p.value > pts_[high_].value) {
                    high_ = i;
                }
                last_ = i;
                continue;
            }
            closeColumn();
            if (checkpoints_) {
                checkpoints_->push_back({i, out_.size(), runStart_});
            }
            first_ = low_ = high_ = last_ = i;
            const double c = std::floor((s_.p0 + (p.key - s_.k0) * s_.perKey) * s_.cpp);
            const double a = keyOfColumn(c);
            const double b = keyOfColumn(c + 1.0);
            colLo_ = std::min(a, b);
            colHi_ = std::max(a, b);
            inColumn_ = true;
        }
        closeRun();
    }

  private:
    double keyOfColumn(double c) const { return s_.k0 + (c / s_.cpp - s_.p0) / s_.perKey; }

    void closeColumn() {
        if (!inColumn_) {
            return;
        }
        out_.append(pts_[first_]);
        // The extremes in point order, without repeating the first or last point.
        const qsizetype a = std::min(low_, high_);
        const qsizetype b = std::max(low_, high_);
        if (a != first_ && a != last_) {
            out_.append(pts_[a]);
        }
        if (b != first_ && b != last_ && b != a) {
            out_.append(pts_[b]);
        }
        if (last_ != first_) {
            out_.append(pts_[last_]);
        }
        inColumn_ = false;
    }

    void closeRun() {
        closeColumn();
        if (out_.size() - runStart_ < 2) {
            out_.resize(runStart_);
        } else {
            out_.append(QCPGraphData(out_.back().key, kNaN));
        }
        runStart_ = out_.size();
    }

    const QCPGraphData* pts_;
    const ColumnScale s_;
    QVector<QCPGraphData>& out_;
    qsizetype runStart_;
    std::vector<ThinningCheckpoint>* checkpoints_;
    bool inColumn_ = false;
    qsizetype first_ = 0;
    qsizetype low_ = 0;
    qsizetype high_ = 0;
    qsizetype last_ = 0;
    double colLo_ = 0.0;
    double colHi_ = 0.0;
};

} // namespace

void ThinLine(const QCPGraphData* points, qsizetype begin, qsizetype end, const ColumnScale& scale,
              QVector<QCPGraphData>& out) {
    out.clear();
    ThinningScan(points, scale, out, 0, nullptr).run(begin, end);
}

void IncrementalThinning::invalidateFrom(qsizetype index) {
    dirty_ = std::min(dirty_, std::max<qsizetype>(index, 0));
}

const QVector<QCPGraphData>& IncrementalThinning::update(const QCPGraphData* points,
                                                         qsizetype begin, qsizetype end,
                                                         const ColumnScale& scale) {
    qsizetype from = begin;
    qsizetype runStart = 0;
    bool resumed = false;
    if (valid_ && scale == scale_ && begin == begin_) {
        // Checkpoints stop where the last pass ended, so resuming before `changed` also redoes
        // the close of its last run.
        const qsizetype changed = std::min(dirty_, end);
        if (changed >= end && end == end_) {
            return out_;
        }
        // Resume at the last column that starts before the first change.
        auto cp = std::lower_bound(
            checkpoints_.begin(), checkpoints_.end(), changed,
            [](const ThinningCheckpoint& c, qsizetype index) { return c.point < index; });
        if (cp != checkpoints_.begin()) {
            --cp;
            from = cp->point;
            runStart = cp->runStart;
            out_.resize(cp->outSize);
            checkpoints_.erase(cp, checkpoints_.end());
            resumed = true;
        }
    }
    if (!resumed) {
        out_.clear();
        checkpoints_.clear();
    }
    ThinningScan(points, scale, out_, runStart, &checkpoints_).run(from, end);
    scale_ = scale;
    begin_ = begin;
    end_ = end;
    dirty_ = kClean;
    valid_ = true;
    return out_;
}

} // namespace k12
