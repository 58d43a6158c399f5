// SPDX-License-Identifier: GPL-3.0-or-later
#include "FakeSettingsStore.h"
#include "platform/QtSettingsStore.h"
#include "settings/MeasInfo.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QtTest>

using namespace k12;
using k12::test::FakeSettingsStore;

namespace {

QString Key(const QString& key) {
    return QStringLiteral("MeasInfo/") + key;
}

// A store holding settings unlike every default.
MeasurementStore NonDefaultStore() {
    MeasurementStore s;
    const bool flags[UNIT_COUNT] = {false, true, false, true};
    const int16_t ports[UNIT_COUNT] = {7, 256, -3, 12};
    for (size_t i = 0; i < UNIT_COUNT; ++i) {
        s.Units[i].Mflag = flags[i];
        s.Units[i].ComPort = ports[i];
    }
    s.TimerType = false;
    s.IntervalTM = 2500;
    return s;
}

void CompareSettings(const MeasurementStore& a, const MeasurementStore& b) {
    for (size_t i = 0; i < UNIT_COUNT; ++i) {
        QCOMPARE(a.Units[i].Mflag, b.Units[i].Mflag);
        QCOMPARE(a.Units[i].ComPort, b.Units[i].ComPort);
    }
    QCOMPARE(a.TimerType, b.TimerType);
    QCOMPARE(a.IntervalTM, b.IntervalTM);
}

QString IniPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/K12INC/K12INC.ini");
}

} // namespace

class TestMeasInfo : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void emptyStoreGivesDefaults();
    void saveWritesTenKeysInOrder();
    void roundTripThroughFake();
    void readsBooleanForms_data();
    void readsBooleanForms();
    void badTextsFallBackToDefaults_data();
    void badTextsFallBackToDefaults();
    void failedSyncIsReported();
    void roundTripThroughIniFile();
    void unwritableIniFileIsReported();
    void continueOnErrorOption();
};

void TestMeasInfo::emptyStoreGivesDefaults() {
    FakeSettingsStore settings;
    MeasurementStore store = NonDefaultStore();
    LoadMeasInfo(store, settings);
    const bool flags[UNIT_COUNT] = {true, false, false, false};
    for (size_t i = 0; i < UNIT_COUNT; ++i) {
        QCOMPARE(store.Units[i].Mflag, flags[i]);
        QCOMPARE(store.Units[i].ComPort, int16_t(i + 1));
    }
    QCOMPARE(store.TimerType, true);
    QCOMPARE(store.IntervalTM, int16_t(1000));
}

void TestMeasInfo::saveWritesTenKeysInOrder() {
    FakeSettingsStore settings;
    QVERIFY(SaveMeasInfo(NonDefaultStore(), settings).isEmpty());
    const QStringList order = {
        Key("Mflag1"),    Key("Mflag2"),    Key("Mflag3"),    Key("Mflag4"),    Key("CommPort1"),
        Key("CommPort2"), Key("CommPort3"), Key("CommPort4"), Key("TimerType"), Key("IntervalTM")};
    QCOMPARE(settings.writes, order);
    QCOMPARE(settings.values.value(Key("Mflag1")), QStringLiteral("False"));
    QCOMPARE(settings.values.value(Key("Mflag2")), QStringLiteral("True"));
    QCOMPARE(settings.values.value(Key("CommPort2")), QStringLiteral("256"));
    QCOMPARE(settings.values.value(Key("CommPort3")), QStringLiteral("-3"));
    QCOMPARE(settings.values.value(Key("TimerType")), QStringLiteral("False"));
    QCOMPARE(settings.values.value(Key("IntervalTM")), QStringLiteral("2500"));
}

void TestMeasInfo::roundTripThroughFake() {
    FakeSettingsStore settings;
    const MeasurementStore saved = NonDefaultStore();
    QVERIFY(SaveMeasInfo(saved, settings).isEmpty());
    MeasurementStore loaded;
    LoadMeasInfo(loaded, settings);
    CompareSettings(loaded, saved);
}

void TestMeasInfo::readsBooleanForms_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("expected");
    QTest::newRow("0 is device timer") << "0" << false;
    QTest::newRow("-1 is PC timer") << "-1" << true;
    QTest::newRow("1 is PC timer") << "1" << true;
    QTest::newRow("fraction is non-zero") << "0.5" << true;
    QTest::newRow("True") << "True" << true;
    QTest::newRow("lower case false") << "false" << false;
    QTest::newRow("upper case FALSE") << "FALSE" << false;
    QTest::newRow("upper case TRUE") << "TRUE" << true;
}

