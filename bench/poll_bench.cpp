// SPDX-License-Identifier: GPL-3.0-or-later
// One PC-timer poll: a reading from each of four simulated units over pseudo-terminals, through
// the real serial port and unit driver.
#include "BenchUtil.h"
#include "UnitSimulator.h"
#include "measurement/ModuleData.h"
#include "platform/QtSerialPort.h"

#include <QCoreApplication>
#include <cstdio>

using namespace k12;
using namespace k12::bench;

namespace {

constexpr int kRuns = 41;

class PrintingMessageBox final : public MessageBox {
  public:
    MsgAnswer show(const QString& text, const QString&, MsgButtons, MsgIcon) override {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
        ++count;
        return MsgAnswer::Ok;
    }
    void notify(const QString& text, const QString& title, MsgIcon icon) override {
        show(text, title, MsgButtons::Ok, icon);
    }
    int count = 0;
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    std::vector<SimUnitConfig> units(UNIT_COUNT);
    for (int u = 0; u < UNIT_COUNT; ++u) {
        units[static_cast<std::size_t>(u)].level = 10.0 * (u + 1);
    }
    UnitSimulator sim(units);
    sim.start();

    PrintingMessageBox messages;
    int made = 0;
    ModuleData md([&] { return QtSerialPort::ForDevice(sim.devicePath(made++)); }, messages);
    md.InitDataArea();
    md.ClearData();
    for (int u = 0; u < UNIT_COUNT; ++u) {
        md.Units[static_cast<std::size_t>(u)].Mflag = true;
        md.Units[static_cast<std::size_t>(u)].ComPort = static_cast<int16_t>(u + 1);
    }
    if (!md.DevOpenAll()) {
        return 1;
    }
    bool ok = true;
    const Timing poll = Measure(kRuns, [&](int) {
        ok = md.GetDegreeAll() && ok;
        md.SampleCount += 1;
    });
    ok = ok && md.Units[3].Data[0] == 40.0f && md.Units[0].DataCount == kRuns;
    md.UnloadDrivers();
    sim.stop();

    Report("PC-timer poll, 4 simulated units on ptys", poll);
    return ok && messages.count == 0 ? 0 : 1;
}
