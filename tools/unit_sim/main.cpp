// SPDX-License-Identifier: GPL-3.0-or-later
// k12inc-unit-sim: angle units on pseudo-terminals, until SIGINT or SIGTERM.
#include "UnitSimulator.h"
#include "language/Language.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QSettings>
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <exception>
#include <map>
#include <pthread.h>

namespace {

// The context of the texts below in the translations.
struct UnitSimTr {
    Q_DECLARE_TR_FUNCTIONS(UnitSim)
};

// "a,b,c" for n units; the last item repeats for the remaining units.
bool expandList(const QString& text, int n, QStringList& out) {
    const QStringList items = text.split(QLatin1Char(','));
    out.clear();
    for (int i = 0; i < n; ++i)
        out.append(items.at(std::min<qsizetype>(i, items.size() - 1)).trimmed());
    return std::none_of(out.begin(), out.end(), [](const QString& s) { return s.isEmpty(); });
}

// "none" or "AFTER:COUNT" with both not negative; "none" leaves after and count as they are.
bool parseSpell(const QString& text, int& after, int& count) {
    if (text == QLatin1String("none"))
        return true;
    const QStringList parts = text.split(QLatin1Char(':'));
    bool afterOk = false;
    bool countOk = false;
    if (parts.size() == 2) {
        after = parts[0].toInt(&afterOk);
        count = parts[1].toInt(&countOk);
    }
    return afterOk && countOk && after >= 0 && count >= 0;
}

int fail(const QString& message) {
    std::fprintf(stderr, "k12inc-unit-sim: %s\n", qPrintable(message));
    return 2;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("k12inc-unit-sim"));
    k12::ChooseLanguage(k12::Language::English);

    QCommandLineParser parser;
    parser.setApplicationDescription(UnitSimTr::tr(
        "Emulates angle units on pseudo-terminals until interrupted (SIGINT or SIGTERM).\n"
        "Prints one line per unit, \"COM<n> <device>\" (or only the device when no COM numbers\n"
        "are given). Lists are comma-separated, one item per unit; the last item repeats."));
    parser.addHelpOption();
    const QCommandLineOption unitsOpt({QStringLiteral("n"), QStringLiteral("units")},
                                      UnitSimTr::tr("Number of units (1..16, default 1)."),
                                      QStringLiteral("N"), QStringLiteral("1"));
    const QCommandLineOption comOpt(
        QStringLiteral("com"),
        UnitSimTr::tr("Register the units as these COM numbers in section [Ports] of "
                  "~/.config/K12INC/K12INC.ini while running (e.g. 1,2)."),
        QStringLiteral("LIST"));
    const QCommandLineOption waveOpt(
        QStringLiteral("wave"),
        UnitSimTr::tr("Waveform per unit: constant, sine, ramp, noise, counter (1, 2, 3, ...), "
                  "clock (the unit's stream periods since the start) (default constant)."),
        QStringLiteral("LIST"), QStringLiteral("constant"));
    const QCommandLineOption levelOpt(
        QStringLiteral("level"),
        UnitSimTr::tr("Constant reading, sine offset or noise centre per unit (default 12.5)."),
        QStringLiteral("LIST"), QStringLiteral("12.5"));
    const QCommandLineOption periodOpt(
        QStringLiteral("period"),
        UnitSimTr::tr("Streaming period in milliseconds per unit (default 100)."),
        QStringLiteral("LIST"), QStringLiteral("100"));
    const QCommandLineOption faultOpt(
        QStringLiteral("fault"),
        UnitSimTr::tr("Fault per unit: none, silent, one-char, bare-lf, garbage, cr-only "
                  "(streamed lines end with CR alone) (default none)."),
        QStringLiteral("LIST"), QStringLiteral("none"));
    const QCommandLineOption delayOpt(
        QStringLiteral("delay"), UnitSimTr::tr("Reply delay in milliseconds per unit (default 0)."),
        QStringLiteral("LIST"), QStringLiteral("0"));
    const QCommandLineOption hangOpt(
        QStringLiteral("hang-up-after"),
        UnitSimTr::tr("Hang up after sending this many lines, per unit (default -1: never)."),
        QStringLiteral("LIST"), QStringLiteral("-1"));
    const QCommandLineOption returnOpt(
        QStringLiteral("return-after"),
        UnitSimTr::tr("After a hang-up, come back this many milliseconds later on a new "
                  "pseudo-terminal, per unit (default -1: never)."),
        QStringLiteral("LIST"), QStringLiteral("-1"));
    const QCommandLineOption spellOpt(
        QStringLiteral("silent-spell"),
        UnitSimTr::tr("AFTER:COUNT per unit: after answering AFTER commands, answer none of the "
                  "next COUNT, then answer again (default none)."),
        QStringLiteral("LIST"), QStringLiteral("none"));
    const QCommandLineOption errorSpellOpt(
        QStringLiteral("error-spell"),
        UnitSimTr::tr("AFTER:COUNT per unit: after streaming AFTER lines, stream \"   ERROR\" in "
                  "place of the next COUNT readings (default none)."),
        QStringLiteral("LIST"), QStringLiteral("none"));
    const QCommandLineOption powerCutOpt(
        QStringLiteral("power-cut-after"),
        UnitSimTr::tr("Lose power after streaming this many lines, with the line left open: "
                  "stop streaming until the next RUN00, per unit (default -1: never)."),
        QStringLiteral("LIST"), QStringLiteral("-1"));
    const QCommandLineOption linkOpt(
        QStringLiteral("link"),
        UnitSimTr::tr("Give unit n the symbolic link DIR/unit<n> to its device, the way a "
                  "/dev/serial/by-id link follows a USB adapter: gone while the unit is "
                  "hung up, pointing at its new device when it comes back. The links are "
                  "printed and registered with --com instead of the devices."),
        QStringLiteral("DIR"));
    parser.addOptions({unitsOpt, comOpt, waveOpt, levelOpt, periodOpt, faultOpt, delayOpt, hangOpt,
                       returnOpt, spellOpt, errorSpellOpt, powerCutOpt, linkOpt});
    parser.process(app);
    if (!parser.positionalArguments().isEmpty())
        return fail(UnitSimTr::tr("unexpected argument %1").arg(parser.positionalArguments()[0]));