void TestMeasInfo::readsBooleanForms() {
    QFETCH(QString, text);
    QFETCH(bool, expected);
    FakeSettingsStore settings;
    settings.values.insert(Key("TimerType"), text);
    settings.values.insert(Key("Mflag1"), text);
    MeasurementStore store;
    store.TimerType = !expected;
    LoadMeasInfo(store, settings);
    QCOMPARE(store.TimerType, expected);
    QCOMPARE(store.Units[0].Mflag, expected);
}

void TestMeasInfo::badTextsFallBackToDefaults_data() {
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("expected");
    QTest::newRow("letters for a port") << "CommPort3"
                                        << "COM5" << 3;
    QTest::newRow("empty port") << "CommPort2"
                                << "" << 2;
    QTest::newRow("port beyond 16 bits") << "CommPort4"
                                         << "40000" << 4;
    QTest::newRow("interval beyond 16 bits") << "IntervalTM"
                                             << "99999" << 1000;
    QTest::newRow("letters for interval") << "IntervalTM"
                                          << "1s" << 1000;
    QTest::newRow("half rounds to even") << "CommPort1"
                                         << "2.5" << 2;
    QTest::newRow("negative interval kept") << "IntervalTM"
                                            << "-500" << -500;
    QTest::newRow("letters for a flag") << "Mflag1"
                                        << "yes" << 1;
    QTest::newRow("letters for another flag") << "Mflag2"
                                              << "on" << 0;
    QTest::newRow("letters for timer type") << "TimerType"
                                            << "PC" << 1;
}

void TestMeasInfo::badTextsFallBackToDefaults() {
    QFETCH(QString, key);
    QFETCH(QString, text);
    QFETCH(int, expected);
    FakeSettingsStore settings;
    settings.values.insert(Key(key), text);
    MeasurementStore store = NonDefaultStore();
    LoadMeasInfo(store, settings);
    const int got = key == "IntervalTM"  ? store.IntervalTM
                    : key == "TimerType" ? int(store.TimerType)
                    : key.startsWith("Mflag")
                        ? int(store.Units[size_t(key.right(1).toInt() - 1)].Mflag)
                        : int(store.Units[size_t(key.right(1).toInt() - 1)].ComPort);
    QCOMPARE(got, expected);
}

void TestMeasInfo::failedSyncIsReported() {
    FakeSettingsStore settings;
    settings.syncError = QStringLiteral("disk full");
    const QString message = SaveMeasInfo(NonDefaultStore(), settings);
    QVERIFY(message.contains(QStringLiteral("disk full")));
    QVERIFY(message.contains(QStringLiteral("保存できませんでした")));
}

void TestMeasInfo::roundTripThroughIniFile() {
    QFile::remove(IniPath());
    MeasurementStore saved = NonDefaultStore();
    saved.Units[0].Mflag = true;
    saved.TimerType = true;
    saved.IntervalTM = 1000;
    {
        QtSettingsStore settings;
        QCOMPARE(settings.fileName(), IniPath());
        QVERIFY(SaveMeasInfo(saved, settings).isEmpty());
    }
    QFile file(IniPath());
    QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
    const QString ini = QString::fromUtf8(file.readAll());
    QVERIFY(ini.contains(QStringLiteral("[MeasInfo]")));
    for (const char* line : {"Mflag1=True", "Mflag2=True", "Mflag3=False", "CommPort2=256",
                             "CommPort3=-3", "TimerType=True", "IntervalTM=1000"}) {
        QVERIFY2(ini.contains(QLatin1String(line)), line);
    }
    QtSettingsStore settings;
    MeasurementStore loaded;
    LoadMeasInfo(loaded, settings);
    CompareSettings(loaded, saved);
}

void TestMeasInfo::unwritableIniFileIsReported() {
    // A folder where the file should be cannot be written, even by root.
    QFile::remove(IniPath());
    QVERIFY(QDir().mkpath(IniPath()));
    QString message;
    {
        QtSettingsStore settings;
        message = SaveMeasInfo(NonDefaultStore(), settings);
    }
    QDir(IniPath()).removeRecursively();
    QVERIFY(!message.isEmpty());
    QVERIFY(message.contains(QStringLiteral("保存できませんでした")));
}

