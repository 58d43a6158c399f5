// SPDX-License-Identifier: GPL-3.0-or-later
// The main window with a run journal: what a crash leaves is offered at the next start, a save
// or a new run ends the journal, and trouble writing it never stops a run.
#include "MainWindowRig.h"
#include "data_files/DataFile.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <sys/resource.h>

using namespace k12;
using namespace k12::test;

namespace {

// A PC-timer run of `rows` rows whose program then ends without stopping it, as a crash would.
void CrashAfter(const QString& folder, int rows) {
    QString path;
    QByteArray atCrash;
    {
        MainWindowRig h({{0, 1}, true, 1000}, {.stateFolder = folder});
        h.start();
        for (int k = 0; k < rows; ++k) {
            h.tick();
        }
        QCOMPARE(h.md.SampleCount, rows);
        path = h.journal.Path();
        atCrash = FileBytes(path);
    }
    // A crash leaves the journal as it was; an orderly end would have finished the run.
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(atCrash), atCrash.size());
}

QStringList Unsaved(const QString& folder) {
    return QDir(folder + QStringLiteral("/unsaved")).entryList(QDir::Files, QDir::Name);
}

const QString kQuestion = QStringLiteral(
    "保存されていない測定データがあります（開始時刻 2024/3/5 9:7:2、3件）。読み込みますか？");

} // namespace

class TestJournalRecovery : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    int folders_ = 0;
    QString NewFolder() { return dir_.filePath(QStringLiteral("state%1").arg(++folders_)); }

  private Q_SLOTS:
    void answeredYesReadsTheRowsBack() {
        const QString folder = NewFolder();
        CrashAfter(folder, 3);
        MainWindowRig h({{0, 1}, true, 1000}, {.stateFolder = folder});
        h.form->OfferUnsavedRun();
        QCOMPARE(h.messages.texts(), QStringList{kQuestion});
        QCOMPARE(h.messages.last().title, kAppTitle);
        QCOMPARE(h.messages.last().buttons, MsgButtons::YesNo);
        QCOMPARE(h.messages.last().icon, MsgIcon::Question);
        QCOMPARE(h.md.SampleCount, 3);
        QCOMPARE(h.md.Units[1].Data[2], 12.5f);
        QCOMPARE(h.md.StartTime, QStringLiteral("2024/3/5 9:7:2"));
        QCOMPARE(h.chart.pointCount(1), 3);
        QVERIFY(h.enabled("cmdDisp"));
        QVERIFY(QFileInfo::exists(h.journal.Path())); // until the rows are saved

        h.saveSucceeds = false; // the operator went back from the save dialog
        h.click("cmdSave");
        QVERIFY(QFileInfo::exists(h.journal.Path()));
        h.saveSucceeds = true;
        h.click("cmdSave");
        QVERIFY(!QFileInfo::exists(h.journal.Path()));
        QVERIFY(Unsaved(folder).isEmpty());
    }

    void answeredNoKeepsTheRowsAside() {
        const QString folder = NewFolder();
        for (const QString& expected :
             {QStringLiteral("20240305-090702.zr5"), QStringLiteral("20240305-090702-2.zr5")}) {
            CrashAfter(folder, 3);
            MainWindowRig h({{0, 1}, true, 1000}, {.stateFolder = folder});
            h.messages.answers = {MsgAnswer::No};
            h.form->OfferUnsavedRun();
            QCOMPARE(h.messages.texts(), QStringList{kQuestion});
            QCOMPARE(h.md.SampleCount, 0);
            QVERIFY(!QFileInfo::exists(h.journal.Path()));
            QVERIFY(Unsaved(folder).contains(expected)); // never overwriting the first
        }
        MeasurementStore r;
        r.InitDataArea();
        QVERIFY(!ReadDataFile(r, folder + QStringLiteral("/unsaved/20240305-090702.zr5")));
        QCOMPARE(r.SampleCount, 3);
    }

    void unreadableJournalIsMovedWithoutAQuestion() {
        const QString folder = NewFolder();
        CrashAfter(folder, 0); // killed before the first row: a header alone
        MainWindowRig h({{0}, true, 1000}, {.stateFolder = folder});
        h.form->OfferUnsavedRun();
        QVERIFY(h.messages.shown.isEmpty());
        QVERIFY(!QFileInfo::exists(h.journal.Path()));
        QCOMPARE(Unsaved(folder), QStringList{QStringLiteral("20240305-090702.zr5")});
    }

    void newRunReplacesOnlyWhatTheOperatorAgreedToErase() {
        const QString folder = NewFolder();
        MainWindowRig h({{0}, true, 1000}, {.stateFolder = folder});
        h.start();
        h.tick();
        h.stop();
        h.clock.current = h.clock.current.addSecs(60);
        h.start(); // "erase the data?" Yes
        h.tick();
        h.tick();
        h.stop();
        MeasurementStore r;
        r.InitDataArea();
        QVERIFY(!ReadDataFile(r, h.journal.Path()));
        QCOMPARE(r.StartTime, QStringLiteral("2024/3/5 9:8:2"));
        QCOMPARE(r.SampleCount, 2);
        QVERIFY(Unsaved(folder).isEmpty());

        // A file read puts other data on screen: saving those leaves the unsaved run's journal,
        // and the next run keeps it aside instead of erasing it.
        const QString other = dir_.filePath(QStringLiteral("other.zr5"));
        QVERIFY(!WriteDataFile(r, other));
        h.readFile = other;
        h.click("cmdRead");
        h.click("cmdSave");
        QVERIFY(QFileInfo::exists(h.journal.Path()));
        h.start();
        QCOMPARE(Unsaved(folder), QStringList{QStringLiteral("20240305-090802.zr5")});
        h.stop();
        QVERIFY(!QFileInfo::exists(h.journal.Path())); // no row measured: nothing kept
    }

    void writeTroubleNeverStopsARun() {
        const QString folder = NewFolder();
        MainWindowRig h({{0, 1}, true, 1000}, {.stateFolder = folder});
        h.start();
        const qint64 header = QFileInfo(h.journal.Path()).size();
        // A full disk after two rows: writes past this size fail (EFBIG, the signal ignored).
        rlimit saved{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = saved;
        small.rlim_cur = rlim_t(header + 2 * DATA_FILE_ROW_BYTES);
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        for (int k = 0; k < 5; ++k) {
            h.tick();
        }
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &saved), 0);
        std::signal(SIGXFSZ, oldHandler);

        QVERIFY(h.md.Measuring);
        QCOMPARE(h.md.SampleCount, 5);
        QVERIFY(h.messages.shown.isEmpty()); // nothing modal held up the steps
        QCOMPARE(h.messages.notified.size(), 1);
        QVERIFY(h.messages.notified.last().text.startsWith(
            QStringLiteral("測定データの一時保存ができません。\n")));
        h.stop();
        QCOMPARE(h.messages.notified.size(), 1); // not retried in that run
        MeasurementStore r;
        r.InitDataArea();
        QVERIFY(!ReadDataFile(r, h.journal.Path()));
        QCOMPARE(r.SampleCount, 2); // what was written stays readable
    }
};

QTEST_MAIN(TestJournalRecovery)
#include "test_journal_recovery.moc"
