// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/SerialPort.h"

#include <QByteArrayList>
#include <QList>
#include <QMap>
#include <memory>
#include <optional>

namespace k12::test {

// Scripted serial port with virtual time.
//
// Time: only sleep1ms() (+1 ms) and advance(ms) move virtual time (elapsedMs()); bytes due at or
// before the current time are moved into the receive buffer read by inBufferCount()/takeChar().
//
// Script: reply(command, bytes) answers one written command (text without CR LF; "" is the empty
// probe line) with bytes arriving delayMs after the write; replies for the same command are used
// in the order given, a repeating one stays in place. defaultReply() answers any command that has
// no scripted reply. Nothing is written or answered while CTS is off (setCts(false)) or the port
// is closed.
//
// Injection: feed(bytes, afterMs) makes bytes arrive afterMs from now; feedLines() streams lines
// (CR LF added) one per periodMs; setOpenError() makes every open() throw until cleared;
// setFailure() sets failure() (now or after a delay). close() empties the buffers and clears a
// failure, like a real port.
//
// Records: outputs (every write, raw), commands() (writes without CR LF), portNumber, settings,
// openCount, closeCount.
class FakeSerialPort final : public SerialPort {
  public:
    // -- script and injection --
    void reply(const QByteArray& command, const QByteArray& bytes, int delayMs = 0,
               bool repeat = false);
    void defaultReply(const QByteArray& bytes, int delayMs = 0);
    void clearReplies();
    void feed(const QByteArray& bytes, int afterMs = 0);
    void feedLines(const QByteArrayList& lines, int firstAfterMs = 0, int periodMs = 100);
    void setCts(bool on) { cts_ = on; }
    void setOpenError(std::optional<DeviceError> error) { openError_ = std::move(error); }
    void setFailure(const DeviceError& error, int afterMs = 0);
    void advance(int ms);

    // -- records --
    QByteArrayList commands() const;
    qint64 elapsedMs() const { return now_; }
    // Received bytes not yet taken, and bytes still on their way.
    QByteArray received() const { return rx_; }
    int inFlight() const { return static_cast<int>(pending_.size()); }

    QByteArrayList outputs;
    int16_t portNumber = 0;
    QString settings;
    int openCount = 0;
    int closeCount = 0;

    // -- SerialPort --
    void setPortNumber(int16_t port) override { portNumber = port; }
    void setSettings(const QString& text) override { settings = text; }
    void open() override;
    void close() override;
    bool isOpen() const override { return open_; }
    bool ctsHolding() override { return cts_; }
    int inBufferCount() override;
    char takeChar() override;
    void output(const QByteArray& data) override;
    void sleep1ms() override { advance(1); }
    std::optional<DeviceError> failure() const override { return failure_; }

  private:
    struct Reply {
        QByteArray bytes;
        int delayMs = 0;
        bool repeat = false;
    };
    struct Arrival {
        qint64 dueMs = 0;
        QByteArray bytes;
    };

    void schedule(qint64 dueMs, const QByteArray& bytes);
    void deliver();

    QMap<QByteArray, QList<Reply>> script_;
    std::optional<Reply> default_;
    QList<Arrival> pending_; // ordered by due time
    QByteArray rx_;
    qint64 now_ = 0;
    bool cts_ = true;
    bool open_ = false;
    std::optional<DeviceError> openError_;
    std::optional<DeviceError> failure_;
    std::optional<qint64> failureDueMs_;
    std::optional<DeviceError> scheduledFailure_;
};

// A port whose unit answers every command as a healthy unit does: the probe, "GET" with 12.5,
// "RUN00" and "STP" with "OK".
std::unique_ptr<FakeSerialPort> MakeAnsweringPort();

} // namespace k12::test
