// SPDX-License-Identifier: GPL-3.0-or-later
// The run journal: a .zr5 file that grows with the run and is readable at every moment.
#include "FakeMessageBox.h"
#include "ZrBytes.h"
#include "data_files/DataFile.h"
#include "data_files/FileCommon.h"
#include "data_files/RunJournal.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

using namespace k12;
using namespace k12::test;

namespace {

// A store as a run leaves it just after the start.
void Started(MeasurementStore& s, bool pcTimer) {
    s.InitDataArea();
    s.ClearData();
    s.ClearMemo();
    s.StartTime = QStringLiteral("2026/12/7 9:5:30");
    s.TimerType = pcTimer;
    s.IntervalTM = pcTimer ? 1000 : 300;
    for (int u = 0; u < UNIT_COUNT; ++u) {
        s.Units[u].ComPort = int16_t(u + 3);
        s.Units[u].Mflag = u != 2;
    }
}

// What saving the store would write, memo lines empty.
QByteArray Saved(const MeasurementStore& s, const QString& path) {
    return WriteDataFile(s, path) ? QByteArray() : ReadAll(path);
}

} // namespace

class TestRunJournal : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    FakeMessageBox messages_;
    qint64 nowMs_ = 0;

    std::unique_ptr<RunJournal> Make(const QString& folder) {
        return std::make_unique<RunJournal>(
            folder, messages_, [this] { return nowMs_; }, std::make_unique<InlineTaskQueue>());
    }

  private Q_SLOTS:
    void init() {
        messages_.notified.clear();
        nowMs_ = 0;
    }

    void pcTimerRoundTrip() {
        const QString folder = dir_.filePath(QStringLiteral("pc"));
        auto journal = Make(folder);
        MeasurementStore s;
        Started(s, true);
        auto file = journal->Open(s);
        QVERIFY(journal->Writing());
        const int syncsAtStart = file->SyncRequests();
        for (int32_t k = 0; k < 25; ++k) {
            for (auto& u : s.Units) {
                if (u.Mflag) {
                    u.Data[k] = float(k) * 0.25f - 3.0f;
                    ++u.DataCount;
                }
            }
            s.SampleCount = k + 1;
            file->Append(s);
            nowMs_ += 100;
            // Readable at every step, holding exactly the stored rows.
            MeasurementStore r;
            r.InitDataArea();
            QVERIFY(!ReadDataFile(r, journal->Path()));
            QCOMPARE(r.SampleCount, k + 1);
            QCOMPARE(r.Units[3].Data[k], s.Units[3].Data[k]);
        }
        // Flushed about once a second, not at every step.
        QCOMPARE(file->SyncRequests() - syncsAtStart, 2);
        file->End(s);
        QVERIFY(!journal->Writing());
        QCOMPARE(ReadAll(journal->Path()), Saved(s, dir_.filePath(QStringLiteral("pc.zr5"))));
        QVERIFY(messages_.notified.isEmpty());
    }

    void deviceTimerJournalKeepsUpWithTheFastestUnit() {
        auto journal = Make(dir_.filePath(QStringLiteral("device")));
        MeasurementStore s;
        Started(s, false);
        auto file = journal->Open(s);
        // Units 1 and 2 deliver at uneven speeds, unit 4 ten times slower; unit 3 is not in use.
        QRandomGenerator random(7);
        for (int step = 0; step < 200; ++step) {
            for (int u : {0, 1, 3}) {
                UnitRecord& unit = s.Units[u];
                const int n = u == 3 ? (step % 10 == 9 ? 1 : 0) : int(random.bounded(3 + u));
                for (int k = 0; k < n; ++k) {
                    // Holes too: a hole the file already holds is never written twice.
                    unit.Data[unit.DataCount] = random.bounded(8) == 0
                                                    ? NO_DATA_VALUE
                                                    : float(random.bounded(3600)) / 10.0f - 180.0f;
                    ++unit.DataCount;
                }
                s.SampleCount = std::max(s.SampleCount, unit.DataCount);
            }
            file->Append(s);
            // Every row any unit has is on file, with every value that has arrived.
            QCOMPARE(file->RowsWritten(), s.SampleCount);
            const auto parsed = ParseDataFile(journal->Path());
            const auto* content = std::get_if<DataFileContent>(&parsed);
            QCOMPARE(content != nullptr, s.SampleCount > 0);
            for (int32_t r = 0; content != nullptr && r < s.SampleCount; ++r) {
                for (int u = 0; u < UNIT_COUNT; ++u) {
                    QCOMPARE(content->Rows[size_t(r)][u], s.Units[u].Data[r]);
                }
            }
        }
        QVERIFY(s.Units[3].DataCount < s.SampleCount / 5);
        file->End(s);
        QCOMPARE(ReadAll(journal->Path()), Saved(s, dir_.filePath(QStringLiteral("device.zr5"))));
    }

    void cutAnywhereInTheLastRowStillReads() {
        auto journal = Make(dir_.filePath(QStringLiteral("cut")));
        MeasurementStore s;
        Started(s, true);
        auto file = journal->Open(s);
        for (int32_t k = 0; k < 3; ++k) {
            for (auto& u : s.Units) {
                u.Data[k] = u.Mflag ? float(10 * k + 1) : NO_DATA_VALUE;
                u.DataCount += u.Mflag ? 1 : 0;
            }
            s.SampleCount = k + 1;
            file->Append(s);
        }
        // As a crash leaves it: rows appended, the header's count still 0.
        const QByteArray whole = ReadAll(journal->Path());
        const qsizetype lastRow = whole.size() - DATA_FILE_ROW_BYTES;
        for (qsizetype size = lastRow; size <= whole.size(); ++size) {
            const auto parsed = ParseDataFileBytes(whole.left(size), QStringLiteral("cut.zr5"));
            const auto* content = std::get_if<DataFileContent>(&parsed);
            QVERIFY2(content, qPrintable(QString::number(size)));
            const size_t rows = size == whole.size() ? 3 : 2;
            QCOMPARE(content->Rows.size(), rows);
            QCOMPARE(content->StartTime, s.StartTime);
            QCOMPARE(content->Rows[rows - 1][0], float(10 * (rows - 1) + 1));
        }
    }

    void oneProgramOneJournal() {
        const QString folder = dir_.filePath(QStringLiteral("shared"));
        auto first = Make(folder);
        auto second = Make(folder);
        MeasurementStore s;
        Started(s, true);
        QVERIFY(!second->Open(s));
        QVERIFY(!second->Writing());
        QCOMPARE(messages_.notified.size(), 1);
        QVERIFY(messages_.notified.last().text.startsWith(
            QStringLiteral("測定データの一時保存ができません。\n")));
        QVERIFY(!second->Open(s)); // said once
        QCOMPARE(messages_.notified.size(), 1);
        auto file = first->Open(s);
        QVERIFY(first->Writing());
        QVERIFY(!second->FindLeftover()); // never touches the other program's journal
    }

    void troubleIsToldWithTheSystemsReason_data() {
        QTest::addColumn<QString>("trouble");
        QTest::addColumn<QString>("reason");
        QTest::newRow("lock file") << "lock" << QString::fromLocal8Bit(std::strerror(EMFILE));
        QTest::newRow("file full in the middle of a row")
            << "full" << QString::fromLocal8Bit(std::strerror(EFBIG));
    }

    void troubleIsToldWithTheSystemsReason() {
        QFETCH(QString, trouble);
        QFETCH(QString, reason);
        const QString folder = dir_.filePath(QStringLiteral("reason-") + trouble);
        std::unique_ptr<RunJournal> journal;
        if (trouble == QLatin1String("lock")) {
            // No descriptor left for the lock file (root is refused this too).
            QVERIFY(QDir().mkpath(folder));
            rlimit saved{};
            QCOMPARE(getrlimit(RLIMIT_NOFILE, &saved), 0);
            rlimit none = saved;
            const int lowestFree = ::open("/dev/null", O_RDONLY);
            QVERIFY(lowestFree >= 0);
            ::close(lowestFree);
            none.rlim_cur = rlim_t(lowestFree);
            QCOMPARE(setrlimit(RLIMIT_NOFILE, &none), 0);
            journal = Make(folder);
            QCOMPARE(setrlimit(RLIMIT_NOFILE, &saved), 0);
        } else {
            journal = Make(folder);
        }
        MeasurementStore s;
        Started(s, true);
        auto file = journal->Open(s);
        if (trouble == QLatin1String("full")) {
            // Writes stop half way through the second row (EFBIG, the signal ignored).
            rlimit saved{};
            QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
            const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
            rlimit small = saved;
            small.rlim_cur =
                rlim_t(QFileInfo(journal->Path()).size() + DATA_FILE_ROW_BYTES * 3 / 2);
            QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
            for (int32_t k = 0; k < 2; ++k) {
                s.Units[0].Data[k] = 1.0f;
                s.Units[0].DataCount = s.SampleCount = k + 1;
                file->Append(s);
            }
            QCOMPARE(setrlimit(RLIMIT_FSIZE, &saved), 0);
            std::signal(SIGXFSZ, oldHandler);
        }
        QCOMPARE(messages_.notified.size(), 1);
        QVERIFY2(messages_.notified.last().text.contains(reason),
                 qPrintable(messages_.notified.last().text));
    }

    void freeFilePath_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("numbered");      // name, run-2.zr5, ... run-<numbered>.zr5 taken
        QTest::addColumn<QStringList>("taken"); // more entries; "/" ends a folder, "@" a link
        QTest::addColumn<QString>("expected");
        QTest::newRow("free") << "run.zr5" << 0 << QStringList{"other.zr5"} << "run.zr5";
        QTest::newRow("taken") << "run.zr5" << 1 << QStringList{} << "run-2.zr5";
        QTest::newRow("a gap in the numbers")
            << "run.zr5" << 2 << QStringList{"run-4.zr5"} << "run-3.zr5";
        QTest::newRow("taken up to -1000") << "run.zr5" << 1000 << QStringList{} << "run-1001.zr5";
        QTest::newRow("a piece's name")
            << "20261207-220507-1000.zr5" << 0 << QStringList{"20261207-220507-1000.zr5"}
            << "20261207-220507-1000-2.zr5";
        QTest::newRow("a folder of that name")
            << "run.zr5" << 0 << QStringList{"run.zr5/"} << "run-2.zr5";
        QTest::newRow("a link to nowhere")
            << "run.zr5" << 0 << QStringList{"run.zr5@"} << "run-2.zr5";
    }
    void freeFilePath() {
        QFETCH(QString, name);
        QFETCH(int, numbered);
        QFETCH(QStringList, taken);
        QFETCH(QString, expected);
        QTemporaryDir folder(dir_.filePath(QStringLiteral("free-XXXXXX")));
        const QDir dir(folder.path());
        for (int n = 1; n <= numbered; ++n) {
            taken << (n == 1 ? name : QStringLiteral("run-%1.zr5").arg(n));
        }
        for (const QString& entry : taken) {
            if (entry.endsWith(QLatin1Char('/'))) {
                QVERIFY(dir.mkdir(entry.chopped(1)));
            } else if (entry.endsWith(QLatin1Char('@'))) {
                QVERIFY(QFile::link(dir.filePath(QStringLiteral("gone")),
                                    dir.filePath(entry.chopped(1))));
            } else {
                QVERIFY(WriteAll(dir.filePath(entry), "taken"));
            }
        }
        QCOMPARE(files::FreeFilePath(folder.path(), name), dir.filePath(expected));
    }

    void folderThatCannotBeMade() {
        const QString blocker = dir_.filePath(QStringLiteral("blocker"));
        QVERIFY(WriteAll(blocker, "a file, not a folder"));
        auto journal = Make(blocker + QStringLiteral("/K12INC"));
        MeasurementStore s;
        Started(s, true);
        QVERIFY(!journal->Open(s)); // the run goes on without it
        QVERIFY(!journal->Writing());
        QCOMPARE(messages_.notified.size(), 1);
        QVERIFY(messages_.notified.last().text.contains(blocker));
    }
};

QTEST_GUILESS_MAIN(TestRunJournal)
#include "test_run_journal.moc"
