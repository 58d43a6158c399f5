// SPDX-License-Identifier: GPL-3.0-or-later
// Whole runs of days under random faults, simulated: every row counted from the run's start.
#include "RunSim.h"

#include <QTest>

using namespace k12::test::sim;

Q_DECLARE_METATYPE(k12::test::sim::SimSetup)

class TestRunSimulation : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void simulatedDays_data();
    void simulatedDays();
};

void TestRunSimulation::simulatedDays_data() {
    QTest::addColumn<SimSetup>("setup");
    // K12_SIM="seed=...,pc=...,..." runs that one setup (the command a failure prints).
    const QString chosen = qEnvironmentVariable("K12_SIM");
    if (!chosen.isEmpty()) {
        SimSetup setup;
        if (!SimSetup::Decode(chosen, setup)) {
            qFatal("K12_SIM: cannot read \"%s\"", qPrintable(chosen));
        }
        QTest::newRow(qPrintable(setup.Describe())) << setup;
        return;
    }
    const QList<SimSetup> setups = {
        {.seed = 11, .pcTimer = false, .interval = 100, .units = 4, .days = 2.0},
        {.seed = 23, .pcTimer = false, .interval = 500, .units = 3, .days = 2.0},
        {.seed = 37, .pcTimer = true, .interval = 1000, .units = 2, .days = 2.0},
    };
    for (const SimSetup& setup : setups) {
        QTest::newRow(qPrintable(setup.Describe())) << setup;
    }
}

void TestRunSimulation::simulatedDays() {
    QFETCH(SimSetup, setup);
    const SimResult result = RunSimulation(setup);
    qInfo("%s: %lld rows, %d pieces, %d faults, %d crash checks; %.0f s simulated in %.1f s",
          qPrintable(setup.Describe()), result.rows, result.pieces, result.faults,
          result.crashChecks, result.simulatedSeconds, result.wallSeconds);
    if (!result.failures.isEmpty()) {
        qWarning("%s", qPrintable(result.failures.join(QLatin1Char('\n'))));
        qWarning("repeat with: K12_SIM='%s' %s", qPrintable(setup.Encode()),
                 qPrintable(QCoreApplication::applicationFilePath()));
    }
    QVERIFY(result.failures.isEmpty());
}

QTEST_GUILESS_MAIN(TestRunSimulation)
#include "test_run_simulation.moc"
