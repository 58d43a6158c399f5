// SPDX-License-Identifier: GPL-3.0-or-later
#include "Recorder.h"

#include "measurement/Conversions.h"

#include <QStringList>
#include <algorithm>
#include <csignal>

namespace k12 {

namespace {

QString Pieces(int n) {
    return n == 1 ? Recorder::tr("1 piece") : Recorder::tr("%1 pieces").arg(n);
}

QString SignalName(int signo) {
    switch (signo) {
    case SIGINT:
        return QStringLiteral("SIGINT");
    case SIGTERM:
        return QStringLiteral("SIGTERM");
    case SIGHUP:
        return QStringLiteral("SIGHUP");
    default:
        return Recorder::tr("signal %1").arg(signo);
    }
}

} // namespace

Recorder::Recorder(ModuleData& md, RunEngine& engine, const Clock& clock, Console& console,
                   bool quiet)
    : md_(md), engine_(engine), clock_(clock), console_(console), quiet_(quiet) {
    connect(&stepTimer_, &QTimer::timeout, this, &Recorder::Step);
    connect(&statusTimer_, &QTimer::timeout, this, &Recorder::ShowStatus);
}

std::optional<int> Recorder::Start(const QString& description) {
    if (const auto failure = engine_.OpenUnits()) {
        console_.Problem(failure->text);
        return EXIT_RUN_FAILED;
    }
    // The start would set it aside anyway; saying so tells where its rows went.
    if (const auto left = engine_.FindLeftover()) {
        console_.Problem(tr("a run journal left by an earlier program (start %1, %2 "
                            "rows) is kept in %3")
                             .arg(left->startTime.trimmed())
                             .arg(left->rows)
                             .arg(engine_.Journal().UnsavedFolder()));
        if (const auto error = engine_.SetLeftoverAside()) {
            console_.Problem(*error);
        }
    }
    startMs_ = clock_.monotonicMs();
    const RunReport report = engine_.Start();
    journalPath_ = engine_.JournalPath();
    console_.Event(
        tr("started %1: %2; %3")
            .arg(md_.StartTime, description,
                 !journalPath_.isEmpty() ? tr("journal %1").arg(journalPath_) : tr("no journal")));
    Handle(report, End::AtStart);
    if (exitStatus_) {
        return exitStatus_;
    }
    stepTimer_.start(md_.TimerType ? md_.PcTimerInterval : RunEngine::DEVICE_STEP_MS);
    if (!quiet_) {
        statusTimer_.start(1000);
        if (console_.Terminal()) {
            ShowStatus();
        }
    }
    return std::nullopt;
}

void Recorder::StopOnSignal(int signo) {
    if (stopping_ || exitStatus_) {
        console_.Event(tr("%1 ignored: the run is ending").arg(SignalName(signo)));
        return;
    }
    stopping_ = true;
    console_.Event(tr("%1: stopping the run").arg(SignalName(signo)));
    Handle(engine_.Stop(tr("stopped by %1").arg(SignalName(signo))), End::Signal, signo);
    if (exitStatus_) {
        Q_EMIT finished(*exitStatus_);
    }
}

void Recorder::Step() {
    Handle(md_.TimerType ? engine_.PcTimerTick() : engine_.DevTimerTick(), End::InStep);
    if (exitStatus_) {
        Q_EMIT finished(*exitStatus_);
    }
}

void Recorder::Handle(const RunReport& report, End cause, int signo) {
    if (report.ended) {
        stepTimer_.stop();
        statusTimer_.stop();
        if (!quiet_ && console_.Terminal()) {
            ShowStatus();
        }
        console_.EndStatus();
        for (const RunMessage& m : report.beforeStop) {
            console_.Problem(m.text);
        }
    }
    if (report.stored) {
        ReportUnitChanges();
    }
    for (const WrittenPiece& piece : report.piecesWritten) {
        console_.Event(
            tr("piece %1 written: %2 (%3 rows)").arg(piece.number).arg(piece.path).arg(piece.rows));
    }
    for (const RunMessage& m : report.notices) {
        console_.Problem(m.text);
    }
    for (const AlertTransition& t : report.alerts) {
        console_.Event(AlertEventLine(t));
    }
    for (const FeedNotice& n : report.feedNotices) {
        console_.Event(n.line);
    }
    if (!report.ended) {
        journalPath_ = engine_.JournalPath();
        return;
    }
    exitStatus_ = Ending(report, cause, signo);
}

int Recorder::Ending(const RunReport& report, End cause, int signo) {
    for (const RunMessage& m : report.afterStop) {
        console_.Problem(m.text);
    }
    int status = EXIT_RUN_DONE;
    QString why;
    if (cause == End::Signal) {
        why = tr("stopped by %1").arg(SignalName(signo));
    } else if (report.durationOver) {
        why = tr("the run duration of %1 min is over").arg(md_.StopAfterMinutes);
    } else {
        why = cause == End::AtStart ? tr("the run could not start") : tr("a fault ended the run");
        status = EXIT_RUN_FAILED;
    }
    const int last = engine_.Rows().Current() + 1;
    const bool lastWritten =
        std::any_of(report.piecesWritten.begin(), report.piecesWritten.end(),
                    [last](const WrittenPiece& piece) { return piece.number == last; });
    if (md_.SampleCount >= 1 && !lastWritten) {
        console_.Problem(
            !journalPath_.isEmpty()
                ? tr("the last piece (%1 rows) was not written; its rows stay in the "
                     "run journal %2")
                      .arg(md_.SampleCount)
                      .arg(journalPath_)
                : tr("the last piece (%1 rows) was not written and is lost").arg(md_.SampleCount));
        status = EXIT_RUN_FAILED;
    }
    console_.Event(tr("ended: %1; %2, %3 rows, %4")
                       .arg(why, Elapsed())
                       .arg(RunRows())
                       .arg(Pieces(engine_.PiecesWritten())));
    return status;
}

void Recorder::ReportUnitChanges() {
    for (int i = 0; i < UNIT_COUNT; ++i) {
        const bool error = engine_.ShowsError(i);
        if (error == shownError_[size_t(i)]) {
            continue;
        }
        shownError_[size_t(i)] = error;
        if (error) {
            const QString reason = engine_.LastError(i);
            console_.Event(reason.isEmpty() ? tr("unit %1 down").arg(i + 1)
                                            : tr("unit %1 down: %2").arg(i + 1).arg(reason));
        } else {
            console_.Event(tr("unit %1 back").arg(i + 1));
        }
    }
}

void Recorder::ShowStatus() {
    // On a terminal the line follows the run; a log gets a line as each minute of it is full.
    if (!console_.Terminal()) {
        const qint64 minutes = (clock_.monotonicMs() - startMs_) / 60000;
        if (minutes <= minutesShown_) {
            return;
        }
        minutesShown_ = minutes;
    }
    console_.Status(StatusText());
}

QString Recorder::StatusText() const {
    QStringList units;
    int down = 0;
    for (int i = 0; i < UNIT_COUNT; ++i) {
        if (md_.Units[size_t(i)].Mflag) {
            units << QStringLiteral("%1:%2").arg(i + 1).arg(UnitValue(i));
            down += engine_.ShowsError(i) ? 1 : 0;
        }
    }
    QString text = tr("%1  %2 rows  %3  %4  %5 down")
                       .arg(Elapsed())
                       .arg(RunRows())
                       .arg(units.join(QLatin1Char(' ')), Pieces(engine_.PiecesWritten()))
                       .arg(down);
    if (const FeedPublisher* feed = engine_.Feed()) {
        text += QStringLiteral("  ") + FeedStatusWords(feed->Health());
    }
    return text;
}

QString Recorder::UnitValue(int i) const {
    if (engine_.ShowsError(i)) {
        return tr("error");
    }
    const std::optional<float> v = engine_.Newest(i);
    return v ? FormatFixed3(*v) : QStringLiteral("-");
}

qint64 Recorder::RunRows() const {
    return engine_.RunRowCount();
}

QString Recorder::Elapsed() const {
    const qint64 s = std::max<qint64>(0, clock_.monotonicMs() - startMs_) / 1000;
    return QStringLiteral("%1:%2:%3")
        .arg(s / 3600)
        .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(s % 60, 2, 10, QLatin1Char('0'));
}

} // namespace k12
