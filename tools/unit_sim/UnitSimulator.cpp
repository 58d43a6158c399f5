// SPDX-License-Identifier: GPL-3.0-or-later
#include "UnitSimulator.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <poll.h>
#include <random>
#include <stdexcept>
#include <string>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <termios.h>
#include <unistd.h>
#include <utility>

namespace k12 {

namespace {

constexpr qsizetype MaxPendingOutput = 64 * 1024; // a client that stops reading loses lines

long long nowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

std::runtime_error sysError(const char* what) {
    return std::runtime_error(std::string(what) + ": " + std::strerror(errno));
}

struct Pty {
    int master = -1;
    int slave = -1;
    QString path;
};

// A raw pseudo-terminal whose slave side stays open, so the master never sees a hang-up
// between clients.
Pty openPty() {
    Pty pty;
    pty.master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (pty.master < 0)
        throw sysError("posix_openpt");
    if (::grantpt(pty.master) != 0 || ::unlockpt(pty.master) != 0)
        throw sysError("grantpt/unlockpt");
    const char* name = ::ptsname(pty.master);
    if (!name)
        throw sysError("ptsname");
    pty.path = QString::fromLocal8Bit(name);
    pty.slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (pty.slave < 0)
        throw sysError("open slave");
    // Raw mode: no echo of our own replies back to us, no line editing.
    termios tio{};
    if (::tcgetattr(pty.slave, &tio) != 0)
        throw sysError("tcgetattr");
    ::cfmakeraw(&tio);
    ::cfsetspeed(&tio, B115200);
    if (::tcsetattr(pty.slave, TCSANOW, &tio) != 0)
        throw sysError("tcsetattr");
    ::fcntl(pty.master, F_SETFL, ::fcntl(pty.master, F_GETFL) | O_NONBLOCK);
    return pty;
}

void closePty(Pty& pty) {
    if (pty.master >= 0)
        ::close(pty.master);
    if (pty.slave >= 0)
        ::close(pty.slave);
    pty.master = pty.slave = -1;
}

} // namespace

std::optional<Waveform> ParseWaveform(std::string_view name) {
    if (name == "constant")
        return Waveform::Constant;
    if (name == "sine")
        return Waveform::Sine;
    if (name == "ramp")
        return Waveform::Ramp;
    if (name == "noise")
        return Waveform::Noise;
    if (name == "counter")
        return Waveform::Counter;
    if (name == "clock")
        return Waveform::Clock;
    return std::nullopt;
}

struct UnitSimulator::Unit {
    explicit Unit(const SimUnitConfig& c, unsigned seed) : config(c), random(seed) {}

    SimUnitConfig config;
    int master = -1;
    int slave = -1; // held open so the master never sees a hang-up between clients
    QString path;   // guarded by UnitSimulator::mutex_ (it changes when the unit comes back)
    Pty spare;      // taken at a hang-up, so the unit comes back on a pseudo-terminal of its own
    long long returnAtMs = -1;
    std::atomic<bool> returnRequested{false};
    int commands = 0;
    QByteArray inLine;
    QByteArray out;
    struct Reply {
        long long dueMs;
        QByteArray text;
        bool raw = false; // sent as it is, without CR LF
    };
    std::deque<Reply> replies;
    bool streaming = false;
    long long nextStreamMs = 0;
    long long readingIndex = 0;
    int streamedLines = 0;
    bool powerCut = false;
    bool hangUpPending = false;
    long long hangUpDeadlineMs = 0;
    std::mt19937 random;
    // Guarded by UnitSimulator::mutex_.
    QList<QByteArray> received;
    int linesSent = 0;
    int linesStreamed = 0;
    bool hungUp = false;
    int returns = 0;
};

UnitSimulator::UnitSimulator(std::vector<SimUnitConfig> units, int streamPeriodMs)
    : periodMs_(std::max(1, streamPeriodMs)) {
    unsigned seed = 1;
    for (const SimUnitConfig& config : units)
        units_.push_back(std::make_unique<Unit>(config, seed++));
}

UnitSimulator::~UnitSimulator() {
    stop();
}

void UnitSimulator::start() {
    if (thread_.joinable())
        return;
    for (auto& unit : units_) {
        const Pty pty = openPty();
        unit->master = pty.master;
        unit->slave = pty.slave;
        unit->path = pty.path;
        pointLink(*unit);
    }
    startMs_ = nowMs();
    wakeFd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wakeFd_ < 0)
        throw sysError("eventfd");
    stopping_ = false;
    thread_ = std::thread([this] { run(); });
}

