// SPDX-License-Identifier: GPL-3.0-or-later
// Alerts on the units' values: the limits, the change on the circle, the hysteresis and holes;
// and which limit texts are refused.
#include "measurement/AngleAlerts.h"

#include <QTest>

using namespace k12;

class TestAngleAlerts : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void transitions_data() {
        QTest::addColumn<int>("limitUnit"); // the unit the limits are set for; values go to unit 3
        QTest::addColumn<QString>("high");
        QTest::addColumn<QString>("low");
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("values");   // fed one by one; "-" a hole, "reset" a new run
        QTest::addColumn<QString>("expected"); // "+high@3": raised by the fourth value fed
        struct Row {
            const char *tag, *high, *low, *change, *values, *expected;
            int limitUnit = 2;
        };
        // clang-format off
        const Row rows[] = {
            // Above the limit raises (the limit itself is not above it), 0.1 below clears.
            {"high", "10", "", "", "9.9 10 10.01 10.5 9.95 9.9 10.2", "+high@2 -high@5 +high@6"},
            {"high at the limit", "10.1", "", "", "10.1 10.1", ""},
            // The hysteresis keeps a hovering value from chattering.
            {"low", "", "-5", "", "-5.05 -4.95 -5.2 -4.95 -4.9 -5.01", "+low@0 -low@4 +low@5"},
            {"high and low in order", "10", "-10", "", "11 -11 0", "+high@0 -high@1 +low@1 -low@2"},
            {"change across +-180", "", "", "5", "179 -179 -176 -175 178", "+change@3 -change@4"},
            {"change from the first value", "", "", "10", "0 8 16 24 9.95 9.85",
             "+change@2 -change@5"},
            {"holes neither raise nor clear", "10", "", "", "- 11 - - 5 -", "+high@1 -high@4"},
            {"first value after holes", "", "", "3", "- - 100 102 104", "+change@4"},
            {"a new run forgets", "", "", "3", "0 5 reset 5 7 9", "+change@1 +change@4"},
            {"another unit's limits", "1", "-1", "1", "5 -5 0", "", 0},
        };
        // clang-format on
        for (const Row& r : rows) {
            QTest::newRow(r.tag) << r.limitUnit << r.high << r.low << r.change << r.values
                                 << r.expected;
        }
    }
    void transitions() {
        QFETCH(int, limitUnit);
        QFETCH(QString, high);
        QFETCH(QString, low);
        QFETCH(QString, change);
        QFETCH(QString, values);
        QFETCH(QString, expected);
        AlertSettings settings;
        settings.High[size_t(limitUnit)] = high;
        settings.Low[size_t(limitUnit)] = low;
        settings.Change[size_t(limitUnit)] = change;
        const auto limits = ParseAlertSettings(settings);
        QVERIFY(std::holds_alternative<AlertLimits>(limits));
        AngleAlerts alerts(std::get<AlertLimits>(limits));
        QVERIFY(alerts.Enabled());
        QStringList seen;
        int index = 0;
        for (const QString& v : values.split(QLatin1Char(' '))) {
            if (v == u"reset") {
                alerts.Reset();
                QVERIFY(!alerts.AnyRaised(2));
                continue;
            }
            const auto value = v == u"-" ? std::nullopt : std::optional<double>(v.toDouble());
            for (const AlertTransition& t : alerts.Feed(2, value)) {
                QCOMPARE(t.unit, 2);
                QCOMPARE(alerts.Raised(2, t.kind), t.raised);
                seen << (t.raised ? u'+' : u'-') + AlertKindName(t.kind) + u'@' +
                            QString::number(index);
            }
            ++index;
        }
        QCOMPARE(seen.join(QLatin1Char(' ')), expected);
    }

    // Limits of unit 4; the refusal's first line, empty when accepted.
    void limitTexts_data() {
        QTest::addColumn<QString>("high");
        QTest::addColumn<QString>("low");
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("refusal");
        struct Row {
            const char *tag, *high, *low, *change, *refusal;
        };
        // clang-format off
        const Row rows[] = {
            {"none", "", "", "", ""},
            {"all three, blanks around", " 180 ", "-180", "0.05", ""},
            {"high not a number", "10°", "", "", "4台目の警報の上限に誤りがあります。"},
            {"high beyond 180", "180.5", "", "", "4台目の警報の上限に誤りがあります。"},
            {"low beyond -180", "", "-181", "", "4台目の警報の下限に誤りがあります。"},
            {"change 0", "", "", "0", "4台目の警報の変化に誤りがあります。"},
            {"change beyond 180", "", "", "181", "4台目の警報の変化に誤りがあります。"},
            {"low not below high", "5", "5", "", "4台目の警報の下限が上限以上になっています。"},
        };
        // clang-format on
        for (const Row& r : rows) {
            QTest::newRow(r.tag) << r.high << r.low << r.change << QString::fromUtf8(r.refusal);
        }
    }
    void limitTexts() {
        QFETCH(QString, high);
        QFETCH(QString, low);
        QFETCH(QString, change);
        QFETCH(QString, refusal);
        AlertSettings settings;
        settings.High[3] = high;
        settings.Low[3] = low;
        settings.Change[3] = change;
        QCOMPARE(
            AlertSettingsProblem(settings).value_or(QString()).section(QLatin1Char('\n'), 0, 0),
            refusal);
    }
};

QTEST_GUILESS_MAIN(TestAngleAlerts)
#include "test_angle_alerts.moc"
