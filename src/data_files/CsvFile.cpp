// SPDX-License-Identifier: GPL-3.0-or-later
#include "data_files/CsvFile.h"

#include "data_files/CsvNumber.h"
#include "data_files/FileCommon.h"
#include "measurement/Conversions.h"

#include <QCoreApplication>
#include <QDir>
#include <algorithm>

namespace k12 {

namespace {

const QLatin1String CRLF("\r\n");

QString CsvDoubleText(double v) {
    char buf[CSV_NUMBER_MAX_CHARS];
    return QString::fromLatin1(buf, WriteCsvDouble(buf, v) - buf);
}

QString Line(const QStringList& items) {
    return items.join(QLatin1Char(',')) + CRLF;
}

// What a join compares between pieces, as the reader loads each one.
struct Piece {
    QString path;
    DataFileHead head;
    std::array<bool, UNIT_COUNT> inUse{};
    int32_t rows = 0;
    std::optional<QDateTime> start; // nullopt when the start time text names no time
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
            return Refused(
                QCoreApplication::translate("DataFile", "ファイル「%1」を読み込めません。\n%2")
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
    piece.start = ParseStartTime(piece.head.StartTime);
    return std::nullopt;
}

QString TimerText(bool timerType) {
    return timerType ? QCoreApplication::translate("DataFile", "PCタイマー")
                     : QCoreApplication::translate("DataFile", "装置タイマー");
}

// Why `next`, the piece that starts after `prev`, cannot follow it; nullopt when it can.
std::optional<DataFileError> Mismatch(const Piece& prev, const Piece& next) {
    const QString a = Shown(next.path);
    const QString b = Shown(prev.path);
    if (next.head.TimerType != prev.head.TimerType) {
        return Refused(
            QCoreApplication::translate(
                "DataFile", "ファイル「%1」のタイマー（%2）が「%3」（%4）と異なります。")
                .arg(a, TimerText(next.head.TimerType), b, TimerText(prev.head.TimerType)));
    }
    if (next.head.IntervalTM != prev.head.IntervalTM) {
        return Refused(
            QCoreApplication::translate(
                "DataFile", "ファイル「%1」の測定間隔（%2 ms）が「%3」（%4 ms）と異なります。")
                .arg(a)
                .arg(next.head.IntervalTM)
                .arg(b)
                .arg(prev.head.IntervalTM));
    }
    // Start times hold whole seconds: anything closer than a second follows on, but two pieces
    // never start in the same second.
    const QDateTime expected = prev.start->addMSecs(qint64(prev.rows) * prev.head.IntervalTM);
    const qint64 late = expected.msecsTo(*next.start);
    if (*next.start == *prev.start || late <= -1000) {
        return Refused(QCoreApplication::translate(
                           "DataFile", "ファイル「%1」の開始時刻 %2 "
                                       "が「%3」の続き（%4）ではありません（重なっています）。")
                           .arg(a, next.head.StartTime.trimmed(), b, FormatStartTime(expected)));
    }
    if (late >= 1000) {
        return Refused(QCoreApplication::translate(
                           "DataFile", "ファイル「%1」の開始時刻 %2 "
                                       "が「%3」の続き（%4）ではありません（間が空いています）。")
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
    if (!files::EncodeField(head.StartTime, QCoreApplication::translate("DataFile", "開始時刻"),
                            path, false, error)) {
        return std::nullopt;
    }
    for (int i = 0; i < MEMO_COUNT; ++i) {
        if (!files::EncodeField(head.Memo[i], files::MemoName(i), path, false, error)) {
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
                      CsvDoubleText(static_cast<double>(head.IntervalTM) / 1000.0)});
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
        error = files::SaveFailure(
            path, QCoreApplication::translate("DataFile", "文字コードを変換できません。"));
    }
    return out;
}

void AppendCsvRows(QByteArray& out, const MeasurementStore& store, int32_t from, int32_t to) {
    if (to <= from) {
        return;
    }
    // Per unit, the rows below which it may hold a reading.
    std::array<int32_t, UNIT_COUNT> limit{};
    for (int u = 0; u < UNIT_COUNT; ++u) {
        const auto& unit = store.Units[u];
        limit[u] = unit.Mflag ? std::min<int32_t>(unit.DataCount, int32_t(unit.Data.size())) : 0;
    }
    // Written in place, a block of rows at a time, with room for the longest items.
    constexpr int32_t BLOCK_ROWS = 1024;
    constexpr qsizetype ROW_ROOM = UNIT_COUNT * (CSV_NUMBER_MAX_CHARS + 2);
    out.reserve(out.size() + qsizetype(to - from) * 40);
    for (int32_t block = from; block < to; block += BLOCK_ROWS) {
        const int32_t end = block + std::min(BLOCK_ROWS, to - block);
        const qsizetype start = out.size();
        out.resize(start + qsizetype(end - block) * ROW_ROOM);
        char* p = out.data() + start;
        for (int32_t k = block; k < end; ++k) {
            for (int u = 0; u < UNIT_COUNT; ++u) {
                const float v = k < limit[u] ? store.Units[u].Data[size_t(k)] : NO_DATA_VALUE;
                // A missing reading is a blank item, never the marker value a spreadsheet would
                // take for an angle.
                if (HoldsReading(v)) {
                    p = WriteCsvSingle(p, v);
                } else {
                    *p++ = '"';
                    *p++ = '"';
                }
                if (u + 1 < UNIT_COUNT) {
                    *p++ = ',';
                } else {
                    *p++ = '\r';
                    *p++ = '\n';
                }
            }
        }
        out.truncate(p - out.constData());
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
        return files::SaveFailure(
            path, QCoreApplication::translate("DataFile", "つなぐファイルがありません。"));
    }
    MeasurementStore store;
    store.InitDataArea();

    // Every piece is checked before the first byte is written; only the facts are kept.
    std::vector<Piece> checked(size_t(pieces.size()));
    int64_t total = 0;
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        Piece& piece = checked[size_t(i)];
        if (auto error = LoadPiece(pieces[i], store, piece)) {
            return error;
        }
        if (!piece.start && pieces.size() > 1) {
            return Refused(QCoreApplication::translate(
                               "DataFile", "ファイル「%1」の開始時刻「%2」を読み取れません。")
                               .arg(Shown(piece.path), piece.head.StartTime));
        }
        total += piece.rows;
    }
    // In time order, whatever order or names the pieces come in: numbers past 999 do not sort
    // by name.
    if (checked.size() > 1) {
        std::stable_sort(checked.begin(), checked.end(),
                         [](const Piece& a, const Piece& b) { return *a.start < *b.start; });
    }
    for (size_t i = 1; i < checked.size(); ++i) {
        if (auto error = Mismatch(checked[i - 1], checked[i])) {
            return error;
        }
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
            return Refused(QCoreApplication::translate("DataFile",
                                                       "ファイル「%1」が読み込み中に変わりました。")
                               .arg(Shown(expected.path)));
        }
        rows.resize(0);
        AppendCsvRows(rows, store, 0, piece.rows);
        if (auto failure = out.Write(rows)) {
            return failure;
        }
    }
    return out.Commit();
}

} // namespace k12
