// SPDX-License-Identifier: GPL-3.0-or-later
#include "data_files/DataFile.h"

#include "data_files/FileCommon.h"
#include "measurement/Conversions.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>
#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <unistd.h>

namespace k12 {

namespace {

constexpr qsizetype ROW_BYTES = DATA_FILE_ROW_BYTES;
constexpr qsizetype FIXED_HEADER_BYTES = 18;
static_assert(std::bit_cast<uint32_t>(NO_DATA_VALUE) == 0xC479C000u, "the file's hole marker");
// The largest header: seven texts of 65535 bytes each, then the fixed fields.
constexpr qint64 MAX_HEADER_BYTES = 7 * (2 + 65535) + FIXED_HEADER_BYTES;
constexpr qint64 MAX_READ_BYTES = MAX_HEADER_BYTES + qint64(MAX_SAMPLES) * ROW_BYTES;

template <typename T> void Put(QByteArray& out, T value) {
    char buf[sizeof(T)];
    qToLittleEndian(value, buf);
    out.append(buf, sizeof(T));
}

void PutText(QByteArray& out, const QByteArray& text) {
    Put<uint16_t>(out, static_cast<uint16_t>(text.size()));
    out.append(text);
}

// Bounds-checked little-endian cursor over the file's bytes.
class Cursor {
  public:
    explicit Cursor(QByteArrayView bytes) : bytes_(bytes) {}

    template <typename T> std::optional<T> Get() {
        if (Remaining() < qsizetype(sizeof(T))) {
            return std::nullopt;
        }
        const T value = qFromLittleEndian<T>(bytes_.data() + pos_);
        pos_ += sizeof(T);
        return value;
    }

    std::optional<QByteArray> Text() {
        auto n = Get<uint16_t>();
        if (!n || Remaining() < qsizetype(*n)) {
            return std::nullopt;
        }
        QByteArray text(bytes_.data() + pos_, *n);
        pos_ += *n;
        return text;
    }

    qsizetype Pos() const { return pos_; }
    qsizetype Remaining() const { return bytes_.size() - pos_; }
    const char* Here() const { return bytes_.data() + pos_; }

