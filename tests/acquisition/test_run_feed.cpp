// SPDX-License-Identifier: GPL-3.0-or-later
// A run published live: what a subscriber of a real broker sees of the engine's rows and events.
#include "BrokerRig.h"
#include "EngineRig.h"

#include <QJsonArray>
#include <QTemporaryDir>
#include <QTest>

using namespace k12;
using namespace k12::test;

namespace {

const QString kTopic = QStringLiteral("k12test");

QStringList EventNames(const std::vector<Message>& messages) {
    QStringList names;
    for (const Message& m : messages) {
        if (m.topic == kTopic + QStringLiteral("/event")) {
            names << m.json().value(QStringLiteral("event")).toString();
        }
    }
    return names;
}

} // namespace

class TestRunFeed : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void rowsAndEventsOfARun() {
        BrokerRig broker;
        QVERIFY(broker.start());
        Subscriber sub(broker.port(), kTopic + QStringLiteral("/#"));
        QTemporaryDir folder;
        // Two units, pieces of 10 rows, unit 1 alerted above 20 degrees.
        EngineRig rig({.units = {0, 1},
                       .pcTimer = false,
                       .interval = 100,
                       .continueOnError = true,
                       .continueWhenFull = true,
                       .saveFolder = folder.path()});
        rig.engine.SetPieceRowsForTest(10);
        rig.md.Feed.Broker = broker.url();
        rig.md.Feed.Topic = kTopic;
        rig.md.Alerts.High[0] = QStringLiteral("20");
        rig.engine.SetPortDevices([](int port) { return QStringLiteral("/dev/ttyUSB%1").arg(port); });
        QVERIFY(!rig.start().ended);

        // Unit 1 rises through its limit and back; unit 2's line fails after row 4, and it is
        // started again a second later (1.6 s into the run), its values from row 16 on.
        std::vector<AlertTransition> alerts;
        for (int k = 0; k < 25; ++k) {
            rig.receive(0, {k >= 8 && k < 16 ? 25.0 : 10.0});
            if (k < 5 || k >= 16) {
                rig.receive(1, {100.0 + k});
            }
            if (k == 5) {
                rig.port(1).setFailure(DeviceError(706, QStringLiteral("切断")));
            }
            const RunReport report = rig.step();
            QVERIFY(!report.ended);
            alerts.insert(alerts.end(), report.alerts.begin(), report.alerts.end());
        }
        QCOMPARE(alerts.size(), size_t(2));
        QVERIFY(alerts[0].raised && !alerts[1].raised);
        QVERIFY(rig.engine.Stop().ended);

        // Every row once, in order, counted from the run's start across the pieces.
        QVERIFY(sub.waitFor([](const auto& m) { return EventNames(m).contains("run-ended"); }));
        QList<qint64> rows;
        for (const Message& m : sub.messages(kTopic + QStringLiteral("/row"))) {
            const QJsonObject o = m.json();
            const qint64 row = o.value(QStringLiteral("row")).toInteger(-1);
            rows << row;
            const QJsonObject units = o.value(QStringLiteral("units")).toObject();
            QCOMPARE(units.value(QStringLiteral("1")).toDouble(),
                     row >= 8 && row < 16 ? 25.0 : 10.0);
            const QJsonValue second = units.value(QStringLiteral("2"));
            if (row < 5 || row >= 16) {
                QCOMPARE(second.toDouble(), 100.0 + double(row));
            } else {
                QVERIFY2(second.isNull(), qPrintable(QString::number(row)));
            }
        }
        QList<qint64> expected;
        for (qint64 r = 0; r < 25; ++r) {
            expected << r;
        }
        QCOMPARE(rows, expected);
        QCOMPARE(EventNames(sub.messages()),
                 (QStringList{"unit-down", "alert-raised", "piece-written", "unit-back",
                              "alert-cleared", "piece-written", "piece-written", "run-ended"}));
        QCOMPARE(rig.engine.Feed()->Health().queued, 0);
        // The status names each unit's port and the device it stands for.
        const auto status = sub.messages(kTopic + QStringLiteral("/status"));
        QVERIFY(!status.empty());
        QStringList ports;
        for (const QJsonValue u : status.back().json().value(QStringLiteral("units")).toArray()) {
            ports << u[QStringLiteral("port")].toString() + QLatin1Char(' ') +
                         u[QStringLiteral("device")].toString();
        }
        QCOMPARE(ports, (QStringList{"COM1 /dev/ttyUSB1", "COM2 /dev/ttyUSB2"}));
    }
};

QTEST_GUILESS_MAIN(TestRunFeed)
#include "test_run_feed.moc"
