// SPDX-License-Identifier: GPL-3.0-or-later
// k12inc-zr5: shows what a .zr5 data file holds, or exports it as CSV the way the program does.
#include "data_files/CsvFile.h"
#include "data_files/DataFile.h"

#include <QCoreApplication>
#include <QStringList>
#include <QTextStream>
#include <cstdio>

namespace {

constexpr const char* UsageText =
    "usage: k12inc-zr5 info FILE\n"
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
    "reason on stderr), 2 bad usage.\n";

// What is wrong in one line, then the usage.
int BadUsage(const QString& problem) {
    QTextStream(stderr) << "k12inc-zr5: " << problem << "\n" << UsageText;
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
    out << "version: " << content->FileVersion << "\n";
    out << "start time: " << store.StartTime << "\n";
    for (int i = 0; i < k12::MEMO_COUNT; ++i) {
        out << "memo " << i + 1 << ": " << store.Memo[i] << "\n";
    }
    out << "timer: " << (store.TimerType ? "PC" : "device") << "\n";
    out << "interval: " << store.IntervalTM << " ms\n";
    out << "ports:";
    for (const auto& unit : store.Units) {
        out << " " << unit.ComPort;
    }
    out << "\n";
    out << "rows: " << store.SampleCount << "\n";
    if (content->StoredCount != store.SampleCount) {
        out << "stored count: " << content->StoredCount << "\n";
    }
    if (content->RowsInFile > store.SampleCount) {
        out << "rows in file: " << content->RowsInFile << " (only the first " << store.SampleCount
            << " are loaded)\n";
    }
    out << "units in use:";
    bool any = false;
    for (int u = 0; u < k12::UNIT_COUNT; ++u) {
        if (store.Units[u].Mflag) {
            out << " " << u + 1;
            any = true;
        }
    }
    out << (any ? "\n" : " none\n");
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
    const QStringList args = app.arguments().mid(1);
    if (args.isEmpty()) {
        return BadUsage(QStringLiteral("missing command"));
    }
    const QString& command = args[0];
    if (command == QLatin1String("-h") || command == QLatin1String("--help")) {
        QTextStream(stdout) << UsageText;
        return 0;
    }
    if (command == QLatin1String("csv") && args.size() >= 2 && args[1] == QLatin1String("--join")) {
        if (args.size() < 4) {
            return BadUsage(QStringLiteral("csv --join: missing %1")
                                .arg(args.size() < 3 ? QStringLiteral("OUT and FILE")
                                                     : QStringLiteral("FILE")));
        }
        return Join(args[2], args.mid(3));
    }
    QStringList names;
    if (command == QLatin1String("info")) {
        names = {QStringLiteral("FILE")};
    } else if (command == QLatin1String("csv")) {
        names = {QStringLiteral("FILE"), QStringLiteral("OUT")};
    } else {
        return BadUsage(QStringLiteral("unknown command \"%1\"").arg(command));
    }
    const QStringList rest = args.mid(1);
    if (rest.size() < names.size()) {
        return BadUsage(QStringLiteral("%1: missing %2")
                            .arg(command, names.mid(rest.size()).join(QStringLiteral(" and "))));
    }
    if (rest.size() > names.size()) {
        return BadUsage(
            QStringLiteral("%1: unexpected argument \"%2\"").arg(command, rest[names.size()]));
    }
    return command == QLatin1String("info") ? Info(rest[0]) : Csv(rest[0], rest[1]);
}
