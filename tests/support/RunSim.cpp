// SPDX-License-Identifier: GPL-3.0-or-later
#include "RunSim.h"

#include "FakeClock.h"
#include "FakeMessageBox.h"
#include "FakeSettingsStore.h"
#include "RunSetup.h"
#include "acquisition/RunEngine.h"
#include "data_files/CsvFile.h"
#include "data_files/DataFile.h"
#include "measurement/Conversions.h"
#include "settings/MeasInfo.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <deque>
#include <map>
#include <random>

namespace k12::test::sim {

namespace {

constexpr qint64 kLineMs = 100;
constexpr qint64 kReplyMs = 2;
constexpr qint64 kDayMs = 24LL * 3600 * 1000;
// Values repeat after this many rows (ten hours at 100 ms): enough to tell any misplaced row.
constexpr qint64 kCodes = 360000;
// No fault in the run's first seconds (the first row must hold every unit) or its last minute
// (the units are up and in step when it stops).
constexpr qint64 kQuietHeadMs = 10000;
constexpr qint64 kQuietTailMs = 60000;

// What unit u reads for the run's row r: every value tells its row.
qint64 Code(qint64 row, int unit) {
    return (row + 7919 * qint64(unit + 1)) % kCodes;
}
double ValueOf(qint64 code) {
    return double(code) / 1000.0 - 179.999;
}
qint64 CodeOf(float v) {
    const qint64 c = std::llround((double(v) + 179.999) * 1000.0);
    return ((c % kCodes) + kCodes) % kCodes;
}
QByteArray Reading(double v) {
    char text[16];
    std::snprintf(text, sizeof text, "%8.3f", v);
    return QByteArray(text);
}

class World;

// ---- what the units delivered, by row ----

class Oracle {
  public:
    explicit Oracle(int units) : units_(size_t(units)) {}

    // A window of unit u ended and reached the engine at `atMs`: a value when it held a
    // reading, a hole otherwise.
    void Window(int u, qint64 row, bool value, qint64 atMs) {
        Unit& unit = units_[size_t(u)];
        if (row < unit.reach || (value && row < sealedRows_)) {
            late_ << QStringLiteral("unit %1 row %2 delivered late").arg(u + 1).arg(row);
        }
        unit.reach = row + 1;
        unit.recent.push_back({atMs, row});
        while (unit.recent.size() > 1 && unit.recent.front().first < atMs - 5000) {
            unit.recent.pop_front();
        }
        if (!value) {
            return;
        }
        if (!unit.values.empty() && unit.values.back().second == row) {
            unit.values.back().second = row + 1;
        } else {
            unit.values.push_back({row, row + 1});
        }
    }
    void Sealed(qint64 rows) { sealedRows_ = std::max(sealedRows_, rows); }

    bool HasValue(int u, qint64 row) const {
        const auto& v = units_[size_t(u)].values;
        auto it = std::upper_bound(v.begin(), v.end(), std::make_pair(row, kMaxRow));
        return it != v.begin() && row < std::prev(it)->second;
    }
    // Rows with values in [from, to).
    qint64 ValueRows(int u, qint64 from, qint64 to) const {
        qint64 n = 0;
        for (const auto& [a, b] : units_[size_t(u)].values) {
            n += std::max<qint64>(0, std::min(b, to) - std::max(a, from));
        }
        return n;
    }
    qint64 Reach(int u) const { return units_[size_t(u)].reach; }
    // The rows the unit had delivered by `atMs` (a few seconds ago at most).
    qint64 ReachAt(int u, qint64 atMs) const {
        const Unit& unit = units_[size_t(u)];
        qint64 reach = unit.recent.empty() ? unit.reach : unit.recent.front().second;
        for (const auto& [t, row] : unit.recent) {
            reach = t <= atMs ? row + 1 : reach;
        }
        return reach;
    }
    const QStringList& Late() const { return late_; }

