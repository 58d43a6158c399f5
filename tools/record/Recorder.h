// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Console.h"
#include "acquisition/RunEngine.h"

#include <QObject>
#include <QTimer>
#include <array>
#include <optional>

namespace k12 {

// Exit statuses: a run that ended as asked (a signal, its duration), a run that could not start
// or that a fault ended (a service retries), a refused command line or settings (it does not).
constexpr int EXIT_RUN_DONE = 0;
constexpr int EXIT_RUN_FAILED = 1;
constexpr int EXIT_REFUSED = 2;

// Drives a run engine without a window: paces its steps with its own timers, reports what each
// step did on the console and ends the run on a signal.
class Recorder : public QObject {
    Q_OBJECT
  public:
    // `quiet`: events only, no status.
    Recorder(ModuleData& md, RunEngine& engine, const Clock& clock, Console& console, bool quiet);

    // Opens the units and starts the run; `description` says what is measured. The exit status
    // when the run did not start or ended at once, else nullopt: finished() tells the end.
    std::optional<int> Start(const QString& description);
    // SIGINT, SIGTERM, SIGHUP: the run ends as 停止 ends it, with its last piece. Signals that
    // come while it ends change nothing.
    void StopOnSignal(int signo);

  Q_SIGNALS:
    void finished(int exitStatus);

  private:
    enum class End { AtStart, InStep, Signal };

    void Step();
    void Handle(const RunReport& report, End cause, int signo = 0);
    void ReportUnitChanges();
    int Ending(const RunReport& report, End cause, int signo);
    void ShowStatus();
    QString StatusText() const;
    QString UnitValue(int i) const;
    qint64 RunRows() const;
    QString Elapsed() const;

    ModuleData& md_;
    RunEngine& engine_;
    const Clock& clock_;
    Console& console_;
    bool quiet_;
    QTimer stepTimer_;
    QTimer statusTimer_;
    qint64 startMs_ = 0;
    // Whole minutes of the run that a log has a status line for.
    qint64 minutesShown_ = 0;
    std::array<bool, UNIT_COUNT> shownError_{};
    // The journal file of the run's current rows at the last step; empty: none.
    QString journalPath_;
    bool stopping_ = false;
    std::optional<int> exitStatus_;
};

} // namespace k12
