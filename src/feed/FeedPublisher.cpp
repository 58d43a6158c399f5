// SPDX-License-Identifier: GPL-3.0-or-later
#include "FeedPublisher.h"

#include "FeedConfig.h"

#include <QCoreApplication>
#include <QFile>
#include <QLocale>
#include <QMetaObject>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mosquitto.h>
#include <mutex>
#include <thread>
#include <vector>

namespace k12 {

namespace {

// The context of the texts below in the translations. The window shows the messages; the
// recorder writes the shorter lines, marked "the recorder's line".
struct FeedTr {
    Q_DECLARE_TR_FUNCTIONS(Feed)
};

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// Messages handed to libmosquitto and not yet acknowledged: enough to fill a fast link, few
// enough that the queue stays ours (bounded, dropping the oldest).
constexpr int kWindow = 64;
// Events are few; a bound all the same, for a broker away for weeks.
constexpr size_t kEventQueue = 10000;
constexpr int kKeepaliveS = 30;
constexpr auto kRetryMin = 1s;
constexpr auto kRetryMax = 60s;
// How long the stopped status may take to be acknowledged after the finish wait.
constexpr auto kStoppedGrace = 1s;

void InitLibrary() {
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

// A row as queued, in a slot made beforehand: queueing allocates nothing. The time is kept as
// given: turning a local time into UTC costs more than the rest (glibc looks at the time zone
// file each time), so the feed's thread does it.
struct RowSlot {
    quint64 seq = 0;
    qint64 row = 0;
    QDateTime time;
    double elapsed = 0.0;
    std::array<double, UNIT_COUNT> values{};
    std::array<bool, UNIT_COUNT> inUse{};
    std::array<bool, UNIT_COUNT> present{};
};

struct EventSlot {
    quint64 seq = 0;
    QByteArray json;
};

// A fixed ring of rows; the oldest is overwritten when full.
class RowRing {
  public:
    void reset(qsizetype capacity) {
        slots_.assign(size_t(std::max<qsizetype>(capacity, 1)), RowSlot{});
        head_ = count_ = 0;
    }
    bool empty() const { return count_ == 0; }
    bool full() const { return count_ == slots_.size(); }
    size_t size() const { return count_; }
    const RowSlot& front() const { return slots_[head_]; }
    void pop() {
        head_ = (head_ + 1) % slots_.size();
        --count_;
    }
    RowSlot& push() {
        RowSlot& slot = slots_[(head_ + count_) % slots_.size()];
        ++count_;
        return slot;
    }

  private:
    std::vector<RowSlot> slots_;
    size_t head_ = 0;
    size_t count_ = 0;
};

QString Reason(int rc) {
    if (rc == MOSQ_ERR_ERRNO) {
        return QString::fromLocal8Bit(std::strerror(errno));
    }
    return QString::fromUtf8(mosquitto_strerror(rc));
}

} // namespace

struct FeedPublisher::State {
    FeedPublisher* q = nullptr;
    FeedSettings settings;
    Tuning tuning;
    BrokerAddress address;
    QByteArray host, clientId, username, password, topicRow, topicStatus, topicEvent, caFile;
    mosquitto* mosq = nullptr;
    std::thread thread;

    mutable std::mutex m;
    std::condition_variable cv;     // wakes the network thread
    std::condition_variable doneCv; // wakes WaitForFinished
    // Guarded by m:
    RowRing rows;
    std::deque<EventSlot> events;
    quint64 seq = 0;
    qint64 dropped = 0;
    qint64 droppedReported = 0;
    qint64 firstDropped = -1;
    qint64 lastDropped = -1;
    qint64 eventsDropped = 0;
    bool droppingNoticed = false;
    FeedStatus status;
    bool statusDirty = false;
    bool stop = false;
    bool finishing = false;
    bool kick = false;
    bool done = false;
    Clock::time_point finishDeadline;
    QString problem;
    QDateTime lastTime;

    std::atomic<FeedHealth::Link> link{FeedHealth::Link::Off};
    std::atomic<int> inflight{0};

    // Network thread only:
    bool connected = false;
    bool everConnected = false;
    bool outageNoticed = false;
    bool stoppedSent = false;
    Clock::duration retry = kRetryMin;
    QString refused;
    QString lastLog;

