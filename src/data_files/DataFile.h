// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "measurement/MeasurementStore.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <array>
#include <cstdint>
#include <optional>
#include <variant>
#include <vector>

namespace k12 {

// Why a save, an export or a load did not happen. `message` is Japanese, for the operator.
struct DataFileError {
    enum class Kind {
        Failed, // anything else: message names the file and the problem
        NoRows, // load only: missing file, empty file or header without rows
    };
    Kind kind = Kind::Failed;
    QString message;
};

inline constexpr char DATA_FILE_VERSION[] = "RV0100";
// The text shown when a load finds no rows.
QString NoDataMessage();

// Everything a dedicated data file holds, parsed and checked, before any of it reaches the store.
struct DataFileContent {
    QString FileVersion;
    QString StartTime;
    std::array<QString, MEMO_COUNT> Memo;
    bool TimerType = false; // true for any non-zero value in the file
    int16_t IntervalTM = 0;
    std::array<int16_t, UNIT_COUNT> ComPorts{};
    int32_t StoredCount = 0;                         // the header's row count, not used for loading
    std::vector<std::array<float, UNIT_COUNT>> Rows; // at most MAX_SAMPLES
    int64_t RowsInFile = 0; // complete rows the file holds, may exceed Rows
};

using DataFileParse = std::variant<DataFileContent, DataFileError>;

inline constexpr int DATA_FILE_ROW_BYTES = 4 * UNIT_COUNT;

// The header of a dedicated data file for the store, declaring `rows` rows; nullopt (and
// `error` set) when a text cannot be written. The row count is its last four bytes.
std::optional<QByteArray> DataFileHeader(const MeasurementStore& store, int32_t rows,
                                         const QString& path, std::optional<DataFileError>& error);
// Appends rows [from, to) of every unit as the file stores them.
void AppendDataFileRows(QByteArray& out, const MeasurementStore& store, int32_t from, int32_t to);

// Saves the store as a dedicated data file. The target is replaced only once the new file is
// complete; nullopt on success.
[[nodiscard]] std::optional<DataFileError> WriteDataFile(const MeasurementStore& store,
                                                         const QString& path);

// Reads the whole file without touching any store. A missing file gives NoRows.
[[nodiscard]] DataFileParse ParseDataFile(const QString& path);
// The same on bytes in memory; `name` only appears in messages.
[[nodiscard]] DataFileParse ParseDataFileBytes(QByteArrayView bytes, const QString& name);

// Replaces the store's measurement and acquisition settings with the parsed file.
void ApplyDataFile(const DataFileContent& content, MeasurementStore& store);

// ParseDataFile then, only on success, ApplyDataFile; on error the store is untouched.
[[nodiscard]] std::optional<DataFileError> ReadDataFile(MeasurementStore& store,
                                                        const QString& path);

} // namespace k12