void UnitSimulator::stop() {
    if (thread_.joinable()) {
        stopping_ = true;
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(wakeFd_, &one, sizeof one);
        thread_.join();
    }
    for (auto& unit : units_) {
        if (unit->master >= 0)
            ::close(unit->master);
        if (unit->slave >= 0)
            ::close(unit->slave);
        unit->master = unit->slave = -1;
        closePty(unit->spare);
        if (!unit->config.linkPath.isEmpty())
            ::unlink(unit->config.linkPath.toLocal8Bit().constData());
    }
    if (wakeFd_ >= 0)
        ::close(wakeFd_);
    wakeFd_ = -1;
}

QString UnitSimulator::devicePath(int unit) const {
    std::lock_guard lock(mutex_);
    return units_.at(unit)->path;
}

void UnitSimulator::bringBack(int unit) {
    units_.at(unit)->returnRequested = true;
    if (wakeFd_ >= 0) {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(wakeFd_, &one, sizeof one);
    }
}

int UnitSimulator::returns(int unit) const {
    std::lock_guard lock(mutex_);
    return units_.at(unit)->returns;
}

void UnitSimulator::pointLink(const Unit& unit) {
    if (unit.config.linkPath.isEmpty())
        return;
    // Made beside the link and renamed over it, so a client never finds a half-made link.
    const QByteArray link = unit.config.linkPath.toLocal8Bit();
    const QByteArray temporary = link + ".new";
    ::unlink(temporary.constData());
    if (::symlink(unit.path.toLocal8Bit().constData(), temporary.constData()) != 0 ||
        ::rename(temporary.constData(), link.constData()) != 0)
        throw sysError("symlink");
}

QList<QByteArray> UnitSimulator::receivedCommands(int unit) const {
    std::lock_guard lock(mutex_);
    return units_.at(unit)->received;
}

int UnitSimulator::linesSent(int unit) const {
    std::lock_guard lock(mutex_);
    return units_.at(unit)->linesSent;
}

int UnitSimulator::linesStreamed(int unit) const {
    std::lock_guard lock(mutex_);
    return units_.at(unit)->linesStreamed;
}

bool UnitSimulator::hungUp(int unit) const {
    std::lock_guard lock(mutex_);
    return units_.at(unit)->hungUp;
}

void UnitSimulator::hangUp(Unit& unit, long long now) {
    unit.returnRequested = false;
    // The way an unplugged adapter goes: its link disappears with the device.
    if (!unit.config.linkPath.isEmpty())
        ::unlink(unit.config.linkPath.toLocal8Bit().constData());
    // Taken while the old one is still open, so the number differs.
    try {
        unit.spare = openPty();
    } catch (const std::exception&) {
        unit.spare = Pty();
    }
    ::close(unit.master);
    ::close(unit.slave);
    unit.master = unit.slave = -1;
    unit.returnAtMs = unit.config.returnAfterMs >= 0 ? now + unit.config.returnAfterMs : -1;
    std::lock_guard lock(mutex_);
    unit.hungUp = true;
}

void UnitSimulator::comeBack(Unit& unit) {
    unit.returnAtMs = -1;
    unit.returnRequested = false;
    if (unit.spare.master < 0)
        return;
    unit.master = std::exchange(unit.spare.master, -1);
    unit.slave = std::exchange(unit.spare.slave, -1);
    unit.inLine.clear();
    unit.out.clear();
    unit.replies.clear();
    unit.streaming = false;
    unit.hangUpPending = false;
    unit.hangUpDeadlineMs = 0;
    {
        std::lock_guard lock(mutex_);
        unit.path = unit.spare.path;
    }
    try {
        pointLink(unit);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "k12inc-unit-sim: %s\n", e.what());
    }
    // Counted once the unit can be found under its link too.
    std::lock_guard lock(mutex_);
    ++unit.returns;
}

