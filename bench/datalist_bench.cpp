// Opening the data list over a full store: construct, show and first paint, offscreen.
#include "data_files/DialogDatalist.h"
#include "platform/Fonts.h"

#include <QApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // The offscreen platform warns on every window shown; keep the figure readable.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& msg) {
        if (type != QtDebugMsg && type != QtWarningMsg && type != QtInfoMsg) {
            std::fprintf(stderr, "%s\n", qPrintable(msg));
        }
    });
    QApplication app(argc, argv);
    k12::RegisterFontSubstitutes();

    k12::MeasurementStore store;
    store.InitDataArea();
    store.ClearData();
    for (int u = 0; u < k12::UNIT_COUNT; ++u) {
        store.Units[u].Mflag = true;
        for (int k = 0; k < k12::MAX_SAMPLES; ++k) {
            store.Units[u].Data[k] = static_cast<float>((k * (u + 3)) % 36000) / 100.0f - 180.0f;
        }
        store.Units[u].DataCount = k12::MAX_SAMPLES;
    }
    store.SampleCount = k12::MAX_SAMPLES;

    constexpr int kRuns = 21;
    std::vector<double> ms;
    for (int run = 0; run < kRuns; ++run) {
        QElapsedTimer timer;
        timer.start();
        {
            k12::DialogDatalist dialog(store);
            dialog.show();
            dialog.repaint(); // first paint, synchronous
            ms.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
        }
        QCoreApplication::processEvents();
    }
    std::sort(ms.begin(), ms.end());
    std::printf("datalist open, 4 x %d samples: median %.2f ms, min %.2f ms, max %.2f ms "
                "(%d runs, target < 50 ms)\n",
                static_cast<int>(k12::MAX_SAMPLES), ms[kRuns / 2], ms.front(), ms.back(), kRuns);
    return ms[kRuns / 2] < 50.0 ? 0 : 1;
}
