// SPDX-License-Identifier: GPL-3.0-or-later
// The real main window, chart and serial ports against four simulated units on
// pseudo-terminals, for the long runs.
#pragma once

#include "FakeMessageBox.h"
#include "FakeSettingsStore.h"
#include "UnitSimulator.h"
#include "main_window/FormMain.h"
#include "platform/QcpChart.h"
#include "platform/QcpInclude.h"
#include "platform/QtSerialPort.h"

#include <QPushButton>
#include <QTest>
#include <memory>

namespace k12::test {

// The units stream a reading every 4 ms: 25 per 100 ms collection step, a quarter of a
// driver's ring.
inline constexpr int kStreamPeriodMs = 4;
// Rows the PC-timer run polls for real; the rows before them are put into the store directly
// (polling all 88000 rows of four units over pseudo-terminals takes several minutes).
inline constexpr int32_t kPolledRows = 5000;
// A run that stores nothing new for this long has hung.
inline constexpr qint64 kStallMs = 60000;

inline std::vector<SimUnitConfig> Counters() {
    SimUnitConfig c;
    c.waveform = Waveform::Counter;
    return std::vector<SimUnitConfig>(UNIT_COUNT, c);
}

// The program as main() wires it, with the settings in memory, recorded messages and the four
// units' COM ports mapped to the simulator's devices.
struct Rig {
    Rig(bool pcTimer, int intervalMs, int streamPeriodMs = kStreamPeriodMs)
        : sim(Counters(), streamPeriodMs) {
        sim.start();
        for (int i = 0; i < UNIT_COUNT; ++i) {
            settings.values[QStringLiteral("MeasInfo/Mflag%1").arg(i + 1)] = QStringLiteral("True");
            settings.values[QStringLiteral("MeasInfo/CommPort%1").arg(i + 1)] =
                QString::number(i + 1);
            settings.values[QStringLiteral("Ports/COM%1").arg(i + 1)] = sim.devicePath(i);
        }
        settings.values[QStringLiteral("MeasInfo/TimerType")] =
            pcTimer ? QStringLiteral("True") : QStringLiteral("False");
        settings.values[QStringLiteral("MeasInfo/IntervalTM")] = QString::number(intervalMs);
        md = std::make_unique<ModuleData>(
            [this] { return std::make_unique<QtSerialPort>(settings); }, messages);
        engine = std::make_unique<RunEngine>(*md, clock, journal);
        form = std::make_unique<FormMain>(
            FormMainServices{*md, chart, messages, settings, *engine},
            FormMainDialogs{
                [](QWidget*) {},
                [](QWidget*) { return false; },
                [](QWidget*) { return std::optional<QString>(); },
                [](QWidget*, std::function<void()>) -> QWidget* { return nullptr; },
                [](QWidget*) {},
                [](QWidget*) {},
            });
        form->show();
    }

    void start() {
        QTest::mouseClick(form->findChild<QPushButton*>(QStringLiteral("cmdStart")),
                          Qt::LeftButton);
    }

    // Every unit's rows hold consecutive counter readings, the first being first.
    void verifyConsecutive(float first) const {
        for (int i = 0; i < UNIT_COUNT; ++i) {
            const UnitRecord& u = md->Units[i];
            for (int32_t r = 0; r < u.DataCount; ++r) {
                const float want = first + static_cast<float>(r);
                if (u.Data[r] != want) {
                    QFAIL(qPrintable(QStringLiteral("unit %1 row %2: %3, expected %4")
                                         .arg(i + 1)
                                         .arg(r)
                                         .arg(double(u.Data[r]))
                                         .arg(double(want))));
                }
            }
        }
    }

    UnitSimulator sim;
    FakeSettingsStore settings;
    FakeMessageBox messages;
    SystemClock clock;
    QcpChart chart;
    RunJournal journal{QString(), messages};
    std::unique_ptr<ModuleData> md;
    std::unique_ptr<RunEngine> engine;
    std::unique_ptr<FormMain> form;
};

} // namespace k12::test
