// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "measurement/MeasurementStore.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <array>
#include <bit>
#include <cstdint>
#include <optional>
#include <variant>
#include <vector>

namespace k12 {

// Why a save, an export or a load did not happen. `message` is for the operator, in the
// program's language.
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

// A slot holds a reading unless it holds NO_DATA_VALUE, compared bit for bit.
constexpr bool HoldsReading(float v) {
    return std::bit_cast<uint32_t>(v) != std::bit_cast<uint32_t>(NO_DATA_VALUE);
}

// The units in use in a file: those with a reading in any of its rows. A unit that was down when
// a piece of a long run started has a hole in the piece's first row and is still in use.
std::array<bool, UNIT_COUNT> UnitsInUse(const DataFileContent& content);

// The fields of a dedicated data file's header, without the row count.
struct DataFileHead {
    QString StartTime;
    std::array<QString, MEMO_COUNT> Memo;
    bool TimerType = false;
    int16_t IntervalTM = 0;
    std::array<int16_t, UNIT_COUNT> ComPorts{};

    static DataFileHead Of(const MeasurementStore& store);
};

// The header of a dedicated data file, declaring `rows` rows; nullopt (and `error` set) when a
// text cannot be written.
std::optional<QByteArray> DataFileHeader(const DataFileHead& head, int32_t rows,
                                         const QString& path, std::optional<DataFileError>& error);
// Appends rows [from, to) of every unit as the file stores them.
void AppendDataFileRows(QByteArray& out, const MeasurementStore& store, int32_t from, int32_t to);

// Reads only the header of a dedicated data file (a file that holds no row yet included);
// nullopt when it cannot be read or is not one.
std::optional<DataFileHead> ReadDataFileHead(const QString& path);

// A dedicated data file written while it grows: the header, rows appended, single values filled
// in later, and the header's row count kept right. Every failure gives the system's reason.
class DataFileWriter {
  public:
    DataFileWriter() = default;
    ~DataFileWriter();
    DataFileWriter(const DataFileWriter&) = delete;
    DataFileWriter& operator=(const DataFileWriter&) = delete;

    // Creates (or empties) the file and writes the header with no rows; the error text for the
    // operator otherwise.
    std::optional<QString> Create(const QString& path, const DataFileHead& head);
    // Appends rows [from, to) of the store.
    std::optional<QString> AppendRows(const MeasurementStore& store, int32_t from, int32_t to);
    // Appends whole rows as AppendDataFileRows makes them.
    std::optional<QString> AppendRowBytes(const QByteArray& rows) { return WriteRows(rows_, rows); }
    // Writes whole rows from row `from` on, over rows the file holds and past them.
    std::optional<QString> WriteRows(int32_t from, const QByteArray& rows);
    // Writes the rows the file holds as the header's row count.
    std::optional<QString> WriteRowCount();
    // Waits until what was written is on the disk.
    std::optional<QString> Sync();
    void Close();

    bool IsOpen() const { return fd_ >= 0; }
    int Handle() const { return fd_; }
    int32_t Rows() const { return rows_; }
    QString Path() const { return path_; }

  private:
    std::optional<QString> WriteAt(const char* data, qint64 size, qint64 offset);
    std::optional<QString> Failure(int error) const;

    QString path_;
    int fd_ = -1;
    qint64 headerBytes_ = 0;
    int32_t rows_ = 0;
};

// Saves the store as a dedicated data file. The target is replaced only once the new file is
// complete; nullopt on success.
[[nodiscard]] std::optional<DataFileError> WriteDataFile(const MeasurementStore& store,
                                                         const QString& path);

// Reads the whole file without touching any store. A missing file gives NoRows.
[[nodiscard]] DataFileParse ParseDataFile(const QString& path);
// The same on bytes in memory; `name` only appears in messages.
[[nodiscard]] DataFileParse ParseDataFileBytes(QByteArrayView bytes, const QString& name);

// Replaces the store's measurement and acquisition settings with the parsed file; the units in
// use are UnitsInUse(content), each counting every row.
void ApplyDataFile(const DataFileContent& content, MeasurementStore& store);

// ParseDataFile then, only on success, ApplyDataFile; on error the store is untouched.
[[nodiscard]] std::optional<DataFileError> ReadDataFile(MeasurementStore& store,
                                                        const QString& path);

} // namespace k12
