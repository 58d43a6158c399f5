// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "data_files/DataFile.h"

namespace k12 {

// Exports the store as CSV (CP932, CR LF). The target is replaced only once the new file is
// complete; nullopt on success.
[[nodiscard]] std::optional<DataFileError> WriteCsvFile(const MeasurementStore& store,
                                                        const QString& path);

// A CSV text item: enclosed in double quotes, a quote inside doubled.
QString CsvText(const QString& text);

} // namespace k12
