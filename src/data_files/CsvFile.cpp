// SPDX-License-Identifier: GPL-3.0-or-later
#include "data_files/CsvFile.h"

#include "data_files/FileCommon.h"
#include "measurement/Conversions.h"

#include <QStringList>
#include <algorithm>

namespace k12 {

namespace {

const QLatin1String CRLF("\r\n");

QString Line(const QStringList& items) {
    return items.join(QLatin1Char(',')) + CRLF;
}

} // namespace

QString CsvText(const QString& text) {
    QString s = text;
    s.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + s + QLatin1Char('"');
}

std::optional<DataFileError> WriteCsvFile(const MeasurementStore& store, const QString& path) {
    // Texts CP932 cannot hold are refused by name before anything is written.
    std::optional<DataFileError> error;
    if (!files::EncodeField(store.StartTime, QStringLiteral("開始時刻"), path, false, error)) {
        return error;
    }
    for (int i = 0; i < MEMO_COUNT; ++i) {
        if (!files::EncodeField(store.Memo[i], files::MemoLabel(i), path, false, error)) {
            return error;
        }
    }

    const int32_t rows = std::clamp(store.SampleCount, 0, MAX_SAMPLES);
    QString head;
    head += Line({CsvText(QStringLiteral("ZORV-K12INC"))});
    head += Line({CsvText(QStringLiteral("測定日")), CsvText(store.StartTime)});
    for (int i = 0; i < MEMO_COUNT; ++i) {
        head += Line({CsvText(files::MemoLabel(i)), CsvText(store.Memo[i])});
    }
    if (store.TimerType) {
        head += Line({CsvText(QStringLiteral("PCタイマー(sec)")),
                      CsvDouble(static_cast<double>(store.IntervalTM) / 1000.0)});
    } else {
        head += Line(
            {CsvText(QStringLiteral("装置タイマー(msec)")), QString::number(store.IntervalTM)});
    }
    head += Line({CsvText(QStringLiteral("ポート番号"))});
    QStringList ports;
    for (const auto& unit : store.Units) {
        ports << CsvText(QString::number(unit.ComPort));
    }
    head += Line(ports);
    head += Line({CsvText(QStringLiteral("測定データ"))});
    head += Line({CsvText(QStringLiteral("データ数")), QString::number(rows)});
    head += Line({CsvText(QStringLiteral("No1")), CsvText(QStringLiteral("No2")),
                  CsvText(QStringLiteral("No3")), CsvText(QStringLiteral("No4"))});

    auto out = EncodeCp932(head);
    if (!out) {
        return files::SaveFailure(path, QStringLiteral("文字コードを変換できません。"));
    }
    out->reserve(out->size() + qsizetype(rows) * 48);
    for (int32_t k = 0; k < rows; ++k) {
        for (int u = 0; u < UNIT_COUNT; ++u) {
            const auto& unit = store.Units[u];
            // A missing reading is a blank item, never the marker value a spreadsheet would
            // take for an angle.
            if (unit.Mflag && k < unit.DataCount && size_t(k) < unit.Data.size() &&
                unit.Data[k] != NO_DATA_VALUE) {
                out->append(CsvSingle(unit.Data[k]).toLatin1());
            } else {
                out->append("\"\"");
            }
            out->append(u + 1 < UNIT_COUNT ? "," : "\r\n");
        }
    }
    return files::SaveBytes(path, *out);
}

} // namespace k12