  private:
    QByteArrayView bytes_;
    qsizetype pos_ = 0;
};

QString Shown(const QString& name) {
    return QDir::toNativeSeparators(name);
}

DataFileError Broken(const QString& name, const QString& problem) {
    return {DataFileError::Kind::Failed,
            QCoreApplication::translate("DataFile", "ファイル「%1」を読み込めません。\n%2")
                .arg(Shown(name), problem)};
}

DataFileError CutShort(const QString& name) {
    return Broken(name,
                  QCoreApplication::translate(
                      "DataFile", "ファイルが途中で終わっています（ヘッダーが不完全です）。"));
}

// The header fields up to and including the row count; the cursor stands after them.
std::optional<DataFileError> ParseHeader(Cursor& in, DataFileContent& c, const QString& name) {
    auto version = in.Text();
    auto start = version ? in.Text() : std::nullopt;
    if (!start) {
        return CutShort(name);
    }
    c.FileVersion = DecodeCp932Lossy(*version);
    c.StartTime = DecodeCp932Lossy(*start);
    for (auto& memo : c.Memo) {
        auto text = in.Text();
        if (!text) {
            return CutShort(name);
        }
        memo = DecodeCp932Lossy(*text);
    }
    auto timer = in.Get<int16_t>();
    auto interval = timer ? in.Get<int32_t>() : std::nullopt;
    if (!interval) {
        return CutShort(name);
    }
    c.TimerType = *timer != 0;
    // An interval below 1 would put every row at or before 0 s and reverse the chart's range.
    if (*interval < 1 || *interval > std::numeric_limits<int16_t>::max()) {
        return Broken(name, QCoreApplication::translate(
                                "DataFile", "測定間隔の値 %1 が範囲外です（1～32767）。")
                                .arg(*interval));
    }
    c.IntervalTM = static_cast<int16_t>(*interval);
    for (auto& port : c.ComPorts) {
        auto p = in.Get<int16_t>();
        if (!p) {
            return CutShort(name);
        }
        port = *p;
    }
    auto count = in.Get<int32_t>();
    if (!count) {
        return CutShort(name);
    }
    c.StoredCount = *count;
    return std::nullopt;
}

// `totalSize` is the size of the whole file, of which `bytes` may hold only the beginning.
DataFileParse Parse(QByteArrayView bytes, qint64 totalSize, const QString& name) {
    if (totalSize <= 0) {
        return DataFileError{DataFileError::Kind::NoRows, NoDataMessage()};
    }
    Cursor in(bytes);
    DataFileContent c;
    if (auto error = ParseHeader(in, c, name)) {
        return *error;
    }

    c.RowsInFile = (std::max<qint64>(totalSize, bytes.size()) - in.Pos()) / ROW_BYTES;
    if (c.RowsInFile == 0) {
        return DataFileError{DataFileError::Kind::NoRows, NoDataMessage()};
    }
    const auto rows = std::min<qint64>({c.RowsInFile, MAX_SAMPLES, in.Remaining() / ROW_BYTES});
    c.Rows.resize(static_cast<size_t>(rows));
    for (auto& row : c.Rows) {
        for (auto& value : row) {
            value = std::bit_cast<float>(*in.Get<uint32_t>());
        }
    }
    return c;
}

} // namespace

QString NoDataMessage() {
    return QCoreApplication::translate("DataFile", "データがありません。");
}

DataFileHead DataFileHead::Of(const MeasurementStore& store) {
    DataFileHead head;
    head.StartTime = store.StartTime;
    head.Memo = store.Memo;
    head.TimerType = store.TimerType;
    head.IntervalTM = store.IntervalTM;
    for (int u = 0; u < UNIT_COUNT; ++u) {
        head.ComPorts[u] = store.Units[u].ComPort;
    }
    return head;
}

std::optional<QByteArray> DataFileHeader(const DataFileHead& head, int32_t rows,
                                         const QString& path, std::optional<DataFileError>& error) {
    QByteArray out;
    PutText(out, QByteArray(DATA_FILE_VERSION));
    auto start = files::EncodeField(
        head.StartTime, QCoreApplication::translate("DataFile", "開始時刻"), path, true, error);
    if (!start) {
        return std::nullopt;
    }
    PutText(out, *start);
    for (int i = 0; i < MEMO_COUNT; ++i) {
        auto memo = files::EncodeField(head.Memo[i], files::MemoName(i), path, true, error);
        if (!memo) {
            return std::nullopt;
        }
        PutText(out, *memo);
    }
    Put<int16_t>(out, head.TimerType ? -1 : 0);
    Put<int32_t>(out, head.IntervalTM);
    for (const int16_t port : head.ComPorts) {
        Put<int16_t>(out, port);
    }
    Put<int32_t>(out, rows);
    return out;
}

void AppendDataFileRows(QByteArray& out, const MeasurementStore& store, int32_t from, int32_t to) {
    out.reserve(out.size() + qsizetype(std::max(0, to - from)) * DATA_FILE_ROW_BYTES);
    for (int32_t k = from; k < to; ++k) {
        for (const auto& unit : store.Units) {
            const float v = size_t(k) < unit.Data.size() ? unit.Data[k] : NO_DATA_VALUE;
            Put<uint32_t>(out, std::bit_cast<uint32_t>(v));
        }
    }
}

std::optional<DataFileError> WriteDataFile(const MeasurementStore& store, const QString& path) {
    std::optional<DataFileError> error;
    const int32_t rows = std::clamp(store.SampleCount, 0, MAX_SAMPLES);
    auto out = DataFileHeader(DataFileHead::Of(store), rows, path, error);
    if (!out) {
        return error;
    }
    AppendDataFileRows(*out, store, 0, rows);
    return files::SaveBytes(path, *out);
}

std::optional<DataFileHead> ReadDataFileHead(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    const QByteArray bytes = file.read(MAX_HEADER_BYTES);
    Cursor in(bytes);
    DataFileContent c;
    if (ParseHeader(in, c, path)) {
        return std::nullopt;
    }
    DataFileHead head;
    head.StartTime = c.StartTime;
    head.Memo = c.Memo;
    head.TimerType = c.TimerType;
    head.IntervalTM = c.IntervalTM;
    head.ComPorts = c.ComPorts;
    return head;
}

DataFileWriter::~DataFileWriter() {
    Close();
}

std::optional<QString> DataFileWriter::Failure(int error) const {
    return QCoreApplication::translate("DataFile", "%1 に書き込めません（%2）。")
        .arg(QDir::toNativeSeparators(path_), QString::fromLocal8Bit(std::strerror(error)));
}

std::optional<QString> DataFileWriter::Create(const QString& path, const DataFileHead& head) {
    Close();
    path_ = path;
    rows_ = 0;
    std::optional<DataFileError> error;
    const auto header = DataFileHeader(head, 0, path, error);
    if (!header) {
        return error ? error->message : QString();
    }
    fd_ =
        ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd_ < 0) {
        return QCoreApplication::translate("DataFile", "%1 を作成できません（%2）。")
            .arg(QDir::toNativeSeparators(path), QString::fromLocal8Bit(std::strerror(errno)));
    }
    headerBytes_ = header->size();
    return WriteAt(header->constData(), header->size(), 0);
}

