// SPDX-License-Identifier: GPL-3.0-or-later
#include "ZrBytes.h"
#include "data_files/CsvFile.h"
#include "data_files/DataFile.h"
#include "measurement/Conversions.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace k12;
using namespace k12::test;

namespace {

struct Run {
    int exitCode = -1;
    QString out;
    QString err;
};

Run Tool(const QStringList& args) {
    QProcess p;
    p.start(qEnvironmentVariable("K12_BIN_DIR") + QStringLiteral("/k12inc-zr5"), args);
    Run r;
    if (!p.waitForFinished(20000) || p.exitStatus() != QProcess::NormalExit) {
        return r;
    }
    r.exitCode = p.exitCode();
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

} // namespace

class TestZr5Tool : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QString Path(const QString& name) const { return dir_.filePath(name); }

    // A device-timer file: units 1 and 4 in use, unit 4 with a shorter run.
    QString Sample() {
        MeasurementStore s;
        s.InitDataArea();
        s.ClearData();
        s.StartTime = QStringLiteral("2024/3/5 9:7:2");
        s.Memo[0] = QStringLiteral("炉の温度");
        s.Memo[3] = QStringLiteral("a \"b\"");
        s.IntervalTM = 500;
        for (int u = 0; u < UNIT_COUNT; ++u) {
            s.Units[u].ComPort = int16_t(u + 5);
        }
        for (int k = 0; k < 4; ++k) {
            s.Units[0].Data[k] = 0.5f * float(k);
        }
        s.Units[3].Data[0] = -90.0f;
        s.SampleCount = 4;
        const QString path = Path("sample.zr5");
        return WriteDataFile(s, path) ? QString() : path;
    }

    // Rows [first, first + count) of one device-timer run at 500 ms that started just before
    // midnight: unit 1 rising with rows 4 and 5 missing (the first row of a piece, at times),
    // unit 2 reading only from row 8 on, unit 3 never, unit 4 falling. The memo names the piece,
    // so a header taken from the wrong piece shows. `lateMs` moves the piece's start time.
    QString Piece(const QString& name, int first, int count, const QString& fault = {},
                  int lateMs = 0) {
        MeasurementStore s;
        s.InitDataArea();
        s.ClearData();
        const QDateTime runStart(QDate(2024, 3, 5), QTime(23, 59, 58));
        s.StartTime = FormatStartTime(runStart.addMSecs(500LL * first + lateMs));
        s.Memo[0] = QStringLiteral("piece from row %1").arg(first);
        s.TimerType = fault == "timer";
        s.IntervalTM = fault == "interval" ? 1000 : 500;
        for (int u = 0; u < UNIT_COUNT; ++u) {
            s.Units[u].ComPort = int16_t(u + 1);
        }
        for (int k = 0; k < count; ++k) {
            const int row = first + k;
            s.Units[0].Data[k] = row == 4 || row == 5 ? NO_DATA_VALUE : 0.25f * float(row);
            s.Units[1].Data[k] = row >= 8 ? 10.0f + float(row) : NO_DATA_VALUE;
            s.Units[3].Data[k] = -1.5f * float(row);
        }
        if (fault == "start text") {
            s.StartTime = QStringLiteral("2024/3/6 25:0:0");
        }
        s.SampleCount = count;
        const QString path = Path(name);
        if (WriteDataFile(s, path)) {
            return {};
        }
        if (fault == "cut") {
            WriteAll(path, ReadAll(path).left(20));
        } else if (fault == "missing") {
            QFile::remove(path);
        }
        return path;
    }

  private Q_SLOTS:
    void info() {
        const QString file = Sample();
        QVERIFY(!file.isEmpty());
        const Run r = Tool({QStringLiteral("info"), file});
        QCOMPARE(r.exitCode, 0);
        const QStringList lines = r.out.split(QLatin1Char('\n'));
        QVERIFY(lines.contains(QStringLiteral("start time: 2024/3/5 9:7:2")));
        QVERIFY(lines.contains(QStringLiteral("memo 1: 炉の温度")));
        QVERIFY(lines.contains(QStringLiteral("memo 4: a \"b\"")));
        QVERIFY(lines.contains(QStringLiteral("timer: device")));
        QVERIFY(lines.contains(QStringLiteral("interval: 500 ms")));
        QVERIFY(lines.contains(QStringLiteral("ports: 5 6 7 8")));
        QVERIFY(lines.contains(QStringLiteral("rows: 4")));
        QVERIFY(lines.contains(QStringLiteral("units in use: 1 4")));
    }