void TestMeasInfo::continueOnErrorOption() {
    // Absent: off; the Boolean forms of the other keys are understood.
    FakeSettingsStore fake;
    MeasurementStore store;
    store.ContinueOnError = store.ContinueWhenFull = store.ClockAxis = true;
    store.SaveFolder = QStringLiteral("/stale");
    store.StopAfterMinutes = 7;
    LoadOptions(store, fake);
    QVERIFY(!store.ContinueOnError && !store.ContinueWhenFull && store.SaveFolder.isEmpty());
    QVERIFY(!store.ClockAxis);
    QCOMPARE(store.StopAfterMinutes, 0);
    // A duration that is not a whole number of minutes in range sets none.
    for (const auto& [text, minutes] :
         {std::pair{" 1440 ", 1440}, {"527041", 0}, {"-5", 0}, {"1.5", 0}, {"abc", 0}}) {
        fake.values.insert(QStringLiteral("Options/StopAfterMinutes"), QString::fromLatin1(text));
        LoadOptions(store, fake);
        QVERIFY2(store.StopAfterMinutes == minutes, text);
    }
    for (const auto& [text, on] :
         {std::pair{"TRUE", true}, {"-1", true}, {"false", false}, {"0", false}, {"yes", false}}) {
        fake.values.insert(QStringLiteral("Options/ContinueOnError"), QString::fromLatin1(text));
        LoadOptions(store, fake);
        QVERIFY2(store.ContinueOnError == on, text);
    }

    // Through the file: a section of its own; [MeasInfo] keeps its ten keys. [Feed] and [Alerts]
    // are kept as texts; an empty one leaves the file rather than sitting there.
    QFile::remove(IniPath());
    MeasurementStore saved = NonDefaultStore();
    saved.ContinueOnError = saved.ContinueWhenFull = saved.ClockAxis = true;
    saved.SaveFolder = QStringLiteral("/home/operator/測定 データ");
    saved.StopAfterMinutes = MAX_RUN_MINUTES;
    saved.Feed = {"mqtts://broker.local",   "plant/line 1",      "logger-1", "logger",
                  "/etc/k12inc/site1.pass", "/etc/k12inc/ca.crt"};
    saved.Alerts.High[0] = QStringLiteral("10.5");
    saved.Alerts.Low[3] = QStringLiteral("-2");
    saved.Alerts.Change[1] = QStringLiteral("1");
    {
        QtSettingsStore settings;
        settings.write(kAlertsSection, QStringLiteral("High2"), QStringLiteral("45"));
        WriteOptions(saved, settings);
        QVERIFY(SaveMeasInfo(saved, settings).isEmpty());
    }
    QFile file(IniPath());
    QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
    const QString ini = QString::fromUtf8(file.readAll());
    QVERIFY2(ini.contains(QStringLiteral(
                 "[Options]\nClockAxis=True\nContinueOnError=True\nContinueWhenFull=True\n")),
             qPrintable(ini));
    QVERIFY2(ini.contains(QStringLiteral("\nStopAfterMinutes=527040\n")), qPrintable(ini));
    QVERIFY2(ini.contains(QStringLiteral("[Alerts]\nChange2=1\nHigh1=10.5\nLow4=-2\n\n")),
             qPrintable(ini));
    QVERIFY2(ini.contains(QStringLiteral("[Feed]\nBroker=mqtts://broker.local\nCaFile=")),
             qPrintable(ini));
    const qsizetype measInfo = ini.indexOf(QStringLiteral("[MeasInfo]"));
    QCOMPARE(ini.mid(measInfo).section(QStringLiteral("\n\n"), 0, 0).count(QLatin1Char('=')), 10);
    QtSettingsStore settings;
    MeasurementStore loaded;
    LoadOptions(loaded, settings);
    QVERIFY(loaded.ContinueOnError && loaded.ContinueWhenFull && loaded.ClockAxis);
    QCOMPARE(loaded.SaveFolder, saved.SaveFolder);
    QCOMPARE(loaded.StopAfterMinutes, MAX_RUN_MINUTES);
    QVERIFY(loaded.Feed == saved.Feed && loaded.Alerts == saved.Alerts);
    // Cleared in the dialog: gone from the file.
    saved.Feed = {};
    WriteOptions(saved, settings);
    QVERIFY(SaveMeasInfo(saved, settings).isEmpty());
    QVERIFY(settings.keys(kFeedSection).isEmpty());
}

QTEST_GUILESS_MAIN(TestMeasInfo)
#include "test_meas_info.moc"
