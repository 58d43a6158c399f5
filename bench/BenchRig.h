// SPDX-License-Identifier: GPL-3.0-or-later
// The real main window with the real chart, offscreen, over scripted serial ports: what the
// main-window, mouse and memory benchmarks measure.
#pragma once

#include "MainWindowRig.h"
#include "chart/QcpChart.h"
#include "chart/QcpInclude.h"
#include "data_files/DataFile.h"
#include "data_files/DialogDatalist.h"
#include "platform/Fonts.h"

#include <QApplication>
#include <QPointer>
#include <cmath>
#include <cstdio>

namespace k12::bench {

inline float Sample(int unit, int row) {
    return static_cast<float>(90.0 * std::sin(row * 0.001 * (unit + 1)) + unit);
}

// The test rig's window, shown, with the real data list.
class BenchRig : public test::BasicMainWindowRig<QcpChart> {
  public:
    BenchRig() {
        openDatalist = [this](QWidget* parent, std::function<void()> onClosed) {
            auto* list = new DialogDatalist(md, parent);
            list->setAttribute(Qt::WA_DeleteOnClose);
            QObject::connect(list, &DialogDatalist::closed, list, std::move(onClosed));
            list->show();
            datalist = list;
            return static_cast<QWidget*>(list);
        };
        form->show();
        QApplication::processEvents();
    }

    ~BenchRig() {
        if (datalist) {
            datalist->close();
        }
        form.reset();
    }

    QCustomPlot& plot() { return *chart.plot(); }

    // Every unit in use with rows 0..n-1 of Sample(); the window's view follows the count.
    void fill(int32_t n) {
        md.ClearData();
        for (int u = 0; u < UNIT_COUNT; ++u) {
            UnitRecord& rec = md.Units[static_cast<std::size_t>(u)];
            rec.Mflag = true;
            rec.ComPort = static_cast<int16_t>(u + 1);
            for (int32_t r = 0; r < n; ++r) {
                rec.Data[static_cast<std::size_t>(r)] = Sample(u, r);
            }
            rec.DataCount = n;
        }
        md.SampleCount = n;
        md.IntervalTM = 100;
        md.TimerType = false;
        md.StartTime = QStringLiteral("2024/03/05 09:07:02");
    }

    // Opens the ports and starts streaming as a device-timer run does, keeping the rows.
    bool startStreaming() {
        if (!md.DevOpenAll() || !md.LogStartAll()) {
            return false;
        }
        md.Measuring = true;
        md.DeviceTickCount = 1;
        return true;
    }

    // One new reading per unit, taken into each driver's log.
    void deliverOneReading(int row) {
        for (int u = 0; u < UNIT_COUNT; ++u) {
            receive(u, {Sample(u, row)});
        }
    }

    void stopStreaming() {
        md.LogStopAll();
        md.DevCloseAll();
        md.Measuring = false;
    }

    // Writes the store as a dedicated data file; false (with a message) on failure.
    bool writeFile(const QString& path) {
        if (const auto error = WriteDataFile(md, path)) {
            std::fprintf(stderr, "cannot write %s: %s\n", qPrintable(path),
                         qPrintable(error->message));
            return false;
        }
        return true;
    }

    QPointer<DialogDatalist> datalist;
};

inline void SetUpApplication() {
    RegisterFontSubstitutes();
    QApplication::setFont(QFont(PGothicFamily(), 9));
}

} // namespace k12::bench
