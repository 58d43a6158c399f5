// SPDX-License-Identifier: GPL-3.0-or-later
#include "RecordSetup.h"

#include "feed/FeedConfig.h"
#include "platform/PortMap.h"
#include "settings/MeasInfo.h"

#include <QCoreApplication>
#include <QDir>

namespace k12 {

namespace {

// The context of the texts below in the translations.
struct RecordTr {
    Q_DECLARE_TR_FUNCTIONS(Record)
};

// A whole number lo..hi, nothing else around it.
std::optional<int> NumberIn(const QString& text, int lo, int hi) {
    bool ok = false;
    const int v = text.toInt(&ok);
    if (!ok || v < lo || v > hi) {
        return std::nullopt;
    }
    return v;
}

std::optional<std::array<bool, UNIT_COUNT>> UnitList(const QString& text) {
    std::array<bool, UNIT_COUNT> used{};
    for (const QString& item : text.split(QLatin1Char(','))) {
        const auto n = NumberIn(item.trimmed(), 1, UNIT_COUNT);
        if (!n || used[size_t(*n - 1)]) {
            return std::nullopt;
        }
        used[size_t(*n - 1)] = true;
    }
    return used;
}

} // namespace

std::variant<RecordOptions, QString> ParseRecordArgs(const QStringList& args) {
    RecordOptions o;
    static const QStringList withValue{
        QStringLiteral("--config"),       QStringLiteral("--units"),   QStringLiteral("--pc-timer"),
        QStringLiteral("--device-timer"), QStringLiteral("--minutes"), QStringLiteral("--folder"),
        QStringLiteral("--feed")};
    bool timerSet = false;
    for (qsizetype k = 0; k < args.size(); ++k) {
        QString name = args[k];
        std::optional<QString> value;
        if (const qsizetype eq = name.indexOf(QLatin1Char('=')); name.startsWith(u"--") && eq > 0) {
            value = name.mid(eq + 1);
            name.truncate(eq);
        }
        if (withValue.contains(name)) {
            if (!value) {
                if (k + 1 >= args.size()) {
                    return RecordTr::tr("%1 needs a value").arg(name);
                }
                value = args[++k];
            }
        } else if (value) {
            return RecordTr::tr("%1 takes no value").arg(name);
        }
        if (name == u"--help" || name == u"-h") {
            o.help = true;
        } else if (name == u"--quiet") {
            o.quiet = true;
        } else if (name == u"--continue-on-error") {
            o.continueOnError = true;
        } else if (name == u"--config") {
            if (value->isEmpty()) {
                return RecordTr::tr("--config needs a file name");
            }
            o.configFile = *value;
        } else if (name == u"--units") {
            o.units = UnitList(*value);
            if (!o.units) {
                return RecordTr::tr("--units \"%1\" is not a list of different units 1..4 "
                                 "(e.g. 1,3)")
                    .arg(*value);
            }
        } else if (name == u"--pc-timer" || name == u"--device-timer") {
            const bool pc = name == u"--pc-timer";
            if (timerSet && *o.pcTimer != pc) {
                return RecordTr::tr("--pc-timer and --device-timer exclude each other");
            }
            // The interval is kept in milliseconds in 16 bits: 32 s at most.
            const auto n = pc ? NumberIn(*value, 1, 32) : NumberIn(*value, 1, 100);
            if (!n) {
                return pc ? RecordTr::tr("--pc-timer \"%1\" is not a number of seconds 1..32")
                                .arg(*value)
                          : RecordTr::tr("--device-timer \"%1\" is not a number of tenths of a "
                                      "second 1..100")
                                .arg(*value);
            }
            timerSet = true;
            o.pcTimer = pc;
            o.interval = static_cast<int16_t>(*n * (pc ? 1000 : 100));
        } else if (name == u"--minutes") {
            const auto n = NumberIn(*value, 0, MAX_RUN_MINUTES);
            if (!n) {
                return RecordTr::tr("--minutes \"%1\" is not a number of minutes 0..%2")
                    .arg(*value)
                    .arg(MAX_RUN_MINUTES);
            }
            o.minutes = *n;
        } else if (name == u"--folder") {
            if (value->isEmpty()) {
                return RecordTr::tr("--folder needs a folder");
            }
            o.folder = *value;
        } else if (name == u"--feed") {
            if (value->isEmpty()) {
                return RecordTr::tr("--feed needs a broker URL");
            }
            o.feed = *value;
        } else if (name.startsWith(QLatin1Char('-'))) {
            return RecordTr::tr("unknown option \"%1\"").arg(name);
        } else {
            return RecordTr::tr("unexpected argument \"%1\"").arg(name);
        }
    }
    return o;
}

void ApplyRecordOptions(const RecordOptions& o, MeasurementStore& store) {
    if (o.units) {
        for (int i = 0; i < UNIT_COUNT; ++i) {
            store.Units[size_t(i)].Mflag = (*o.units)[size_t(i)];
        }
    }
    if (o.pcTimer) {
        store.TimerType = *o.pcTimer;
        store.IntervalTM = o.interval;
    }
    if (o.continueOnError) {
        store.ContinueOnError = true;
    }
    if (o.minutes) {
        store.StopAfterMinutes = *o.minutes;
    }
    if (o.folder) {
        store.SaveFolder = *o.folder;
    }
    if (o.feed) {
        store.Feed.Broker = *o.feed;
    }
    store.ContinueWhenFull = true;
    if (!store.SaveFolder.isEmpty()) {
        store.SaveFolder = QDir::cleanPath(QDir(store.SaveFolder).absolutePath());
    }
}

std::optional<QString> SettingsRefusal(const MeasurementStore& store) {
    // The settings dialog makes only whole seconds and whole tenths; another interval would put
    // a false time into every file.
    const int ms = store.IntervalTM;
    if (store.TimerType ? ms % 1000 != 0 : ms < 100 || ms > 10000 || ms % 100 != 0) {
        return BadIntervalText();
    }
    for (int i = 0; i < UNIT_COUNT; ++i) {
        const UnitRecord& u = store.Units[size_t(i)];
        if (!u.Mflag) {
            continue;
        }
        if (u.ComPort < MIN_COM_PORT || u.ComPort > MAX_COM_PORT) {
            return BadPortText();
        }
        for (int j = i + 1; j < UNIT_COUNT; ++j) {
            if (store.Units[size_t(j)].Mflag && store.Units[size_t(j)].ComPort == u.ComPort) {
                return SharedPortText();
            }
        }
    }
    if (auto problem = SaveFolderProblem(store.SaveFolder)) {
        return problem;
    }
    if (auto problem = FeedSettingsProblem(store.Feed)) {
        return problem;
    }
    return AlertSettingsProblem(store.Alerts);
}

QString RunDescription(const MeasurementStore& store, const std::function<QString(int)>& device) {
    QStringList units;
    for (int i = 0; i < UNIT_COUNT; ++i) {
        const UnitRecord& u = store.Units[size_t(i)];
        if (u.Mflag) {
            units
                << QStringLiteral("%1 (COM%2 %3)").arg(i + 1).arg(u.ComPort).arg(device(u.ComPort));
        }
    }
    QString text = RecordTr::tr("units %1; ").arg(units.join(QStringLiteral(", ")));
    text += store.TimerType ? RecordTr::tr("PC timer %1 s").arg(store.IntervalTM / 1000)
                            : RecordTr::tr("device timer %1 ms").arg(store.IntervalTM);
    text += RecordTr::tr("; pieces into %1").arg(store.SaveFolder);
    if (store.StopAfterMinutes > 0) {
        text += RecordTr::tr("; stops after %1 min").arg(store.StopAfterMinutes);
    }
    if (store.ContinueOnError) {
        text += RecordTr::tr("; goes on through unit faults");
    }
    if (store.Feed.On()) {
        text += RecordTr::tr("; feed %1 topic %2").arg(store.Feed.Broker, FeedTopic(store.Feed));
    }
    const auto limits = ParseAlertSettings(store.Alerts);
    if (const auto* parsed = std::get_if<AlertLimits>(&limits)) {
        if (const QString alerts = AlertLimitsDescription(*parsed); !alerts.isEmpty()) {
            text += RecordTr::tr("; alerts %1").arg(alerts);
        }
    }
    return text;
}

} // namespace k12
