// SPDX-License-Identifier: GPL-3.0-or-later
// The feed against a real mosquitto broker started by the test: what a subscriber sees of a run,
// the broker away at the start and in the middle, the bounded queue, the last will after a
// kill -9, TLS and passwords.
#include "BrokerRig.h"
#include "RunTool.h"
#include "feed/FeedPublisher.h"

#include <QJsonArray>
#include <QSignalSpy>
#include <QStandardPaths>
#include <csignal>

using namespace k12;
using namespace k12::test;

namespace {

const QString kTopic = QStringLiteral("k12test/site");

FeedRunInfo RunInfo() {
    FeedRunInfo run;
    run.start = QDateTime(QDate(2026, 12, 8), QTime(9, 0), Qt::OffsetFromUTC, 9 * 3600);
    run.intervalMs = 100;
    run.inUse = {true, true, false, true};
    run.comPorts = {1, 2, 3, 4};
    run.devices = {QStringLiteral("/dev/ttyUSB0"), QStringLiteral("/dev/ttyUSB1"), QString(),
                   QStringLiteral("/dev/serial/by-id/usb-x")};
    return run;
}

// Row n of a device-timer run at 100 ms; unit 2 has a hole every seventh row.
FeedRow Row(qint64 n) {
    FeedRow row;
    row.row = n;
    row.time = RunInfo().start.addMSecs(n * 100);
    row.elapsedS = double(n) / 10.0;
    row.inUse = RunInfo().inUse;
    row.values[0] = double(n) + 0.5;
    if (n % 7 != 3) {
        row.values[1] = -double(n) / 4.0;
    }
    row.values[3] = 12.0;
    return row;
}

FeedSettings Settings(const BrokerRig& broker) {
    FeedSettings s;
    s.Broker = broker.url();
    s.Topic = kTopic;
    return s;
}

QList<qint64> RowNumbers(const std::vector<Message>& messages) {
    QList<qint64> rows;
    for (const Message& m : messages) {
        if (m.topic == kTopic + QStringLiteral("/row")) {
            rows << m.json().value(QStringLiteral("row")).toInteger(-1);
        }
    }
    return rows;
}

// Every row first..last arrived, the first time in order; QoS 1 allows a row to arrive again
// after a reconnect.
bool AllRowsInOrder(const QList<qint64>& rows, qint64 first, qint64 last) {
    qint64 next = first;
    for (const qint64 r : rows) {
        if (r == next) {
            ++next;
        } else if (r > next || r < first) {
            qWarning("row %lld arrived where %lld was due", r, next);
            return false;
        }
    }
    if (next != last + 1) {
        qWarning("rows up to %lld arrived, not up to %lld", next - 1, last);
    }
    return next == last + 1;
}

QStringList EventNames(const std::vector<Message>& messages) {
    QStringList names;
    for (const Message& m : messages) {
        if (m.topic == kTopic + QStringLiteral("/event")) {
            names << m.json().value(QStringLiteral("event")).toString();
        }
    }
    return names;
}

// The retained status a new subscriber gets.
QJsonObject RetainedStatus(int port, const char* user = nullptr, const char* password = nullptr) {
    Subscriber fresh(port, kTopic + QStringLiteral("/status"), false, user, password);
    fresh.waitFor([](const auto& m) { return !m.empty(); }, 5000);
    const auto messages = fresh.messages();
    return messages.empty() || !messages.back().retained ? QJsonObject() : messages.back().json();
}

QList<FeedNotice::Kind> Kinds(const QSignalSpy& spy) {
    QList<FeedNotice::Kind> kinds;
    for (const QList<QVariant>& args : spy) {
        kinds << args.at(0).value<FeedNotice>().kind;
    }
    return kinds;
}

void Publish(FeedPublisher& feed, qint64 first, qint64 last) {
    for (qint64 n = first; n <= last; ++n) {
        feed.PublishRow(Row(n));
    }
}

} // namespace

class TestFeedPublisher : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void initTestCase();
    void aSubscriberSeesTheRun();
    void brokerAwayAtTheStartAndInTheMiddle();
    void fullQueueDropsTheOldestRows();
    void finishGivesUpAfterItsWait();
    void lastWillAfterKill();
    void connections_data();
    void connections();
};

void TestFeedPublisher::initTestCase() {
    qRegisterMetaType<FeedNotice>();
    for (const char* program : {"mosquitto", "mosquitto_passwd", "openssl"}) {
        QVERIFY2(!QStandardPaths::findExecutable(QString::fromLatin1(program)).isEmpty(), program);
    }
}