  private:
    static constexpr qint64 kMaxRow = std::numeric_limits<qint64>::max();
    struct Unit {
        std::vector<std::pair<qint64, qint64>> values;
        qint64 reach = 0;
        std::deque<std::pair<qint64, qint64>> recent;
    };
    std::vector<Unit> units_;
    qint64 sealedRows_ = 0;
    QStringList late_;
};

// ---- the simulated units and their ports ----

class SimPort;

struct SimUnit {
    int index = 0;
    int averaging = 1;
    bool powered = true;
    bool plugged = true;
    bool streaming = false;
    qint64 sessionStart = 0;
    qint64 lines = 0;
    qint64 baseRow = 0;
    bool firstSession = true;
    qint64 errorUntil = -1;
    bool crOnly = false;
    qint64 crOnlyUntil = -1;
    qint64 stallUntil = -1;
    SimPort* port = nullptr;
    // The reasons the summary may give for this unit's holes, by the faults it had.
    QStringList reasons;
    // The port and opening through which "RUN00" started the stream the engine is taking.
    const SimPort* streamPort = nullptr;
    int streamGeneration = -1;
    // The window being streamed: lines that reached the driver, with a reading among them.
    bool windowIntact = true;
    bool windowReading = false;
};

class SimDisk final : public TaskQueue {
  public:
    explicit SimDisk(const FakeClock& clock) : clock_(clock) {}
    void Post(std::function<void()> task) override {
        lastDue_ = std::max(clock_.monotonic, lastDue_) + delayMs;
        tasks_.push_back({lastDue_, std::move(task)});
    }
    void Drain() override {
        while (!tasks_.empty()) {
            RunFront();
        }
    }
    // Runs the writes that are done by now.
    void Pump() {
        while (!tasks_.empty() && tasks_.front().first <= clock_.monotonic) {
            RunFront();
        }
    }
    qint64 delayMs = 0;

  private:
    void RunFront() {
        auto task = std::move(tasks_.front().second);
        tasks_.pop_front();
        task();
    }
    const FakeClock& clock_;
    qint64 lastDue_ = 0;
    std::deque<std::pair<qint64, std::function<void()>>> tasks_;
};

class World {
  public:
    World(const SimSetup& setup, const QString& folder);
    SimResult Run();

    FakeClock clock;
    std::vector<SimUnit> units;
    Oracle oracle;
    qint64 runStartMs = 0;
    bool pcTimer = false;
    int interval = 100;

    // Streams every unit's lines due up to `t`.
    void AdvanceUnits(qint64 t);
    void Command(SimUnit& unit, const QByteArray& command);

  private:
    struct Event {
        qint64 atMs = 0;
        std::function<void()> action;
    };
    void Schedule(std::mt19937_64& random, qint64 base);
    void AddUnitFault(int kind, int u, qint64 at, qint64 length);
    void Emit(SimUnit& unit, qint64 line, qint64 dueMs);
    bool InStepDelay(qint64 t) const;
    // Checks one file against what the units delivered: every value in its row, every other row
    // a hole; with `reach`, values past a unit's reach may be missing (a crash). Gives the run's
    // row of its first row and its rows.
    void CheckFile(const QString& path, const std::vector<qint64>* reach, const QString& what,
                   qint64* firstRow = nullptr, qint64* rows = nullptr);
    void CheckPieceWritten(const WrittenPiece& piece);
    void CrashCheck();
    void CheckSummary(const RunReport& stop);
    void Fail(const QString& text) {
        if (result_.failures.size() < 20) {
            result_.failures << text;
        }
    }

    SimSetup setup_;
    QString folder_;
    QString stateFolder_;
    QString pieceFolder_;
    FakeMessageBox messages_;
    FakeSettingsStore settings_;
    std::unique_ptr<RunJournal> journal_;
    std::unique_ptr<ModuleData> md_;
    SimDisk* disk_ = nullptr;
    std::unique_ptr<RunEngine> engine_;
    std::vector<Event> events_;
    std::vector<std::pair<qint64, qint64>> stepDelays_;
    SimResult result_;
    qint64 durationMs_ = 0;
    // The run's start as its files give it (whole seconds).
    QDateTime runStartTime_;
    int32_t pieceRows_ = MAX_SAMPLES;
    int piecesChecked_ = 0;
    QStringList keptPieces_;
};

class SimPort final : public SerialPort {
  public:
    explicit SimPort(World& world) : world_(world) {}
    ~SimPort() override { Detach(); }

