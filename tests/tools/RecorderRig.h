// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "RunSetup.h"
#include "RunTool.h"
#include "UnitSimulator.h"
#include "data_files/DataFile.h"
#include "platform/QtSettingsStore.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <functional>

namespace k12::test {

// k12inc-record as a child process, against simulated units on pseudo-terminals, with private
// settings, state and data folders.
class RecorderRig {
  public:
    explicit RecorderRig(std::vector<SimUnitConfig> units = {Counter(), Counter()},
                         int periodMs = 100)
        : sim(std::move(units), periodMs) {
        sim.start();
        QDir(dir.path()).mkpath(QStringLiteral("data"));
    }
    ~RecorderRig() {
        if (proc.state() != QProcess::NotRunning) {
            proc.kill();
            proc.waitForFinished();
        }
    }
    RecorderRig(const RecorderRig&) = delete;
    RecorderRig& operator=(const RecorderRig&) = delete;

    static SimUnitConfig Counter() {
        SimUnitConfig c;
        c.waveform = Waveform::Counter;
        return c;
    }

    QString path(const QString& name) const { return QDir(dir.path()).filePath(name); }
    QString folder() const { return path(QStringLiteral("data")); }
    // The journal's folder (XDG_STATE_HOME/K12INC); stateHome shares another rig's.
    QString stateFolder() const {
        return (stateHome.isEmpty() ? path(QStringLiteral("state")) : stateHome) +
               QStringLiteral("/K12INC");
    }
    QString settingsFile() const { return path(QStringLiteral("site.ini")); }

    // The settings file, written by the settings code: every simulated unit in use on COM1,
    // COM2, ..., the device timer at 100 ms, no options; `changes` ("Section/Key" -> text)
    // replace or add keys, also with texts the program would never write.
    void writeSettings(const QMap<QString, QString>& changes = {}) const {
        RunSetup setup{.units = {}, .pcTimer = false, .interval = 100};
        for (int i = 0; i < sim.unitCount(); ++i) {
            setup.units.push_back(i);
            setup.devices.push_back({i + 1, sim.devicePath(i)});
        }
        QtSettingsStore store(settingsFile());
        WriteSetup(setup, store);
        for (auto it = changes.cbegin(); it != changes.cend(); ++it) {
            store.write(it.key().section(QLatin1Char('/'), 0, 0),
                        it.key().section(QLatin1Char('/'), 1), it.value());
        }
        QVERIFY(store.sync().isEmpty());
    }

    // Starts the recorder on the settings file (with `--config` first unless args name one).
    void start(QStringList args) {
        if (!args.contains(QStringLiteral("--config"))) {
            args.prepend(settingsFile());
            args.prepend(QStringLiteral("--config"));
        }
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), dir.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), path(QStringLiteral("config")));
        env.insert(QStringLiteral("XDG_STATE_HOME"),
                   stateHome.isEmpty() ? path(QStringLiteral("state")) : stateHome);
        proc.setProcessEnvironment(env);
        out.clear();
        err.clear();
        proc.start(ToolPath(QStringLiteral("k12inc-record")), args);
        QVERIFY(proc.waitForStarted());
    }

    // Reads the output until `done` holds or ms pass.
    bool waitUntil(const std::function<bool()>& done, int ms = 10000) {
        const QDeadlineTimer deadline(ms);
        while (!done()) {
            if (deadline.hasExpired() || proc.state() == QProcess::NotRunning) {
                take();
                return done();
            }
            proc.waitForReadyRead(50);
            take();
        }
        return true;
    }
    bool waitForOutput(const QString& text, int ms = 10000) {
        return waitUntil([&] { return out.contains(text); }, ms);
    }

    void signal(int signo) const { ::kill(static_cast<pid_t>(proc.processId()), signo); }

    // The exit status once the recorder ended (-1 for a crash or a kill).
    int finish(int ms = 15000) {
        if (!proc.waitForFinished(ms)) {
            proc.kill();
            proc.waitForFinished();
        }
        take();
        return proc.exitStatus() == QProcess::NormalExit ? proc.exitCode() : -1;
    }

    // The data files in the folder, by name.
    QStringList pieces() const {
        return QDir(folder()).entryList({QStringLiteral("*.zr5")}, QDir::Files, QDir::Name);
    }

    static DataFileContent Read(const QString& path) {
        auto parsed = ParseDataFile(path);
        auto* content = std::get_if<DataFileContent>(&parsed);
        return content ? *content : DataFileContent{};
    }

    QTemporaryDir dir;
    QString stateHome;
    UnitSimulator sim;
    QProcess proc;
    QString out;
    QString err;

  private:
    void take() {
        out += QString::fromUtf8(proc.readAllStandardOutput());
        err += QString::fromUtf8(proc.readAllStandardError());
    }
};

} // namespace k12::test
