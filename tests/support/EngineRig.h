// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "FakeClock.h"
#include "FakeMessageBox.h"
#include "FakeSerialPort.h"
#include "acquisition/RunEngine.h"

#include <QByteArrayList>
#include <memory>
#include <vector>

namespace k12::test {

// What a run is set up for: the units in use (indexes, on COM index + 1), the timing and the
// options.
struct RunSetup {
    std::vector<int> units = {0};
    bool pcTimer = true;
    int interval = 1000;
    bool continueOnError = false;
};

// A reading line as a unit sends it: eight characters, then CR LF.
inline QByteArray ReadingLine(double v) {
    return QByteArray::number(v, 'f', 3).rightJustified(8, ' ') + "\r\n";
}

// A run engine over scripted units that answer every command as healthy units do, a fake clock
// and, with a folder, a journal there (on the rig's own time).
class EngineRig {
  public:
    explicit EngineRig(const RunSetup& setup = {}, const QString& journalFolder = {})
        : journal(journalFolder, messages, [this] { return clock.monotonic; }),
          md(
              [this] {
                  auto port = MakeAnsweringPort();
                  ports.push_back(port.get());
                  return port;
              },
              messages),
          engine(md, clock, journal) {
        md.InitDataArea();
        md.ClearData();
        for (int i = 0; i < UNIT_COUNT; ++i) {
            md.Units[i].ComPort = static_cast<int16_t>(i + 1);
        }
        for (int i : setup.units) {
            md.Units[i].Mflag = true;
        }
        md.TimerType = setup.pcTimer;
        md.IntervalTM = static_cast<int16_t>(setup.interval);
        md.ContinueOnError = setup.continueOnError;
    }

    FakeSerialPort& port(int unit) { return dynamic_cast<FakeSerialPort&>(md.Driver(unit).Port()); }

    // Starts as the window does, without its questions; the report of the start.
    RunReport start() {
        if (engine.StartRefusal() || engine.OpenUnits()) {
            return {};
        }
        return engine.Start();
    }

    // Unit i's driver takes these lines (CR LF added) as its receive timer would.
    void receive(int unit, const QByteArrayList& lines) {
        QByteArray bytes;
        for (const QByteArray& line : lines) {
            bytes += line + "\r\n";
        }
        port(unit).feed(bytes);
        port(unit).advance(1);
        md.Driver(unit).OnTimer1();
    }
    void receive(int unit, std::initializer_list<double> values) {
        QByteArrayList lines;
        for (double v : values) {
            lines << ReadingLine(v).chopped(2);
        }
        receive(unit, lines);
    }

    // A device-timer step 100 ms after the last.
    RunReport step() {
        clock.advance(RunEngine::DEVICE_STEP_MS);
        return engine.DevTimerTick();
    }

    FakeMessageBox messages;
    FakeClock clock;
    std::vector<FakeSerialPort*> ports;
    RunJournal journal;
    ModuleData md;
    RunEngine engine;
};

} // namespace k12::test
