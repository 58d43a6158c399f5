// The store's file paths over a full store (4 x 88000 rows): writing and reading the dedicated
// file, exporting CSV, and clearing the store.
#include "BenchUtil.h"
#include "data_files/CsvFile.h"
#include "data_files/DataFile.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <cmath>

using namespace k12;
using namespace k12::bench;

namespace {

constexpr int kFileRuns = 7;
constexpr int kClearRuns = 21;

void Fill(MeasurementStore& store) {
    store.InitDataArea();
    store.ClearData();
    for (int u = 0; u < UNIT_COUNT; ++u) {
        UnitRecord& rec = store.Units[static_cast<std::size_t>(u)];
        rec.Mflag = true;
        rec.ComPort = static_cast<int16_t>(u + 1);
        for (int32_t r = 0; r < MAX_SAMPLES; ++r) {
            rec.Data[static_cast<std::size_t>(r)] =
                static_cast<float>(90.0 * std::sin(r * 0.001 * (u + 1)) + u);
        }
        rec.DataCount = MAX_SAMPLES;
    }
    store.SampleCount = MAX_SAMPLES;
    store.IntervalTM = 100;
    store.StartTime = QStringLiteral("2024/03/05 09:07:02");
    store.Memo[0] = QStringLiteral("ベンチマーク");
}

bool Check(const std::optional<DataFileError>& error, const char* what) {
    if (error) {
        std::fprintf(stderr, "%s failed: %s\n", what, qPrintable(error->message));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid()) {
        return 1;
    }
    const QString zr5 = dir.filePath(QStringLiteral("full.zr5"));
    const QString csv = dir.filePath(QStringLiteral("full.csv"));
    MeasurementStore store;
    Fill(store);
    MeasurementStore loaded;
    loaded.InitDataArea();
    bool ok = true;

    const Timing write =
        Measure(kFileRuns, [&](int) { ok = Check(WriteDataFile(store, zr5), "write") && ok; });
    const Timing read =
        Measure(kFileRuns, [&](int) { ok = Check(ReadDataFile(loaded, zr5), "read") && ok; });
    ok = ok && loaded.SampleCount == MAX_SAMPLES &&
         loaded.Units[3].Data[MAX_SAMPLES - 1] == store.Units[3].Data[MAX_SAMPLES - 1];
    const Timing writeCsv =
        Measure(kFileRuns, [&](int) { ok = Check(WriteCsvFile(store, csv), "csv") && ok; });
    const Timing clear = Measure(
        kClearRuns, [&](int) { loaded.ClearData(); },
        [&](int) {
            loaded.SampleCount = MAX_SAMPLES;
            for (UnitRecord& u : loaded.Units) {
                u.DataCount = MAX_SAMPLES;
            }
        });

    Report("WriteDataFile, 4 x 88000 rows", write);
    Report("ReadDataFile (parse + apply), 4 x 88000 rows", read);
    Report("WriteCsvFile, 4 x 88000 rows", writeCsv);
    Report("MeasurementStore::ClearData, full store", clear);
    return ok ? 0 : 1;
}