    bool ok = false;
    const int n = parser.value(unitsOpt).toInt(&ok);
    if (!ok || n < 1 || n > 16)
        return fail(UnitSimTr::tr("--units must be 1..16"));

    QStringList waves, levels, periods, faults, delays, hangs, returns, spells, errorSpells, cuts;
    if (!expandList(parser.value(waveOpt), n, waves) ||
        !expandList(parser.value(levelOpt), n, levels) ||
        !expandList(parser.value(periodOpt), n, periods) ||
        !expandList(parser.value(faultOpt), n, faults) ||
        !expandList(parser.value(delayOpt), n, delays) ||
        !expandList(parser.value(hangOpt), n, hangs) ||
        !expandList(parser.value(returnOpt), n, returns) ||
        !expandList(parser.value(spellOpt), n, spells) ||
        !expandList(parser.value(errorSpellOpt), n, errorSpells) ||
        !expandList(parser.value(powerCutOpt), n, cuts))
        return fail(UnitSimTr::tr("empty item in a list"));
    QString linkDir;
    if (parser.isSet(linkOpt)) {
        linkDir = QDir(parser.value(linkOpt)).absolutePath();
        if (!QDir().mkpath(linkDir))
            return fail(UnitSimTr::tr("cannot make the folder %1").arg(linkDir));
    }
    std::vector<int> comNumbers;
    if (parser.isSet(comOpt)) {
        const QStringList items = parser.value(comOpt).split(QLatin1Char(','));
        if (items.size() != n)
            return fail(UnitSimTr::tr("--com needs one COM number per unit"));
        for (const QString& item : items) {
            const int com = item.trimmed().toInt(&ok);
            if (!ok || com < 1 || com > 256)
                return fail(UnitSimTr::tr("bad COM number %1").arg(item));
            comNumbers.push_back(com);
        }
    }