void TestFeedPublisher::aSubscriberSeesTheRun() {
    BrokerRig broker;
    QVERIFY(broker.start());
    Subscriber sub(broker.port(), kTopic + QStringLiteral("/#"));
    FeedPublisher feed(Settings(broker));
    QSignalSpy finished(&feed, &FeedPublisher::finished);
    QCOMPARE(feed.Start(RunInfo()), std::nullopt);
    const QDateTime t = RunInfo().start.addSecs(5);
    Publish(feed, 0, 49);
    feed.UnitDown(1, QStringLiteral("タイムアウト"), t);
    Publish(feed, 50, 99);
    feed.UnitBack(1, t.addSecs(1));
    feed.PieceWritten(1, QStringLiteral("/srv/k12inc/20261208-090000-001.zr5"), 88000, t);
    feed.AlertChanged({0, AlertKind::High, true, 150.0, 150.5, 0.0}, 150, t.addSecs(10));
    Publish(feed, 100, 199);
    QVERIFY(sub.waitFor([](const auto& m) { return RowNumbers(m).size() >= 200; }));

    // While the run goes on, a new subscriber learns what it measures.
    const QJsonObject running = RetainedStatus(broker.port());
    QCOMPARE(running.value("state").toString(), QStringLiteral("running"));
    QCOMPARE(running.value("start").toString(), QStringLiteral("2026-12-08T09:00:00.000+09:00"));
    QCOMPARE(running.value("timer").toString(), QStringLiteral("device"));
    QCOMPARE(running.value("intervalMs").toInt(), 100);
    const QJsonArray units = running.value("units").toArray();
    QCOMPARE(units.size(), 3);
    QCOMPARE(units.at(2).toObject().value("port").toString(), QStringLiteral("COM4"));
    QCOMPARE(running.value("pieces").toInt(), 1);
    QCOMPARE(running.value("down").toArray(), QJsonArray());
    QCOMPARE(running.value("alerts").toArray().size(), 1);

    feed.Finish(
        {QStringLiteral("停止"), 200, 2, 20.0, {QStringLiteral("2台目: 28件（タイムアウト）")}},
        t.addSecs(20));
    QVERIFY(feed.WaitForFinished(15000));
    QTRY_COMPARE(finished.size(), 1);
    QCOMPARE(finished.at(0).at(0).toBool(), true);
    QCOMPARE(feed.Health().queued, 0);

    QVERIFY(sub.waitFor([](const auto& m) { return EventNames(m).contains("run-ended"); }));
    const auto messages = sub.messages();
    const QList<qint64> rows = RowNumbers(messages);
    QCOMPARE(rows.size(), 200);
    QVERIFY(AllRowsInOrder(rows, 0, 199));
    QCOMPARE(EventNames(messages),
             (QStringList{"unit-down", "unit-back", "piece-written", "alert-raised", "run-ended"}));
    for (const Message& m : messages) {
        const QJsonObject o = m.json();
        if (o.value("row").toInteger() == 3 && m.topic.endsWith(QStringLiteral("/row"))) {
            QCOMPARE(QString::fromUtf8(m.payload),
                     QStringLiteral(R"({"row":3,"time":"2026-12-08T09:00:00.300+09:00",)"
                                    R"("elapsed":0.3,"units":{"1":3.500,"2":null,"4":12.000}})"));
        }
        if (o.value("event") == QStringLiteral("unit-down")) {
            QCOMPARE(o.value("unit").toInt(), 2);
            QCOMPARE(o.value("reason").toString(), QStringLiteral("タイムアウト"));
            QCOMPARE(o.value("time").toString(), QStringLiteral("2026-12-08T09:00:05.000+09:00"));
        }
        if (o.value("event") == QStringLiteral("run-ended")) {
            QCOMPARE(o.value("rows").toInt(), 200);
            QCOMPARE(o.value("summary").toArray().at(0).toString(),
                     QStringLiteral("2台目: 28件（タイムアウト）"));
        }
    }
    QCOMPARE(RetainedStatus(broker.port()).value("state").toString(), QStringLiteral("stopped"));
}

