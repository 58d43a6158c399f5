// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/DeviceError.h"
#include "platform/SerialPort.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>

namespace k12 {

inline constexpr int LOG_CAPACITY = 100;
// Logged for an averaging window in which the unit streamed no reading: the store's "no data".
inline constexpr double LOG_NO_READING = -999.0;
// Longest line the driver assembles; no reply comes near it, so a longer one is line noise.
inline constexpr int MAX_LINE_LENGTH = 64;

// Errors raised by the unit link (numbers and the operator's descriptions).
namespace link_error {
inline constexpr int NotOpen = 600;     // "オープンされていない"
inline constexpr int AlreadyOpen = 601; // "ポート接続動作中"
inline constexpr int Timeout = 603;     // "タイムアウト"
inline constexpr int BadReply = 604;    // "リターン文字列不正"
inline constexpr int Busy = 605;        // "連続取り込み動作中" or "設定値範囲外"
} // namespace link_error

// Driver of one angle unit on its serial port: open/probe, single readings, and the streaming
// mode with averaging into a ring of logged values.
class ComDrv : public QObject {
    Q_OBJECT
  public:
    explicit ComDrv(std::unique_ptr<SerialPort> port, QObject* parent = nullptr);
    ~ComDrv() override;

    void DevOpen(int16_t port);
    void DevClose();
    double GetDegree();

    void LogStart(int16_t Interval);
    void LogStop();
    // Stops a unit that may still be streaming (its line came back while it went on) and throws
    // away what it sent before its answer, so that the next command's reply comes clean. A unit
    // that does not answer is no error here.
    void StopStream();
    // The line that answered the last "RUN00" (empty after a time-out).
    const QString& LastStartReply() const { return LastStartReply_; }
    int16_t GetLogLen() const;
    double GetLog();

    // The receive timer's tick handler (public so tests can drive it without waiting).
    void OnTimer1();

    // Complete lines (every LF) the tick handler has taken since the driver was made, whatever
    // they held; a streaming unit that falls silent stops changing it.
    quint64 LinesReceived() const { return LinesReceived_; }

    // Set when the open port failed (hang-up, read or write error); empty otherwise.
    std::optional<DeviceError> PortFailure() const;

    // Read-only views of the link state, for callers and tests.
    bool Openflg() const { return Openflg_; }
    bool Logflg() const { return Logflg_; }
    bool Stopflg() const { return Stopflg_; }
    int16_t PortNo() const { return PortNo_; }
    int16_t AvgCount() const { return AvgCount_; }
    qsizetype RcvBufSize() const { return RcvBuf_.size(); }
    bool TimerActive() const { return Timer1_.isActive(); }
    SerialPort& Port() { return *port_; }

  private:
    void SendCommand(const QString& text);
    QString ReceiveLine();
    // Adds c (not LF) to the line being assembled; a line that grows past MAX_LINE_LENGTH is
    // emptied and the rest of it, up to its LF, skipped (noise set).
    static void Collect(QByteArray& line, bool& noise, char c);
    bool CheckConnect();
    double ParseDegree(const QString& line) const;
    // The number check shared by ParseDegree and ProcessLine; empty when not a number.
    static std::optional<double> ReadNumber(const QString& line);
    // Raises the serial layer's own error if the port has failed.
    void ThrowIfPortFailed() const;

    void ProcessLine(const QString& line);
    // One stream period, with its reading or without one.
    void TakePeriod(std::optional<double> v);
    // Every streamed line is a period while logging; otherwise only readings count.
    bool Streaming() const { return Logflg_ && !Stopflg_; }
    void AddAverage(double v);
    double GetAverage() const;
    void ClearAverage();
    void PutLog(double v);
    double TakeLog();
    void ClearLog();

    bool Openflg_ = false;
    bool Logflg_ = false;
    int16_t PortNo_ = 0;
    bool Stopflg_ = false;
    QByteArray RcvBuf_;
    bool RcvNoise_ = false; // the line in RcvBuf_ grew too long: skipped up to its LF
    quint64 LinesReceived_ = 0;
    QString LastStartReply_;
    std::array<double, LOG_CAPACITY> LogBuf_{};
    int16_t LogWp_ = 0;
    int16_t LogRp_ = 0;
    int16_t LogLen_ = 0;
    double SumCos_ = 0.0;
    double SumSin_ = 0.0;
    int16_t AvgCount_ = 0;
    int16_t AvgNum_ = 0;
    int16_t AvgPeriods_ = 0; // stream periods in the window, with or without a reading

    std::unique_ptr<SerialPort> port_;
    QTimer Timer1_;
};

} // namespace k12
