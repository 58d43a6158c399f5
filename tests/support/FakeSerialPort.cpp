// SPDX-License-Identifier: GPL-3.0-or-later
#include "FakeSerialPort.h"

#include <stdexcept>

namespace k12::test {

void FakeSerialPort::reply(const QByteArray& command, const QByteArray& bytes, int delayMs,
                           bool repeat) {
    script_[command].append(Reply{bytes, delayMs, repeat});
}

void FakeSerialPort::defaultReply(const QByteArray& bytes, int delayMs) {
    default_ = Reply{bytes, delayMs, true};
}

void FakeSerialPort::clearReplies() {
    script_.clear();
    default_.reset();
}

void FakeSerialPort::feed(const QByteArray& bytes, int afterMs) {
    schedule(now_ + afterMs, bytes);
}

void FakeSerialPort::feedLines(const QByteArrayList& lines, int firstAfterMs, int periodMs) {
    qint64 due = now_ + firstAfterMs;
    for (const QByteArray& line : lines) {
        schedule(due, line + "\r\n");
        due += periodMs;
    }
}

void FakeSerialPort::setFailure(const DeviceError& error, int afterMs) {
    scheduledFailure_ = error;
    failureDueMs_ = now_ + afterMs;
    deliver();
}

void FakeSerialPort::advance(int ms) {
    now_ += ms;
    deliver();
}

QByteArrayList FakeSerialPort::commands() const {
    QByteArrayList result;
    for (const QByteArray& data : outputs) {
        result.append(data.endsWith("\r\n") ? data.chopped(2) : data);
    }
    return result;
}

void FakeSerialPort::open() {
    if (openError_) {
        throw *openError_;
    }
    if (open_) {
        throw std::logic_error("FakeSerialPort: open() on an open port");
    }
    open_ = true;
    ++openCount;
}

void FakeSerialPort::close() {
    if (open_) {
        ++closeCount;
    }
    open_ = false;
    rx_.clear();
    pending_.clear();
    failure_.reset();
    scheduledFailure_.reset();
    failureDueMs_.reset();
}

int FakeSerialPort::inBufferCount() {
    return static_cast<int>(rx_.size());
}

char FakeSerialPort::takeChar() {
    if (rx_.isEmpty()) {
        throw std::logic_error("FakeSerialPort: takeChar() with nothing received");
    }
    const char c = rx_.front();
    rx_.remove(0, 1);
    return c;
}

void FakeSerialPort::output(const QByteArray& data) {
    if (!open_) {
        return;
    }
    outputs.append(data);
    const QByteArray command = data.endsWith("\r\n") ? data.chopped(2) : data;
    auto it = script_.find(command);
    if (it != script_.end() && !it->isEmpty()) {
        const Reply r = it->front();
        if (!r.repeat) {
            it->removeFirst();
        }
        schedule(now_ + r.delayMs, r.bytes);
    } else if (default_) {
        schedule(now_ + default_->delayMs, default_->bytes);
    }
}

void FakeSerialPort::schedule(qint64 dueMs, const QByteArray& bytes) {
    auto pos = pending_.begin();
    while (pos != pending_.end() && pos->dueMs <= dueMs) {
        ++pos;
    }
    pending_.insert(pos, Arrival{dueMs, bytes});
    deliver();
}

void FakeSerialPort::deliver() {
    while (!pending_.isEmpty() && pending_.front().dueMs <= now_) {
        rx_.append(pending_.front().bytes);
        pending_.removeFirst();
    }
    if (scheduledFailure_ && failureDueMs_ && *failureDueMs_ <= now_) {
        failure_ = scheduledFailure_;
        scheduledFailure_.reset();
        failureDueMs_.reset();
    }
}

std::unique_ptr<FakeSerialPort> MakeAnsweringPort() {
    auto port = std::make_unique<FakeSerialPort>();
    port->reply("", "K12INC\r\n", 0, true);
    port->reply("GET", "  12.500\r\n", 0, true);
    port->reply("RUN00", "OK\r\n", 0, true);
    port->reply("STP", "OK\r\n", 0, true);
    return port;
}

} // namespace k12::test