    std::vector<k12::SimUnitConfig> configs(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        k12::SimUnitConfig& c = configs[size_t(i)];
        const auto wave = k12::ParseWaveform(waves[i].toStdString());
        if (!wave)
            return fail(UnitSimTr::tr("unknown waveform %1").arg(waves[i]));
        c.waveform = *wave;
        c.level = levels[i].toDouble(&ok);
        if (!ok)
            return fail(UnitSimTr::tr("bad level %1").arg(levels[i]));
        const QString& fault = faults[i];
        if (fault == QLatin1String("silent"))
            c.silent = true;
        else if (fault == QLatin1String("one-char"))
            c.oneCharReplies = true;
        else if (fault == QLatin1String("bare-lf"))
            c.bareLf = true;
        else if (fault == QLatin1String("garbage"))
            c.garbage = true;
        else if (fault == QLatin1String("cr-only"))
            c.crOnly = true;
        else if (fault != QLatin1String("none"))
            return fail(UnitSimTr::tr("unknown fault %1").arg(fault));
        c.replyDelayMs = delays[i].toInt(&ok);
        if (!ok || c.replyDelayMs < 0)
            return fail(UnitSimTr::tr("bad delay %1").arg(delays[i]));
        c.hangUpAfterLines = hangs[i].toInt(&ok);
        if (!ok)
            return fail(UnitSimTr::tr("bad line count %1").arg(hangs[i]));
        c.returnAfterMs = returns[i].toInt(&ok);
        if (!ok)
            return fail(UnitSimTr::tr("bad return time %1").arg(returns[i]));
        const int period = periods[i].toInt(&ok);
        if (!ok || period < 1)
            return fail(UnitSimTr::tr("--period must be a positive number of milliseconds"));
        c.streamPeriodMs = period;
        if (!parseSpell(spells[i], c.silentAfterCommands, c.silentForCommands))
            return fail(UnitSimTr::tr("bad silent spell %1 (AFTER:COUNT)").arg(spells[i]));
        if (!parseSpell(errorSpells[i], c.errorAfterLines, c.errorForReadings))
            return fail(UnitSimTr::tr("bad error spell %1 (AFTER:COUNT)").arg(errorSpells[i]));
        c.powerCutAfterLines = cuts[i].toInt(&ok);
        if (!ok)
            return fail(UnitSimTr::tr("bad line count %1").arg(cuts[i]));
        if (!linkDir.isEmpty())
            c.linkPath = QStringLiteral("%1/unit%2").arg(linkDir).arg(i + 1);
    }

    // The serving thread inherits this mask; the main thread takes the signals with sigwait.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    k12::UnitSimulator sim(configs);
    try {
        sim.start();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "k12inc-unit-sim: %s\n", e.what());
        return 1;
    }

    QSettings settings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("K12INC"),
                       QStringLiteral("K12INC"));
    std::map<QString, QVariant> previous; // restored on exit
    // What a client opens: the link when there is one, since it outlives the device.
    const auto shownPath = [&](int i) {
        return linkDir.isEmpty() ? sim.devicePath(i) : configs[size_t(i)].linkPath;
    };
    for (size_t i = 0; i < comNumbers.size(); ++i) {
        const QString key = QStringLiteral("Ports/COM%1").arg(comNumbers[i]);
        previous[key] = settings.value(key);
        settings.setValue(key, shownPath(int(i)));
    }
    settings.sync();
    if (settings.status() != QSettings::NoError) {
        fail(UnitSimTr::tr("cannot write %1").arg(settings.fileName()));
        return 1;
    }

    for (int i = 0; i < n; ++i) {
        if (comNumbers.empty())
            std::printf("%s\n", qPrintable(shownPath(i)));
        else
            std::printf("COM%d %s\n", comNumbers[size_t(i)], qPrintable(shownPath(i)));
    }
    std::fflush(stdout);

    int signal = 0;
    sigwait(&stopSignals, &signal);
    sim.stop();
    for (const auto& [key, value] : previous) {
        if (value.isValid())
            settings.setValue(key, value);
        else
            settings.remove(key);
    }
    settings.sync();
    return 0;
}
