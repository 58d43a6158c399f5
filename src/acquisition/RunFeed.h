// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "acquisition/RunReport.h"
#include "feed/FeedPublisher.h"
#include "measurement/AngleAlerts.h"
#include "measurement/MeasurementStore.h"

#include <QDateTime>
#include <array>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

namespace k12 {

// A run's live feed and alerts: the engine tells them the values, the rows that are final and
// the units' state; the feed publishes on its own thread, and what it and the alerts have to say
// goes into the engine's reports.
class RunFeed {
  public:
    // A new run: the alerts of the settings, the feed when it is on (a refusal is a notice; the
    // run goes on without it).
    void Start(const MeasurementStore& md, const QDateTime& start, RunReport& report);

    // A unit's value at the run's row, for the alerts (NO_DATA_VALUE: a hole, which changes
    // nothing).
    void Value(int unit, qint64 row, float v, const QDateTime& now, RunReport& report);
    // The units down now (with what took them down); the feed hears of every change.
    void Units(const std::array<std::optional<QString>, UNIT_COUNT>& down, const QDateTime& now);
    // Publishes the rows up to `upTo` not published yet, with the values `valueAt` gives.
    void Rows(qint64 upTo, const std::function<std::optional<float>(int, qint64)>& valueAt);
    void Piece(const WrittenPiece& piece, const QDateTime& now);
    // Queues the run's end and waits until it is delivered (the feed waits for the broker at
    // most ten seconds).
    void Finish(const FeedRunEnd& end, const QDateTime& now);
    void TakeNotices(RunReport& report);
    void SetPortDevices(std::function<QString(int)> lookup) { portDevice_ = std::move(lookup); }

    bool On() const { return feed_ != nullptr; }
    const FeedPublisher* Publisher() const { return feed_.get(); }
    const AngleAlerts& Alerts() const { return alerts_; }

  private:
    std::unique_ptr<FeedPublisher> feed_;
    std::function<QString(int)> portDevice_;
    AngleAlerts alerts_;
    QDateTime start_;
    int16_t interval_ = 0;
    std::array<bool, UNIT_COUNT> inUse_{};
    // Rows of the run published so far, and the units the feed was told are down.
    qint64 published_ = 0;
    std::array<bool, UNIT_COUNT> toldDown_{};
    // Notices the feed's thread hands over to the next step.
    struct NoticeBox {
        std::mutex mutex;
        std::vector<FeedNotice> notices;
    };
    std::shared_ptr<NoticeBox> noticeBox_ = std::make_shared<NoticeBox>();
};

} // namespace k12