std::optional<QString> DataFileWriter::AppendRows(const MeasurementStore& store, int32_t from,
                                                  int32_t to) {
    if (to <= from) {
        return std::nullopt;
    }
    QByteArray rows;
    AppendDataFileRows(rows, store, from, to);
    return AppendRowBytes(rows);
}

std::optional<QString> DataFileWriter::WriteRows(int32_t from, const QByteArray& rows) {
    if (auto error =
            WriteAt(rows.constData(), rows.size(), headerBytes_ + qint64(from) * ROW_BYTES)) {
        return error;
    }
    rows_ = std::max(rows_, from + static_cast<int32_t>(rows.size() / ROW_BYTES));
    return std::nullopt;
}

std::optional<QString> DataFileWriter::WriteRowCount() {
    char bytes[4];
    qToLittleEndian<int32_t>(rows_, bytes);
    return WriteAt(bytes, sizeof bytes, headerBytes_ - 4);
}

std::optional<QString> DataFileWriter::Sync() {
    if (fd_ >= 0 && ::fdatasync(fd_) != 0) {
        return Failure(errno);
    }
    return std::nullopt;
}

void DataFileWriter::Close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

std::optional<QString> DataFileWriter::WriteAt(const char* data, qint64 size, qint64 offset) {
    if (fd_ < 0) {
        return Failure(EBADF);
    }
    while (size > 0) {
        const ssize_t n = ::pwrite(fd_, data, size_t(size), offset);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            // A short write that cannot go on is a full disk.
            return Failure(n < 0 ? errno : ENOSPC);
        }
        data += n;
        size -= n;
        offset += n;
    }
    return std::nullopt;
}

DataFileParse ParseDataFileBytes(QByteArrayView bytes, const QString& name) {
    return Parse(bytes, bytes.size(), name);
}

DataFileParse ParseDataFile(const QString& path) {
    if (!QFileInfo::exists(path)) {
        return DataFileError{DataFileError::Kind::NoRows, NoDataMessage()};
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return Broken(path, QCoreApplication::translate("DataFile", "ファイルを開けません（%1）。")
                                .arg(file.errorString()));
    }
    // Rows past the store's capacity are never read in.
    const QByteArray bytes = file.read(MAX_READ_BYTES);
    if (file.error() != QFileDevice::NoError) {
        return Broken(path,
                      QCoreApplication::translate("DataFile", "読み込みに失敗しました（%1）。")
                          .arg(file.errorString()));
    }
    const qint64 total = file.isSequential() ? bytes.size() : file.size();
    return Parse(bytes, total, path);
}

std::array<bool, UNIT_COUNT> UnitsInUse(const DataFileContent& content) {
    std::array<bool, UNIT_COUNT> inUse{};
    const auto rows = std::min<size_t>(content.Rows.size(), MAX_SAMPLES);
    int found = 0;
    for (size_t k = 0; k < rows && found < UNIT_COUNT; ++k) {
        for (int u = 0; u < UNIT_COUNT; ++u) {
            if (!inUse[u] && HoldsReading(content.Rows[k][u])) {
                inUse[u] = true;
                ++found;
            }
        }
    }
    return inUse;
}

void ApplyDataFile(const DataFileContent& content, MeasurementStore& store) {
    if (std::any_of(store.Units.begin(), store.Units.end(),
                    [](const UnitRecord& u) { return u.Data.size() < size_t(MAX_SAMPLES); })) {
        store.InitDataArea();
    }
    store.ClearData();
    store.StartTime = content.StartTime;
    store.Memo = content.Memo;
    store.TimerType = content.TimerType;
    store.IntervalTM = content.IntervalTM;
    for (int u = 0; u < UNIT_COUNT; ++u) {
        store.Units[u].ComPort = content.ComPorts[u];
    }
    const auto rows = std::min<size_t>(content.Rows.size(), MAX_SAMPLES);
    for (size_t k = 0; k < rows; ++k) {
        for (int u = 0; u < UNIT_COUNT; ++u) {
            store.Units[u].Data[k] = content.Rows[k][u];
        }
    }
    store.SampleCount = static_cast<int32_t>(rows);
    if (rows > 0) {
        const auto inUse = UnitsInUse(content);
        for (int u = 0; u < UNIT_COUNT; ++u) {
            store.Units[u].Mflag = inUse[u];
        }
    }
    for (auto& unit : store.Units) {
        unit.DataCount = unit.Mflag ? store.SampleCount : 0;
    }
}

std::optional<DataFileError> ReadDataFile(MeasurementStore& store, const QString& path) {
    auto parsed = ParseDataFile(path);
    if (auto* error = std::get_if<DataFileError>(&parsed)) {
        return *error;
    }
    ApplyDataFile(std::get<DataFileContent>(parsed), store);
    return std::nullopt;
}

} // namespace k12
