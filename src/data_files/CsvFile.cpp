// SPDX-License-Identifier: GPL-3.0-or-later
#include "data_files/CsvFile.h"

#include "data_files/FileCommon.h"
#include "measurement/Conversions.h"

#include <QDir>
#include <algorithm>
#include <cstdlib>

namespace k12 {

namespace {

const QLatin1String CRLF("\r\n");

QString Line(const QStringList& items) {
    return items.join(QLatin1Char(',')) + CRLF;
}

// What a join compares between pieces, as the reader loads each one.
struct Piece {
    QString path;
    DataFileHead head;
    std::array<bool, UNIT_COUNT> inUse{};
    int32_t rows = 0;
};

bool Same(const Piece& a, const Piece& b) {
    return a.head.StartTime == b.head.StartTime && a.head.Memo == b.head.Memo &&
           a.head.TimerType == b.head.TimerType && a.head.IntervalTM == b.head.IntervalTM &&
           a.head.ComPorts == b.head.ComPorts && a.inUse == b.inUse && a.rows == b.rows;
}

QString Shown(const QString& path) {
    return QDir::toNativeSeparators(path);
}

DataFileError Refused(const QString& message) {
    return {DataFileError::Kind::Failed, message};
}

// Loads `path` into `store` the way the program reads a file.
std::optional<DataFileError> LoadPiece(const QString& path, MeasurementStore& store, Piece& piece) {
    auto parsed = ParseDataFile(path);
    if (auto* error = std::get_if<DataFileError>(&parsed)) {
        if (error->kind == DataFileError::Kind::NoRows) {
            return Refused(QStringLiteral("ファイル「%1」を読み込めません。\n%2")
                               .arg(Shown(path), error->message));
        }
        return *error;
    }
    ApplyDataFile(std::get<DataFileContent>(parsed), store);
    piece.path = path;
    piece.head = DataFileHead::Of(store);
    for (int u = 0; u < UNIT_COUNT; ++u) {
        piece.inUse[u] = store.Units[u].Mflag;
    }
    piece.rows = store.SampleCount;
    return std::nullopt;
}

QString UnitsText(const std::array<bool, UNIT_COUNT>& inUse) {
    QStringList units;
    for (int u = 0; u < UNIT_COUNT; ++u) {
        if (inUse[u]) {
            units << QString::number(u + 1);
        }
    }
    return units.isEmpty() ? QStringLiteral("なし") : units.join(QStringLiteral(", "));
}

QString TimerText(bool timerType) {
    return timerType ? QStringLiteral("PCタイマー") : QStringLiteral("装置タイマー");
}

// Why `next` cannot follow `prev`; nullopt when it can.
std::optional<DataFileError> Mismatch(const Piece& prev, const Piece& next) {
    const QString a = Shown(next.path);
    const QString b = Shown(prev.path);
    if (next.inUse != prev.inUse) {
        return Refused(
            QStringLiteral("ファイル「%1」の使用ユニット（%2）が「%3」（%4）と異なります。")
                .arg(a, UnitsText(next.inUse), b, UnitsText(prev.inUse)));
    }
    if (next.head.TimerType != prev.head.TimerType) {
        return Refused(
            QStringLiteral("ファイル「%1」のタイマー（%2）が「%3」（%4）と異なります。")
                .arg(a, TimerText(next.head.TimerType), b, TimerText(prev.head.TimerType)));
    }
    if (next.head.IntervalTM != prev.head.IntervalTM) {
        return Refused(
            QStringLiteral("ファイル「%1」の測定間隔（%2 ms）が「%3」（%4 ms）と異なります。")
                .arg(a)
                .arg(next.head.IntervalTM)
                .arg(b)
                .arg(prev.head.IntervalTM));
    }
    const auto prevStart = ParseStartTime(prev.head.StartTime);
    const auto nextStart = ParseStartTime(next.head.StartTime);
    const auto unreadable = [](const Piece& p) {
        return Refused(QStringLiteral("ファイル「%1」の開始時刻「%2」を読み取れません。")
                           .arg(Shown(p.path), p.head.StartTime));
    };
    if (!prevStart) {
        return unreadable(prev);
    }
    if (!nextStart) {
        return unreadable(next);
    }
    // Start times hold whole seconds: anything closer than a second follows on.
    const QDateTime expected = prevStart->addMSecs(qint64(prev.rows) * prev.head.IntervalTM);
    if (std::llabs(expected.msecsTo(*nextStart)) >= 1000) {
        return Refused(
            QStringLiteral("ファイル「%1」の開始時刻 %2 が「%3」の続き（%4）ではありません。")
                .arg(a, next.head.StartTime.trimmed(), b, FormatStartTime(expected)));
    }
    return std::nullopt;
}

} // namespace

QString CsvText(const QString& text) {
    QString s = text;
    s.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + s + QLatin1Char('"');
}

std::optional<QByteArray> CsvHeader(const DataFileHead& head, int64_t rows, const QString& path,
                                    std::optional<DataFileError>& error) {
    // Texts CP932 cannot hold are refused by name before anything is written.
    if (!files::EncodeField(head.StartTime, QStringLiteral("開始時刻"), path, false, error)) {
        return std::nullopt;
    }
    for (int i = 0; i < MEMO_COUNT; ++i) {
        if (!files::EncodeField(head.Memo[i], files::MemoLabel(i), path, false, error)) {
            return std::nullopt;
        }
    }

    QString text;
    text += Line({CsvText(QStringLiteral("ZORV-K12INC"))});
    text += Line({CsvText(QStringLiteral("測定日")), CsvText(head.StartTime)});
    for (int i = 0; i < MEMO_COUNT; ++i) {
        text += Line({CsvText(files::MemoLabel(i)), CsvText(head.Memo[i])});
    }
    if (head.TimerType) {
        text += Line({CsvText(QStringLiteral("PCタイマー(sec)")),
                      CsvDouble(static_cast<double>(head.IntervalTM) / 1000.0)});
    } else {
        text +=
            Line({CsvText(QStringLiteral("装置タイマー(msec)")), QString::number(head.IntervalTM)});
    }
    text += Line({CsvText(QStringLiteral("ポート番号"))});
    QStringList ports;
    for (const int16_t port : head.ComPorts) {
        ports << CsvText(QString::number(port));
    }
    text += Line(ports);
    text += Line({CsvText(QStringLiteral("測定データ"))});
    text += Line({CsvText(QStringLiteral("データ数")), QString::number(rows)});
    text += Line({CsvText(QStringLiteral("No1")), CsvText(QStringLiteral("No2")),
                  CsvText(QStringLiteral("No3")), CsvText(QStringLiteral("No4"))});

    auto out = EncodeCp932(text);
    if (!out) {
        error = files::SaveFailure(path, QStringLiteral("文字コードを変換できません。"));
    }
    return out;
}

void AppendCsvRows(QByteArray& out, const MeasurementStore& store, int32_t from, int32_t to) {
    out.reserve(out.size() + qsizetype(std::max(0, to - from)) * 48);
    for (int32_t k = from; k < to; ++k) {
        for (int u = 0; u < UNIT_COUNT; ++u) {
            const auto& unit = store.Units[u];
            // A missing reading is a blank item, never the marker value a spreadsheet would
            // take for an angle.
            if (unit.Mflag && k < unit.DataCount && size_t(k) < unit.Data.size() &&
                unit.Data[k] != NO_DATA_VALUE) {
                out.append(CsvSingle(unit.Data[k]).toLatin1());
            } else {
                out.append("\"\"");
            }
            out.append(u + 1 < UNIT_COUNT ? "," : "\r\n");
        }
    }
}

std::optional<DataFileError> WriteCsvFile(const MeasurementStore& store, const QString& path) {
    std::optional<DataFileError> error;
    const int32_t rows = std::clamp(store.SampleCount, 0, MAX_SAMPLES);
    auto out = CsvHeader(DataFileHead::Of(store), rows, path, error);
    if (!out) {
        return error;
    }
    AppendCsvRows(*out, store, 0, rows);
    return files::SaveBytes(path, *out);
}

std::optional<DataFileError> WriteJoinedCsvFile(const QStringList& pieces, const QString& path) {
    if (pieces.isEmpty()) {
        return files::SaveFailure(path, QStringLiteral("つなぐファイルがありません。"));
    }
    MeasurementStore store;
    store.InitDataArea();

    // Every piece is checked before the first byte is written; only the facts are kept.
    std::vector<Piece> checked(size_t(pieces.size()));
    int64_t total = 0;
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        if (auto error = LoadPiece(pieces[i], store, checked[size_t(i)])) {
            return error;
        }
        if (i > 0) {
            if (auto error = Mismatch(checked[size_t(i - 1)], checked[size_t(i)])) {
                return error;
            }
        }
        total += checked[size_t(i)].rows;
    }

    std::optional<DataFileError> error;
    auto header = CsvHeader(checked.front().head, total, path, error);
    if (!header) {
        return error;
    }
    files::SaveStream out(path);
    if (auto failure = out.Open()) {
        return failure;
    }
    if (auto failure = out.Write(*header)) {
        return failure;
    }
    QByteArray rows;
    for (const Piece& expected : checked) {
        Piece piece;
        if (auto failure = LoadPiece(expected.path, store, piece)) {
            return failure;
        }
        if (!Same(piece, expected)) {
            return Refused(QStringLiteral("ファイル「%1」が読み込み中に変わりました。")
                               .arg(Shown(expected.path)));
        }
        rows.clear();
        AppendCsvRows(rows, store, 0, piece.rows);
        if (auto failure = out.Write(rows)) {
            return failure;
        }
    }
    return out.Commit();
}

} // namespace k12
