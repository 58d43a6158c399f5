// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "data_files/DataFile.h"

#include <QStringList>

namespace k12 {

// Exports the store as CSV (CP932, CR LF). The target is replaced only once the new file is
// complete; nullopt on success.
[[nodiscard]] std::optional<DataFileError> WriteCsvFile(const MeasurementStore& store,
                                                        const QString& path);

// The lines of an export before its first row, declaring `rows` rows, in CP932; nullopt (and
// `error` set, naming `path`) when a text cannot be written.
std::optional<QByteArray> CsvHeader(const DataFileHead& head, int64_t rows, const QString& path,
                                    std::optional<DataFileError>& error);
// Appends the lines of the store's rows [from, to) as an export writes them.
void AppendCsvRows(QByteArray& out, const MeasurementStore& store, int32_t from, int32_t to);

// Exports the data files `pieces` (a long run's pieces) as one CSV: in the order of their start
// times, whatever order they are given in, the earliest one's header with the total row count,
// then the rows of each in turn. A unit in use in any piece is in use in the set; a piece in
// which it has no reading gives blank items for it. Pieces the reader refuses, whose timer or
// interval differ, or that leave a gap or overlap (a piece's start time is the previous one's
// plus its rows times the interval, to the second) are refused before anything is written; the
// target is replaced only once the new file is complete. Only one piece is held in memory at a
// time.
[[nodiscard]] std::optional<DataFileError> WriteJoinedCsvFile(const QStringList& pieces,
                                                              const QString& path);

// A CSV text item: enclosed in double quotes, a quote inside doubled.
QString CsvText(const QString& text);

} // namespace k12
