// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "FeedPayload.h"
#include "measurement/FeedSettings.h"

#include <QObject>
#include <QString>
#include <memory>
#include <optional>

namespace k12 {

// The rows the feed keeps while the broker is away: an hour at 100 ms (a row carries all four
// units). Beyond it the oldest are dropped.
inline constexpr qsizetype FEED_QUEUE_ROWS = 36000;

// The feed's state for a status line; safe to ask from any thread.
struct FeedHealth {
    enum class Link {
        Off,        // not started, or finished
        Connecting, // the first connection is under way
        Connected,
        Waiting, // the broker is away or refused; rows wait and the feed tries again
    };
    Link link = Link::Off;
    // Rows and events not yet acknowledged by the broker.
    qint64 queued = 0;
    // Rows dropped because the queue was full.
    qint64 dropped = 0;
    // Why the broker is not reached (the last reason); empty while connected.
    QString problem;
};

// Something the operator should hear about the feed. The run goes on in every case.
struct FeedNotice {
    enum class Kind {
        Waiting,     // the broker could not be reached at the start
        Lost,        // the connection was lost during the run
        Connected,   // connected again after Waiting or Lost
        Dropping,    // the queue is full: the oldest rows are being dropped
        Undelivered, // the run ended with rows or events the broker never acknowledged
    };
    Kind kind = Kind::Waiting;
    // For the window (a message that does not stop the run).
    QString message;
    // For the recorder's event lines, e.g. "feed waiting for mqtt://host:1883: ...".
    QString line;
};

// Publishes a run to an MQTT broker (libmosquitto):
//   <Topic>/row     QoS 1, one message per row (FeedRowJson)
//   <Topic>/status  QoS 1, retained: running, stopped, or offline (the connection's last will,
//                   so a crash or a pulled cable shows)
//   <Topic>/event   QoS 1: unit-down, unit-back, piece-written, alert-raised, alert-cleared,
//                   rows-dropped, run-ended
// The calls below only put a message into a bounded queue (O(1), never waiting for the network);
// a thread of the publisher's own drives libmosquitto's network loop, hands the queue over in
// order and keeps at most a window of messages unacknowledged. While the broker is away the
// messages wait and go out in order when it is back; it is tried again after 1 s, doubling to
// 60 s. QoS 1 means a message may arrive twice after a reconnect (a row's number tells).
// Call from one thread (the run's); the signals come in the publisher's thread.
class FeedPublisher : public QObject {
    Q_OBJECT
  public:
    struct Tuning {
        qsizetype queueRows = FEED_QUEUE_ROWS;
        // How long Finish waits for the broker to acknowledge what is queued.
        int finishWaitMs = 10000;
    };

    explicit FeedPublisher(FeedSettings settings, QObject* parent = nullptr);
    FeedPublisher(FeedSettings settings, Tuning tuning, QObject* parent = nullptr);
    // Without Finish, the connection is dropped without a goodbye, so the broker sets the status
    // to offline (the last will).
    ~FeedPublisher() override;
    FeedPublisher(const FeedPublisher&) = delete;
    FeedPublisher& operator=(const FeedPublisher&) = delete;

    // Checks the settings (FeedSettingsProblem), reads the password file and starts connecting
    // in the background; the refusal as the operator's message. Never waits for the broker:
    // one that cannot be reached gives a Waiting notice, and the run goes on.
    std::optional<QString> Start(const FeedRunInfo& run);

    // One stored row, as soon as it is final.
    void PublishRow(const FeedRow& row);
    // Unit events; unit 0..3. They also update the retained status.
    void UnitDown(int unit, const QString& reason, const QDateTime& time);
    void UnitBack(int unit, const QDateTime& time);
    void PieceWritten(int piece, const QString& path, qint64 rows, const QDateTime& time);
    // An alert raised or cleared (AngleAlerts::Feed) at the run's row `row`.
    void AlertChanged(const AlertTransition& alert, qint64 row, const QDateTime& time);

    // A clean end: queues the run-ended event, then delivers what is queued, waiting at most
    // Tuning::finishWaitMs (10 s) for the broker, publishes the status stopped and disconnects.
    // Returns at once; finished() tells the end, WaitForFinished waits for it.
    void Finish(const FeedRunEnd& end, const QDateTime& time);
    // Waits up to ms for Finish to complete; true when it did.
    bool WaitForFinished(int ms);

    FeedHealth Health() const;
    // <Topic> and the broker as the settings name them.
    QString Topic() const;
    QString Broker() const;

  Q_SIGNALS:
    void notice(const k12::FeedNotice& notice);
    // Finish completed; delivered: the broker acknowledged everything.
    void finished(bool delivered);

  private:
    struct State;
    std::unique_ptr<State> d_;
};

// A few words for a status line: the window's and the recorder's.
QString FeedStatusText(const FeedHealth& health);
QString FeedStatusWords(const FeedHealth& health);

} // namespace k12

Q_DECLARE_METATYPE(k12::FeedNotice)
