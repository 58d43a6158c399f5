// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>
#include <thread>
#include <vector>

namespace k12 {

enum class Waveform { Constant, Sine, Ramp, Noise, Counter, Clock };

std::optional<Waveform> ParseWaveform(std::string_view name);

// One emulated unit: what it reads and how it misbehaves.
struct SimUnitConfig {
    Waveform waveform = Waveform::Constant;
    // Constant: the reading; sine: the offset of a 90 degree swing; noise: the centre of +-1.
    double level = 12.5;
    bool silent = false;         // answers nothing, streams nothing
    bool oneCharReplies = false; // every line cut to its first character
    bool bareLf = false;         // lines end with LF alone
    bool garbage = false;        // readings are not numbers
    // Streamed lines end with CR alone (answers to commands keep CR LF, so the unit opens and
    // starts, and then no streamed line ever ends).
    bool crOnly = false;
    // A spell of a sensor out of range: after this many streamed lines, the next
    // errorForReadings streamed readings are "   ERROR" (the waveform goes on underneath);
    // < 0: never.
    int errorAfterLines = -1;
    int errorForReadings = 0;
    // This unit's stream period; empty: the simulator's.
    std::optional<int> streamPeriodMs;
    // The unit's own power is cut while its line stays open: after this many streamed lines it
    // stops streaming and comes back idle (answers commands, streams only after a new "RUN00");
    // once; < 0: never.
    int powerCutAfterLines = -1;
    int replyDelayMs = 0;      // delay before each answer to a command
    int hangUpAfterLines = -1; // close the line after sending this many lines; < 0: never
    // After a hang-up, come back this many ms later on a new pseudo-terminal; < 0: only when
    // bringBack() is called.
    int returnAfterMs = -1;
    // A symbolic link kept pointing at the unit's current pseudo-terminal, the way a by-id link
    // follows a USB adapter: gone while the unit is away, made again when it comes back.
    QString linkPath;
    // A silent spell: after answering this many commands, answer none of the next
    // silentForCommands; < 0: never.
    int silentAfterCommands = -1;
    int silentForCommands = 0;
    QByteArray afterStop; // sent without CR LF after the "OK" to "STP": a cut-off line
};

// Units on pseudo-terminals, served by one background thread. Answers the empty probe line with
// "K12INC", "GET" with one reading, "RUN00" with "OK" and then a reading every stream period,
// "STP" with "OK" (streaming stops); anything else with "NG". Readings are eight characters,
// e.g. "  12.500" ("88001.00" once three decimals no longer fit). Counter readings are 1, 2, 3,
// ... over GET and streamed readings alike. Clock readings are the number of the unit's stream
// periods since start() at the moment of the reading (a streamed reading: the moment it was due),
// so they tell where a reading belongs in time.
class UnitSimulator {
  public:
    explicit UnitSimulator(std::vector<SimUnitConfig> units, int streamPeriodMs = 100);
    ~UnitSimulator();
    UnitSimulator(const UnitSimulator&) = delete;
    UnitSimulator& operator=(const UnitSimulator&) = delete;

    // Creates the pseudo-terminals and starts serving; throws std::runtime_error on failure.
    void start();
    void stop();

    int unitCount() const { return int(units_.size()); }
    // The device a client opens, e.g. "/dev/pts/5"; valid after start(). A unit that came back
    // after a hang-up is on a new one.
    QString devicePath(int unit) const;
    // Brings a unit that hung up back now (on a new pseudo-terminal, under its link).
    void bringBack(int unit);
    // How many times the unit came back after a hang-up.
    int returns(int unit) const;
    // Command lines received so far (without CR LF).
    QList<QByteArray> receivedCommands(int unit) const;
    int linesSent(int unit) const;
    // The streamed ones among them: a counter unit's last streamed reading when it only streamed.
    int linesStreamed(int unit) const;
    bool hungUp(int unit) const;

  private:
    struct Unit;
    void run();
    void serve(Unit& unit, long long nowMs);
    void handleCommand(Unit& unit, const QByteArray& line, long long nowMs);
    void queueLine(Unit& unit, QByteArray text, bool streamed = false);
    void streamReading(Unit& unit);
    int periodOf(const Unit& unit) const;
    QByteArray nextReading(Unit& unit, long long atMs);
    void hangUp(Unit& unit, long long nowMs);
    void comeBack(Unit& unit);
    void pointLink(const Unit& unit);

    std::vector<std::unique_ptr<Unit>> units_;
    int periodMs_;
    long long startMs_ = 0;
    int wakeFd_ = -1;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
    mutable std::mutex mutex_; // guards the per-unit statistics read by other threads
};

} // namespace k12
