// SPDX-License-Identifier: GPL-3.0-or-later
// The feed against a real mosquitto broker started by the test: the exact messages and the
// retained status on each kind of connection, the broker away with a full queue and in the middle
// of a run, the last will after a kill -9, TLS and passwords. A whole run's rows and events in
// order through the engine: acquisition_test_run_feed.
#include "BrokerRig.h"
#include "feed/FeedPublisher.h"

#include <QJsonArray>
#include <QSet>
#include <QSignalSpy>
#include <QStandardPaths>
#include <csignal>
#include <numeric>

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

void Publish(FeedPublisher& feed, qint64 first, qint64 last) {
    for (qint64 n = first; n <= last; ++n) {
        feed.PublishRow(Row(n));
    }
}

FeedSettings Settings(const QString& broker) {
    FeedSettings s;
    s.Broker = broker;
    s.Topic = kTopic;
    return s;
}

// The payloads on <kTopic><sub>.
QStringList Payloads(const std::vector<Message>& messages, const char* sub) {
    QStringList out;
    for (const Message& m : messages) {
        if (m.topic == kTopic + QLatin1String(sub)) {
            out << QString::fromUtf8(m.payload);
        }
    }
    return out;
}

// The rows in the order they first arrived: QoS 1 may bring a row again after a reconnect.
QList<qint64> FirstArrivals(const std::vector<Message>& messages) {
    QList<qint64> rows;
    QSet<qint64> seen;
    for (const QString& p : Payloads(messages, "/row")) {
        const qint64 row = QJsonDocument::fromJson(p.toUtf8())["row"].toInteger(-1);
        if (!seen.contains(row)) {
            seen.insert(row);
            rows << row;
        }
    }
    return rows;
}

QList<qint64> Rows(qint64 first, qint64 last) {
    QList<qint64> rows(last - first + 1);
    std::iota(rows.begin(), rows.end(), first);
    return rows;
}

// The retained status a new subscriber gets (nothing when it is not retained).
Message RetainedStatus(int port, const char* user = nullptr, const char* password = nullptr) {
    Subscriber fresh(port, kTopic + QStringLiteral("/status"), false, user, password);
    fresh.waitFor([](const auto& m) { return !m.empty(); }, 5000);
    const auto messages = fresh.messages();
    return messages.empty() || !messages.back().retained ? Message() : messages.back();
}

QList<FeedNotice::Kind> Kinds(const QSignalSpy& spy) {
    QList<FeedNotice::Kind> kinds;
    for (const QList<QVariant>& args : spy) {
        kinds << args.at(0).value<FeedNotice>().kind;
    }
    return kinds;
}

} // namespace

