// SPDX-License-Identifier: GPL-3.0-or-later
// A device-timer run of the real main window that goes on past a full store into a second piece,
// four simulated units streaming a counter every 3 ms (33 rows a collection step).
#include "SoakRig.h"
#include "data_files/DataFile.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

using namespace k12;
using namespace k12::test;

class TestLongRunPieces : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void deviceTimerAcrossAPiece();
};

void TestLongRunPieces::deviceTimerAcrossAPiece() {
    QTemporaryDir folder;
    SoakRig rig({.units = {0, 1, 2, 3},
                 .pcTimer = false,
                 .interval = 100,
                 .continueWhenFull = true,
                 .saveFolder = folder.path()},
                3);
    rig.start();
    QVERIFY(rig.md.Measuring);
    QElapsedTimer clock;
    clock.start();
    QElapsedTimer sinceProgress;
    sinceProgress.start();
    int32_t seen = -1;
    // Into the second piece by a few thousand rows.
    while (rig.engine.PiecesWritten() < 1 || rig.md.SampleCount < 3000) {
        QTest::qWait(200);
        if (rig.md.SampleCount != seen) {
            seen = rig.md.SampleCount;
            sinceProgress.start();
        }
        QVERIFY2(sinceProgress.elapsed() < kStallMs, qPrintable(QString::number(seen)));
        QVERIFY2(rig.md.Measuring, qPrintable(rig.messages.texts().join(u'\n')));
    }
    rig.stop();
    qInfo("ran %lld ms, %d rows in the second piece", clock.elapsed(), rig.md.SampleCount);
    QVERIFY2(rig.messages.shown.isEmpty(), qPrintable(rig.messages.texts().join(u'\n')));

    // Every unit's counter runs on from the first piece into the second, none lost or twice.
    const QStringList names = QDir(folder.path()).entryList(QDir::Files, QDir::Name);
    QCOMPARE(names.size(), 2);
    for (int p = 0; p < 2; ++p) {
        const DataFileContent piece = SavedFile(QDir(folder.path()).filePath(names[p]));
        if (p == 0) {
            QCOMPARE(piece.Rows.size(), size_t(MAX_SAMPLES));
        } else {
            QCOMPARE(piece.Rows.size(), size_t(rig.md.SampleCount));
        }
        for (int u = 0; u < UNIT_COUNT; ++u) {
            const int32_t delivered = p == 0 ? MAX_SAMPLES : rig.md.Units[u].DataCount;
            for (int32_t r = 0; r < delivered; ++r) {
                const float want = float(p * MAX_SAMPLES + r + 1);
                if (piece.Rows[size_t(r)][u] != want) {
                    QFAIL(qPrintable(QStringLiteral("piece %1 unit %2 row %3: %4, expected %5")
                                         .arg(p + 1)
                                         .arg(u + 1)
                                         .arg(r)
                                         .arg(double(piece.Rows[size_t(r)][u]))
                                         .arg(double(want))));
                }
            }
        }
        qInfo("%s: %zu rows, unit 1 from %g to %g", qPrintable(names[p]), piece.Rows.size(),
              double(piece.Rows.front()[0]), double(piece.Rows.back()[0]));
    }
}

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QTEST_FUNCTION_TIMEOUT")) {
        qputenv("QTEST_FUNCTION_TIMEOUT", "570000");
    }
    QApplication app(argc, argv);
    TestLongRunPieces test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "test_long_run_pieces.moc"
