// SPDX-License-Identifier: GPL-3.0-or-later
#include "ComDrv.h"

#include "measurement/Directions.h"

#include <QCoreApplication>
#include <charconv>
#include <cmath>
#include <string>

namespace k12 {

namespace {

constexpr int RECEIVE_CYCLES = 100;
// Readings averaged into one logged value at most.
constexpr int16_t MAX_AVERAGING = 100;

DeviceError NotOpenError() {
    return DeviceError(link_error::NotOpen,
                       QCoreApplication::translate("ComDrv", "オープンされていない"));
}
DeviceError AlreadyOpenError() {
    return DeviceError(link_error::AlreadyOpen,
                       QCoreApplication::translate("ComDrv", "ポート接続動作中"));
}
DeviceError TimeoutError() {
    return DeviceError(link_error::Timeout, QCoreApplication::translate("ComDrv", "タイムアウト"));
}
DeviceError BadReplyError() {
    return DeviceError(link_error::BadReply,
                       QCoreApplication::translate("ComDrv", "リターン文字列不正"));
}
DeviceError LoggingError() {
    return DeviceError(link_error::Busy,
                       QCoreApplication::translate("ComDrv", "連続取り込み動作中"));
}
DeviceError RangeError() {
    return DeviceError(link_error::Busy, QCoreApplication::translate("ComDrv", "設定値範囲外"));
}

bool IsBlank(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

} // namespace

ComDrv::ComDrv(std::unique_ptr<SerialPort> port, QObject* parent)
    : QObject(parent), port_(std::move(port)) {
    Timer1_.setInterval(100);
    connect(&Timer1_, &QTimer::timeout, this, &ComDrv::OnTimer1);
}

ComDrv::~ComDrv() {
    DevClose();
}

// ---- link ----

void ComDrv::DevOpen(int16_t port) {
    if (Openflg_) {
        throw AlreadyOpenError();
    }
    // A line half received in an earlier session must not be glued to this session's first one.
    RcvBuf_.clear();
    RcvNoise_ = false;
    // Serial-layer errors (missing device, port in use, bad settings) pass through unchanged.
    port_->setPortNumber(port);
    port_->setSettings(QStringLiteral("115200,n,8,1"));
    port_->open();

    if (!CheckConnect()) {
        // Keep the real cause of a dead port; closing the port clears it.
        const std::optional<DeviceError> failed = port_->failure();
        port_->close();
        Openflg_ = false;
        Timer1_.stop();
        if (failed) {
            throw *failed;
        }
        throw TimeoutError();
    }
    PortNo_ = port;
    Openflg_ = true;
    Logflg_ = false;
    Timer1_.start();
}

void ComDrv::DevClose() {
    if (!Openflg_) {
        return;
    }
    Timer1_.stop();
    port_->close();
    Openflg_ = false;
}

double ComDrv::GetDegree() {
    if (!Openflg_) {
        throw NotOpenError();
    }
    if (Logflg_) {
        throw LoggingError();
    }
    SendCommand(QStringLiteral("GET"));
    const QString line = ReceiveLine();
    if (line.isEmpty()) {
        ThrowIfPortFailed();
        throw TimeoutError();
    }
    return ParseDegree(line);
}

std::optional<DeviceError> ComDrv::PortFailure() const {
    return port_->failure();
}

void ComDrv::ThrowIfPortFailed() const {
    if (const std::optional<DeviceError> failed = port_->failure()) {
        throw *failed;
    }
}

void ComDrv::SendCommand(const QString& text) {
    if (port_->ctsHolding()) {
        port_->output(text.toLatin1() + "\r\n");
    }
}

void ComDrv::Collect(QByteArray& line, bool& noise, char c) {
    if (noise) {
        return;
    }
    if (line.size() >= MAX_LINE_LENGTH) {
        line.clear();
        noise = true;
        return;
    }
    line.append(c);
}

QString ComDrv::ReceiveLine() {
    QByteArray collected;
    bool noise = false;
    for (int cycle = 0; cycle < RECEIVE_CYCLES; ++cycle) {
        port_->sleep1ms();
        while (port_->inBufferCount() > 0) {
            const char c = port_->takeChar();
            if (c != '\n') {
                Collect(collected, noise, c);
                continue;
            }
            if (!noise && collected.size() > 2 && collected.endsWith('\r')) {
                collected.chop(1);
                return QString::fromLatin1(collected);
            }
            collected.clear();
            noise = false;
        }
        // A failed port delivers nothing more; waiting out the cycles would only hide the cause.
        if (port_->failure()) {
            break;
        }
    }
    return {};
}

bool ComDrv::CheckConnect() {
    SendCommand(QString());
    return !ReceiveLine().isEmpty();
}

std::optional<double> ComDrv::ReadNumber(const QString& line) {
    const QString head = line.left(8);
    qsizetype begin = 0;
    qsizetype end = head.size();
    while (begin < end && IsBlank(head.at(begin))) {
        ++begin;
    }
    while (end > begin && IsBlank(head.at(end - 1))) {
        --end;
    }
    bool negative = false;
    if (begin < end && (head.at(begin) == QLatin1Char('+') || head.at(begin) == QLatin1Char('-'))) {
        negative = head.at(begin) == QLatin1Char('-');
        ++begin;
    }
    int digits = 0;
    int points = 0;
    std::string body;
    for (qsizetype i = begin; i < end; ++i) {
        const QChar c = head.at(i);
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) {
            ++digits;
        } else if (c == QLatin1Char('.')) {
            ++points;
        } else {
            return std::nullopt;
        }
        body.push_back(static_cast<char>(c.unicode()));
    }
    if (digits == 0 || points > 1) {
        return std::nullopt;
    }
    double value = 0.0;
    const auto [ptr, ec] = std::from_chars(body.data(), body.data() + body.size(), value);
    if (ec != std::errc() || ptr != body.data() + body.size()) {
        return std::nullopt;
    }
    return negative ? -value : value;
}

double ComDrv::ParseDegree(const QString& line) const {
    if (const std::optional<double> value = ReadNumber(line)) {
        return *value;
    }
    throw BadReplyError();
}

// ---- logging ----

void ComDrv::LogStart(int16_t Interval) {
    if (!Openflg_) {
        throw NotOpenError();
    }
    if (Logflg_) {
        throw LoggingError();
    }
    if (Interval < 1 || Interval > MAX_AVERAGING) {
        throw RangeError();
    }
    AvgCount_ = Interval;
    ClearAverage();

    SendCommand(QStringLiteral("RUN00"));
    const QString line = ReceiveLine();
    LastStartReply_ = line;
    if (line != QLatin1String("OK")) {
        if (line.isEmpty()) {
            ThrowIfPortFailed();
        }
        throw BadReplyError();
    }
    Logflg_ = true;
    ClearLog();
    Stopflg_ = false;
    Timer1_.start();
}

void ComDrv::LogStop() {
    if (!Openflg_) {
        throw NotOpenError();
    }
    SendCommand(QStringLiteral("STP"));
    Stopflg_ = true;
}

void ComDrv::StopStream() {
    if (!Openflg_) {
        throw NotOpenError();
    }
    SendCommand(QStringLiteral("STP"));
    // A streaming unit sends a line a period until the "OK"; a bound keeps a babbling one from
    // holding the caller up.
    for (int lines = 0; lines < 50; ++lines) {
        const QString line = ReceiveLine();
        if (line.isEmpty() || line == QLatin1String("OK")) {
            break;
        }
    }
    RcvBuf_.clear();
    RcvNoise_ = false;
}

int16_t ComDrv::GetLogLen() const {
    return LogLen_;
}

double ComDrv::GetLog() {
    return TakeLog();
}

void ComDrv::OnTimer1() {
    // Lines received before a port failure still count; the run notices the failure through
    // PortFailure(). The port's buffer is finite, so this ends on a dead port too. While
    // streaming, a full log leaves the rest waiting in the port for the next tick: a late
    // consumer finds every line, none is dropped.
    while ((!Streaming() || LogLen_ < LOG_CAPACITY) && port_->inBufferCount() > 0) {
        const char c = port_->takeChar();
        if (c != '\n') {
            Collect(RcvBuf_, RcvNoise_, c);
            continue;
        }
        ++LinesReceived_;
        if (!RcvNoise_ && RcvBuf_.size() > 2 && RcvBuf_.endsWith('\r')) {
            ProcessLine(QString::fromLatin1(RcvBuf_.chopped(1)));
        } else if (Streaming()) {
            // Not a line the unit meant, but it took the unit's period all the same.
            TakePeriod(std::nullopt);
        }
        RcvBuf_.clear();
        RcvNoise_ = false;
    }
}

void ComDrv::ProcessLine(const QString& line) {
    if (line == QLatin1String("OK") && Stopflg_) {
        Timer1_.stop();
        Logflg_ = false;
        return;
    }
    const std::optional<double> value = ReadNumber(line);
    // A unit that cannot measure (e.g. "   ERROR") still streams once a period; skipping its
    // lines would shift every later value to an earlier row.
    if (value || Streaming()) {
        TakePeriod(value);
    }
}

void ComDrv::TakePeriod(std::optional<double> v) {
    if (v && AvgCount_ == 1) {
        PutLog(*v);
        return;
    }
    if (v) {
        AddAverage(*v);
    }
    ++AvgPeriods_;
    if (AvgPeriods_ < AvgCount_) {
        return;
    }
    PutLog(AvgNum_ > 0 ? GetAverage() : LOG_NO_READING);
    ClearAverage();
}

void ComDrv::AddAverage(double v) {
    const double r = DegreesToRadians(v);
    SumCos_ += std::cos(r);
    SumSin_ += std::sin(r);
    ++AvgNum_;
}

double ComDrv::GetAverage() const {
    return DirectionOfSums(SumCos_, SumSin_);
}

void ComDrv::ClearAverage() {
    SumCos_ = 0.0;
    SumSin_ = 0.0;
    AvgNum_ = 0;
    AvgPeriods_ = 0;
}

void ComDrv::PutLog(double v) {
    if (LogLen_ == LOG_CAPACITY) {
        return;
    }
    LogBuf_[static_cast<std::size_t>(LogWp_)] = v;
    LogWp_ = static_cast<int16_t>((LogWp_ + 1) % LOG_CAPACITY);
    ++LogLen_;
}

double ComDrv::TakeLog() {
    if (LogLen_ == 0) {
        return 0.0;
    }
    const double v = LogBuf_[static_cast<std::size_t>(LogRp_)];
    LogRp_ = static_cast<int16_t>((LogRp_ + 1) % LOG_CAPACITY);
    --LogLen_;
    return v;
}

void ComDrv::ClearLog() {
    LogLen_ = 0;
    LogWp_ = 0;
    LogRp_ = 0;
}

} // namespace k12