    void setPortNumber(int16_t port) override { com_ = port; }
    void setSettings(const QString&) override {}
    void open() override {
        SimUnit& unit = world_.units.at(size_t(com_ - 1));
        if (!unit.plugged) {
            throw DeviceError(701, QStringLiteral("COM%1 が見つかりません。").arg(com_));
        }
        // What the unit sent before went nowhere.
        world_.AdvanceUnits(world_.clock.monotonic);
        ++generation_;
        open_ = true;
        failure_.reset();
        unit.port = this;
        unit_ = &unit;
    }
    void close() override {
        world_.AdvanceUnits(world_.clock.monotonic);
        open_ = false;
        failure_.reset();
        pending_.clear();
        rx_.clear();
        pos_ = 0;
        Detach();
    }
    bool isOpen() const override { return open_; }
    bool ctsHolding() override { return true; }
    int inBufferCount() override {
        if (pos_ < rx_.size()) {
            return int(rx_.size() - pos_);
        }
        rx_.clear();
        pos_ = 0;
        while (!pending_.empty() && pending_.front().first <= world_.clock.monotonic) {
            rx_ += pending_.front().second;
            pending_.pop_front();
        }
        return int(rx_.size());
    }
    char takeChar() override { return pos_ < rx_.size() ? rx_.at(pos_++) : '\0'; }
    void output(const QByteArray& data) override {
        if (!open_ || failure_ || !unit_) {
            return;
        }
        for (QByteArray line : data.split('\n')) {
            if (line.endsWith('\r')) {
                line.chop(1);
                world_.Command(*unit_, line);
            }
        }
    }
    void sleep1ms() override { world_.clock.advance(1); }
    std::optional<DeviceError> failure() const override { return failure_; }

    // Bytes on their way to the computer, due at `dueMs` (never before those already sent).
    void Deliver(qint64 dueMs, const QByteArray& bytes) {
        if (!pending_.empty()) {
            dueMs = std::max(dueMs, pending_.back().first);
        }
        pending_.push_back({dueMs, bytes});
    }
    bool Receiving() const { return open_ && !failure_; }
    // Counts the openings: a stream started through one opening ends with it.
    int Generation() const { return generation_; }
    // The adapter was pulled out: what arrived stays readable, nothing more comes.
    void HangUp() {
        while (!pending_.empty() && pending_.front().first <= world_.clock.monotonic) {
            rx_ += pending_.front().second;
            pending_.pop_front();
        }
        pending_.clear();
        failure_ = DeviceError(706, QStringLiteral("COM%1 との通信が切断されました。").arg(com_));
    }

