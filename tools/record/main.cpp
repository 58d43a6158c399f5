// SPDX-License-Identifier: GPL-3.0-or-later
// k12inc-record: a run of the window program's settings without a window, for a terminal or a
// service; its pieces and its journal are those of the window.
#include "Console.h"
#include "RecordSetup.h"
#include "Recorder.h"
#include "SignalWatch.h"
#include "language/Language.h"
#include "platform/PortMap.h"
#include "platform/QtSerialPort.h"
#include "platform/QtSettingsStore.h"
#include "settings/MeasInfo.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <csignal>
#include <cstdio>
#include <memory>
#include <unistd.h>

using namespace k12;

namespace {

// The context of the texts below in the translations.
struct RecordTr {
    Q_DECLARE_TR_FUNCTIONS(Record)
};

constexpr const char* Usage = QT_TRANSLATE_NOOP(
    "Record",
    "usage: k12inc-record [OPTION]...\n"
    "\n"
    "Measures with the settings of the window program (~/.config/K12INC/K12INC.ini: units in\n"
    "use, COM numbers, timer, interval, [Options], [Feed], [Alerts]) without a window, writing\n"
    "the run in pieces of 88000 rows into the folder, until SIGINT or SIGTERM, the run duration\n"
    "or a fault.\n"
    "\n"
    "  --config FILE          read the settings from FILE instead\n"
    "  --units LIST           units in use, e.g. 1,3 (1..4)\n"
    "  --pc-timer SECONDS     PC timer: a row every SECONDS (1..32)\n"
    "  --device-timer TENTHS  device timer: a row every TENTHS x 100 ms (1..100)\n"
    "  --continue-on-error    go on through unit faults, leaving holes\n"
    "  --minutes N            stop after N minutes (0: no limit, at most 527040)\n"
    "  --folder DIR           write the pieces into DIR\n"
    "  --feed URL             publish the run live to the MQTT broker URL\n"
    "                         (mqtt://host[:port] or mqtts://host[:port])\n"
    "  --quiet                print events only, no status\n"
    "  --help                 show this text\n"
    "\n"
    "Status and events go to standard output (on a terminal, a status line rewritten in place),\n"
    "problems to standard error, each line with the local time in front.\n"
    "Exit status: 0 the run ended as asked (a signal, --minutes), 1 the units could not start or\n"
    "a fault ended the run, 2 bad usage or refused settings (one line on standard error).\n");

void PrintUsage(std::FILE* stream) {
    std::fputs(RecordTr::tr(Usage).toUtf8().constData(), stream);
}

int Refuse(const QString& problem) {
    // A message box's lines, on one line.
    QString line = problem;
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    std::fprintf(stderr, "k12inc-record: %s\n", line.toUtf8().constData());
    return EXIT_REFUSED;
}

// What is wrong in one line, then the usage.
int BadUsage(const QString& problem) {
    Refuse(problem);
    PrintUsage(stderr);
    return EXIT_REFUSED;
}

// The settings file the options name, or the window program's.
std::unique_ptr<QtSettingsStore> OpenSettings(const QString& file, QString& problem) {
    if (file.isEmpty()) {
        return std::make_unique<QtSettingsStore>();
    }
    const QFileInfo info(file);
    if (!info.isFile()) {
        problem = RecordTr::tr("the settings file %1 does not exist").arg(file);
        return nullptr;
    }
    if (!info.isReadable()) {
        problem = RecordTr::tr("the settings file %1 cannot be read").arg(file);
        return nullptr;
    }
    auto store = std::make_unique<QtSettingsStore>(info.absoluteFilePath());
    if (store->status() != QSettings::NoError) {
        problem = RecordTr::tr("the settings file %1 is not a valid settings file").arg(file);
        return nullptr;
    }
    return store;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    // English unless the locale asks for Japanese, the engine's messages too: one language.
    ChooseLanguage(Language::English);
    // First of all: a signal from now on ends the run properly instead of the program.
    SignalWatch signalWatch({SIGINT, SIGTERM, SIGHUP});
    // A closed output is an error to write to, not the end of the run.
    std::signal(SIGPIPE, SIG_IGN);

    const auto parsed = ParseRecordArgs(QCoreApplication::arguments().mid(1));
    if (const auto* problem = std::get_if<QString>(&parsed)) {
        return BadUsage(*problem);
    }
    const RecordOptions& options = std::get<RecordOptions>(parsed);
    if (options.help) {
        PrintUsage(stdout);
        return 0;
    }
    QString problem;
    const std::unique_ptr<QtSettingsStore> settings = OpenSettings(options.configFile, problem);
    if (!settings) {
        return Refuse(problem);
    }

    SystemClock clock;
    Console console(stdout, stderr, ::isatty(STDOUT_FILENO) == 1, clock);
    ConsoleMessages messages(console);
    ModuleData md([&settings] { return std::make_unique<QtSerialPort>(*settings); }, messages);
    md.InitDataArea();
    LoadMeasInfo(md, *settings);
    LoadOptions(md, *settings);
    ApplyRecordOptions(options, md);
    // The same journal folder and lock as the window: one of them keeps the journal.
    RunJournal journal(RunJournal::DefaultFolder(), messages);
    RunEngine engine(md, clock, journal);
    engine.SetPortDevices([&settings](int port) { return PortDevice(*settings, port); });
    if (const auto refusal = engine.StartRefusal()) {
        return Refuse(refusal->text);
    }
    if (const auto refusal = SettingsRefusal(md)) {
        return Refuse(*refusal);
    }

    Recorder recorder(md, engine, clock, console, options.quiet);
    QObject::connect(&signalWatch, &SignalWatch::received, &recorder, &Recorder::StopOnSignal);
    QObject::connect(
        &recorder, &Recorder::finished, &app, [](int status) { QCoreApplication::exit(status); },
        Qt::QueuedConnection);
    const QString description =
        RunDescription(md, [&settings](int port) { return PortDevice(*settings, port); }) +
        RecordTr::tr("; settings %1").arg(settings->fileName());
    if (const auto status = recorder.Start(description)) {
        return *status;
    }
    return QCoreApplication::exec();
}