    void csvMatchesTheExport() {
        const QString file = Sample();
        QVERIFY(!file.isEmpty());
        MeasurementStore s;
        s.InitDataArea();
        QVERIFY(!ReadDataFile(s, file));
        QVERIFY(!WriteCsvFile(s, Path("expected.csv")));

        const Run r = Tool({QStringLiteral("csv"), file, Path("tool.csv")});
        QCOMPARE(r.exitCode, 0);
        QVERIFY(!ReadAll(Path("tool.csv")).isEmpty());
        QCOMPARE(ReadAll(Path("tool.csv")), ReadAll(Path("expected.csv")));
    }

    void refusedFiles_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("reason");
        QTest::newRow("no rows") << ZrBytes().header().bytes << "There is no data.";
        QTest::newRow("interval") << ZrBytes().header(-1, 32768, 1).row(1, 2, 3, 4).bytes
                                  << "32768";
        QTest::newRow("interval 0")
            << ZrBytes().header(0, 0, 1).row(1, 2, 3, 4).bytes << "interval 0 is out of range";
        QTest::newRow("cut short") << ZrBytes().header().bytes.left(20) << "ends too early";
    }
    void refusedFiles() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, reason);
        QVERIFY(WriteAll(Path("refused.zr5"), bytes));
        for (const QString& command : {QStringLiteral("info"), QStringLiteral("csv")}) {
            QStringList args{command, Path("refused.zr5")};
            if (command == QLatin1String("csv")) {
                args << Path("never.csv");
            }
            const Run r = Tool(args);
            QCOMPARE(r.exitCode, 1);
            QVERIFY2(r.err.contains(reason), qPrintable(r.err));
            QVERIFY(r.out.isEmpty());
            QVERIFY(!QFile::exists(Path("never.csv")));
        }
        const Run missing = Tool({QStringLiteral("info"), Path("missing.zr5")});
        QCOMPARE(missing.exitCode, 1);
        QVERIFY(missing.err.contains(QStringLiteral("There is no data.")));
    }

    void unwritableOutput() {
        const QString file = Sample();
        QVERIFY(!file.isEmpty());
        const Run r = Tool({QStringLiteral("csv"), file, Path("no-folder/out.csv")});
        QCOMPARE(r.exitCode, 1);
        QVERIFY(r.err.contains(QStringLiteral("could not be saved")));
    }

    void join_data() {
        QTest::addColumn<QList<int>>("sizes");
        QTest::addColumn<QStringList>("names"); // given in this order; piece i is sizes[i]
        QTest::addColumn<QList<int>>("given");  // the pieces' order on the command line
        QTest::newRow("one piece, as csv FILE OUT")
            << QList<int>{3} << QStringList{"a.zr5"} << QList<int>{0};
        QTest::newRow("two pieces, the second without a first reading of unit 1")
            << QList<int>{4, 4} << QStringList{"a.zr5", "b.zr5"} << QList<int>{0, 1};
        // Unit 2 reads in the third piece only: in use in the set, blank before.
        QTest::newRow("three pieces across midnight")
            << QList<int>{4, 4, 2} << QStringList{"a.zr5", "b.zr5", "c.zr5"} << QList<int>{0, 1, 2};
        // 1.5 s a piece: the start times hold only the whole seconds.
        QTest::newRow("pieces between seconds")
            << QList<int>{3, 3, 3, 1} << QStringList{"a.zr5", "b.zr5", "c.zr5", "d.zr5"}
            << QList<int>{0, 1, 2, 3};
        QTest::newRow("given backwards")
            << QList<int>{4, 4, 2} << QStringList{"a.zr5", "b.zr5", "c.zr5"} << QList<int>{2, 1, 0};
        // As the shell lists a long run's pieces: -1000 sorts before -999 by name.
        QTest::newRow("numbers past 999")
            << QList<int>{4, 4, 2}
            << QStringList{"20240305-235958-999.zr5", "20240305-235958-1000.zr5",
                           "20240305-235958-1001.zr5"}
            << QList<int>{1, 2, 0};
    }
    void join() {
        QFETCH(QList<int>, sizes);
        QFETCH(QStringList, names);
        QFETCH(QList<int>, given);
        QStringList files;
        int total = 0;
        for (qsizetype i = 0; i < sizes.size(); ++i) {
            files << Piece(names[i], total, sizes[i]);
            total += sizes[i];
        }
        QStringList args{"csv", "--join", Path("joined.csv")};
        for (const int i : given) {
            args << files[i];
        }
        MeasurementStore whole;
        whole.InitDataArea();
        QVERIFY(!ReadDataFile(whole, Piece("whole.zr5", 0, total)));
        QVERIFY(!WriteCsvFile(whole, Path("whole.csv")));

        const Run r = Tool(args);
        QCOMPARE(r.err, QString());
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(ReadAll(Path("joined.csv")), ReadAll(Path("whole.csv")));
    }

    void joinRefused_data() {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("lateMs"); // of the last piece's start time
        QTest::addColumn<QString>("reason");
        QTest::newRow("timer differs") << "timer" << 0 << "(PC timer) differs";
        QTest::newRow("interval differs") << "interval" << 0 << "(1000 ms) differs";
        QTest::newRow("gap") << "" << 1000 << "(2024/3/6 0:0:2): there is a gap";
        QTest::newRow("overlap") << "" << -1000 << "(2024/3/6 0:0:2): they overlap";
        QTest::newRow("same start time") << "" << -2000 << ": they overlap";
        QTest::newRow("start time unreadable") << "start text" << 0 << "cannot be read";
        QTest::newRow("file cut short") << "cut" << 0 << "ends too early";
        QTest::newRow("file missing") << "missing" << 0 << "There is no data.";
    }
    void joinRefused() {
        QFETCH(QString, fault);
        QFETCH(int, lateMs);
        QFETCH(QString, reason);
        // 2 s a piece: a, b and c start at 23:59:58, 0:0:0 and 0:0:2.
        const QStringList pieces{Piece("a.zr5", 0, 4), Piece("b.zr5", 4, 4),
                                 Piece("c.zr5", 8, 4, fault, lateMs)};
        const QString out = Path("refused.csv");
        for (const bool existing : {false, true}) {
            QFile::remove(out);
            if (existing) {
                QVERIFY(WriteAll(out, "old"));
            }
            const Run r = Tool(QStringList{"csv", "--join", out} + pieces);
            QCOMPARE(r.exitCode, 1);
            QVERIFY2(r.err.contains(reason) && r.err.contains("c.zr5"), qPrintable(r.err));
            QCOMPARE(r.err.count(QLatin1Char('\n')), 1);
            QCOMPARE(QFile::exists(out), existing);
            QCOMPARE(QDir(dir_.path()).entryList({"refused.csv*"}).size(), existing ? 1 : 0);
            if (existing) {
                QCOMPARE(ReadAll(out), QByteArray("old"));
            }
        }
    }

    void badUsage_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("problem");
        QTest::newRow("nothing") << QStringList() << "missing command";
        QTest::newRow("unknown command")
            << QStringList{"dump", "x.zr5"} << "unknown command \"dump\"";
        QTest::newRow("csv without output") << QStringList{"csv", "x.zr5"} << "csv: missing OUT";
        QTest::newRow("info with extra")
            << QStringList{"info", "a", "b"} << "info: unexpected argument \"b\"";
        QTest::newRow("join without pieces")
            << QStringList{"csv", "--join", "out.csv"} << "csv --join: missing FILE";
    }
    void badUsage() {
        QFETCH(QStringList, args);
        QFETCH(QString, problem);
        const Run r = Tool(args);
        QCOMPARE(r.exitCode, 2);
        QCOMPARE(r.err.section(QLatin1Char('\n'), 0, 0), "k12inc-zr5: " + problem);
        QVERIFY(r.err.section(QLatin1Char('\n'), 1).startsWith(QStringLiteral("usage: ")));
    }

    void help() {
        for (const QString& option : {QStringLiteral("-h"), QStringLiteral("--help")}) {
            const Run r = Tool({option});
            QCOMPARE(r.exitCode, 0);
            QVERIFY(r.out.startsWith(QStringLiteral("usage: k12inc-zr5 info FILE\n")));
            QCOMPARE(r.err, QString());
        }
    }
};

QTEST_GUILESS_MAIN(TestZr5Tool)
#include "test_zr5_tool.moc"
