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

// Exports the data files `pieces`, read one after another, as one CSV: the first one's header
// with the total row count, then the rows of each in turn. Pieces the reader refuses, or whose
// units in use, timer, interval or start times do not continue one another, are refused before
// anything is written; the target is replaced only once the new file is complete. Only one piece
// is held in memory at a time.
[[nodiscard]] std::optional<DataFileError> WriteJoinedCsvFile(const QStringList& pieces,
                                                              const QString& path);

// A CSV text item: enclosed in double quotes, a quote inside doubled.
QString CsvText(const QString& text);

} // namespace k12