QByteArray UnitSimulator::nextReading(Unit& unit, long long atMs) {
    if (unit.config.garbage)
        return QByteArrayLiteral("   ERROR");
    const long long k = unit.readingIndex++;
    const double pi = std::acos(-1.0);
    double v = unit.config.level;
    switch (unit.config.waveform) {
    case Waveform::Constant:
        break;
    case Waveform::Sine:
        v = unit.config.level + 90.0 * std::sin(2.0 * pi * double(k % 50) / 50.0);
        break;
    case Waveform::Ramp:
        v = -180.0 + 3.6 * double(k % 100);
        break;
    case Waveform::Noise:
        v = unit.config.level + std::uniform_real_distribution<double>(-1.0, 1.0)(unit.random);
        break;
    case Waveform::Counter:
        v = double(k + 1);
        break;
    case Waveform::Clock:
        v = double((atMs - startMs_) / periodOf(unit));
        break;
    }
    // A reading is eight characters: three decimals while they fit, fewer for large counters.
    char text[32];
    for (int decimals = 3; decimals >= 0; --decimals) {
        if (std::snprintf(text, sizeof text, "%8.*f", decimals, v) <= 8)
            break;
    }
    return QByteArray(text);
}

int UnitSimulator::periodOf(const Unit& unit) const {
    return std::max(1, unit.config.streamPeriodMs.value_or(periodMs_));
}

void UnitSimulator::queueLine(Unit& unit, QByteArray text, bool streamed) {
    if (unit.hangUpPending || unit.out.size() > MaxPendingOutput)
        return;
    if (unit.config.oneCharReplies && text.size() > 1)
        text.truncate(1);
    unit.out += text;
    if (unit.config.bareLf)
        unit.out += '\n';
    else if (unit.config.crOnly && streamed)
        unit.out += '\r';
    else
        unit.out += "\r\n";
    std::lock_guard lock(mutex_);
    ++unit.linesSent;
    if (streamed)
        ++unit.linesStreamed;
    // One hang-up: a unit that came back stays.
    if (unit.config.hangUpAfterLines >= 0 && unit.linesSent >= unit.config.hangUpAfterLines &&
        !unit.hungUp)
        unit.hangUpPending = true;
}

void UnitSimulator::streamReading(Unit& unit) {
    QByteArray text = nextReading(unit, unit.nextStreamMs);
    const int spell = unit.config.errorAfterLines;
    if (spell >= 0 && unit.streamedLines >= spell &&
        unit.streamedLines < spell + unit.config.errorForReadings)
        text = QByteArrayLiteral("   ERROR");
    queueLine(unit, text, true);
    unit.nextStreamMs += periodOf(unit);
    ++unit.streamedLines;
    const int cut = unit.config.powerCutAfterLines;
    if (cut >= 0 && !unit.powerCut && unit.streamedLines >= cut) {
        unit.powerCut = true;
        unit.streaming = false;
    }
}

void UnitSimulator::handleCommand(Unit& unit, const QByteArray& line, long long now) {
    {
        std::lock_guard lock(mutex_);
        unit.received.append(line);
    }
    if (unit.config.silent)
        return;
    ++unit.commands;
    const int spell = unit.config.silentAfterCommands;
    if (spell >= 0 && unit.commands > spell &&
        unit.commands <= spell + unit.config.silentForCommands)
        return;
    const long long due = now + unit.config.replyDelayMs;
    QByteArray reply;
    if (line.isEmpty()) {
        reply = QByteArrayLiteral("K12INC");
    } else if (line == "GET") {
        reply = nextReading(unit, due);
    } else if (line == "RUN00") {
        reply = QByteArrayLiteral("OK");
        unit.streaming = true;
        unit.nextStreamMs = due + periodOf(unit);
    } else if (line == "STP") {
        reply = QByteArrayLiteral("OK");
        unit.streaming = false;
    } else {
        reply = QByteArrayLiteral("NG");
    }
    unit.replies.push_back({due, reply});
    if (line == "STP" && !unit.config.afterStop.isEmpty())
        unit.replies.push_back({due, unit.config.afterStop, true});
}

