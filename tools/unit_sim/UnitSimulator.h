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

enum class Waveform { Constant, Sine, Ramp, Noise, Counter };

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
    int replyDelayMs = 0;        // delay before each answer to a command
    int hangUpAfterLines = -1;   // close the line after sending this many lines; < 0: never
    QByteArray afterStop;        // sent without CR LF after the "OK" to "STP": a cut-off line
};

// Units on pseudo-terminals, served by one background thread. Answers the empty probe line with
// "K12INC", "GET" with one reading, "RUN00" with "OK" and then a reading every stream period,
// "STP" with "OK" (streaming stops); anything else with "NG". Readings are eight characters,
// e.g. "  12.500" ("88001.00" once three decimals no longer fit). Counter readings are 1, 2, 3,
// ... over GET and streamed readings alike.
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
    // The device a client opens, e.g. "/dev/pts/5"; valid after start().
    QString devicePath(int unit) const;
    // Command lines received so far (without CR LF).
    QList<QByteArray> receivedCommands(int unit) const;
    int linesSent(int unit) const;
    bool hungUp(int unit) const;

  private:
    struct Unit;
    void run();
    void serve(Unit& unit, long long nowMs);
    void handleCommand(Unit& unit, const QByteArray& line, long long nowMs);
    void queueLine(Unit& unit, QByteArray text);
    QByteArray nextReading(Unit& unit);
    void hangUp(Unit& unit);

    std::vector<std::unique_ptr<Unit>> units_;
    int periodMs_;
    int wakeFd_ = -1;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
    mutable std::mutex mutex_; // guards the per-unit statistics read by other threads
};

} // namespace k12
