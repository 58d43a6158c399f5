// SPDX-License-Identifier: GPL-3.0-or-later
#include "FeedPayload.h"

#include "measurement/Conversions.h"

#include <cmath>

namespace k12 {

namespace {

void AppendString(QByteArray& out, const QString& text) {
    out += '"';
    for (const char c : text.toUtf8()) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                out += "\\u00";
                out += "0123456789abcdef"[(c >> 4) & 0xf];
                out += "0123456789abcdef"[c & 0xf];
            } else {
                out += c;
            }
        }
    }
    out += '"';
}

// Seconds to the millisecond without trailing zeros: 12.5, 0, 3600.1.
QByteArray Seconds(double s) {
    if (!std::isfinite(s)) {
        return "null";
    }
    QByteArray text = QByteArray::number(s, 'f', 3);
    while (text.endsWith('0')) {
        text.chop(1);
    }
    if (text.endsWith('.')) {
        text.chop(1);
    }
    return text == "-0" ? QByteArray("0") : text;
}

QByteArray Value(std::optional<double> v) {
    return v && std::isfinite(*v) ? FormatFixed3(*v).toLatin1() : QByteArray("null");
}

// A JSON object written member by member.
class Object {
  public:
    Object() {
        out_.reserve(192);
        out_ += '{';
    }
    Object& raw(const char* key, const QByteArray& json) {
        name(key);
        out_ += json;
        return *this;
    }
    Object& text(const char* key, const QString& v) {
        name(key);
        AppendString(out_, v);
        return *this;
    }
    Object& number(const char* key, qint64 v) { return raw(key, QByteArray::number(v)); }
    Object& time(const char* key, const QDateTime& t) {
        return t.isValid() ? text(key, FeedTimeText(t)) : raw(key, "null");
    }
    QByteArray done() {
        out_ += '}';
        return out_;
    }

  private:
    void name(const char* key) {
        if (out_.size() > 1) {
            out_ += ',';
        }
        out_ += '"';
        out_ += key;
        out_ += "\":";
    }
    QByteArray out_;
};

Object Event(const char* name, const QDateTime& time) {
    Object o;
    o.raw("event", QByteArray("\"") + name + '"').time("time", time);
    return o;
}

const char* StateName(FeedStatus::State state) {
    switch (state) {
    case FeedStatus::State::Running:
        return "\"running\"";
    case FeedStatus::State::Stopped:
        return "\"stopped\"";
    case FeedStatus::State::Offline:
        return "\"offline\"";
    }
    return "null";
}

} // namespace

QString FeedTimeText(qint64 msecs, int offsetSeconds) {
    const QDateTime wall =
        QDateTime::fromMSecsSinceEpoch(msecs + qint64(offsetSeconds) * 1000, Qt::UTC);
    const int minutes = std::abs(offsetSeconds) / 60;
    return wall.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz")) +
           QLatin1Char(offsetSeconds < 0 ? '-' : '+') +
           QStringLiteral("%1:%2")
               .arg(minutes / 60, 2, 10, QLatin1Char('0'))
               .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

QString FeedTimeText(const QDateTime& time) {
    return FeedTimeText(time.toMSecsSinceEpoch(), time.offsetFromUtc());
}

QByteArray FeedRowJson(const FeedRow& row) {
    Object o;
    o.number("row", row.row).time("time", row.time).raw("elapsed", Seconds(row.elapsedS));
    QByteArray units = "{";
    for (size_t u = 0; u < UNIT_COUNT; ++u) {
        if (row.inUse[u]) {
            if (units.size() > 1) {
                units += ',';
            }
            units += '"' + QByteArray::number(qulonglong(u + 1)) + "\":" + Value(row.values[u]);
        }
    }
    units += '}';
    return o.raw("units", units).done();
}

QByteArray FeedStatusJson(const FeedStatus& s) {
    Object o;
    o.raw("state", StateName(s.state)).time("time", s.time).time("start", s.run.start);
    o.raw("timer", s.run.pcTimer ? "\"pc\"" : "\"device\"").number("intervalMs", s.run.intervalMs);
    QByteArray units = "[";
    QByteArray down = "[";
    QByteArray alerts = "[";
    for (size_t u = 0; u < UNIT_COUNT; ++u) {
        if (!s.run.inUse[u]) {
            continue;
        }
        const QByteArray n = QByteArray::number(qulonglong(u + 1));
        Object unit;
        unit.raw("unit", n)
            .text("port", QStringLiteral("COM%1").arg(s.run.comPorts[u]))
            .text("device", s.run.devices[u]);
        units += (units.size() > 1 ? "," : "") + unit.done();
        if (s.down[u]) {
            down += (down.size() > 1 ? "," : "") + n;
        }
        for (const AlertKind kind : {AlertKind::High, AlertKind::Low, AlertKind::Change}) {
            if (s.alerts[u][static_cast<size_t>(kind)]) {
                Object alert;
                alert.raw("unit", n).text("limit", AlertKindName(kind));
                alerts += (alerts.size() > 1 ? "," : "") + alert.done();
            }
        }
    }
    o.raw("units", units + ']').number("pieces", s.pieces).raw("down", down + ']');
    return o.raw("alerts", alerts + ']').number("dropped", s.dropped).done();
}

QByteArray UnitDownEventJson(int unit, const QString& reason, const QDateTime& time) {
    return Event("unit-down", time).number("unit", unit + 1).text("reason", reason).done();
}

QByteArray UnitBackEventJson(int unit, const QDateTime& time) {
    return Event("unit-back", time).number("unit", unit + 1).done();
}

QByteArray PieceWrittenEventJson(int piece, const QString& path, qint64 rows,
                                 const QDateTime& time) {
    return Event("piece-written", time)
        .number("piece", piece)
        .text("path", path)
        .number("rows", rows)
        .done();
}

QByteArray AlertEventJson(const AlertTransition& a, qint64 row, const QDateTime& time) {
    Object o = Event(a.raised ? "alert-raised" : "alert-cleared", time);
    o.number("unit", a.unit + 1)
        .text("limit", AlertKindName(a.kind))
        .raw("threshold", QByteArray::number(a.limit, 'g', 15))
        .raw("value", Value(a.value))
        .number("row", row);
    if (a.kind == AlertKind::Change) {
        o.raw("change", Value(a.change));
    }
    return o.done();
}

QByteArray RowsDroppedEventJson(qint64 count, qint64 firstRow, qint64 lastRow, qint64 total,
                                const QDateTime& time) {
    return Event("rows-dropped", time)
        .number("count", count)
        .number("firstRow", firstRow)
        .number("lastRow", lastRow)
        .number("total", total)
        .done();
}

QByteArray RunEndedEventJson(const FeedRunEnd& end, const QDateTime& time) {
    QByteArray summary = "[";
    for (const QString& line : end.summary) {
        if (summary.size() > 1) {
            summary += ',';
        }
        AppendString(summary, line);
    }
    return Event("run-ended", time)
        .text("reason", end.reason)
        .number("rows", end.rows)
        .number("pieces", end.pieces)
        .raw("elapsed", Seconds(end.elapsedS))
        .raw("summary", summary + ']')
        .done();
}

} // namespace k12
