// SPDX-License-Identifier: GPL-3.0-or-later
// The store's file paths over a full store (4 x 88000 rows): writing and reading the dedicated
// file, exporting CSV, and clearing the store.
#include "BenchUtil.h"
#include "data_files/CsvFile.h"
#include "data_files/DataFile.h"
#include "data_files/RunJournal.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <cmath>

using namespace k12;
using namespace k12::bench;

namespace {

constexpr int kFileRuns = 7;
constexpr int kClearRuns = 21;
// A minute of 100 ms steps per journal run.
constexpr int kJournalSteps = 600;
constexpr int kJournalRuns = 7;

class PrintingMessageBox final : public MessageBox {
  public:
    MsgAnswer show(const QString& text, const QString&, MsgButtons, MsgIcon) override {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
        failed = true;
        return MsgAnswer::Ok;
    }
    void notify(const QString& text, const QString& title, MsgIcon icon) override {
        show(text, title, MsgButtons::Ok, icon);
    }
    bool failed = false;
};

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

    // The journal of a device-timer run at 100 ms with 4 units: one row appended per step and a
    // flush to the disk once a second of the run's time. On the build's disk, not /tmp, which
    // may be held in memory.
    QTemporaryDir journalDir(QCoreApplication::applicationDirPath() +
                             QStringLiteral("/journal-bench-XXXXXX"));
    PrintingMessageBox messages;
    qint64 runMs = 0;
    RunJournal journal(journalDir.path(), messages, [&runMs] { return runMs; });
    MeasurementStore run;
    Fill(run);
    int32_t journalRows = 0;
    const Timing journalRun = Measure(kJournalRuns, [&](int) {
        auto file = journal.Open(run);
        for (int32_t k = 1; k <= kJournalSteps; ++k) {
            runMs += 100;
            run.SampleCount = k;
            for (auto& unit : run.Units) {
                unit.DataCount = k;
            }
            file->Append(run);
        }
        file->End(run);
        journal.Drain();
        journalRows = file->RowsWritten();
    });
    ok = ok && !messages.failed && journalRows == kJournalSteps;
    // Per step, in microseconds.
    const auto perStep = [](Timing t) {
        constexpr double kScale = 1000.0 / kJournalSteps;
        t.median *= kScale;
        t.min *= kScale;
        t.cpu *= kScale;
        return t;
    };

    Report("WriteDataFile, 4 x 88000 rows", write);
    Report("ReadDataFile (parse + apply), 4 x 88000 rows", read);
    Report("WriteCsvFile, 4 x 88000 rows", writeCsv);
    Report("MeasurementStore::ClearData, full store", clear);
    Report("run journal: append + flush per 100 ms step, 4 units", perStep(journalRun), "< 200",
           "us");
    return ok ? 0 : 1;
}
