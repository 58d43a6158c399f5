// SPDX-License-Identifier: GPL-3.0-or-later
// k12-feed-child BROKER TOPIC: publishes a row every 20 ms until it is killed, for the test of
// the last will.
#include "feed/FeedPublisher.h"

#include <QCoreApplication>
#include <QTimer>
#include <cstdio>

using namespace k12;

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 3) {
        std::fputs("usage: k12-feed-child BROKER TOPIC\n", stderr);
        return 2;
    }
    FeedSettings settings;
    settings.Broker = args[1];
    settings.Topic = args[2];
    FeedPublisher feed(settings);
    FeedRunInfo run;
    run.start = QDateTime::currentDateTime();
    run.intervalMs = 100;
    run.inUse = {true, false, false, false};
    run.comPorts = {1, 2, 3, 4};
    if (const auto refusal = feed.Start(run)) {
        std::fprintf(stderr, "%s\n", refusal->toUtf8().constData());
        return 2;
    }
    qint64 n = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        FeedRow row;
        row.row = n;
        row.time = run.start.addMSecs(n * 100);
        row.elapsedS = double(n) / 10.0;
        row.inUse = run.inUse;
        row.values[0] = double(n++);
        feed.PublishRow(row);
    });
    timer.start(20);
    return QCoreApplication::exec();
}