    void Post(FeedNotice::Kind kind, const QString& message, const QString& line) {
        FeedPublisher* target = q;
        QMetaObject::invokeMethod(
            q, [target, n = FeedNotice{kind, message, line}] { Q_EMIT target->notice(n); },
            Qt::QueuedConnection);
    }

    QString BrokerText() const { return settings.Broker.trimmed(); }

    // Under m.
    void PushEvent(QByteArray json) {
        if (events.size() >= kEventQueue) {
            events.pop_front();
            ++eventsDropped;
        }
        events.push_back({++seq, std::move(json)});
    }
    void Touch(const QDateTime& time) {
        lastTime = time;
        status.time = time;
        statusDirty = true;
    }

    void Run();
    void Pump();
    bool FinishStep();
    void Failed(const QString& reason);
    void Done();
    void PublishStatus(FeedStatus::State state);
    void SetWill();
    QByteArray RowJson(const RowSlot& slot) const;

    static void OnConnect(mosquitto*, void* obj, int rc) {
        auto* s = static_cast<State*>(obj);
        if (rc != 0) {
            s->refused = QString::fromUtf8(mosquitto_connack_string(rc));
            return;
        }
        s->connected = true;
        s->retry = kRetryMin;
        s->link = FeedHealth::Link::Connected;
        {
            std::lock_guard lock(s->m);
            s->problem.clear();
            // The last will may have replaced it while the connection was down.
            s->statusDirty = true;
        }
        if (s->outageNoticed) {
            s->Post(
                FeedNotice::Kind::Connected,
                FeedTr::tr("ライブ配信のブローカーに接続しました。\n%1").arg(s->BrokerText()),
                FeedTr::tr("配信: %1 に接続しました", "the recorder's line").arg(s->BrokerText()));
        }
        s->everConnected = true;
        s->outageNoticed = false;
    }
    static void OnDisconnect(mosquitto*, void* obj, int) {
        static_cast<State*>(obj)->connected = false;
    }
    static void OnPublish(mosquitto*, void* obj, int) { --static_cast<State*>(obj)->inflight; }
    static void OnLog(mosquitto*, void* obj, int level, const char* text) {
        if ((level & (MOSQ_LOG_ERR | MOSQ_LOG_WARNING)) != 0) {
            static_cast<State*>(obj)->lastLog = QString::fromUtf8(text);
        }
    }
};

QByteArray FeedPublisher::State::RowJson(const RowSlot& slot) const {
    FeedRow row;
    row.row = slot.row;
    row.time = slot.time;
    row.elapsedS = slot.elapsed;
    row.inUse = slot.inUse;
    for (size_t u = 0; u < UNIT_COUNT; ++u) {
        if (slot.present[u]) {
            row.values[u] = slot.values[u];
        }
    }
    return FeedRowJson(row);
}

void FeedPublisher::State::SetWill() {
    FeedStatus offline;
    {
        std::lock_guard lock(m);
        offline = status;
    }
    offline.state = FeedStatus::State::Offline;
    const QByteArray json = FeedStatusJson(offline);
    mosquitto_will_set(mosq, topicStatus.constData(), int(json.size()), json.constData(), 1, true);
}

void FeedPublisher::State::PublishStatus(FeedStatus::State state) {
    QByteArray json;
    {
        std::lock_guard lock(m);
        status.state = state;
        statusDirty = false;
        json = FeedStatusJson(status);
    }
    const int rc = mosquitto_publish(mosq, nullptr, topicStatus.constData(), int(json.size()),
                                     json.constData(), 1, true);
    if (rc == MOSQ_ERR_SUCCESS || rc == MOSQ_ERR_NO_CONN) {
        ++inflight;
    }
}

void FeedPublisher::State::Failed(const QString& reason) {
    connected = false;
    QString why = !refused.isEmpty() ? refused : reason;
    if (!lastLog.isEmpty()) {
        why += QStringLiteral(" (%1)").arg(lastLog);
    }
    {
        std::lock_guard lock(m);
        problem = why;
    }
    link = FeedHealth::Link::Waiting;
    if (!outageNoticed) {
        outageNoticed = true;
        if (everConnected) {
            Post(FeedNotice::Kind::Lost,
                 FeedTr::tr("ライブ配信のブローカーとの接続が切れました。測定は続け、接続でき"
                           "次第続きを配信します。\n%1\n%2")
                     .arg(BrokerText(), why),
                 FeedTr::tr("配信: %1 との接続が切れました: %2", "the recorder's line")
                     .arg(BrokerText(), why));
        } else {
            Post(FeedNotice::Kind::Waiting,
                 FeedTr::tr("ライブ配信のブローカーに接続できません。測定は続け、接続でき次第"
                           "配信します。\n%1\n%2")
                     .arg(BrokerText(), why),
                 FeedTr::tr("配信: %1 に接続できません: %2", "the recorder's line")
                     .arg(BrokerText(), why));
        }
    }
}

void FeedPublisher::State::Pump() {
    while (inflight < kWindow) {
        bool isRow = false;
        RowSlot row;
        QByteArray json;
        {
            std::lock_guard lock(m);
            const bool haveRow = !rows.empty();
            const bool haveEvent = !events.empty();
            if (!haveRow && !haveEvent) {
                break;
            }
            isRow = haveRow && (!haveEvent || rows.front().seq < events.front().seq);
            if (isRow) {
                row = rows.front();
                rows.pop();
            } else {
                json = std::move(events.front().json);
                events.pop_front();
            }
        }
        if (isRow) {
            json = RowJson(row);
        }
        const QByteArray& topic = isRow ? topicRow : topicEvent;
        const int rc = mosquitto_publish(mosq, nullptr, topic.constData(), int(json.size()),
                                         json.constData(), 1, false);
        // Without a connection libmosquitto keeps the message and sends it when connected.
        if (rc == MOSQ_ERR_SUCCESS || rc == MOSQ_ERR_NO_CONN) {
            ++inflight;
        }
    }
    bool dirty = false;
    {
        std::lock_guard lock(m);
        dirty = statusDirty;
        if (dropped > droppedReported || eventsDropped > 0) {
            // Said once the broker is back, for all the rows dropped while it was away.
            QByteArray json = RowsDroppedEventJson(dropped - droppedReported, firstDropped,
                                                   lastDropped, dropped, lastTime);
            if (eventsDropped > 0) {
                json.insert(json.size() - 1, ",\"events\":" + QByteArray::number(eventsDropped));
            }
            droppedReported = dropped;
            status.dropped = dropped;
            statusDirty = true;
            dirty = true;
            eventsDropped = 0;
            firstDropped = lastDropped = -1;
            droppingNoticed = false;
            PushEvent(std::move(json));
        }
    }
    if (dirty && !stoppedSent) {
        PublishStatus(FeedStatus::State::Running);
    }
}

bool FeedPublisher::State::FinishStep() {
    const auto now = Clock::now();
    bool empty = false;
    Clock::time_point deadline;
    {
        std::lock_guard lock(m);
        empty = rows.empty() && events.empty();
        deadline = finishDeadline;
    }
    if (!stoppedSent) {
        if (connected && ((empty && inflight == 0) || now >= deadline)) {
            stoppedSent = true;
            PublishStatus(FeedStatus::State::Stopped);
        } else if (now >= deadline) {
            Done();
            return true;
        }
        return false;
    }
    if (inflight > 0 && now < deadline + kStoppedGrace && connected) {
        return false;
    }
    mosquitto_disconnect(mosq);
    // Writes the goodbye; the loop reports the closed connection.
    for (int i = 0; i < 20 && mosquitto_loop(mosq, 50, 1) == MOSQ_ERR_SUCCESS; ++i) {
    }
    Done();
    return true;
}

void FeedPublisher::State::Done() {
    qint64 undelivered = 0;
    {
        std::lock_guard lock(m);
        undelivered = qint64(rows.size() + events.size()) + std::max(0, inflight.load());
        done = true;
    }
    link = FeedHealth::Link::Off;
    doneCv.notify_all();
    if (undelivered > 0) {
        Post(FeedNotice::Kind::Undelivered,
             FeedTr::tr("ライブ配信で %1件をブローカーに届けられませんでした。\n%2")
                 .arg(undelivered)
                 .arg(BrokerText()),
             FeedTr::tr("配信: %1件を届けられないまま終わりました", "the recorder's line")
                 .arg(undelivered));
    }
    FeedPublisher* target = q;
    QMetaObject::invokeMethod(
        q, [target, ok = undelivered == 0] { Q_EMIT target->finished(ok); }, Qt::QueuedConnection);
}

void FeedPublisher::State::Run() {
    bool socketOpen = false;
    auto nextAttempt = Clock::now();
    for (;;) {
        if (!socketOpen) {
            std::unique_lock lock(m);
            if (stop) {
                return;
            }
            if (kick) {
                // A finish tries the broker at once rather than after the back-off.
                kick = false;
                nextAttempt = Clock::now();
            }
            if (finishing && Clock::now() >= finishDeadline) {
                lock.unlock();
                Done();
                return;
            }
            const auto until = finishing ? std::min(nextAttempt, finishDeadline) : nextAttempt;
            if (Clock::now() < until) {
                cv.wait_until(lock, until, [this] { return stop || kick; });
                continue;
            }
        }
        if (!socketOpen) {
            SetWill();
            refused.clear();
            lastLog.clear();
            const int rc =
                mosquitto_connect_async(mosq, host.constData(), address.port, kKeepaliveS);
            if (rc != MOSQ_ERR_SUCCESS) {
                Failed(Reason(rc));
                nextAttempt = Clock::now() + retry;
                retry = std::min<Clock::duration>(retry * 2, kRetryMax);
                continue;
            }
            socketOpen = true;
        }
        const int rc = mosquitto_loop(mosq, 100, 1);
        {
            std::lock_guard lock(m);
            if (stop) {
                return;
            }
        }
        if (rc != MOSQ_ERR_SUCCESS) {
            socketOpen = false;
            Failed(Reason(rc));
            nextAttempt = Clock::now() + retry;
            retry = std::min<Clock::duration>(retry * 2, kRetryMax);
            continue;
        }
        if (connected) {
            Pump();
        }
        bool finishingNow = false;
        {
            std::lock_guard lock(m);
            finishingNow = finishing;
        }
        if (finishingNow && FinishStep()) {
            return;
        }
    }
}

FeedPublisher::FeedPublisher(FeedSettings settings, QObject* parent)
    : FeedPublisher(std::move(settings), Tuning{}, parent) {}

FeedPublisher::FeedPublisher(FeedSettings settings, Tuning tuning, QObject* parent)
    : QObject(parent), d_(std::make_unique<State>()) {
    d_->q = this;
    d_->settings = std::move(settings);
    d_->tuning = tuning;
}

FeedPublisher::~FeedPublisher() {
    {
        std::lock_guard lock(d_->m);
        d_->stop = true;
    }
    d_->cv.notify_all();
    if (d_->thread.joinable()) {
        d_->thread.join();
    }
    if (d_->mosq) {
        // Without a DISCONNECT (unless Finish sent one) the broker publishes the last will.
        mosquitto_destroy(d_->mosq);
    }
}

std::optional<QString> FeedPublisher::Start(const FeedRunInfo& run) {
    State& s = *d_;
    if (s.mosq) {
        return FeedTr::tr("ライブ配信はすでに始まっています。");
    }
    if (auto problem = FeedSettingsProblem(s.settings)) {
        return problem;
    }
    if (!s.settings.On()) {
        return std::nullopt;
    }
    s.address = std::get<BrokerAddress>(ParseBrokerUrl(s.settings.Broker));
    if (!s.settings.PasswordFile.trimmed().isEmpty()) {
        auto password = ReadPasswordFile(s.settings.PasswordFile.trimmed());
        if (auto* problem = std::get_if<QString>(&password)) {
            return *problem;
        }
        s.password = std::get<QByteArray>(password);
    }
    InitLibrary();
    s.host = s.address.host.toUtf8();
    s.clientId = FeedClientId(s.settings).toUtf8();
    s.username = s.settings.Username.trimmed().toUtf8();
    const QByteArray topic = FeedTopic(s.settings).toUtf8();
    s.topicRow = topic + "/row";
    s.topicStatus = topic + "/status";
    s.topicEvent = topic + "/event";
    s.caFile = QFile::encodeName(s.settings.CaFile.trimmed());

    s.mosq = mosquitto_new(s.clientId.constData(), true, &s);
    if (!s.mosq) {
        return FeedTr::tr("ライブ配信を準備できません。\n%1").arg(Reason(MOSQ_ERR_ERRNO));
    }
    mosquitto_int_option(s.mosq, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    mosquitto_max_inflight_messages_set(s.mosq, kWindow);
    mosquitto_connect_callback_set(s.mosq, &State::OnConnect);
    mosquitto_disconnect_callback_set(s.mosq, &State::OnDisconnect);
    mosquitto_publish_callback_set(s.mosq, &State::OnPublish);
    mosquitto_log_callback_set(s.mosq, &State::OnLog);
    if (!s.username.isEmpty()) {
        mosquitto_username_pw_set(
            s.mosq, s.username.constData(),
            s.settings.PasswordFile.trimmed().isEmpty() ? nullptr : s.password.constData());
    }
    if (s.address.tls) {
        // The broker's certificate and name are always verified: against the CA file, or the
        // system's store.
        int rc = MOSQ_ERR_SUCCESS;
        if (!s.caFile.isEmpty()) {
            rc =
                mosquitto_tls_set(s.mosq, s.caFile.constData(), nullptr, nullptr, nullptr, nullptr);
        } else {
            rc = mosquitto_int_option(s.mosq, MOSQ_OPT_TLS_USE_OS_CERTS, 1);
            if (rc == MOSQ_ERR_SUCCESS) {
                rc =
                    mosquitto_tls_set(s.mosq, nullptr, "/etc/ssl/certs", nullptr, nullptr, nullptr);
            }
        }
        if (rc != MOSQ_ERR_SUCCESS) {
            return FeedTr::tr("ライブ配信の TLS を準備できません。\n%1").arg(Reason(rc));
        }
    }
    {
        std::lock_guard lock(s.m);
        s.rows.reset(s.tuning.queueRows);
        s.status.run = run;
        s.status.time = run.start;
        s.lastTime = run.start;
        s.statusDirty = true;
    }
    s.link = FeedHealth::Link::Connecting;
    s.thread = std::thread([&s] { s.Run(); });
    return std::nullopt;
}

void FeedPublisher::PublishRow(const FeedRow& row) {
    State& s = *d_;
    if (!s.mosq) {
        return;
    }
    bool notice = false;
    {
        std::lock_guard lock(s.m);
        if (s.finishing) {
            return;
        }
        if (s.rows.full()) {
            const qint64 oldest = s.rows.front().row;
            s.rows.pop();
            if (s.firstDropped < 0) {
                s.firstDropped = oldest;
            }
            s.lastDropped = oldest;
            ++s.dropped;
            notice = !s.droppingNoticed;
            s.droppingNoticed = true;
        }
        RowSlot& slot = s.rows.push();
        slot.seq = ++s.seq;
        slot.row = row.row;
        slot.time = row.time;
        slot.elapsed = row.elapsedS;
        slot.inUse = row.inUse;
        for (size_t u = 0; u < UNIT_COUNT; ++u) {
            slot.present[u] = row.values[u].has_value();
            slot.values[u] = row.values[u].value_or(0.0);
        }
        s.lastTime = row.time;
    }
    if (notice) {
        s.Post(
            FeedNotice::Kind::Dropping,
            FeedTr::tr("ライブ配信の送信待ちが上限（%1行）を超えたため、古い行から捨てて"
                      "います。")
                .arg(s.tuning.queueRows),
            FeedTr::tr("配信: 送信待ちがいっぱいのため古い行を捨てています", "the recorder's line"));
    }
}

void FeedPublisher::UnitDown(int unit, const QString& reason, const QDateTime& time) {
    State& s = *d_;
    if (!s.mosq || unit < 0 || unit >= UNIT_COUNT) {
        return;
    }
    std::lock_guard lock(s.m);
    if (!s.finishing) {
        s.status.down[size_t(unit)] = true;
        s.Touch(time);
        s.PushEvent(UnitDownEventJson(unit, reason, time));
    }
}

void FeedPublisher::UnitBack(int unit, const QDateTime& time) {
    State& s = *d_;
    if (!s.mosq || unit < 0 || unit >= UNIT_COUNT) {
        return;
    }
    std::lock_guard lock(s.m);
    if (!s.finishing) {
        s.status.down[size_t(unit)] = false;
        s.Touch(time);
        s.PushEvent(UnitBackEventJson(unit, time));
    }
}

void FeedPublisher::PieceWritten(int piece, const QString& path, qint64 rows,
                                 const QDateTime& time) {
    State& s = *d_;
    if (!s.mosq) {
        return;
    }
    std::lock_guard lock(s.m);
    if (!s.finishing) {
        s.status.pieces = std::max(s.status.pieces, piece);
        s.Touch(time);
        s.PushEvent(PieceWrittenEventJson(piece, path, rows, time));
    }
}

void FeedPublisher::AlertChanged(const AlertTransition& alert, qint64 row, const QDateTime& time) {
    State& s = *d_;
    if (!s.mosq || alert.unit < 0 || alert.unit >= UNIT_COUNT) {
        return;
    }
    std::lock_guard lock(s.m);
    if (!s.finishing) {
        s.status.alerts[size_t(alert.unit)][size_t(alert.kind)] = alert.raised;
        s.Touch(time);
        s.PushEvent(AlertEventJson(alert, row, time));
    }
}

void FeedPublisher::Finish(const FeedRunEnd& end, const QDateTime& time) {
    State& s = *d_;
    if (!s.mosq) {
        // Off: nothing to deliver, and whoever waits for the end hears of it all the same.
        QMetaObject::invokeMethod(
            this, [this] { Q_EMIT finished(true); }, Qt::QueuedConnection);
        return;
    }
    {
        std::lock_guard lock(s.m);
        if (s.finishing) {
            return;
        }
        s.PushEvent(RunEndedEventJson(end, time));
        s.status.time = time;
        s.status.pieces = std::max(s.status.pieces, end.pieces);
        s.lastTime = time;
        s.finishing = true;
        s.kick = true;
        s.finishDeadline = Clock::now() + std::chrono::milliseconds(s.tuning.finishWaitMs);
    }
    s.cv.notify_all();
}

bool FeedPublisher::WaitForFinished(int ms) {
    State& s = *d_;
    std::unique_lock lock(s.m);
    if (!s.mosq) {
        return true;
    }
    return s.doneCv.wait_for(lock, std::chrono::milliseconds(ms), [&s] { return s.done; });
}

FeedHealth FeedPublisher::Health() const {
    const State& s = *d_;
    FeedHealth h;
    h.link = s.link;
    std::lock_guard lock(s.m);
    h.queued = qint64(s.rows.size() + s.events.size()) + std::max(0, s.inflight.load());
    h.dropped = s.dropped;
    if (h.link == FeedHealth::Link::Waiting) {
        h.problem = s.problem;
    }
    return h;
}

QString FeedPublisher::Topic() const {
    return FeedTopic(d_->settings);
}

QString FeedPublisher::Broker() const {
    return d_->BrokerText();
}

QString FeedStatusText(const FeedHealth& h) {
    QString text;
    switch (h.link) {
    case FeedHealth::Link::Off:
        return {};
    case FeedHealth::Link::Connecting:
        text = FeedTr::tr("配信接続中");
        break;
    case FeedHealth::Link::Connected:
        text = FeedTr::tr("配信中");
        break;
    case FeedHealth::Link::Waiting:
        text = FeedTr::tr("配信待ち %1行").arg(QLocale::c().toString(h.queued));
        break;
    }
    if (h.dropped > 0) {
        text += FeedTr::tr("（%1行破棄）").arg(QLocale::c().toString(h.dropped));
    }
    return text;
}

QString FeedStatusWords(const FeedHealth& h) {
    QString text;
    switch (h.link) {
    case FeedHealth::Link::Off:
        return {};
    case FeedHealth::Link::Connecting:
        text = FeedTr::tr("配信接続中", "the recorder's status");
        break;
    case FeedHealth::Link::Connected:
        text = FeedTr::tr("配信中", "the recorder's status");
        break;
    case FeedHealth::Link::Waiting:
        text = FeedTr::tr("配信待ち %1件", "the recorder's status").arg(h.queued);
        break;
    }
    if (h.dropped > 0) {
        text += FeedTr::tr(" %1件破棄", "the recorder's status").arg(h.dropped);
    }
    return text;
}

} // namespace k12
