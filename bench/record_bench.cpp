// SPDX-License-Identifier: GPL-3.0-or-later
// k12inc-record as its own process against four simulated units: its CPU use over a minute at
// the device timer's 100 ms (also publishing every row to a mosquitto broker of the benchmark's
// own, with an alert raised), and its peak memory over a run that writes a full piece.
//   k12-bench-record [SECONDS]   the steady minute's length (default 60)
#include "BenchUtil.h"
#include "UnitSimulator.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

using namespace k12;
using namespace k12::bench;

namespace {

struct Child {
    pid_t pid = -1;
    int status = -1;
    rusage usage{};
};

// The recorder on four units at the device timer's 100 ms, its output into `log`; `feed`: the
// broker it publishes to.
bool Spawn(Child& child, const QString& program, const QTemporaryDir& dir, const QString& log,
           const QByteArray& feed = {}) {
    const QString ini = dir.filePath(QStringLiteral("bench.ini"));
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const QByteArray logPath = QFile::encodeName(log);
    posix_spawn_file_actions_addopen(&actions, 1, logPath.constData(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    const QByteArray prog = QFile::encodeName(program);
    const QByteArray config = QFile::encodeName(ini);
    const QByteArray folder = QFile::encodeName(dir.filePath(QStringLiteral("data")));
    std::vector<const char*> argv = {prog.constData(), "--config", config.constData(), "--folder",
                                     folder.constData()};
    if (!feed.isEmpty()) {
        argv.push_back("--feed");
        argv.push_back(feed.constData());
    }
    argv.push_back(nullptr);
    const int rc = posix_spawn(&child.pid, prog.constData(), &actions, nullptr,
                               const_cast<char**>(argv.data()), environ);
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0;
}

bool Stop(Child& child) {
    ::kill(child.pid, SIGTERM);
    return ::wait4(child.pid, &child.status, 0, &child.usage) == child.pid &&
           WIFEXITED(child.status) && WEXITSTATUS(child.status) == 0;
}

// User and system time of a running process, in ms (from /proc).
double CpuMs(pid_t pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) {
        return -1.0;
    }
    // The fields after the command's closing parenthesis: state is field 3, utime 14, stime 15.
    const QByteArray line = stat.readAll();
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    const double ticks = double(::sysconf(_SC_CLK_TCK));
    return (fields.value(11).toDouble() + fields.value(12).toDouble()) * 1000.0 / ticks;
}

bool WaitForLog(const QString& log, const QByteArray& text, int seconds) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < qint64(seconds) * 1000) {
        QFile f(log);
        if (f.open(QIODevice::ReadOnly) && f.readAll().contains(text)) {
            return true;
        }
        QThread::msleep(200);
    }
    return false;
}

// A run of the recorder against four simulated units streaming every periodMs.
class Run {
  public:
    explicit Run(int periodMs) : sim(std::vector<SimUnitConfig>(4, Counter()), periodMs) {
        sim.start();
        QDir(dir.path()).mkpath(QStringLiteral("data"));
        QFile ini(dir.filePath(QStringLiteral("bench.ini")));
        if (!ini.open(QIODevice::WriteOnly)) {
            return;
        }
        // An alert the counters raise at once: the alerts are watched at every value.
        QByteArray text = "[MeasInfo]\nTimerType=False\nIntervalTM=100\n[Alerts]\nHigh1=10\n";
        for (int u = 1; u <= 4; ++u) {
            text += "Mflag" + QByteArray::number(u) + "=True\nCommPort" + QByteArray::number(u) +
                    "=" + QByteArray::number(u) + "\n";
        }
        text += "[Ports]\n";
        for (int u = 0; u < 4; ++u) {
            text += "COM" + QByteArray::number(u + 1) + "=" + QFile::encodeName(sim.devicePath(u)) +
                    "\n";
        }
        ini.write(text);
        qputenv("XDG_STATE_HOME", QFile::encodeName(dir.filePath(QStringLiteral("state"))));
    }
    static SimUnitConfig Counter() {
        SimUnitConfig c;
        c.waveform = Waveform::Counter;
        return c;
    }
    QString log() const { return dir.filePath(QStringLiteral("record.log")); }
    void dumpLog() const {
        QFile f(log());
        if (f.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "%s", f.readAll().constData());
        }
    }

    QTemporaryDir dir;
    UnitSimulator sim;
    Child child;
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(5, std::atoi(argv[1])) : 60;
    const QString program =
        QCoreApplication::applicationDirPath() + QStringLiteral("/k12inc-record");
    // Its lines are read in its own language, whatever the caller's locale.
    qunsetenv("LANGUAGE");
    qputenv("LC_ALL", "C.UTF-8");

    // The steady state at the units' real pace, one line per 100 ms each: the first seconds
    // (opening, starting) are left out.
    const auto steady = [&](const QByteArray& feed, double& cpuPercent, double& peakMb) {
        Run run(100);
        if (!Spawn(run.child, program, run.dir, run.log(), feed) ||
            !WaitForLog(run.log(), "started ", 15)) {
            run.dumpLog();
            return false;
        }
        QThread::sleep(3);
        const double cpu0 = CpuMs(run.child.pid);
        QElapsedTimer wall;
        wall.start();
        QThread::sleep(static_cast<unsigned long>(seconds));
        const double cpu = CpuMs(run.child.pid) - cpu0;
        cpuPercent = 100.0 * cpu / double(wall.elapsed());
        if (!Stop(run.child)) {
            run.dumpLog();
            return false;
        }
        peakMb = double(run.child.usage.ru_maxrss) / 1024.0;
        return true;
    };
    double cpuPercent = 0.0;
    double steadyMb = 0.0;
    if (!steady({}, cpuPercent, steadyMb)) {
        return 1;
    }
    ReportValue("record: CPU, 4 units, device timer 100 ms (1 min)", cpuPercent, "%", "< 1");
    ReportValue("record: peak RSS, 1 min at 100 ms", steadyMb, "MB", "< 60");

    // The same with the live feed on, to a broker of the benchmark's own.
    if (const BenchBroker broker; broker.port() != 0) {
        const int port = broker.port();
        double feedCpu = 0.0;
        double feedMb = 0.0;
        if (!steady("mqtt://127.0.0.1:" + QByteArray::number(port), feedCpu, feedMb)) {
            return 1;
        }
        ReportValue("record: CPU with the live feed and an alert on (1 min)", feedCpu, "%", "< 1");
    }

    // Units streaming every millisecond fill the 88000 rows of a piece in a minute or two; the
    // driver keeps at most 100 values between steps, so some are dropped, which does not matter
    // here. The figure covers the piece written and the next one started.
    {
        Run run(1);
        if (!Spawn(run.child, program, run.dir, run.log()) ||
            !WaitForLog(run.log(), "piece 1 written", 600)) {
            if (run.child.pid > 0) {
                Stop(run.child);
            }
            run.dumpLog();
            return 1;
        }
        QThread::sleep(2);
        if (!Stop(run.child) || !WaitForLog(run.log(), "piece 2 written", 5)) {
            run.dumpLog();
            return 1;
        }
        ReportValue("record: peak RSS, run across a piece boundary",
                    double(run.child.usage.ru_maxrss) / 1024.0, "MB", "< 60");
    }
    return 0;
}
