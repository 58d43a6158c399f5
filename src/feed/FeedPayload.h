// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "measurement/AngleAlerts.h"
#include "measurement/MeasurementStore.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <array>
#include <optional>

namespace k12 {

// One stored row of a run, as the feed publishes it on <Topic>/row.
struct FeedRow {
    // The run's row number as the engine counts it from the run's start (not from the piece).
    qint64 row = 0;
    // The row's clock time; published with its offset from UTC, to the millisecond.
    QDateTime time;
    // Seconds since the run's start.
    double elapsedS = 0.0;
    // Units 0..3: in use, and the value (nullopt for a hole). Units not in use are left out.
    std::array<bool, UNIT_COUNT> inUse{};
    std::array<std::optional<double>, UNIT_COUNT> values{};
};

// What a run measures, for <Topic>/status.
struct FeedRunInfo {
    QDateTime start;
    bool pcTimer = false;
    int intervalMs = 0;
    std::array<bool, UNIT_COUNT> inUse{};
    std::array<int, UNIT_COUNT> comPorts{};
    // The device each unit's COM number stands for (may be empty).
    std::array<QString, UNIT_COUNT> devices{};
};

// How a run ended, for the last event.
struct FeedRunEnd {
    // e.g. "停止", "stopped by SIGTERM", the message of the fault that ended it.
    QString reason;
    qint64 rows = 0;
    int pieces = 0;
    double elapsedS = 0.0;
    // The missed readings per unit as the run's summary gives them ("2台目: 12件（タイムアウト）").
    QStringList summary;
};

// The retained <Topic>/status.
struct FeedStatus {
    enum class State { Running, Stopped, Offline };
    State state = State::Running;
    FeedRunInfo run;
    // When this status was made.
    QDateTime time;
    int pieces = 0;
    std::array<bool, UNIT_COUNT> down{};
    // Alerts up, per unit and kind (high, low, change).
    std::array<std::array<bool, 3>, UNIT_COUNT> alerts{};
    // Rows dropped so far because the queue was full while the broker was away.
    qint64 dropped = 0;
};

// ISO 8601 with the offset, to the millisecond: "2026-12-08T09:20:34.500+09:00".
QString FeedTimeText(const QDateTime& time);
QString FeedTimeText(qint64 msecsSinceEpoch, int offsetSeconds);

// The JSON payloads (UTF-8, one line). Row: {"row":..,"time":..,"elapsed":..,"units":{"1":12.480,
// "2":null}}; values with three decimals as the window shows them.
QByteArray FeedRowJson(const FeedRow& row);
QByteArray FeedStatusJson(const FeedStatus& status);

// The events on <Topic>/event: {"event":"<name>","time":..,...}.
QByteArray UnitDownEventJson(int unit, const QString& reason, const QDateTime& time);
QByteArray UnitBackEventJson(int unit, const QDateTime& time);
QByteArray PieceWrittenEventJson(int piece, const QString& path, qint64 rows,
                                 const QDateTime& time);
QByteArray AlertEventJson(const AlertTransition& alert, qint64 row, const QDateTime& time);
QByteArray RowsDroppedEventJson(qint64 count, qint64 firstRow, qint64 lastRow, qint64 total,
                                const QDateTime& time);
QByteArray RunEndedEventJson(const FeedRunEnd& end, const QDateTime& time);

} // namespace k12