void UnitSimulator::serve(Unit& unit, long long now) {
    while (!unit.replies.empty() && unit.replies.front().dueMs <= now) {
        if (unit.replies.front().raw)
            unit.out += unit.replies.front().text;
        else
            queueLine(unit, unit.replies.front().text);
        unit.replies.pop_front();
    }
    // Catch up on missed periods so that a slow loop loses no readings.
    while (unit.streaming && unit.replies.empty() && unit.nextStreamMs <= now)
        streamReading(unit);
    while (!unit.out.isEmpty()) {
        const ssize_t n = ::write(unit.master, unit.out.constData(), size_t(unit.out.size()));
        if (n <= 0)
            break;
        unit.out.remove(0, qsizetype(n));
    }
    if (unit.hangUpPending && unit.out.isEmpty()) {
        // A hang-up discards what the client has not read yet. Written bytes reach the slave's
        // queue asynchronously, so let them settle, then wait (bounded) until they were read.
        if (unit.hangUpDeadlineMs == 0)
            unit.hangUpDeadlineMs = now + 1000;
        int waiting = 0;
        const bool settled = now >= unit.hangUpDeadlineMs - 950;
        if (now >= unit.hangUpDeadlineMs ||
            (settled && (::ioctl(unit.slave, TIOCINQ, &waiting) != 0 || waiting == 0)))
            hangUp(unit, now);
    }
}

void UnitSimulator::run() {
    // Real units answer on their own hardware, whatever the PC's load: ask for a head start on
    // a busy machine (allowed to root only; otherwise the thread keeps its normal priority).
    ::setpriority(PRIO_PROCESS, pid_t(::syscall(SYS_gettid)), -10);
    std::vector<pollfd> fds;
    std::vector<Unit*> polled;
    while (!stopping_) {
        const long long now = nowMs();
        long long timeout = 50;
        fds.assign(1, pollfd{wakeFd_, POLLIN, 0});
        polled.clear();
        for (auto& unit : units_) {
            if (unit->master < 0 && unit->spare.master >= 0) {
                if (unit->returnRequested || (unit->returnAtMs >= 0 && unit->returnAtMs <= now))
                    comeBack(*unit);
                else if (unit->returnAtMs >= 0)
                    timeout = std::min(timeout, unit->returnAtMs - now);
            }
            if (unit->master < 0)
                continue;
            serve(*unit, now);
            if (unit->master < 0)
                continue;
            if (!unit->replies.empty())
                timeout = std::min(timeout, unit->replies.front().dueMs - now);
            if (unit->streaming)
                timeout = std::min(timeout, unit->nextStreamMs - now);
            if (unit->hangUpPending)
                timeout = std::min(timeout, 1LL);
            const short events = short(POLLIN | (unit->out.isEmpty() ? 0 : POLLOUT));
            fds.push_back(pollfd{unit->master, events, 0});
            polled.push_back(unit.get());
        }
        if (::poll(fds.data(), fds.size(), int(std::max(0LL, timeout))) < 0 && errno != EINTR)
            return;
        if (fds[0].revents & POLLIN) {
            uint64_t wakes = 0;
            [[maybe_unused]] const ssize_t n = ::read(wakeFd_, &wakes, sizeof wakes);
        }
        for (size_t i = 1; i < fds.size(); ++i) {
            if (!(fds[i].revents & POLLIN))
                continue;
            Unit& unit = *polled[i - 1];
            char buffer[512];
            const ssize_t n = ::read(unit.master, buffer, sizeof buffer);
            for (ssize_t j = 0; j < n; ++j) {
                if (buffer[j] != '\n') {
                    unit.inLine += buffer[j];
                    continue;
                }
                if (unit.inLine.endsWith('\r'))
                    unit.inLine.chop(1);
                handleCommand(unit, unit.inLine, nowMs());
                unit.inLine.clear();
            }
        }
    }
}

} // namespace k12
