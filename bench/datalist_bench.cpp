// SPDX-License-Identifier: GPL-3.0-or-later
// Opening the data list over a full store: construct, show and first paint, offscreen.
#include "BenchUtil.h"
#include "data_files/DialogDatalist.h"
#include "platform/Fonts.h"

#include <QApplication>

int main(int argc, char** argv) {
    k12::bench::QuietQtWarnings();
    QApplication app(argc, argv);
    k12::RegisterFontSubstitutes();
    QApplication::setFont(QFont(k12::PGothicFamily(), 9));

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
    const k12::bench::Timing open = k12::bench::Measure(
        kRuns,
        [&](int) {
            k12::DialogDatalist dialog(store);
            dialog.show();
            dialog.repaint(); // first paint, synchronous
        },
        [](int) { QCoreApplication::processEvents(); });
    k12::bench::Report("data list open + first paint, 4 x 88000 rows", open, "< 50 ms");
    return 0;
}
