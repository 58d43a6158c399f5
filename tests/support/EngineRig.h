// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "FakeClock.h"
#include "FakeMessageBox.h"
#include "FakeSerialPort.h"
#include "FakeSettingsStore.h"
#include "RunSetup.h"
#include "UnitSimulator.h"
#include "acquisition/RunEngine.h"
#include "data_files/DataFile.h"
#include "platform/QtSerialPort.h"
#include "settings/MeasInfo.h"

#include <QByteArrayList>
#include <QFile>
#include <QMap>
#include <QMetaType>
#include <memory>
#include <optional>
#include <vector>

namespace k12::test {

// How a rig is built, besides the run it is set up for.
struct RigOptions {
    // The run journal's folder (the rig's own state folder); empty: no journal.
    QString stateFolder{};
    // Simulated units on pseudo-terminals through the real serial port, unit i's COM number
    // standing for its link (when it has one) or its device; without them, fake ports.
    std::vector<SimUnitConfig> simUnits{};
    int streamPeriodMs = 20;
    // The engine on the system clock, for runs paced by the units' own streaming.
    bool realClock = false;
    // Settings an earlier program left, read instead of the setup's (empty: a first start).
    std::optional<QMap<QString, QString>> savedSettings{};
    // The disk as the program has it (threads of their own), and how the pieces are written;
    // by default the rig's disk is written at once.
    bool threadedDisk = false;
    std::function<std::unique_ptr<TaskQueue>()> pieceQueue{};
};

// A simulated unit whose readings count 1, 2, 3, ...
inline SimUnitConfig CounterUnit() {
    SimUnitConfig c;
    c.waveform = Waveform::Counter;
    return c;
}

// A reading line as a unit sends it: eight characters, then CR LF.
inline QByteArray ReadingLine(double v) {
    return QByteArray::number(v, 'f', 3).rightJustified(8, ' ') + "\r\n";
}

// n reading lines (without CR LF): first, first + 1, ...
inline QByteArrayList Readings(int n, double first) {
    QByteArrayList lines;
    for (int k = 0; k < n; ++k) {
        lines << ReadingLine(first + k).chopped(2);
    }
    return lines;
}

inline QStringList Texts(const std::vector<RunMessage>& messages) {
    QStringList texts;
    for (const RunMessage& m : messages) {
        texts << m.text;
    }
    return texts;
}

// A saved data file, parsed; empty when it cannot be read.
inline DataFileContent SavedFile(const QString& path) {
    auto parsed = ParseDataFile(path);
    auto* content = std::get_if<DataFileContent>(&parsed);
    return content ? *content : DataFileContent{};
}

inline QByteArray FileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A run engine over units that answer every command as healthy units do (scripted fake ports,
// or simulated units), its settings written from a run setup and read back as the program reads
// them, a fake clock and, with a state folder, a journal there (on the rig's own time).
class EngineRig {
  public:
    explicit EngineRig(RunSetup setup = {}, const RigOptions& options = {})
        : journal(options.stateFolder, messages, JournalClock(options), DiskQueue(options)),
          md(PortFactory(options), messages),
          engine(md, options.realClock ? static_cast<const Clock&>(systemClock) : clock, journal,
                 options.pieceQueue ? options.pieceQueue() : DiskQueue(options)) {
        if (!options.simUnits.empty()) {
            sim = std::make_unique<UnitSimulator>(options.simUnits, options.streamPeriodMs);
            sim->start();
            for (int i = 0; i < sim->unitCount(); ++i) {
                const QString& link = options.simUnits[size_t(i)].linkPath;
                setup.devices.push_back({i + 1, link.isEmpty() ? sim->devicePath(i) : link});
            }
        }
        if (options.savedSettings) {
            settings.values = *options.savedSettings;
        } else {
            WriteSetup(setup, settings);
        }
        md.InitDataArea();
        LoadMeasInfo(md, settings);
        LoadOptions(md, settings);
        md.ClearData();
    }
    EngineRig(const EngineRig&) = delete;
    EngineRig& operator=(const EngineRig&) = delete;

    FakeSerialPort& port(int unit) { return dynamic_cast<FakeSerialPort&>(md.Driver(unit).Port()); }

    // Starts as the window does, without its questions; the report of the start.
    RunReport start() {
        if (engine.StartRefusal() || engine.OpenUnits()) {
            return {};
        }
        return engine.Start();
    }

    // Lines (CR LF added) that reach unit i's port; its driver has not taken them yet.
    void arrive(int unit, const QByteArrayList& lines) {
        QByteArray bytes;
        for (const QByteArray& line : lines) {
            bytes += line + "\r\n";
        }
        port(unit).feed(bytes);
        port(unit).advance(1);
    }
    // The same, taken by the driver as its receive timer would.
    void receive(int unit, const QByteArrayList& lines) {
        arrive(unit, lines);
        md.Driver(unit).OnTimer1();
    }
    void receive(int unit, std::initializer_list<double> values) {
        QByteArrayList lines;
        for (double v : values) {
            lines << ReadingLine(v).chopped(2);
        }
        receive(unit, lines);
    }

    // A PC-timer tick (the clock stands still), and a device-timer step 100 ms after the last.
    RunReport tick() { return engine.PcTimerTick(); }
    RunReport step() {
        clock.advance(RunEngine::DEVICE_STEP_MS);
        return engine.DevTimerTick();
    }

    // Puts rows 0..n-1 with value base+row into every unit in use.
    void fillRows(int32_t n, float base = 0.0f) {
        for (auto& u : md.Units) {
            if (!u.Mflag) {
                continue;
            }
            for (int32_t r = 0; r < n; ++r) {
                u.Data[r] = base + static_cast<float>(r);
            }
            u.DataCount = n;
        }
        md.SampleCount = n;
        if (md.Measuring) {
            engine.RowsFilledForTest(n);
        }
    }

    // The units' stored readings are a counter's values: first, first + 1, ...
    bool consecutive(std::initializer_list<int> units, float first = 1.0f) const {
        for (int i : units) {
            const UnitRecord& u = md.Units[i];
            for (int32_t r = 0; r < u.DataCount; ++r) {
                if (u.Data[r] != first + static_cast<float>(r)) {
                    qWarning("unit %d row %d: %g, expected %g", i + 1, r, double(u.Data[r]),
                             double(first + static_cast<float>(r)));
                    return false;
                }
            }
        }
        return true;
    }

    FakeMessageBox messages;
    FakeClock clock;
    SystemClock systemClock;
    FakeSettingsStore settings;
    // Outlives the ports: the store below owns them.
    std::unique_ptr<UnitSimulator> sim;
    std::vector<FakeSerialPort*> ports;
    RunJournal journal;
    ModuleData md;
    RunEngine engine;

  private:
    // On the rig's own time the disk is written at once, so every check sees what a step did.
    static std::unique_ptr<TaskQueue> DiskQueue(const RigOptions& options) {
        if (options.realClock || options.threadedDisk) {
            return std::make_unique<ThreadTaskQueue>();
        }
        return std::make_unique<InlineTaskQueue>();
    }
    std::function<qint64()> JournalClock(const RigOptions& options) {
        if (options.realClock) {
            return {};
        }
        return [this] { return clock.monotonic; };
    }
    SerialPortFactory PortFactory(const RigOptions& options) {
        if (!options.simUnits.empty()) {
            return [this] { return std::make_unique<QtSerialPort>(settings); };
        }
        return [this] {
            auto port = MakeAnsweringPort();
            ports.push_back(port.get());
            return port;
        };
    }
};

} // namespace k12::test
