// SPDX-License-Identifier: GPL-3.0-or-later
// Shared by the benchmarks: repeated timing and one machine-readable result line per figure.
//
// Every figure is printed as a tab-separated line
//   BENCH <figure> <median> <min> <cpu median> <runs> <unit> <target>
// which bench/run.sh collects into one table; anything else a benchmark prints is for people.
#pragma once

#include "FreePort.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QTemporaryDir>
#include <QThread>
#include <QtGlobal>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <pwd.h>
#include <unistd.h>
#include <vector>

namespace k12::bench {

// A mosquitto broker of the benchmark's own on a free loopback port, while the object lives;
// port() is 0 when the machine has no mosquitto.
class BenchBroker {
  public:
    BenchBroker() {
        if (QStandardPaths::findExecutable(QStringLiteral("mosquitto")).isEmpty()) {
            return;
        }
        const int port = test::FreePort();
        QByteArray text = "listener " + QByteArray::number(port) +
                          " 127.0.0.1\nallow_anonymous true\nlog_dest none\n";
        // As root the broker would switch to its own user.
        if (const passwd* pw = ::getpwuid(::geteuid())) {
            text += QByteArray("user ") + pw->pw_name + '\n';
        }
        QFile conf(dir_.filePath(QStringLiteral("mosquitto.conf")));
        if (!conf.open(QIODevice::WriteOnly) || conf.write(text) != text.size()) {
            return;
        }
        conf.close();
        process_.start(QStringLiteral("mosquitto"), {QStringLiteral("-c"), conf.fileName()});
        if (process_.waitForStarted()) {
            QThread::msleep(300);
            port_ = port;
        }
    }
    ~BenchBroker() {
        process_.terminate();
        process_.waitForFinished();
    }
    BenchBroker(const BenchBroker&) = delete;
    BenchBroker& operator=(const BenchBroker&) = delete;

    int port() const { return port_; }

  private:
    QTemporaryDir dir_;
    QProcess process_;
    int port_ = 0;
};

struct Timing {
    double median = 0.0;
    double min = 0.0;
    double cpu = 0.0; // median CPU time of this thread: leaves out other processes on a busy box
    int runs = 0;
};

inline double ThreadCpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

// Collects wall and CPU times of repeated runs of one piece of work.
class Samples {
  public:
    void start() {
        cpu0_ = ThreadCpuMs();
        timer_.start();
    }
    void stop() {
        wall_.push_back(static_cast<double>(timer_.nsecsElapsed()) / 1e6);
        cpu_.push_back(ThreadCpuMs() - cpu0_);
    }
    Timing timing() const {
        if (wall_.empty()) {
            return {};
        }
        std::vector<double> wall = wall_;
        std::vector<double> cpu = cpu_;
        std::sort(wall.begin(), wall.end());
        std::sort(cpu.begin(), cpu.end());
        const std::size_t mid = wall.size() / 2;
        return {wall[mid], wall.front(), cpu[mid], static_cast<int>(wall.size())};
    }

  private:
    QElapsedTimer timer_;
    double cpu0_ = 0.0;
    std::vector<double> wall_;
    std::vector<double> cpu_;
};

// Runs prepare(i) untimed, then run(i) timed, runs times.
inline Timing Measure(int runs, const std::function<void(int)>& run,
                      const std::function<void(int)>& prepare = {}) {
    Samples samples;
    for (int i = 0; i < runs; ++i) {
        if (prepare) {
            prepare(i);
        }
        samples.start();
        run(i);
        samples.stop();
    }
    return samples.timing();
}

inline void Report(const char* figure, const Timing& t, const char* target = "",
                   const char* unit = "ms") {
    std::printf("BENCH\t%s\t%.2f\t%.2f\t%.2f\t%d\t%s\t%s\n", figure, t.median, t.min, t.cpu, t.runs,
                unit, target);
    std::fflush(stdout);
}

inline void ReportValue(const char* figure, double value, const char* unit,
                        const char* target = "") {
    std::printf("BENCH\t%s\t%.1f\t-\t-\t1\t%s\t%s\n", figure, value, unit, target);
    std::fflush(stdout);
}

// A ratio of two figures of the same run, e.g. "0.42 x".
inline void ReportRatio(const char* figure, double ratio, const char* target = "") {
    std::printf("BENCH\t%s\t%.2f\t-\t-\t1\tx\t%s\n", figure, ratio, target);
    std::fflush(stdout);
}

// The offscreen platform warns about things that do not matter here; keep the output readable.
inline void QuietQtWarnings() {
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen")
                                                                    : qgetenv("QT_QPA_PLATFORM"));
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& msg) {
        if (type == QtCriticalMsg || type == QtFatalMsg) {
            std::fprintf(stderr, "%s\n", qPrintable(msg));
        }
    });
}

} // namespace k12::bench
