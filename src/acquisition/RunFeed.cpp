// SPDX-License-Identifier: GPL-3.0-or-later
#include "acquisition/RunFeed.h"

#include <variant>

namespace k12 {

void RunFeed::Start(const MeasurementStore& md, const QDateTime& start, RunReport& report) {
    const auto limits = ParseAlertSettings(md.Alerts);
    alerts_ =
        AngleAlerts(std::holds_alternative<AlertLimits>(limits) ? std::get<AlertLimits>(limits)
                                                                : AlertLimits{});
    start_ = start;
    interval_ = md.IntervalTM;
    published_ = 0;
    toldDown_ = {};
    feed_.reset();
    FeedRunInfo info;
    info.start = start;
    info.pcTimer = md.TimerType;
    info.intervalMs = md.IntervalTM;
    for (int i = 0; i < UNIT_COUNT; ++i) {
        inUse_[size_t(i)] = info.inUse[size_t(i)] = md.Units[i].Mflag;
        info.comPorts[size_t(i)] = md.Units[i].ComPort;
        if (portDevice_ && md.Units[i].Mflag) {
            info.devices[size_t(i)] = portDevice_(md.Units[i].ComPort);
        }
    }
    if (!md.Feed.On()) {
        return;
    }
    feed_ = std::make_unique<FeedPublisher>(md.Feed);
    QObject::connect(feed_.get(), &FeedPublisher::notice, [box = noticeBox_](const FeedNotice& n) {
        const std::lock_guard lock(box->mutex);
        box->notices.push_back(n);
    });
    if (const auto refusal = feed_->Start(info)) {
        // Checked before the start: only a file gone since then comes here.
        report.notices.push_back({*refusal, QStringLiteral("Message"), MsgIcon::Error});
        feed_.reset();
    }
}

void RunFeed::Value(int unit, qint64 row, float v, const QDateTime& now, RunReport& report) {
    if (!alerts_.Enabled()) {
        return;
    }
    const std::optional<double> value =
        v == NO_DATA_VALUE ? std::nullopt : std::optional<double>(double(v));
    for (const AlertTransition& t : alerts_.Feed(unit, value)) {
        report.alerts.push_back(t);
        if (feed_) {
            feed_->AlertChanged(t, row, now);
        }
    }
}

void RunFeed::Units(const std::array<std::optional<QString>, UNIT_COUNT>& down,
                    const QDateTime& now) {
    for (int i = 0; feed_ && i < UNIT_COUNT; ++i) {
        if (down[size_t(i)].has_value() == toldDown_[size_t(i)]) {
            continue;
        }
        toldDown_[size_t(i)] = down[size_t(i)].has_value();
        if (down[size_t(i)]) {
            feed_->UnitDown(i, *down[size_t(i)], now);
        } else {
            feed_->UnitBack(i, now);
        }
    }
}

void RunFeed::Rows(qint64 upTo, const std::function<std::optional<float>(int, qint64)>& valueAt) {
    for (; feed_ && published_ < upTo; ++published_) {
        FeedRow row;
        row.row = published_;
        const qint64 atMs = (published_ + 1) * interval_;
        row.time = start_.addMSecs(atMs);
        row.elapsedS = double(atMs) / 1000.0;
        row.inUse = inUse_;
        for (int i = 0; i < UNIT_COUNT; ++i) {
            if (const auto v = inUse_[size_t(i)] ? valueAt(i, published_) : std::nullopt) {
                row.values[size_t(i)] = double(*v);
            }
        }
        feed_->PublishRow(row);
    }
}

void RunFeed::Piece(const WrittenPiece& piece, const QDateTime& now) {
    if (feed_) {
        feed_->PieceWritten(piece.number, piece.path, piece.rows, now);
    }
}

void RunFeed::Finish(const FeedRunEnd& end, const QDateTime& now) {
    if (feed_) {
        feed_->Finish(end, now);
        feed_->WaitForFinished(15000);
    }
}

void RunFeed::TakeNotices(RunReport& report) {
    const std::lock_guard lock(noticeBox_->mutex);
    for (FeedNotice& n : noticeBox_->notices) {
        report.feedNotices.push_back(std::move(n));
    }
    noticeBox_->notices.clear();
}

} // namespace k12
