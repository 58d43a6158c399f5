// SPDX-License-Identifier: GPL-3.0-or-later
// The tools speak English, or Japanese where the locale asks for it, their own lines and the
// engine's messages alike.
#include "RunTool.h"

#include <QTemporaryDir>
#include <QTest>

using namespace k12::test;

class TestToolLanguages : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void lines_data() {
        QTest::addColumn<QString>("locale"); // variables set, the others unset
        QTest::addColumn<QString>("tool");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("line"); // the first line of the output, or of the errors
        const auto row = [](const char* name, const char* locale, const char* tool,
                            const QStringList& args, const char* line) {
            QTest::newRow(name) << QString::fromUtf8(locale) << QString::fromLatin1(tool) << args
                                << QString::fromUtf8(line);
        };
        const QStringList noUnits{"--config", "@/none.ini"};
        for (const char* locale : {"", "LANG=C", "LANG=en_US.UTF-8", "LANG=de_DE.UTF-8"}) {
            row(*locale != 0 ? locale : "unset", locale, "k12inc-record", noUnits,
                "k12inc-record: No unit is ticked for use.");
        }
        row("LANGUAGE first", "LANG=C;LANGUAGE=ja:en", "k12inc-record", noUnits,
            "k12inc-record: 使用ユニットにチェックが付いていません。");
        row("LC_ALL over LANG", "LANG=en_US.UTF-8;LC_ALL=ja_JP.UTF-8", "k12inc-record", noUnits,
            "k12inc-record: 使用ユニットにチェックが付いていません。");
        row("LC_MESSAGES", "LANG=ja_JP.UTF-8;LC_MESSAGES=en_GB.UTF-8", "k12inc-record", noUnits,
            "k12inc-record: No unit is ticked for use.");

        const char* en = "LANG=en_US.UTF-8";
        const char* ja = "LANG=ja_JP.UTF-8";
        const QStringList badUnits{"--units", "5"};
        row("record usage", en, "k12inc-record", {"--help"}, "usage: k12inc-record [OPTION]...");
        row("record usage ja", ja, "k12inc-record", {"--help"},
            "使い方: k12inc-record [オプション]...");
        row("record option", en, "k12inc-record", badUnits,
            "k12inc-record: --units \"5\" is not a list of different units 1..4 (e.g. 1,3)");
        row("record option ja", ja, "k12inc-record", badUnits,
            "k12inc-record: --units \"5\" は 1～4 の異なるユニットの並びではありません（例: 1,3）");
        row("record settings file", en, "k12inc-record", {"--config", "/none.ini"},
            "k12inc-record: the settings file /none.ini does not exist");
        row("record settings file ja", ja, "k12inc-record", {"--config", "/none.ini"},
            "k12inc-record: 設定ファイル /none.ini がありません。");
        row("unit usage", en, "k12inc-unit", {"--help"}, "usage: k12inc-unit probe PORT");
        row("unit usage ja", ja, "k12inc-unit", {"--help"}, "使い方: k12inc-unit probe PORT");
        row("unit port", en, "k12inc-unit", {"get", "0"},
            "k12inc-unit: get: PORT \"0\" is neither a COM number (1..256) nor a device path");
        row("unit port ja", ja, "k12inc-unit", {"get", "0"},
            "k12inc-unit: get: PORT \"0\" は COM 番号 (1..256) でもデバイスのパスでもありません");
        row("unit device", en, "k12inc-unit", {"probe", "/dev/k12-missing"},
            "error 701: /dev/k12-missing is not found.");
        row("unit device ja", ja, "k12inc-unit", {"probe", "/dev/k12-missing"},
            "エラー 701: /dev/k12-missing が見つかりません。");
        row("zr5 usage", en, "k12inc-zr5", {"--help"}, "usage: k12inc-zr5 info FILE");
        row("zr5 usage ja", ja, "k12inc-zr5", {"--help"}, "使い方: k12inc-zr5 info FILE");
        row("zr5 file", en, "k12inc-zr5", {"info", "@/none.zr5"},
            "k12inc-zr5: @/none.zr5: There is no data.");
        row("zr5 file ja", ja, "k12inc-zr5", {"info", "@/none.zr5"},
            "k12inc-zr5: @/none.zr5: データがありません。");
        row("simulator", en, "k12inc-unit-sim", {"--units", "0"},
            "k12inc-unit-sim: --units must be 1..16");
        row("simulator ja", ja, "k12inc-unit-sim", {"--units", "0"},
            "k12inc-unit-sim: --units は 1..16 で指定してください");
    }
    void lines() {
        QFETCH(QString, locale);
        QFETCH(QString, tool);
        QFETCH(QStringList, args);
        QFETCH(QString, line);
        QTemporaryDir dir;
        QFile ini(dir.filePath(QStringLiteral("none.ini")));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write("[MeasInfo]\nMflag1=False\nMflag2=False\nMflag3=False\nMflag4=False\n");
        ini.close();
        line.replace(QLatin1Char('@'), dir.path());
        for (QString& arg : args) {
            arg.replace(QLatin1Char('@'), dir.path());
        }
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) {
            env.remove(QString::fromLatin1(name));
        }
        for (const QString& item : locale.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            env.insert(item.section(QLatin1Char('='), 0, 0), item.section(QLatin1Char('='), 1));
        }
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(ToolPath(tool), args);
        QVERIFY(p.waitForFinished(15000));
        const QString out = QString::fromUtf8(p.readAllStandardOutput());
        const QString err = QString::fromUtf8(p.readAllStandardError());
        const QString shown =
            (args.value(0) == u"--help" ? out : err).section(QLatin1Char('\n'), 0, 0);
        QCOMPARE(shown, line);
    }
};

QTEST_GUILESS_MAIN(TestToolLanguages)
#include "test_tool_languages.moc"
