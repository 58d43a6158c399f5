// SPDX-License-Identifier: GPL-3.0-or-later
// k12inc-zr5: shows what a .zr5 data file holds, or exports it as CSV the way the program does.
#include "data_files/CsvFile.h"
#include "data_files/DataFile.h"
#include "language/Language.h"

#include <QCoreApplication>
#include <QStringList>
#include <QTextStream>
#include <cstdio>

namespace {

// The context of the texts below in the translations.
struct Zr5ToolTr {
    Q_DECLARE_TR_FUNCTIONS(Zr5Tool)
};

constexpr const char* Usage = QT_TRANSLATE_NOOP(
    "Zr5Tool", "usage: k12inc-zr5 info FILE\n"
               "       k12inc-zr5 csv FILE OUT\n"
               "       k12inc-zr5 csv --join OUT FILE...\n"
               "       k12inc-zr5 --help\n"
               "\n"
               "  info  show what the data file FILE holds\n"
               "  csv   write FILE as the CSV file OUT, as the program exports it;\n"
               "        with --join, the files (a long run's pieces) as one CSV file,\n"
               "        in the order of their start times, whatever order they come in\n"
               "\n"
               "Exit status: 0 success, 1 refused file or write failure (the\n"
               "reason on stderr), 2 bad usage.\n");

// What is wrong in one line, then the usage.
int BadUsage(const QString& problem) {
    QTextStream(stderr) << "k12inc-zr5: " << problem << "\n" << Zr5ToolTr::tr(Usage);
    return 2;
}

int Fail(const QString& message) {
    QTextStream(stderr) << "k12inc-zr5: " << message << "\n";
    return 1;
}

// The file as the program would load it; the reason on stderr when it would refuse it.
std::optional<k12::DataFileContent> Load(const QString& path) {
    auto parsed = k12::ParseDataFile(path);
    if (auto* error = std::get_if<k12::DataFileError>(&parsed)) {
        if (error->kind == k12::DataFileError::Kind::NoRows) {
            Fail(QStringLiteral("%1: %2").arg(path, error->message));
        } else {
            Fail(error->message);
        }
        return std::nullopt;
    }
    return std::get<k12::DataFileContent>(std::move(parsed));
}

int Info(const QString& path) {
    auto content = Load(path);
    if (!content) {
        return 1;
    }
    k12::MeasurementStore store;
    store.InitDataArea();
    k12::ApplyDataFile(*content, store);

    QTextStream out(stdout);
    out << Zr5ToolTr::tr("version: %1").arg(content->FileVersion) << "\n";
    out << Zr5ToolTr::tr("start time: %1").arg(store.StartTime) << "\n";
    for (int i = 0; i < k12::MEMO_COUNT; ++i) {
        out << Zr5ToolTr::tr("memo %1: %2").arg(i + 1).arg(store.Memo[i]) << "\n";
    }
    out << (store.TimerType ? Zr5ToolTr::tr("timer: PC") : Zr5ToolTr::tr("timer: device")) << "\n";
    out << Zr5ToolTr::tr("interval: %1 ms").arg(store.IntervalTM) << "\n";
    QStringList ports;
    for (const auto& unit : store.Units) {
        ports << QString::number(unit.ComPort);
    }
    out << Zr5ToolTr::tr("ports: %1").arg(ports.join(QLatin1Char(' '))) << "\n";
    out << Zr5ToolTr::tr("rows: %1").arg(store.SampleCount) << "\n";
    if (content->StoredCount != store.SampleCount) {
        out << Zr5ToolTr::tr("stored count: %1").arg(content->StoredCount) << "\n";
    }
    if (content->RowsInFile > store.SampleCount) {
        out << Zr5ToolTr::tr("rows in file: %1 (only the first %2 are loaded)")
                   .arg(content->RowsInFile)
                   .arg(store.SampleCount)
            << "\n";
    }
    QStringList units;
    for (int u = 0; u < k12::UNIT_COUNT; ++u) {
        if (store.Units[u].Mflag) {
            units << QString::number(u + 1);
        }
    }
    out << Zr5ToolTr::tr("units in use: %1")
               .arg(units.isEmpty() ? Zr5ToolTr::tr("none") : units.join(QLatin1Char(' ')))
        << "\n";
    return 0;
}

int Csv(const QString& path, const QString& outPath) {
    auto content = Load(path);
    if (!content) {
        return 1;
    }
    k12::MeasurementStore store;
    store.InitDataArea();
    k12::ApplyDataFile(*content, store);
    if (auto error = k12::WriteCsvFile(store, outPath)) {
        return Fail(error->message);
    }
    return 0;
}

// One CSV of the pieces in time order; the reason on one line when they do not join.
int Join(const QString& outPath, const QStringList& pieces) {
    if (auto error = k12::WriteJoinedCsvFile(pieces, outPath)) {
        return Fail(error->message.replace(QLatin1Char('\n'), QLatin1Char(' ')));
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    k12::ChooseLanguage(k12::Language::English);
    const QStringList args = app.arguments().mid(1);
    if (args.isEmpty()) {
        return BadUsage(Zr5ToolTr::tr("missing command"));
    }
    const QString& command = args[0];
    if (command == QLatin1String("-h") || command == QLatin1String("--help")) {
        QTextStream(stdout) << Zr5ToolTr::tr(Usage);
        return 0;
    }
    if (command == QLatin1String("csv") && args.size() >= 2 && args[1] == QLatin1String("--join")) {
        if (args.size() < 4) {
            return BadUsage(args.size() < 3 ? Zr5ToolTr::tr("csv --join: missing OUT and FILE")
                                            : Zr5ToolTr::tr("csv --join: missing FILE"));
        }
        return Join(args[2], args.mid(3));
    }
    QStringList names;
    if (command == QLatin1String("info")) {
        names = {QStringLiteral("FILE")};
    } else if (command == QLatin1String("csv")) {
        names = {QStringLiteral("FILE"), QStringLiteral("OUT")};
    } else {
        return BadUsage(Zr5ToolTr::tr("unknown command \"%1\"").arg(command));
    }
    const QStringList rest = args.mid(1);
    if (rest.size() < names.size()) {
        return BadUsage(Zr5ToolTr::tr("%1: missing %2")
                            .arg(command, names.mid(rest.size()).join(Zr5ToolTr::tr(" and "))));
    }
    if (rest.size() > names.size()) {
        return BadUsage(
            Zr5ToolTr::tr("%1: unexpected argument \"%2\"").arg(command, rest[names.size()]));
    }
    return command == QLatin1String("info") ? Info(rest[0]) : Csv(rest[0], rest[1]);
}