class TestFeedPublisher : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    // The broker is away when the run starts: an hour of rows at 100 ms waits for it, more drops
    // the oldest, counts them and says so. Then it is stopped in the middle of the run while a
    // burst of rows is on its way: what it had not acknowledged goes again, and 300 rows (30 s)
    // wait for it. The test waits about 2 s of the outage, not 30: how long the broker is away only
    // decides how many rows wait and how far the back-off has grown.
    void brokerAwayWithAFullQueueThenInTheMiddle() {
        BrokerRig broker;
        QVERIFY(broker.start());
        // The subscriber's session is kept by the broker across its stops, so it misses nothing
        // published while it reconnects.
        Subscriber sub(broker.port(), kTopic + QStringLiteral("/#"));
        broker.stop();

        FeedPublisher feed(Settings(broker.url()));
        QSignalSpy notices(&feed, &FeedPublisher::notice);
        QCOMPARE(feed.Start(RunInfo()), std::nullopt);
        const qint64 extra = 250;
        qint64 last = FEED_QUEUE_ROWS + extra - 1;
        Publish(feed, 0, last);
        QTRY_VERIFY(Kinds(notices).contains(FeedNotice::Kind::Waiting));
        QCOMPARE(feed.Health().link, FeedHealth::Link::Waiting);
        QVERIFY(!feed.Health().problem.isEmpty());
        QCOMPARE(feed.Health().dropped, extra);
        QCOMPARE(feed.Health().queued, FEED_QUEUE_ROWS);

        QVERIFY(broker.start());
        QVERIFY(sub.waitFor([](const auto& m) { return !Payloads(m, "/event").empty(); }, 60000));
        QCOMPARE(feed.Health().link, FeedHealth::Link::Connected);
        QCOMPARE(Payloads(sub.messages(), "/event"),
                 QStringList{R"({"event":"rows-dropped","time":"2026-12-08T10:00:24.900+09:00",)"
                             R"("count":250,"firstRow":0,"lastRow":249,"total":250})"});

        Publish(feed, last + 1, last + 1000);
        QVERIFY(sub.waitFor([&](const auto& m) { return FirstArrivals(m).contains(last + 200); }));
        broker.stop();
        QTRY_COMPARE(feed.Health().link, FeedHealth::Link::Waiting);
        Publish(feed, last + 1001, last + 1300);
        QTest::qWait(2000);
        QVERIFY(feed.Health().queued >= 300);
        QVERIFY(broker.start());
        Publish(feed, last + 1301, last + 1400);
        last += 1400;
        feed.Finish({QStringLiteral("停止"), last + 1, 1, 150.0, {}}, Row(last).time);
        QVERIFY(feed.WaitForFinished(20000));
        QVERIFY(sub.waitFor([&](const auto& m) { return FirstArrivals(m).contains(last); }));
        QCOMPARE(FirstArrivals(sub.messages()), Rows(extra, last));
        QTRY_COMPARE(notices.size(), 5);
        QList<FeedNotice::Kind> kinds = Kinds(notices);
        QCOMPARE(kinds.removeAll(FeedNotice::Kind::Dropping), 1);
        QCOMPARE(kinds,
                 (QList<FeedNotice::Kind>{FeedNotice::Kind::Waiting, FeedNotice::Kind::Connected,
                                          FeedNotice::Kind::Lost, FeedNotice::Kind::Connected}));
        QCOMPARE(RetainedStatus(broker.port()).json().value("dropped").toInteger(), extra);
    }

    // A program that publishes and is killed: its connection's last will sets the status offline.
    void lastWillAfterKill() {
        BrokerRig broker;
        QVERIFY(broker.start());
        Subscriber sub(broker.port(), kTopic + QStringLiteral("/status"));
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("K12_FEED_CHILD"), broker.url());
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), {});
        QVERIFY(child.waitForStarted());
        QVERIFY(sub.waitFor([](const auto& m) {
            return !m.empty() && m.back().json().value("state") == QStringLiteral("running");
        }));
        ::kill(static_cast<pid_t>(child.processId()), SIGKILL);
        QVERIFY(child.waitForFinished());
        QVERIFY(sub.waitFor([](const auto& m) {
            return m.back().json().value("state") == QStringLiteral("offline");
        }));
        const QJsonObject offline = RetainedStatus(broker.port()).json();
        QCOMPARE(offline.value("state").toString(), QStringLiteral("offline"));
        QCOMPARE(offline.value("units").toArray().size(), 3);
    }

    void connections_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password"); // the password file's line; empty: no file
        QTest::addColumn<QString>("ca");       // "server" the broker's, "other" another, "": none
        QTest::addColumn<QString>("refusal");  // empty: delivered; "Connection refused": no broker
        using K = BrokerRig::Kind;
        struct Row {
            const char* tag;
            K kind;
            const char *user, *password, *ca, *refusal;
        };
        const char* pw = BrokerRig::kPassword;
        // clang-format off
        const Row rows[] = {
            {"plain", K::Plain, "", "", "", ""},
            {"user and password file", K::Password, "logger", pw, "", ""},
            {"wrong password", K::Password, "logger", "guess", "", "not authori"},
            {"no user", K::Password, "", "", "", "not authori"},
            {"broker away", K::Plain, "", "", "", "Connection refused"},
            // A TLS connection cut short by the broker's restart is taken up again.
            {"TLS with its CA", K::Tls, "", "", "server", ""},
            {"TLS, another CA", K::Tls, "", "", "other", "certificate verify failed"},
            {"TLS, the system's store", K::Tls, "", "", "", "certificate verify failed"},
        };
        // clang-format on
        for (const Row& r : rows) {
            QTest::newRow(r.tag) << int(r.kind) << r.user << r.password << r.ca << r.refusal;
        }
    }

    // A run as a subscriber sees it, on each kind of connection and across a restart of the broker;
    // or the connection refused with the broker's reason, and the finish giving up after its wait.
    void connections() {
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
        Subscriber sub(broker.plainPort(), kTopic + QStringLiteral("/#"), true, subUser,
                       subPassword);
        if (refusal == u"Connection refused") {
            broker.stop();
        }

        FeedSettings s = Settings(broker.url());
        s.Username = user;
        if (!password.isEmpty()) {
            s.PasswordFile = broker.path("feed.pass");
            QFile file(s.PasswordFile);
            QVERIFY(file.open(QIODevice::WriteOnly));
            QVERIFY(file.setPermissions(QFile::ReadOwner | QFile::WriteOwner));
            file.write(password.toUtf8() + '\n');
        }
        s.CaFile = ca.isEmpty()      ? QString()
                   : ca == u"server" ? broker.path("server.crt")
                                     : broker.certificate(ca);
        FeedPublisher feed(
            s, {.queueRows = FEED_QUEUE_ROWS, .finishWaitMs = refusal.isEmpty() ? 10000 : 300});
        QSignalSpy notices(&feed, &FeedPublisher::notice);
        QSignalSpy finished(&feed, &FeedPublisher::finished);
        QCOMPARE(feed.Start(RunInfo()), std::nullopt);
        const QDateTime t = RunInfo().start.addSecs(5);
        Publish(feed, 0, 3);
        feed.UnitDown(1, QStringLiteral("タイムアウト"), t);
        feed.UnitBack(1, t.addSecs(1));
        feed.PieceWritten(1, QStringLiteral("/srv/k12inc/20261208-090000-001.zr5"), 88000, t);
        feed.AlertChanged({0, AlertKind::High, true, 150.0, 150.5, 0.0}, 150, t.addSecs(10));
        if (!refusal.isEmpty()) {
            QTRY_VERIFY2_WITH_TIMEOUT(feed.Health().problem.contains(refusal),
                                      qPrintable(feed.Health().problem), 10000);
            QCOMPARE(feed.Health().link, FeedHealth::Link::Waiting);
            feed.Finish({}, t);
            QVERIFY(feed.WaitForFinished(5000));
            QTRY_COMPARE(finished.size(), 1);
            QCOMPARE(finished.at(0).at(0).toBool(), false);
            QTRY_VERIFY(Kinds(notices).contains(FeedNotice::Kind::Undelivered));
            QCOMPARE(feed.Health().link, FeedHealth::Link::Off);
            QVERIFY(sub.messages().empty());
            return;
        }
        // While the run goes on, a new subscriber learns what it measures.
        QTRY_COMPARE(feed.Health().queued, 0);
        QCOMPARE(
            RetainedStatus(broker.plainPort(), subUser, subPassword).payload,
            R"({"state":"running","time":"2026-12-08T09:00:15.000+09:00",)"
            R"("start":"2026-12-08T09:00:00.000+09:00","timer":"device","intervalMs":100,"units":[)"
            R"({"unit":1,"port":"COM1","device":"/dev/ttyUSB0"},)"
            R"({"unit":2,"port":"COM2","device":"/dev/ttyUSB1"},)"
            R"({"unit":4,"port":"COM4","device":"/dev/serial/by-id/usb-x"}],)"
            R"("pieces":1,"down":[],"alerts":[{"unit":1,"limit":"high"}],"dropped":0})");

        broker.stop();
        QVERIFY(broker.start());
        Publish(feed, 4, 9);
        feed.Finish(
            {QStringLiteral("停止"), 200, 2, 20.0, {QStringLiteral("2台目: 28件（タイムアウト）")}},
            t.addSecs(20));
        QVERIFY(feed.WaitForFinished(15000));
        QTRY_COMPARE(finished.size(), 1);
        QCOMPARE(finished.at(0).at(0).toBool(), true);
        QCOMPARE(feed.Health().queued, 0);
        QVERIFY(sub.waitFor([](const auto& m) { return Payloads(m, "/event").size() >= 5; }));
        const auto messages = sub.messages();
        QCOMPARE(FirstArrivals(messages), Rows(0, 9));
        QCOMPARE(Payloads(messages, "/row").at(3),
                 QStringLiteral(R"({"row":3,"time":"2026-12-08T09:00:00.300+09:00",)"
                                R"("elapsed":0.3,"units":{"1":3.500,"2":null,"4":12.000}})"));
        QCOMPARE(
            Payloads(messages, "/event"),
            (QStringList{
                R"({"event":"unit-down","time":"2026-12-08T09:00:05.000+09:00","unit":2,)"
                R"("reason":"タイムアウト"})",
                R"({"event":"unit-back","time":"2026-12-08T09:00:06.000+09:00","unit":2})",
                R"({"event":"piece-written","time":"2026-12-08T09:00:05.000+09:00","piece":1,)"
                R"("path":"/srv/k12inc/20261208-090000-001.zr5","rows":88000})",
                R"({"event":"alert-raised","time":"2026-12-08T09:00:15.000+09:00","unit":1,)"
                R"("limit":"high","threshold":150,"value":150.500,"row":150})",
                R"({"event":"run-ended","time":"2026-12-08T09:00:25.000+09:00","reason":"停止",)"
                R"("rows":200,"pieces":2,"elapsed":20,)"
                R"("summary":["2台目: 28件（タイムアウト）"]})"}));
        QCOMPARE(RetainedStatus(broker.plainPort(), subUser, subPassword).json().value("state"),
                 QStringLiteral("stopped"));
    }
};

// With K12_FEED_CHILD=URL the program publishes a run to that broker until it is killed: the
// last will's test.
int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    if (qEnvironmentVariableIsSet("K12_FEED_CHILD")) {
        FeedPublisher feed(Settings(qEnvironmentVariable("K12_FEED_CHILD")));
        return feed.Start(RunInfo()) ? 2 : QCoreApplication::exec();
    }
    TestFeedPublisher test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "test_feed_publisher.moc"
