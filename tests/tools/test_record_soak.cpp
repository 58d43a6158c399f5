// SPDX-License-Identifier: GPL-3.0-or-later
// k12inc-record ended by its run duration: two minutes against simulated units.
#include "RecorderRig.h"

using namespace k12;
using namespace k12::test;

class TestRecordSoak : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void durationEndsTheRun() {
        RecorderRig rig;
        rig.writeSettings({{"Options/StopAfterMinutes", "1"}});
        rig.start({"--minutes", "2", "--folder", rig.folder()});
        QVERIFY(rig.waitForOutput(QStringLiteral("started ")));
        QCOMPARE(rig.finish(200000), 0);
        QVERIFY2(rig.err.isEmpty(), qPrintable(rig.err));
        QVERIFY2(
            rig.out.contains(QStringLiteral("ended: the run duration of 2 min is over; 0:02:0")),
            qPrintable(rig.out));
        // Once a minute, the status as a log line.
        const QStringList status =
            rig.out.split(QLatin1Char('\n')).filter(QStringLiteral(" rows  1:"));
        QVERIFY2(!status.isEmpty() && status[0].contains(QStringLiteral(" 0:01:0")),
                 qPrintable(rig.out));
        QVERIFY(status[0].endsWith(QStringLiteral("  0 pieces  0 down")));

        QCOMPARE(rig.pieces().size(), 1);
        const DataFileContent piece =
            RecorderRig::Read(QDir(rig.folder()).filePath(rig.pieces()[0]));
        // Two minutes of rows at 100 ms, give or take the units' start.
        QVERIFY2(piece.Rows.size() > 1150 && piece.Rows.size() <= 1210,
                 qPrintable(QString::number(piece.Rows.size())));
        QVERIFY(!QFile::exists(rig.stateFolder() + QStringLiteral("/current-run.zr5")));
    }
};

QTEST_GUILESS_MAIN(TestRecordSoak)
#include "test_record_soak.moc"
