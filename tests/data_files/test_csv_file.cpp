// SPDX-License-Identifier: GPL-3.0-or-later
#include "ZrBytes.h"
#include "data_files/CsvFile.h"
#include "data_files/CsvNumber.h"
#include "data_files/DataFile.h"
#include "measurement/Conversions.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <bit>
#include <cmath>
#include <limits>

using namespace k12;
using namespace k12::test;

namespace {

// A finished device-timer measurement: unit 1 full, unit 2 shorter, unit 3 not in use.
void Fill(MeasurementStore& s) {
    s.InitDataArea();
    s.ClearData();
    s.ClearMemo();
    s.StartTime = QStringLiteral("2024/3/5 9:7:2");
    s.Memo[1] = QStringLiteral("試験");
    s.TimerType = false;
    s.IntervalTM = 300;
    const int16_t ports[] = {3, 4, 5, 6};
    const bool inUse[] = {true, true, false, true};
    const int32_t counts[] = {3, 2, 0, 3};
    for (int u = 0; u < UNIT_COUNT; ++u) {
        s.Units[u].ComPort = ports[u];
        s.Units[u].Mflag = inUse[u];
        s.Units[u].DataCount = counts[u];
    }
    s.Units[0].Data[0] = 12.5f;
    s.Units[0].Data[1] = -0.25f;
    s.Units[0].Data[2] = 180.0f;
    s.Units[1].Data[0] = 1.0f;
    s.Units[1].Data[1] = 12.345678f;
    s.Units[2].Data[0] = 99.0f; // not in use: never written
    s.Units[3].Data[1] = 7.0f;  // rows 0 and 2 hold no reading
    s.SampleCount = 3;
}

QByteArray Written(float v) {
    char buf[CSV_NUMBER_MAX_CHARS];
    return QByteArray(buf, WriteCsvSingle(buf, v) - buf);
}

} // namespace