  private:
    void Detach() {
        if (unit_ && unit_->port == this) {
            unit_->port = nullptr;
        }
        unit_ = nullptr;
    }
    World& world_;
    SimUnit* unit_ = nullptr;
    int16_t com_ = 0;
    int generation_ = 0;
    bool open_ = false;
    std::optional<DeviceError> failure_;
    std::deque<std::pair<qint64, QByteArray>> pending_;
    QByteArray rx_;
    qsizetype pos_ = 0;
};

World::World(const SimSetup& setup, const QString& folder)
    : oracle(setup.units), pcTimer(setup.pcTimer), interval(setup.interval), setup_(setup),
      folder_(folder) {
    // UTC: the clock moves twice a step, and local time would ask the system each time.
    clock.current = QDateTime(QDate(2026, 12, 1), QTime(8, 30), Qt::UTC);
    stateFolder_ = folder + QStringLiteral("/state");
    pieceFolder_ = folder + QStringLiteral("/pieces");
    QDir().mkpath(pieceFolder_);
    durationMs_ = qint64(setup.days * double(kDayMs));
    units.resize(size_t(setup.units));
    for (int u = 0; u < setup.units; ++u) {
        units[size_t(u)].index = u;
        units[size_t(u)].averaging = setup.pcTimer ? 1 : setup.interval / 100;
    }
    RunSetup run;
    run.units.clear();
    for (int u = 0; u < setup.units; ++u) {
        run.units.push_back(u);
    }
    run.pcTimer = setup.pcTimer;
    run.interval = setup.interval;
    run.continueOnError = true;
    run.continueWhenFull = true;
    run.saveFolder = pieceFolder_;
    WriteSetup(run, settings_);
    journal_ = std::make_unique<RunJournal>(
        stateFolder_, messages_, [this] { return clock.monotonic; },
        std::make_unique<InlineTaskQueue>());
    md_ = std::make_unique<ModuleData>([this] { return std::make_unique<SimPort>(*this); },
                                       messages_);
    auto disk = std::make_unique<SimDisk>(clock);
    disk_ = disk.get();
    engine_ = std::make_unique<RunEngine>(*md_, clock, *journal_, std::move(disk));
    md_->InitDataArea();
    LoadMeasInfo(*md_, settings_);
    LoadOptions(*md_, settings_);
    md_->ClearData();
}

void World::Command(SimUnit& unit, const QByteArray& command) {
    if (!unit.powered || !unit.port) {
        return;
    }
    const qint64 now = clock.monotonic;
    QByteArray reply;
    if (command.isEmpty()) {
        reply = "K12INC";
    } else if (command == "RUN00") {
        // A new stream: its windows start now, the first one in the row nearest its end.
        AdvanceUnits(now);
        unit.streaming = true;
        unit.sessionStart = now;
        unit.lines = 0;
        unit.baseRow = unit.firstSession ? 0 : RowAt(now - runStartMs, int16_t(interval));
        unit.firstSession = false;
        unit.streamPort = unit.port;
        unit.streamGeneration = unit.port->Generation();
        if (unit.crOnly && now >= unit.crOnlyUntil) {
            unit.crOnly = false;
        }
        reply = "OK";
    } else if (command == "STP") {
        AdvanceUnits(now);
        unit.streaming = false;
        reply = "OK";
    } else if (command == "GET") {
        if (now < unit.errorUntil) {
            reply = "   ERROR";
        } else {
            const qint64 row = (now - runStartMs) / interval - 1;
            reply = Reading(ValueOf(Code(row, unit.index)));
            oracle.Window(unit.index, row, true, now + kReplyMs);
        }
    } else {
        reply = "NG";
    }
    unit.port->Deliver(now + kReplyMs, reply + "\r\n");
}

void World::AdvanceUnits(qint64 t) {
    for (SimUnit& unit : units) {
        if (!unit.streaming) {
            continue;
        }
        for (;;) {
            const qint64 due = unit.sessionStart + (unit.lines + 1) * kLineMs;
            if (due > t) {
                break;
            }
            Emit(unit, unit.lines, due);
            ++unit.lines;
        }
    }
}

void World::Emit(SimUnit& unit, qint64 line, qint64 dueMs) {
    if (!unit.powered) {
        // Its power failed: it comes back idle, waiting for "RUN00".
        unit.streaming = false;
        return;
    }
    const int n = unit.averaging;
    if (line % n == 0) {
        unit.windowIntact = true;
        unit.windowReading = false;
    }
    const bool error = dueMs < unit.errorUntil;
    const qint64 at = std::max(dueMs, unit.stallUntil);
    const bool reaches = unit.plugged && unit.port && unit.port->Receiving();
    // Lines of a stream the engine did not start are thrown away when it starts one.
    const bool taken = reaches && unit.port == unit.streamPort &&
                       unit.port->Generation() == unit.streamGeneration;
    if (taken && !unit.crOnly) {
        unit.windowReading = unit.windowReading || !error;
    } else {
        unit.windowIntact = false;
    }
    if (reaches) {
        const qint64 row = unit.baseRow + line / n;
        QByteArray bytes = error ? QByteArray("   ERROR") : Reading(ValueOf(Code(row, unit.index)));
        bytes += unit.crOnly ? "\r" : "\r\n";
        unit.port->Deliver(at, bytes);
    }
    if (line % n == n - 1 && unit.windowIntact) {
        oracle.Window(unit.index, unit.baseRow + line / n, unit.windowReading, at);
    }
}

enum FaultKind { ErrorSpell, PowerCut, LinkFailure, CrOnly, Stall, UnitFaultKinds };

// What the summary may say of the holes a fault of this kind leaves.
QStringList Reasons(int kind, int u) {
    const QString timeout = QStringLiteral("タイムアウト");
    switch (kind) {
    case ErrorSpell:
        return {QStringLiteral("リターン文字列不正")};
    case LinkFailure:
        // The line fails; a PC-timer poll may also meet the unit still gone.
        return {QStringLiteral("COM%1 との通信が切断されました。").arg(u + 1),
                QStringLiteral("COM%1 が見つかりません。").arg(u + 1)};
    case PowerCut:
    case CrOnly:
        return {timeout};
    default:
        return {};
    }
}

void World::AddUnitFault(int kind, int u, qint64 at, qint64 length) {
    const qint64 end = at + length;
    switch (kind) {
    case ErrorSpell:
        events_.push_back({at, [this, u, end] { units[size_t(u)].errorUntil = end; }});
        break;
    case PowerCut:
        events_.push_back({at, [this, u] { units[size_t(u)].powered = false; }});
        events_.push_back({end, [this, u] {
                               SimUnit& unit = units[size_t(u)];
                               unit.powered = true;
                               unit.streaming = false;
                           }});
        break;
    case LinkFailure:
        events_.push_back({at, [this, u] {
                               SimUnit& unit = units[size_t(u)];
                               unit.plugged = false;
                               if (unit.port) {
                                   unit.port->HangUp();
                               }
                           }});
        events_.push_back({end, [this, u] { units[size_t(u)].plugged = true; }});
        break;
    case CrOnly:
        events_.push_back({at, [this, u, end] {
                               units[size_t(u)].crOnly = true;
                               units[size_t(u)].crOnlyUntil = end;
                           }});
        break;
    case Stall:
        events_.push_back({at, [this, u, end] { units[size_t(u)].stallUntil = end; }});
        break;
    default:
        break;
    }
}

void World::Schedule(std::mt19937_64& random, qint64 base) {
    auto uniform = [&random](qint64 lo, qint64 hi) {
        return std::uniform_int_distribution<qint64>(lo, hi)(random);
    };
    const qint64 from = base + kQuietHeadMs;
    const qint64 to = base + durationMs_ - kQuietTailMs - 4 * 60000;
    if (to <= from) {
        return;
    }
    const qint64 on = setup_.faults ? 1 : 0;
    // About one unit fault every twenty minutes, one trouble with the folder every six hours.
    const qint64 unitFaults = on * std::max<qint64>(1, durationMs_ / (20 * 60000));
    for (qint64 k = 0; k < unitFaults; ++k) {
        const int kind = pcTimer ? int(uniform(0, 2)) : int(uniform(0, UnitFaultKinds - 1));
        const int u = int(uniform(0, setup_.units - 1));
        const qint64 at = uniform(from, to);
        qint64 length = 0;
        switch (kind) {
        case ErrorSpell:
            length = uniform(100, 60000);
            break;
        case PowerCut:
            length = uniform(500, 120000);
            break;
        case LinkFailure:
            length = uniform(0, 60000);
            break;
        case CrOnly:
            length = uniform(4000, 60000);
            break;
        default:
            length = uniform(200, 2500);
            break;
        }
        AddUnitFault(kind, u, at, length);
        units[size_t(u)].reasons << Reasons(kind, u);
        ++result_.faults;
    }
    const qint64 folderFaults = on * std::max<qint64>(1, durationMs_ / (6 * 3600000LL));
    for (qint64 k = 0; k < folderFaults; ++k) {
        const qint64 at = uniform(from, to);
        const qint64 length = uniform(10 * 60000, 3 * 3600000LL);
        const qint64 end = std::min(at + length, to);
        if (uniform(0, 1) == 0) {
            // A slow stick or network folder: seconds per piece.
            const qint64 delay = uniform(1000, 10000);
            events_.push_back({at, [this, delay] { disk_->delayMs = delay; }});
            events_.push_back({end, [this] { disk_->delayMs = 0; }});
        } else {
            // The folder is gone (unmounted), then back.
            const QString away = pieceFolder_ + QStringLiteral("-away");
            events_.push_back({at, [this, away] { QDir().rename(pieceFolder_, away); }});
            events_.push_back({end, [this, away] { QDir().rename(away, pieceFolder_); }});
        }
        ++result_.faults;
    }
    if (!pcTimer) {
        // Steps late by up to 30 s (a stalled machine), about one every four hours.
        const qint64 delays = on * std::max<qint64>(1, durationMs_ / (4 * 3600000LL));
        for (qint64 k = 0; k < delays; ++k) {
            const qint64 at = uniform(from, to);
            stepDelays_.push_back({at, at + uniform(1000, 30000)});
            ++result_.faults;
        }
    }
    for (int k = 0; k < setup_.crashes; ++k) {
        qint64 at = uniform(from, to);
        while (InStepDelay(at) || InStepDelay(at - 1500)) {
            at += 1000;
        }
        events_.push_back({at, [this] { CrashCheck(); }});
    }
    std::stable_sort(events_.begin(), events_.end(),
                     [](const Event& a, const Event& b) { return a.atMs < b.atMs; });
}

bool World::InStepDelay(qint64 t) const {
    return std::any_of(stepDelays_.begin(), stepDelays_.end(),
                       [t](const auto& d) { return t >= d.first && t < d.second; });
}

void World::CheckFile(const QString& path, const std::vector<qint64>* reach, const QString& what,
                      qint64* firstRow, qint64* rows) {
    const DataFileParse parsed = ParseDataFile(path);
    const auto* content = std::get_if<DataFileContent>(&parsed);
    if (!content) {
        Fail(what + QStringLiteral(": cannot be read"));
        return;
    }
    const auto start = ParseStartTime(content->StartTime);
    const qint64 pieceMs = qint64(pieceRows_) * interval;
    const qint64 offsetMs = start ? runStartTime_.msecsTo(*start) : -1;
    if (offsetMs < 0 || offsetMs % pieceMs != 0) {
        Fail(what + QStringLiteral(": start time %1 is not a piece's").arg(content->StartTime));
        return;
    }
    const qint64 first = offsetMs / pieceMs * pieceRows_;
    if (firstRow) {
        *firstRow = first;
    }
    if (rows) {
        *rows = qint64(content->Rows.size());
    }
    for (size_t r = 0; r < content->Rows.size(); ++r) {
        const qint64 row = first + qint64(r);
        for (int u = 0; u < setup_.units; ++u) {
            const float v = content->Rows[r][size_t(u)];
            const bool expected = oracle.HasValue(u, row);
            if (v != NO_DATA_VALUE) {
                if (!expected || CodeOf(v) != Code(row, u)) {
                    Fail(QStringLiteral("%1: unit %2 row %3 holds %4, expected %5")
                             .arg(what)
                             .arg(u + 1)
                             .arg(row)
                             .arg(double(v), 0, 'f', 3)
                             .arg(expected ? QString::number(ValueOf(Code(row, u)), 'f', 3)
                                           : QStringLiteral("a hole")));
                    return;
                }
            } else if (expected && (!reach || row < (*reach)[size_t(u)])) {
                Fail(QStringLiteral("%1: unit %2 row %3 is a hole, expected %4")
                         .arg(what)
                         .arg(u + 1)
                         .arg(row)
                         .arg(ValueOf(Code(row, u)), 0, 'f', 3));
                return;
            }
        }
    }
}

void World::CheckPieceWritten(const WrittenPiece& piece) {
    const QString what = QStringLiteral("piece %1").arg(piece.number);
    if (piece.number != piecesChecked_ + 1) {
        Fail(what + QStringLiteral(": written after piece %1").arg(piecesChecked_));
    }
    qint64 first = -1;
    qint64 rows = 0;
    CheckFile(piece.path, nullptr, what, &first, &rows);
    if (first != qint64(piece.number - 1) * pieceRows_) {
        Fail(what + QStringLiteral(": starts at row %1").arg(first));
    }
    if (engine_->Measuring() && rows != pieceRows_) {
        Fail(what + QStringLiteral(": %1 rows before the run's end").arg(rows));
    }
    // What a unit delivers for these rows from now on would be lost.
    oracle.Sealed(qint64(piece.number) * pieceRows_);
    piecesChecked_ = piece.number;
    ++result_.pieces;
    if (setup_.join) {
        keptPieces_ << piece.path;
    } else {
        QFile::remove(piece.path);
    }
}

// Copies a folder with everything in it.
void CopyFolder(const QString& from, const QString& to) {
    const QDir source(from);
    if (!source.exists()) {
        return;
    }
    QDir().mkpath(to);
    for (const QFileInfo& entry : source.entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString target = to + QLatin1Char('/') + entry.fileName();
        if (entry.isDir()) {
            CopyFolder(entry.filePath(), target);
        } else if (entry.suffix() == QLatin1String("zr5")) {
            QFile::copy(entry.filePath(), target);
        }
    }
}

void World::CrashCheck() {
    // What a killed program leaves on the disk: the journal's files (its queue runs at once here)
    // and the pieces written so far; the next start offers the newest journal and keeps the rest.
    const QString image = folder_ + QStringLiteral("/crash-%1").arg(result_.crashChecks);
    CopyFolder(stateFolder_, image + QStringLiteral("/state"));
    CopyFolder(pieceFolder_, image + QStringLiteral("/pieces"));
    CopyFolder(pieceFolder_ + QStringLiteral("-away"), image + QStringLiteral("/pieces-away"));
    QStringList files;
    {
        FakeMessageBox messages;
        RunJournal next(image + QStringLiteral("/state"), messages, [] { return qint64(0); },
                        std::make_unique<InlineTaskQueue>());
        if (const auto left = next.FindLeftover()) {
            files << left->path;
        }
        for (const QString& folder : {QStringLiteral("/state/unsaved"), QStringLiteral("/pieces"),
                                      QStringLiteral("/pieces-away")}) {
            const QDir dir(image + folder);
            for (const QString& name : dir.entryList({QStringLiteral("*.zr5")}, QDir::Files)) {
                files << dir.filePath(name);
            }
        }
    }
    std::vector<qint64> reach;
    for (int u = 0; u < setup_.units; ++u) {
        reach.push_back(oracle.ReachAt(u, clock.monotonic - 1000));
    }
    std::vector<std::pair<qint64, qint64>> covered;
    for (const QString& path : files) {
        qint64 first = 0;
        qint64 rows = 0;
        CheckFile(path, &reach, QStringLiteral("after a crash, %1").arg(QFileInfo(path).fileName()),
                  &first, &rows);
        covered.push_back({first, first + rows});
    }
    std::sort(covered.begin(), covered.end());
    // Every value delivered up to a second before the crash is somewhere.
    const qint64 from = setup_.join ? 0 : qint64(piecesChecked_) * pieceRows_;
    for (int u = 0; u < setup_.units; ++u) {
        qint64 row = from;
        for (const auto& [a, b] : covered) {
            if (a > row) {
                break;
            }
            row = std::max(row, b);
        }
        if (row < reach[size_t(u)] && oracle.ValueRows(u, row, reach[size_t(u)]) > 0) {
            Fail(QStringLiteral("after a crash at %1 s: unit %2's rows from %3 to %4 are lost")
                     .arg((clock.monotonic - runStartMs) / 1000)
                     .arg(u + 1)
                     .arg(row)
                     .arg(reach[size_t(u)]));
        }
    }
    QDir(image).removeRecursively();
    ++result_.crashChecks;
}

void World::CheckSummary(const RunReport& stop) {
    std::vector<qint64> told(size_t(setup_.units), 0);
    static const QRegularExpression line(QStringLiteral("^(\\d)台目: (\\d+)件（(.*)）$"));
    for (const RunMessage& m : stop.afterStop) {
        for (const QString& text : m.text.split(QLatin1Char('\n'))) {
            const auto match = line.match(text);
            const int u = match.hasMatch() ? match.captured(1).toInt() - 1 : -1;
            if (u < 0 || u >= setup_.units) {
                continue;
            }
            told[size_t(u)] += match.captured(2).toLongLong();
            if (!units[size_t(u)].reasons.contains(match.captured(3))) {
                Fail(QStringLiteral("the summary gives unit %1 a fault it did not have: %2")
                         .arg(u + 1)
                         .arg(text));
            }
        }
    }
    const qint64 rows = engine_->RunRowCount();
    for (int u = 0; u < setup_.units; ++u) {
        // A unit away at the stop missed the rows to the run's end; one merely behind did not.
        const qint64 end = engine_->IsDown(u) ? rows : oracle.Reach(u);
        const qint64 holes = end - oracle.ValueRows(u, 0, end);
        if (told[size_t(u)] != holes) {
            Fail(QStringLiteral("the summary counts %1 holes of unit %2, the run has %3")
                     .arg(told[size_t(u)])
                     .arg(u + 1)
                     .arg(holes));
        }
    }
}

SimResult World::Run() {
    QElapsedTimer wall;
    wall.start();
    std::mt19937_64 random(setup_.seed);
    if (const auto refusal = engine_->StartRefusal()) {
        Fail(QStringLiteral("start refused: ") + refusal->text);
        return result_;
    }
    if (const auto failure = engine_->OpenUnits()) {
        Fail(QStringLiteral("units not opened: ") + failure->text);
        return result_;
    }
    runStartMs = clock.monotonic;
    const RunReport started = engine_->Start();
    runStartTime_ = *ParseStartTime(md_->StartTime);
    pieceRows_ = engine_->PieceRows();
    if (started.ended) {
        Fail(QStringLiteral("the run ended at its start"));
        return result_;
    }
    Schedule(random, runStartMs);
    const qint64 stepMs = pcTimer ? interval : RunEngine::DEVICE_STEP_MS;
    const qint64 end = runStartMs + durationMs_;
    size_t next = 0;
    auto moveTo = [this](qint64 t) {
        if (t > clock.monotonic) {
            AdvanceUnits(t);
            clock.advance(t - clock.monotonic);
        }
    };
    for (qint64 k = 1; runStartMs + k * stepMs <= end && result_.failures.isEmpty(); ++k) {
        const qint64 t = runStartMs + k * stepMs;
        while (next < events_.size() && events_[next].atMs <= t) {
            moveTo(events_[next].atMs);
            events_[next].action();
            ++next;
        }
        moveTo(t);
        AdvanceUnits(clock.monotonic);
        disk_->Pump();
        if (InStepDelay(t)) {
            continue;
        }
        const RunReport report = pcTimer ? engine_->PcTimerTick() : engine_->DevTimerTick();
        for (const WrittenPiece& piece : report.piecesWritten) {
            CheckPieceWritten(piece);
        }
        if (report.ended) {
            QStringList texts;
            for (const RunMessage& m : report.beforeStop) {
                texts << m.text;
            }
            for (const RunMessage& m : report.afterStop) {
                texts << m.text;
            }
            Fail(QStringLiteral("the run ended at %1 s: %2")
                     .arg((t - runStartMs) / 1000)
                     .arg(texts.join(QStringLiteral(" / "))));
        }
    }
    result_.failures << oracle.Late();
    if (!result_.failures.isEmpty()) {
        engine_.reset();
        return result_;
    }
    AdvanceUnits(clock.monotonic);
    const RunReport stop = engine_->Stop();
    for (const WrittenPiece& piece : stop.piecesWritten) {
        CheckPieceWritten(piece);
    }
    result_.rows = engine_->RunRowCount();
    const qint64 expectedPieces = (result_.rows + pieceRows_ - 1) / pieceRows_;
    if (piecesChecked_ != expectedPieces) {
        Fail(QStringLiteral("%1 pieces for %2 rows").arg(piecesChecked_).arg(result_.rows));
    }
    qint64 reach = 0;
    for (int u = 0; u < setup_.units; ++u) {
        reach = std::max(reach, oracle.Reach(u));
    }
    if (reach != result_.rows) {
        Fail(QStringLiteral("the run has %1 rows, the units delivered %2").arg(result_.rows).arg(reach));
    }
    CheckSummary(stop);
    if (setup_.join && !keptPieces_.isEmpty()) {
        // Given in any order, the pieces join into the whole run.
        std::shuffle(keptPieces_.begin(), keptPieces_.end(), random);
        const QString csv = folder_ + QStringLiteral("/joined.csv");
        const std::optional<DataFileError> joinError = WriteJoinedCsvFile(keptPieces_, csv);
        std::optional<DataFileError> headError;
        const auto head = CsvHeader(DataFileHead::Of(*md_), result_.rows, csv, headError);
        QFile joined(csv);
        const qint64 rows = head && joined.open(QIODevice::ReadOnly)
                                ? joined.readAll().count('\n') - head->count('\n')
                                : -1;
        if (joinError || rows != result_.rows) {
            Fail(QStringLiteral("the pieces join into %1 rows of %2: %3")
                     .arg(rows)
                     .arg(result_.rows)
                     .arg(joinError ? joinError->message : QString()));
        }
        QFile::remove(csv);
    }
    if (!messages_.shown.isEmpty()) {
        Fail(QStringLiteral("a modal message during the run: ") + messages_.shown.first().text);
    }
    result_.simulatedSeconds = double(clock.monotonic - runStartMs) / 1000.0;
    result_.wallSeconds = double(wall.elapsed()) / 1000.0;
    return result_;
}

} // namespace

QString SimSetup::Describe() const {
    return QStringLiteral("%1 %2 ms, %3 unit%4, %5 days, seed %6")
        .arg(pcTimer ? QStringLiteral("PC timer") : QStringLiteral("device timer"))
        .arg(interval)
        .arg(units)
        .arg(units == 1 ? QString() : QStringLiteral("s"))
        .arg(days)
        .arg(seed);
}

QString SimSetup::Encode() const {
    return QStringLiteral("seed=%1,pc=%2,interval=%3,units=%4,days=%5,faults=%6,crashes=%7,join=%8")
        .arg(seed)
        .arg(int(pcTimer))
        .arg(interval)
        .arg(units)
        .arg(days)
        .arg(int(faults))
        .arg(crashes)
        .arg(int(join));
}

bool SimSetup::Decode(const QString& text, SimSetup& s) {
    std::map<QString, double> v = {{"seed", double(s.seed)}, {"pc", s.pcTimer},
                                   {"interval", s.interval}, {"units", s.units},
                                   {"days", s.days},         {"faults", s.faults},
                                   {"crashes", s.crashes},   {"join", s.join}};
    for (const QString& item : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        bool ok = false;
        const QString key = item.section(QLatin1Char('='), 0, 0).trimmed();
        const double value = item.section(QLatin1Char('='), 1).trimmed().toDouble(&ok);
        if (!ok || !v.count(key)) {
            return false;
        }
        v[key] = value;
    }
    s = {uint64_t(v["seed"]), v["pc"] != 0, int(v["interval"]), int(v["units"]), v["days"],
         v["faults"] != 0, int(v["crashes"]), v["join"] != 0};
    return s.units >= 1 && s.units <= UNIT_COUNT && s.interval >= 100 && s.days > 0.0;
}

SimResult RunSimulation(const SimSetup& setup) {
    // In memory where the system has it: the journal's flushes cost nothing there.
    const bool shm = QFileInfo(QStringLiteral("/dev/shm")).isWritable();
    QTemporaryDir folder(shm ? QStringLiteral("/dev/shm/k12inc-sim-XXXXXX") : QString());
    if (!folder.isValid()) {
        SimResult result;
        result.failures << QStringLiteral("no temporary folder");
        return result;
    }
    World world(setup, folder.path());
    return world.Run();
}

} // namespace k12::test::sim