// The broker is away when the run starts and again in the middle of it; rows wait and none is
// lost. The outage is the broker stopped and started again: 300 rows, 30 s at 100 ms, are
// published while it is away. The test waits about 2 s of it, not 30: how long the broker is
// away only decides how many rows wait (an hour of them is fullQueueDropsTheOldestRows) and how
// far the back-off has grown.
void TestFeedPublisher::brokerAwayAtTheStartAndInTheMiddle() {
    BrokerRig broker;
    QVERIFY(broker.start());
    // The subscriber's session is kept by the broker across its stops, so it misses nothing
    // published while it reconnects.
    Subscriber sub(broker.port(), kTopic + QStringLiteral("/row"));
    broker.stop();

    FeedPublisher feed(Settings(broker));
    QSignalSpy notices(&feed, &FeedPublisher::notice);
    QCOMPARE(feed.Start(RunInfo()), std::nullopt);
    Publish(feed, 0, 99);
    QTRY_VERIFY(Kinds(notices).contains(FeedNotice::Kind::Waiting));
    QCOMPARE(feed.Health().link, FeedHealth::Link::Waiting);
    QVERIFY(!feed.Health().problem.isEmpty());
    QCOMPARE(feed.Health().queued, 100);

    QVERIFY(broker.start());
    QVERIFY(sub.waitFor([](const auto& m) { return RowNumbers(m).size() >= 100; }));
    QCOMPARE(feed.Health().link, FeedHealth::Link::Connected);

    // Stopped while a burst of rows is on its way: what the broker had not acknowledged goes
    // again.
    Publish(feed, 100, 1099);
    QVERIFY(sub.waitFor([](const auto& m) { return RowNumbers(m).size() >= 300; }));
    broker.stop();
    QTRY_COMPARE(feed.Health().link, FeedHealth::Link::Waiting);
    Publish(feed, 1100, 1399);
    QTest::qWait(2000);
    QVERIFY(feed.Health().queued >= 300);
    QVERIFY(broker.start());
    Publish(feed, 1400, 1499);
    feed.Finish({QStringLiteral("停止"), 1500, 1, 150.0, {}}, Row(1499).time);
    QVERIFY(feed.WaitForFinished(20000));
    QVERIFY(sub.waitFor([](const auto& m) { return RowNumbers(m).contains(1499); }));
    QVERIFY(AllRowsInOrder(RowNumbers(sub.messages()), 0, 1499));
    QTRY_COMPARE(Kinds(notices),
                 (QList<FeedNotice::Kind>{FeedNotice::Kind::Waiting, FeedNotice::Kind::Connected,
                                          FeedNotice::Kind::Lost, FeedNotice::Kind::Connected}));
}

// An hour of rows at 100 ms waits for the broker; more drops the oldest, counts them and says so.
void TestFeedPublisher::fullQueueDropsTheOldestRows() {
    BrokerRig broker;
    QVERIFY(broker.start());
    Subscriber sub(broker.port(), kTopic + QStringLiteral("/#"));
    broker.stop();

    FeedPublisher feed(Settings(broker));
    QSignalSpy notices(&feed, &FeedPublisher::notice);
    QCOMPARE(feed.Start(RunInfo()), std::nullopt);
    const qint64 extra = 250;
    Publish(feed, 0, FEED_QUEUE_ROWS + extra - 1);
    QCOMPARE(feed.Health().dropped, extra);
    QCOMPARE(feed.Health().queued, FEED_QUEUE_ROWS);
    QTRY_VERIFY(Kinds(notices).contains(FeedNotice::Kind::Dropping));
    QCOMPARE(Kinds(notices).count(FeedNotice::Kind::Dropping), 1);

    QVERIFY(broker.start());
    QVERIFY(
        sub.waitFor([](const auto& m) { return EventNames(m).contains("rows-dropped"); }, 60000));
    const auto messages = sub.messages();
    QVERIFY(AllRowsInOrder(RowNumbers(messages), extra, FEED_QUEUE_ROWS + extra - 1));
    for (const Message& m : messages) {
        if (m.json().value("event") == QStringLiteral("rows-dropped")) {
            QCOMPARE(m.json().value("count").toInteger(), extra);
            QCOMPARE(m.json().value("firstRow").toInteger(), 0);
            QCOMPARE(m.json().value("lastRow").toInteger(), extra - 1);
        }
    }
    QCOMPARE(RetainedStatus(broker.port()).value("dropped").toInteger(), extra);
}

void TestFeedPublisher::finishGivesUpAfterItsWait() {
    BrokerRig broker; // never started
    FeedPublisher feed(Settings(broker), {.queueRows = FEED_QUEUE_ROWS, .finishWaitMs = 300});
    QSignalSpy notices(&feed, &FeedPublisher::notice);
    QSignalSpy finished(&feed, &FeedPublisher::finished);
    QCOMPARE(feed.Start(RunInfo()), std::nullopt);
    Publish(feed, 0, 9);
    feed.Finish({}, Row(9).time);
    QVERIFY(feed.WaitForFinished(5000));
    QTRY_COMPARE(finished.size(), 1);
    QCOMPARE(finished.at(0).at(0).toBool(), false);
    QTRY_VERIFY(Kinds(notices).contains(FeedNotice::Kind::Undelivered));
    QCOMPARE(feed.Health().link, FeedHealth::Link::Off);
}