class TestCsvFile : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QString Path(const QString& name) const { return dir_.filePath(name); }

    QStringList Export(const MeasurementStore& s) {
        const QString path = Path("out.csv");
        auto error = WriteCsvFile(s, path);
        if (error) {
            qWarning() << error->message;
            return {};
        }
        const QByteArray bytes = ReadAll(path);
        auto text = DecodeCp932(bytes);
        if (!text || !text->endsWith(QLatin1String("\r\n"))) {
            return {};
        }
        QStringList lines = text->split(QStringLiteral("\r\n"));
        lines.removeLast();
        return lines;
    }

  private Q_SLOTS:
    void wholeFile() {
        MeasurementStore s;
        Fill(s);
        const QStringList expected = {
            QStringLiteral("\"ZORV-K12INC\""),
            QStringLiteral("\"測定日\",\"2024/3/5 9:7:2\""),
            QStringLiteral("\"メモ１\",\"\""),
            QStringLiteral("\"メモ２\",\"試験\""),
            QStringLiteral("\"メモ３\",\"\""),
            QStringLiteral("\"メモ４\",\"\""),
            QStringLiteral("\"メモ５\",\"\""),
            QStringLiteral("\"装置タイマー(msec)\",300"),
            QStringLiteral("\"ポート番号\""),
            QStringLiteral("\"3\",\"4\",\"5\",\"6\""),
            QStringLiteral("\"測定データ\""),
            QStringLiteral("\"データ数\",3"),
            QStringLiteral("\"No1\",\"No2\",\"No3\",\"No4\""),
            QStringLiteral("12.5,1,\"\",\"\""),
            QStringLiteral("-0.25,12.34568,\"\",7"),
            QStringLiteral("180,\"\",\"\",\"\""),
        };
        QCOMPARE(Export(s), expected);
        // CP932 on disk: "測定日" is six bytes.
        QVERIFY(ReadAll(Path("out.csv")).contains(QByteArray("\"\x91\xaa\x92\xe8\x93\xfa\"")));
        QVERIFY(!ReadAll(Path("out.csv")).contains(QByteArray("\n\n")));
    }

    void exportAfterReadingBackIsTheSame() {
        // As a device-timer run leaves the store: unit 2 is past its count in row 2, a slot
        // the dedicated file stores as -999; the unit not in use holds no readings.
        MeasurementStore s;
        Fill(s);
        s.Units[2].Data[0] = NO_DATA_VALUE;
        s.Units[3].Data[0] = 5.0f;
        s.Units[3].Data[2] = 6.0f;
        QVERIFY(!WriteCsvFile(s, Path("direct.csv")));
        QVERIFY(!WriteDataFile(s, Path("saved.zr5")));
        MeasurementStore r;
        r.InitDataArea();
        QVERIFY(!ReadDataFile(r, Path("saved.zr5")));
        QCOMPARE(r.Units[1].Data[2], NO_DATA_VALUE);
        QVERIFY(!WriteCsvFile(r, Path("after.csv")));
        QCOMPARE(ReadAll(Path("after.csv")), ReadAll(Path("direct.csv")));
    }

    void intervalLine_data() {
        QTest::addColumn<bool>("pcTimer");
        QTest::addColumn<int>("interval");
        QTest::addColumn<QString>("line");
        QTest::newRow("PC 1.5 s") << true << 1500 << "\"PCタイマー(sec)\",1.5";
        QTest::newRow("PC 1 s") << true << 1000 << "\"PCタイマー(sec)\",1";
        QTest::newRow("PC 32 s") << true << 32000 << "\"PCタイマー(sec)\",32";
        QTest::newRow("device 300") << false << 300 << "\"装置タイマー(msec)\",300";
        QTest::newRow("device 10000") << false << 10000 << "\"装置タイマー(msec)\",10000";
    }
    void intervalLine() {
        QFETCH(bool, pcTimer);
        QFETCH(int, interval);
        QFETCH(QString, line);
        MeasurementStore s;
        Fill(s);
        s.TimerType = pcTimer;
        s.IntervalTM = int16_t(interval);
        QCOMPARE(Export(s).value(7), line);
    }

    void memoItems_data() {
        QTest::addColumn<QString>("memo");
        QTest::addColumn<QString>("line");
        QTest::newRow("comma") << "a,b"
                               << "\"メモ１\",\"a,b\"";
        QTest::newRow("quotes doubled") << "say \"hi\""
                                        << "\"メモ１\",\"say \"\"hi\"\"\"";
        QTest::newRow("blanks kept") << "  x  "
                                     << "\"メモ１\",\"  x  \"";
    }
    void memoItems() {
        QFETCH(QString, memo);
        QFETCH(QString, line);
        MeasurementStore s;
        Fill(s);
        s.Memo[0] = memo;
        QCOMPARE(Export(s).value(2), line);
    }

    // The items are written without a QString per value: the same text as CsvSingle, the
    // formatting the export always had.
    void numbersAsBefore_data() {
        QTest::addColumn<float>("v");
        using L = std::numeric_limits<float>;
        const float cases[] = {
            -179.99995f, 179.99995f, 1e-7f, 99999.995f, -0.0f, 0.0f, 9.9999995f, 999999.95f,
            99.999995f, 0.99999995f, 9999999.5f, 99999995.0f, 0.000099999995f,
            // Ties at the seventh digit go to even.
            16777215.0f, 12345675.0f, 12345665.0f, 1234567.5f, 1234566.5f, 4.8828125e-4f,
            // Where the plain notation ends, just below and above.
            1e-5f, std::nextafter(1e-5f, 0.0f), 9.9999995e-6f, 1e15f, std::nextafter(1e15f, 0.0f),
            999999950000000.0f,
            // Where the integer way ends: 2^-18, 2^23, 2^24, 2^63.
            3.8146973e-06f, std::nextafter(3.8146973e-06f, 0.0f), 8388608.0f, 16777216.0f,
            9.2233720e18f, 1.8446744e19f,
            // Large and tiny magnitudes.
            L::max(), -L::max(), L::min(), L::denorm_min(), -L::denorm_min(), 1e38f, 1e-38f, 1e-45f,
            123456.7f, 1234567.0f, 12345678.0f, 0.1f, 0.001f, -999.0f, 180.0f, -180.0f,
            L::quiet_NaN(), L::infinity(), -L::infinity()};
        for (const float v : cases) {
            QTest::newRow(qPrintable(QString::number(v, 'g', 9))) << v;
        }
    }
    void numbersAsBefore() {
        QFETCH(float, v);
        QCOMPARE(Written(v), CsvSingle(v).toLatin1());
        QCOMPARE(Written(-v), CsvSingle(-v).toLatin1());
    }

    void numbersAsBeforeSweep() {
        QRandomGenerator random(20261207);
        for (int i = 0; i < 400000; ++i) {
            // Every bit pattern half of the time, angles with three decimals the other half.
            const float v = i % 2 == 0 ? std::bit_cast<float>(random.generate())
                                       : float(int(random.bounded(720001)) - 360000) / 1000.0f;
            QCOMPARE(Written(v), CsvSingle(v).toLatin1());
        }
    }

    void fullStore() {
        MeasurementStore s;
        Fill(s);
        s.TimerType = true;
        s.IntervalTM = 1000;
        s.SampleCount = MAX_SAMPLES;
        s.Units[0].DataCount = MAX_SAMPLES;
        s.Units[0].Data[MAX_SAMPLES - 1] = -1.5f;
        const QStringList lines = Export(s);
        QCOMPARE(lines.size(), 13 + MAX_SAMPLES);
        QCOMPARE(lines[11], QStringLiteral("\"データ数\",88000"));
        QCOMPARE(lines.last(), QStringLiteral("-1.5,\"\",\"\",\"\""));
    }

    void failures() {
        MeasurementStore s;
        Fill(s);
        QFile plain(Path("plain.txt"));
        QVERIFY(plain.open(QIODevice::WriteOnly));
        plain.close();
        auto error = WriteCsvFile(s, Path("plain.txt/x.csv"));
        QVERIFY(error);
        QVERIFY(error->message.contains(Path("plain.txt/x.csv")));

        QFile keep(Path("keep.csv"));
        QVERIFY(keep.open(QIODevice::WriteOnly));
        keep.write("old");
        keep.close();
        s.Memo[2] = QStringLiteral("😀");
        error = WriteCsvFile(s, Path("keep.csv"));
        QVERIFY(error);
        QVERIFY(error->message.contains(QStringLiteral("メモ３")));
        QCOMPARE(ReadAll(Path("keep.csv")), QByteArray("old"));
    }
};

QTEST_GUILESS_MAIN(TestCsvFile)
#include "test_csv_file.moc"
