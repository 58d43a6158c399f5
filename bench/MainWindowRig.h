// SPDX-License-Identifier: GPL-3.0-or-later
// The real main window with the real chart, offscreen, over scripted serial ports: what the
// main-window and memory benchmarks measure.
#pragma once

#include "FakeClock.h"
#include "FakeMessageBox.h"
#include "FakeSerialPort.h"
#include "FakeSettingsStore.h"
#include "data_files/DataFile.h"
#include "data_files/DialogDatalist.h"
#include "main_window/FormMain.h"
#include "platform/Fonts.h"
#include "platform/QcpChart.h"
#include "platform/QcpInclude.h"

#include <QApplication>
#include <QPushButton>
#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

namespace k12 {

// Reaches the window's private procedures.
struct FormMainTestAccess {
    static void DevTimerStep(FormMain& f) { f.OnTimer2Tick(); }
    static void ScrollAxesX(FormMain& f) { f.ScrollAxesX(); }
    static void CmdDispClick(FormMain& f) { f.CmdDispClick(); }
};

namespace bench {

// A reading as a unit sends it: eight characters, CR LF.
inline QByteArray ReadingLine(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%8.3f\r\n", v);
    return QByteArray(text);
}

inline float Sample(int unit, int row) {
    return static_cast<float>(90.0 * std::sin(row * 0.001 * (unit + 1)) + unit);
}

class MainWindowRig {
  public:
    MainWindowRig() {
        md = std::make_unique<ModuleData>(
            [this] {
                auto port = test::MakeAnsweringPort();
                ports.push_back(port.get());
                return port;
            },
            messages);
        FormMainDialogs dialogs;
        dialogs.openDatalist = [this](QWidget* parent, std::function<void()> onClosed) {
            auto* list = new DialogDatalist(*md, parent);
            list->setAttribute(Qt::WA_DeleteOnClose);
            QObject::connect(list, &DialogDatalist::closed, list, std::move(onClosed));
            list->show();
            datalist = list;
            return static_cast<QWidget*>(list);
        };
        engine = std::make_unique<RunEngine>(*md, clock, journal);
        form = std::make_unique<FormMain>(FormMainServices{*md, chart, messages, settings, *engine},
                                          std::move(dialogs));
        form->show();
        QApplication::processEvents();
    }

    ~MainWindowRig() {
        if (datalist) {
            datalist->close();
        }
        form.reset();
    }

    QCustomPlot& plot() { return *chart.plot(); }

    // Every unit in use with rows 0..n-1 of Sample(); the window's view follows the count.
    void fill(int32_t n) {
        md->ClearData();
        for (int u = 0; u < UNIT_COUNT; ++u) {
            UnitRecord& rec = md->Units[static_cast<std::size_t>(u)];
            rec.Mflag = true;
            rec.ComPort = static_cast<int16_t>(u + 1);
            for (int32_t r = 0; r < n; ++r) {
                rec.Data[static_cast<std::size_t>(r)] = Sample(u, r);
            }
            rec.DataCount = n;
        }
        md->SampleCount = n;
        md->IntervalTM = 100;
        md->TimerType = false;
        md->StartTime = QStringLiteral("2024/03/05 09:07:02");
    }

    // Opens the ports and starts streaming as a device-timer run does, keeping the rows.
    bool startStreaming() {
        if (!md->DevOpenAll() || !md->LogStartAll()) {
            return false;
        }
        md->Measuring = true;
        md->DeviceTickCount = 1;
        return true;
    }

    // One new reading per unit, taken into each driver's log as its receive timer would.
    void deliverOneReading(int row) {
        for (int u = 0; u < UNIT_COUNT; ++u) {
            ports.at(static_cast<std::size_t>(u))->feed(ReadingLine(Sample(u, row)));
            md->Driver(u).OnTimer1();
        }
    }

    void stopStreaming() {
        md->LogStopAll();
        md->DevCloseAll();
        md->Measuring = false;
    }

    // Writes the store as a dedicated data file; false (with a message) on failure.
    bool writeFile(const QString& path) {
        if (const auto error = WriteDataFile(*md, path)) {
            std::fprintf(stderr, "cannot write %s: %s\n", qPrintable(path),
                         qPrintable(error->message));
            return false;
        }
        return true;
    }

    test::FakeMessageBox messages;
    test::FakeSettingsStore settings;
    test::FakeClock clock;
    QcpChart chart;
    std::vector<test::FakeSerialPort*> ports;
    RunJournal journal{QString(), messages};
    std::unique_ptr<ModuleData> md;
    std::unique_ptr<RunEngine> engine;
    QPointer<DialogDatalist> datalist;
    std::unique_ptr<FormMain> form;
};

inline void SetUpApplication() {
    RegisterFontSubstitutes();
    QApplication::setFont(QFont(PGothicFamily(), 9));
}

} // namespace bench
} // namespace k12
