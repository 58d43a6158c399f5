// SPDX-License-Identifier: GPL-3.0-or-later
#include "ZrBytes.h"
#include "data_files/DataFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <bit>

using namespace k12;
using namespace k12::test;

namespace {

// A store holding something recognisable, to see that a refused load leaves it alone.
void FillSentinel(MeasurementStore& s) {
    s.InitDataArea();
    s.ClearData();
    s.SampleCount = 7;
    s.StartTime = QStringLiteral("keep");
    s.Memo[0] = QStringLiteral("keep memo");
    s.TimerType = false;
    s.IntervalTM = 300;
    s.Units[1].Mflag = true;
    s.Units[1].ComPort = 9;
    s.Units[1].DataCount = 7;
    s.Units[1].Data[6] = 42.0f;
}

void VerifySentinel(const MeasurementStore& s) {
    QCOMPARE(s.SampleCount, 7);
    QCOMPARE(s.StartTime, QStringLiteral("keep"));
    QCOMPARE(s.Memo[0], QStringLiteral("keep memo"));
    QCOMPARE(s.IntervalTM, int16_t(300));
    QCOMPARE(s.Units[1].ComPort, int16_t(9));
    QCOMPARE(s.Units[1].Data[6], 42.0f);
    QVERIFY(s.Units[1].Mflag);
}

} // namespace

