// SPDX-License-Identifier: GPL-3.0-or-later
// What the live feed adds to a step: queueing a row of four units for the broker and feeding its
// values to the alerts, with a mosquitto broker of its own on loopback taking the rows as they
// go (without one on the machine, the rows wait in the queue, which costs the same).
#include "BenchUtil.h"
#include "feed/FeedPublisher.h"
#include "measurement/AngleAlerts.h"

#include <QCoreApplication>
#include <QThread>
#include <unistd.h>
#include <vector>

using namespace k12;
using namespace k12::bench;

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    // Without a broker the rows wait in the queue; the step's cost is the same.
    const BenchBroker broker;
    if (broker.port() == 0) {
        std::fputs("no mosquitto: the rows wait in the queue\n", stderr);
    }
    const int port = broker.port() != 0 ? broker.port() : test::FreePort();

    FeedSettings settings;
    settings.Broker = QStringLiteral("mqtt://127.0.0.1:%1").arg(port);
    settings.Topic = QStringLiteral("k12bench");
    FeedPublisher feed(settings);
    FeedRunInfo run;
    run.start = QDateTime::currentDateTime();
    run.intervalMs = 100;
    run.inUse = {true, true, true, true};
    if (feed.Start(run)) {
        std::fputs("the feed did not start\n", stderr);
        return 1;
    }
    AlertSettings limits;
    for (size_t u = 0; u < UNIT_COUNT; ++u) {
        limits.High[u] = QStringLiteral("170");
        limits.Low[u] = QStringLiteral("-170");
        limits.Change[u] = QStringLiteral("90");
    }
    AngleAlerts alerts(std::get<AlertLimits>(ParseAlertSettings(limits)));

    // Batches of rows as a run makes them (made beforehand: that is the engine's part), with time
    // between for the feed's thread to send them.
    constexpr int kBatches = 60;
    constexpr int kRows = 100;
    Samples samples;
    std::vector<FeedRow> rows(kRows);
    qint64 n = 0;
    for (int b = 0; b < kBatches; ++b) {
        for (FeedRow& row : rows) {
            row.row = n;
            row.time = run.start.addMSecs(n * 100);
            row.elapsedS = double(n) / 10.0;
            row.inUse = run.inUse;
            for (int u = 0; u < UNIT_COUNT; ++u) {
                row.values[size_t(u)] = double((n * (u + 3)) % 360) - 180.0;
            }
            ++n;
        }
        samples.start();
        for (const FeedRow& row : rows) {
            for (int u = 0; u < UNIT_COUNT; ++u) {
                for (const AlertTransition& t : alerts.Feed(u, row.values[size_t(u)])) {
                    feed.AlertChanged(t, row.row, row.time);
                }
            }
            feed.PublishRow(row);
        }
        samples.stop();
        QThread::msleep(20);
    }
    Timing t = samples.timing();
    // Milliseconds per batch to microseconds per row.
    t.median *= 1000.0 / kRows;
    t.min *= 1000.0 / kRows;
    t.cpu *= 1000.0 / kRows;
    Report("feed on: a row of 4 units queued for the broker, and its alerts", t, "<= 20", "us");

    feed.Finish({}, QDateTime::currentDateTime());
    const bool delivered = feed.WaitForFinished(15000);
    if (broker.port() != 0 && (!delivered || feed.Health().queued != 0)) {
        std::fputs("the broker did not take every row\n", stderr);
        return 1;
    }
    return 0;
}