// A program that publishes and is killed: its connection's last will sets the status offline.
void TestFeedPublisher::lastWillAfterKill() {
    BrokerRig broker;
    QVERIFY(broker.start());
    Subscriber sub(broker.port(), kTopic + QStringLiteral("/status"));
    QProcess child;
    child.start(ToolPath(QStringLiteral("k12-feed-child")), {broker.url(), kTopic});
    QVERIFY(child.waitForStarted());
    QVERIFY(sub.waitFor([](const auto& m) {
        return !m.empty() && m.back().json().value("state") == QStringLiteral("running");
    }));
    ::kill(static_cast<pid_t>(child.processId()), SIGKILL);
    QVERIFY(child.waitForFinished());
    QVERIFY(sub.waitFor(
        [](const auto& m) { return m.back().json().value("state") == QStringLiteral("offline"); }));
    const QJsonObject offline = RetainedStatus(broker.port());
    QCOMPARE(offline.value("state").toString(), QStringLiteral("offline"));
    QCOMPARE(offline.value("units").toArray().size(), 1);
}

void TestFeedPublisher::connections_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password"); // the password file's line; empty: no file
    QTest::addColumn<QString>("ca");       // "ca" the broker's, "other" another CA, "": none
    QTest::addColumn<QString>("refusal");  // empty: delivered
    const int plain = int(BrokerRig::Kind::Password);
    const int tls = int(BrokerRig::Kind::Tls);
    const QString pw = QString::fromLatin1(BrokerRig::kPassword);
    QTest::newRow("user and password file") << plain << "logger" << pw << ""
                                            << "";
    QTest::newRow("wrong password") << plain << "logger"
                                    << "guess"
                                    << ""
                                    << "not authori";
    QTest::newRow("no user") << plain << ""
                             << ""
                             << ""
                             << "not authori";
    // Also through a restart of the broker: a TLS connection cut short is taken up again.
    QTest::newRow("TLS with its CA") << tls << ""
                                     << ""
                                     << "ca"
                                     << "";
    QTest::newRow("TLS, another CA") << tls << ""
                                     << ""
                                     << "other"
                                     << "certificate verify failed";
    QTest::newRow("TLS, the system's store") << tls << ""
                                             << ""
                                             << ""
                                             << "certificate verify failed";
}

void TestFeedPublisher::connections() {
    QFETCH(int, kind);
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(QString, ca);
    QFETCH(QString, refusal);
    BrokerRig broker{static_cast<BrokerRig::Kind>(kind)};
    QVERIFY(broker.start());
    const bool auth = kind == int(BrokerRig::Kind::Password);
    const char* subUser = auth ? BrokerRig::kUser : nullptr;
    const char* subPassword = auth ? BrokerRig::kPassword : nullptr;
    Subscriber sub(broker.plainPort(), kTopic + QStringLiteral("/row"), true, subUser, subPassword);

    FeedSettings s = Settings(broker);
    s.Username = user;
    if (!password.isEmpty()) {
        s.PasswordFile = broker.path("feed.pass");
        QFile file(s.PasswordFile);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.setPermissions(QFile::ReadOwner | QFile::WriteOwner));
        file.write(password.toUtf8() + '\n');
    }
    s.CaFile = ca == u"ca" ? broker.path("ca.crt") : ca == u"other" ? broker.otherCa() : QString();
    FeedPublisher feed(s);
    QCOMPARE(feed.Start(RunInfo()), std::nullopt);
    Publish(feed, 0, 4);
    if (!refusal.isEmpty()) {
        QTRY_VERIFY2_WITH_TIMEOUT(feed.Health().problem.contains(refusal),
                                  qPrintable(feed.Health().problem), 10000);
        QCOMPARE(feed.Health().link, FeedHealth::Link::Waiting);
        QVERIFY(RowNumbers(sub.messages()).isEmpty());
        return;
    }
    QVERIFY(sub.waitFor([](const auto& m) { return RowNumbers(m).size() >= 5; }));
    broker.stop();
    QVERIFY(broker.start());
    Publish(feed, 5, 9);
    feed.Finish({}, Row(9).time);
    QVERIFY(feed.WaitForFinished(15000));
    QVERIFY(sub.waitFor([](const auto& m) { return RowNumbers(m).contains(9); }));
    QVERIFY(AllRowsInOrder(RowNumbers(sub.messages()), 0, 9));
    QCOMPARE(RetainedStatus(broker.plainPort(), subUser, subPassword).value("state").toString(),
             QStringLiteral("stopped"));
}

QTEST_GUILESS_MAIN(TestFeedPublisher)
#include "test_feed_publisher.moc"