class TestDataFile : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QString Path(const QString& name) const { return dir_.filePath(name); }

  private Q_SLOTS:
    void writerMatchesFormatByteForByte() {
        MeasurementStore s;
        s.InitDataArea();
        s.ClearData();
        s.StartTime = QStringLiteral("2024/3/5 9:7:2");
        s.Memo[0] = QStringLiteral("測定");
        s.TimerType = true;
        s.IntervalTM = 1000;
        for (int u = 0; u < UNIT_COUNT; ++u) {
            s.Units[u].ComPort = int16_t(u + 1);
        }
        s.SampleCount = 1;
        s.Units[0].Data[0] = 12.5f;
        s.Units[3].Data[0] = -180.0f;
        QVERIFY(!WriteDataFile(s, Path("one.zr5")));

        const QByteArray expected = QByteArray("\x06\x00RV0100", 8) +
                                    QByteArray("\x0e\x00"
                                               "2024/3/5 9:7:2",
                                               16) +
                                    QByteArray("\x04\x00\x91\xaa\x92\xe8", 6) +
                                    QByteArray(8, '\0') +             // four empty memos
                                    QByteArray("\xff\xff", 2) +       // PC timer
                                    QByteArray("\xe8\x03\x00\x00", 4) // 1000 ms
                                    + QByteArray("\x01\x00\x02\x00\x03\x00\x04\x00", 8) +
                                    QByteArray("\x01\x00\x00\x00", 4) +
                                    QByteArray("\x00\x00\x48\x41\x00\xc0\x79\xc4"
                                               "\x00\xc0\x79\xc4\x00\x00\x34\xc3",
                                               16);
        QCOMPARE(ReadAll(Path("one.zr5")), expected);
        QCOMPARE(expected.size(), 8 + (2 + 14) + (2 + 4) + 8 + 18 + 16);
    }

    void roundTrip() {
        MeasurementStore a;
        a.InitDataArea();
        a.ClearData();
        a.StartTime = QStringLiteral("2023/12/31 23:59:58");
        a.Memo = {QStringLiteral("試験　一"), QString(), QStringLiteral("say \"hi\", ok"),
                  QStringLiteral("ｶﾀｶﾅ①"), QString(32767, QLatin1Char('x'))};
        a.TimerType = false;
        a.IntervalTM = 300;
        const int16_t ports[] = {3, -1, 0, 32767};
        const bool inUse[] = {true, true, false, true};
        const int32_t counts[] = {5, 3, 0, 5};
        for (int u = 0; u < UNIT_COUNT; ++u) {
            a.Units[u].ComPort = ports[u];
            a.Units[u].Mflag = inUse[u];
            a.Units[u].DataCount = counts[u];
            for (int k = 0; k < counts[u]; ++k) {
                a.Units[u].Data[k] = float(u * 10 + k) + 0.125f;
            }
        }
        a.Units[3].Data[2] = NO_DATA_VALUE; // a hole in the middle
        a.SampleCount = 5;
        QVERIFY(!WriteDataFile(a, Path("trip.zr5")));

        MeasurementStore b;
        FillSentinel(b);
        b.Units[2].Mflag = true;
        b.Measuring = true;
        QVERIFY(!ReadDataFile(b, Path("trip.zr5")));
        QCOMPARE(b.StartTime, a.StartTime);
        QCOMPARE(b.Memo, a.Memo);
        QCOMPARE(b.TimerType, false);
        QCOMPARE(b.IntervalTM, int16_t(300));
        QCOMPARE(b.SampleCount, 5);
        QCOMPARE(b.Measuring, false);
        const bool expectedUse[] = {true, true, false, true};
        for (int u = 0; u < UNIT_COUNT; ++u) {
            QCOMPARE(b.Units[u].ComPort, ports[u]);
            QCOMPARE(b.Units[u].Mflag, expectedUse[u]);
            // A shorter device-timer unit counts every row once read back.
            QCOMPARE(b.Units[u].DataCount, expectedUse[u] ? 5 : 0);
            for (int k = 0; k < 6; ++k) {
                QCOMPARE(b.Units[u].Data[k], a.Units[u].Data[k]);
            }
            QCOMPARE(b.Units[u].Data[6], NO_DATA_VALUE); // the old sentinel is gone
        }
    }

    void memoByteCountIsCp932() {
        MeasurementStore s;
        s.InitDataArea();
        s.ClearData();
        s.Memo[0] = QStringLiteral("日本語");
        s.SampleCount = 1;
        QVERIFY(!WriteDataFile(s, Path("jp.zr5")));
        const QByteArray bytes = ReadAll(Path("jp.zr5"));
        QCOMPARE(bytes.mid(8 + 2 + 19, 2), QByteArray("\x06\x00", 2));
        QCOMPARE(bytes.size(), 8 + 21 + 8 + 8 + 18 + 16);
    }

    void shorterSaveReplacesLongerFile() {
        MeasurementStore s;
        s.InitDataArea();
        s.ClearData();
        s.Units[0].Mflag = true;
        s.Units[0].Data[0] = 1.0f;
        s.IntervalTM = 1000;
        s.SampleCount = 100;
        QVERIFY(!WriteDataFile(s, Path("over.zr5")));
        s.SampleCount = 2;
        QVERIFY(!WriteDataFile(s, Path("over.zr5")));
        MeasurementStore r;
        r.InitDataArea();
        QVERIFY(!ReadDataFile(r, Path("over.zr5")));
        QCOMPARE(r.SampleCount, 2);
    }

    void readerEdgeCases_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("rows");
        QTest::addColumn<bool>("timer");
        QTest::addColumn<int>("interval");

        QTest::newRow("stored count larger")
            << ZrBytes().header(-1, 1000, 10).row(1, 2, 3, 4).bytes << 1 << true << 1000;
        QTest::newRow("stored count negative")
            << ZrBytes().header(-1, 1000, -5).row(1, 2, 3, 4).row(5, 6, 7, 8).bytes << 2 << true
            << 1000;
        QTest::newRow("timer type 1")
            << ZrBytes().header(1, 2000, 1).row(1, 2, 3, 4).bytes << 1 << true << 2000;
        QTest::newRow("timer type 0")
            << ZrBytes().header(0, 300, 1).row(1, 2, 3, 4).bytes << 1 << false << 300;
        QTest::newRow("interval 1")
            << ZrBytes().header(0, 1, 1).row(1, 2, 3, 4).bytes << 1 << false << 1;
        QTest::newRow("interval 32767")
            << ZrBytes().header(0, 32767, 1).row(1, 2, 3, 4).bytes << 1 << false << 32767;
        QByteArray partial = ZrBytes().header().row(1, 2, 3, 4).row(5, 6, 7, 8).bytes;
        partial.append(QByteArray(15, '\x7f'));
        QTest::newRow("trailing partial row") << partial << 2 << true << 1000;
    }
    void readerEdgeCases() {
        QFETCH(QByteArray, bytes);
        QFETCH(int, rows);
        QFETCH(bool, timer);
        QFETCH(int, interval);
        QVERIFY(WriteAll(Path("edge.zr5"), bytes));
        MeasurementStore s;
        s.InitDataArea();
        QVERIFY(!ReadDataFile(s, Path("edge.zr5")));
        QCOMPARE(s.SampleCount, rows);
        QCOMPARE(s.TimerType, timer);
        QCOMPARE(int(s.IntervalTM), interval);
        QCOMPARE(s.Units[0].Data[rows - 1], rows == 1 ? 1.0f : 5.0f);
        QCOMPARE(s.Units[3].Data[rows], NO_DATA_VALUE);
    }

    void anyReadingMarksAUnitInUse_data() {
        QTest::addColumn<int>("firstReading"); // row of unit 2's only reading; -1 for none
        QTest::addColumn<float>("value");
        QTest::addColumn<bool>("inUse");
        QTest::newRow("reading in row 0") << 0 << 12.5f << true;
        // A unit down when a piece of a long run started.
        QTest::newRow("hole in row 0, reading in row 1") << 1 << -3.0f << true;
        QTest::newRow("reading in the last row only") << MAX_SAMPLES - 1 << 179.9f << true;
        QTest::newRow("just off the marker") << 40000 << -999.0001f << true;
        QTest::newRow("minus zero") << 7 << -0.0f << true;
        QTest::newRow("no reading at all") << -1 << 0.0f << false;
    }
    void anyReadingMarksAUnitInUse() {
        QFETCH(int, firstReading);
        QFETCH(float, value);
        QFETCH(bool, inUse);
        // A full piece: unit 1 reads in every row, unit 2 once at most, units 3 and 4 never.
        ZrBytes z;
        z.header(0, 100, MAX_SAMPLES);
        z.bytes.reserve(z.bytes.size() + MAX_SAMPLES * DATA_FILE_ROW_BYTES);
        for (int k = 0; k < MAX_SAMPLES; ++k) {
            z.row(float(k % 360), k == firstReading ? value : NO_DATA_VALUE, NO_DATA_VALUE,
                  NO_DATA_VALUE);
        }
        QVERIFY(WriteAll(Path("inuse.zr5"), z.bytes));
        MeasurementStore s;
        s.InitDataArea();
        for (auto& u : s.Units) {
            u.Mflag = true;
        }
        QVERIFY(!ReadDataFile(s, Path("inuse.zr5")));
        QCOMPARE(s.SampleCount, MAX_SAMPLES);
        QCOMPARE(s.Units[0].Mflag, true);
        QCOMPARE(s.Units[1].Mflag, inUse);
        // A unit in use counts every row, its holes included.
        QCOMPARE(s.Units[1].DataCount, inUse ? MAX_SAMPLES : 0);
        if (firstReading >= 0) {
            QCOMPARE(std::bit_cast<uint32_t>(s.Units[1].Data[firstReading]),
                     std::bit_cast<uint32_t>(value));
            QCOMPARE(s.Units[1].Data[0], firstReading == 0 ? value : NO_DATA_VALUE);
        }
        QCOMPARE(s.Units[2].Mflag, false);
        QCOMPARE(s.Units[3].DataCount, 0);
    }

    void capacityLimits() {
        ZrBytes z;
        z.header(-1, 1000, MAX_SAMPLES);
        z.bytes.reserve(z.bytes.size() + (MAX_SAMPLES + 2) * 16);
        for (int k = 0; k < MAX_SAMPLES + 2; ++k) {
            z.row(float(k), 0, 0, 0);
        }
        const QByteArray over = z.bytes;
        const QByteArray exact = over.left(over.size() - 32);
        QVERIFY(WriteAll(Path("exact.zr5"), exact));
        QVERIFY(WriteAll(Path("over.zr5"), over));

        MeasurementStore s;
        s.InitDataArea();
        QVERIFY(!ReadDataFile(s, Path("exact.zr5")));
        QCOMPARE(s.SampleCount, MAX_SAMPLES);
        QCOMPARE(s.Units[0].Data[MAX_SAMPLES - 1], float(MAX_SAMPLES - 1));

        auto parsed = ParseDataFile(Path("over.zr5"));
        auto* content = std::get_if<DataFileContent>(&parsed);
        QVERIFY(content);
        QCOMPARE(content->Rows.size(), size_t(MAX_SAMPLES));
        QCOMPARE(content->RowsInFile, int64_t(MAX_SAMPLES + 2));
        QVERIFY(!ReadDataFile(s, Path("over.zr5")));
        QCOMPARE(s.SampleCount, MAX_SAMPLES);
        QCOMPARE(s.Units[0].DataCount, MAX_SAMPLES);
        QCOMPARE(s.Units[0].Data.size(), size_t(MAX_SAMPLES));
    }

    void refusedLoadsLeaveStoreUntouched_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("noRows");
        QTest::addColumn<QString>("problem");
        QTest::newRow("empty file") << QByteArray() << true << QString();
        QTest::newRow("header without rows") << ZrBytes().header().bytes << true << QString();
        QByteArray fifteen = ZrBytes().header().bytes + QByteArray(15, '\0');
        QTest::newRow("less than a row") << fifteen << true << QString();
        QTest::newRow("interval 32768")
            << ZrBytes().header(-1, 32768, 1).row(1, 2, 3, 4).bytes << false << "32768";
        QTest::newRow("interval -32769")
            << ZrBytes().header(-1, -32769, 1).row(1, 2, 3, 4).bytes << false << "-32769";
        // Rows would sit at or before 0 s and the chart's range would be reversed.
        QTest::newRow("interval 0")
            << ZrBytes().header(-1, 0, 1).row(1, 2, 3, 4).bytes << false << "値 0 が範囲外";
        QTest::newRow("interval -1")
            << ZrBytes().header(0, -1, 1).row(1, 2, 3, 4).bytes << false << "値 -1 が範囲外";
        QTest::newRow("header cut short")
            << ZrBytes().header().bytes.left(30) << false << "途中で終わって";
    }
    void refusedLoadsLeaveStoreUntouched() {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, noRows);
        QFETCH(QString, problem);
        QVERIFY(WriteAll(Path("refused.zr5"), bytes));
        MeasurementStore s;
        FillSentinel(s);
        auto error = ReadDataFile(s, Path("refused.zr5"));
        QVERIFY(error);
        VerifySentinel(s);
        if (noRows) {
            QCOMPARE(error->kind, DataFileError::Kind::NoRows);
            QCOMPARE(error->message, QStringLiteral("データがありません。"));
        } else {
            QCOMPARE(error->kind, DataFileError::Kind::Failed);
            QVERIFY2(error->message.contains(Path("refused.zr5")), qPrintable(error->message));
            QVERIFY2(error->message.contains(problem), qPrintable(error->message));
        }
    }

    void missingOrUnopenableFile() {
        MeasurementStore s;
        FillSentinel(s);
        auto missing = ReadDataFile(s, Path("nothing-here.zr5"));
        QVERIFY(missing);
        QCOMPARE(missing->kind, DataFileError::Kind::NoRows);
        VerifySentinel(s);

        auto folder = ReadDataFile(s, dir_.path()); // a folder cannot be opened as a file
        QVERIFY(folder);
        QCOMPARE(folder->kind, DataFileError::Kind::Failed);
        QVERIFY(folder->message.contains(dir_.path()));
        VerifySentinel(s);
    }

    void damagedHeaders() {
        const QByteArray good = ZrBytes().header().row(1, 2, 3, 4).bytes;
        const qsizetype headerSize = good.size() - 16;
        // Every cut inside the header is reported, never read past the end.
        for (qsizetype n = 1; n < headerSize; ++n) {
            auto parsed = ParseDataFileBytes(QByteArrayView(good).first(n), QStringLiteral("cut"));
            auto* error = std::get_if<DataFileError>(&parsed);
            QVERIFY2(error && error->kind == DataFileError::Kind::Failed,
                     qPrintable(QString::number(n)));
        }
        // A text count pointing past the end of the file.
        ZrBytes longText;
        longText.text("RV0100").i16(int16_t(0xffff)).bytes.append("2024");
        QVERIFY(std::holds_alternative<DataFileError>(
            ParseDataFileBytes(longText.bytes, QStringLiteral("long"))));
        // Huge stored count with a single row.
        auto huge = ParseDataFileBytes(ZrBytes().header(-1, 1000, 0x7fffffff).row(1, 2, 3, 4).bytes,
                                       QStringLiteral("huge"));
        QCOMPARE(std::get<DataFileContent>(huge).Rows.size(), size_t(1));
        // Text bytes that are not CP932 still load.
        ZrBytes badText;
        badText.text("RV0100").text("\x81").text("ok\x80");
        for (int i = 0; i < 4; ++i) {
            badText.text("");
        }
        badText.i16(-1).i32(1000).i16(1).i16(2).i16(3).i16(4).i32(1).row(1, 2, 3, 4);
        auto bad = ParseDataFileBytes(badText.bytes, QStringLiteral("bad"));
        QCOMPARE(std::get<DataFileContent>(bad).Memo[0], QStringLiteral("ok\uFFFD"));
    }

    void randomBytesNeverBreakTheParser() {
        QRandomGenerator rng(12345);
        const QByteArray good = ZrBytes().header().row(1, 2, 3, 4).row(5, 6, 7, 8).bytes;
        for (int i = 0; i < 2000; ++i) {
            QByteArray bytes = good;
            const int flips = 1 + int(rng.bounded(6));
            for (int f = 0; f < flips; ++f) {
                bytes[rng.bounded(int(bytes.size()))] = char(rng.bounded(256));
            }
            bytes.truncate(rng.bounded(int(bytes.size()) + 1));
            auto parsed = ParseDataFileBytes(bytes, QStringLiteral("random"));
            if (auto* c = std::get_if<DataFileContent>(&parsed)) {
                QVERIFY(!c->Rows.empty());
                QVERIFY(qsizetype(c->Rows.size()) * 16 <= bytes.size());
                MeasurementStore s;
                ApplyDataFile(*c, s); // sizes the arrays itself
                QCOMPARE(size_t(s.SampleCount), c->Rows.size());
            }
        }
    }

    void saveFailuresAreReported() {
        MeasurementStore s;
        s.InitDataArea();
        s.ClearData();
        s.SampleCount = 1;
        QVERIFY(WriteAll(Path("plain.txt"), "x"));
        const QStringList bad = {Path("plain.txt/under-a-file.zr5"),
                                 Path("no-such-folder/data.zr5")};
        for (const QString& path : bad) {
            auto error = WriteDataFile(s, path);
            QVERIFY2(error, qPrintable(path));
            QCOMPARE(error->kind, DataFileError::Kind::Failed);
            QVERIFY(error->message.contains(path));
            QVERIFY(error->message.contains(QStringLiteral("保存できませんでした")));
            QVERIFY(!QFile::exists(path));
        }
    }

    void failedSaveKeepsExistingTarget() {
        MeasurementStore s;
        s.InitDataArea();
        s.ClearData();
        s.SampleCount = 1;
        // A folder in the target's place cannot be replaced by a file.
        QVERIFY(QDir(dir_.path()).mkpath(QStringLiteral("taken.zr5")));
        QVERIFY(WriteAll(Path("taken.zr5/inside"), "kept"));
        QVERIFY(WriteDataFile(s, Path("taken.zr5")));
        QCOMPARE(ReadAll(Path("taken.zr5/inside")), QByteArray("kept"));

        // A read-only folder stops everyone but root.
        QVERIFY(QDir(dir_.path()).mkpath(QStringLiteral("locked")));
        QVERIFY(WriteAll(Path("locked/old.zr5"), "old"));
        QFile::setPermissions(Path("locked"), QFile::ReadOwner | QFile::ExeOwner);
        const bool writable = QFileInfo(Path("locked")).isWritable();
        auto error = WriteDataFile(s, Path("locked/old.zr5"));
        QFile::setPermissions(Path("locked"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        if (writable) {
            QSKIP("running as root: a read-only folder does not stop writing");
        }
        QVERIFY(error);
        QVERIFY(error->message.contains(Path("locked/old.zr5")));
        QCOMPARE(ReadAll(Path("locked/old.zr5")), QByteArray("old"));
    }

    void unsavableMemoIsRefusedBeforeWriting_data() {
        QTest::addColumn<int>("line");
        QTest::addColumn<QString>("memo");
        QTest::addColumn<QString>("reason");
        QTest::newRow("emoji") << 1 << QStringLiteral("温度 😀") << "保存できない文字";
        QTest::newRow("hangul") << 4 << QStringLiteral("한") << "保存できない文字";
        QTest::newRow("32768 bytes") << 0 << QString(16384, QChar(0x6E2C)) << "長すぎます";
    }
    void unsavableMemoIsRefusedBeforeWriting() {
        QFETCH(int, line);
        QFETCH(QString, memo);
        QFETCH(QString, reason);
        QVERIFY(WriteAll(Path("keep.zr5"), "previous content"));
        MeasurementStore s;
        s.InitDataArea();
        s.ClearData();
        s.SampleCount = 1;
        s.Memo[line] = memo;
        auto error = WriteDataFile(s, Path("keep.zr5"));
        QVERIFY(error);
        QVERIFY2(error->message.contains(QStringLiteral("メモ") + QChar(0xFF11 + line)),
                 qPrintable(error->message));
        QVERIFY(error->message.contains(reason));
        QCOMPARE(ReadAll(Path("keep.zr5")), QByteArray("previous content"));
    }
};

QTEST_GUILESS_MAIN(TestDataFile)
#include "test_data_file.moc"
