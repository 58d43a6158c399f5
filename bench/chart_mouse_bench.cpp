// SPDX-License-Identifier: GPL-3.0-or-later
// Reading the chart with the mouse at the full store (4 x 88000 rows, read from a file), on the
// real main window offscreen: a mouse move with the cursor readout and the repaint it asks for,
// a wheel step and a drag step each with their replot, and the statistics between markers that
// span every row.
#include "BenchRig.h"
#include "BenchUtil.h"
#include "chart/QcpReadout.h"
#include "main_window/ChartReading.h"

#include <QTemporaryDir>

using namespace k12;
using namespace k12::bench;

namespace {

constexpr int kRuns = 41;

void Send(QCustomPlot& plot, QEvent::Type type, QPoint pos, Qt::MouseButtons held) {
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent e(type, pos, plot.mapToGlobal(pos), button, held, Qt::NoModifier);
    QApplication::sendEvent(&plot, &e);
}

void Wheel(QCustomPlot& plot, QPoint pos, int notches) {
    QWheelEvent e(pos, plot.mapToGlobal(pos), QPoint(), QPoint(0, 120 * notches), Qt::NoButton,
                  Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&plot, &e);
}

// The replot a change asked for, drawn now and timed; the queued duplicate is dropped untimed.
void Replot(QCustomPlot& plot) {
    plot.replot(QCustomPlot::rpImmediateRefresh);
}

} // namespace

int main(int argc, char** argv) {
    QuietQtWarnings();
    QApplication app(argc, argv);
    SetUpApplication();
    BenchRig rig;
    QCustomPlot& plot = rig.plot();

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("full.zr5"));
    rig.fill(MAX_SAMPLES);
    if (!dir.isValid() || !rig.writeFile(path) || !rig.form->ReadFile(path)) {
        return 1;
    }
    QApplication::processEvents();
    Replot(plot);
    const QRect area = plot.axisRect()->rect();
    const QPoint mid = area.center();

    // Mouse moves over the whole store: the readout changes rows at every move.
    int fullReplots = 0;
    QObject::connect(&plot, &QCustomPlot::afterReplot, [&fullReplots] { ++fullReplots; });
    const Timing move = Measure(kRuns, [&](int i) {
        Send(plot, QEvent::MouseMove,
             QPoint(area.left() + 20 + (i * 13) % (area.width() - 40), mid.y()), Qt::NoButton);
        plot.repaint();
    });
    const bool readoutShown = rig.chart.readout()->row() > 0;
    const int movesReplotting = fullReplots;

    // Wheel steps in and out around the middle, each with its replot.
    const Timing wheel = Measure(
        kRuns,
        [&](int i) {
            Wheel(plot, mid, i % 2 == 0 ? 1 : -1);
            Replot(plot);
        },
        [&](int) { QApplication::processEvents(); });

    // A drag back and forth at the count the wheel left, each move with its replot.
    rig.form->findChild<QComboBox*>(QStringLiteral("Combo1"))->setCurrentIndex(30); // "40000"
    Wheel(plot, mid, 1);
    QApplication::processEvents();
    Replot(plot);
    Send(plot, QEvent::MouseButtonPress, mid, Qt::LeftButton);
    const Timing drag = Measure(
        kRuns,
        [&](int i) {
            const int dx = (i % 10 < 5 ? i % 10 : 10 - i % 10) * 40 - 100;
            Send(plot, QEvent::MouseMove, mid + QPoint(dx, 0), Qt::LeftButton);
            Replot(plot);
        },
        [&](int) { QApplication::processEvents(); });
    Send(plot, QEvent::MouseButtonRelease, mid, Qt::NoButton);
    const bool manual = rig.md.XScaleMode == 2;

    // The markers' statistics over every row of the four units: the first time, which sums the
    // directions of every row, and again with the sums kept.
    int rows = 0;
    const Timing firstStats = Measure(kRuns, [&](int) {
        StoreDirections fresh;
        rows = static_cast<int>(MarkerLines(rig.md, 1, MAX_SAMPLES, fresh).size());
    });
    StoreDirections kept;
    const Timing stats = Measure(kRuns, [&](int) {
        rows = static_cast<int>(MarkerLines(rig.md, 1, MAX_SAMPLES, kept).size());
    });

    Report("mouse move with the readout + repaint, 4 x 88000", move, "<= 1 ms");
    Report("wheel step (display count) + replot, 4 x 88000", wheel, "<= 8 ms");
    Report("drag step + replot, 4 x 88000", drag, "<= 8 ms");
    Report("statistics between markers over 4 x 88000 rows", stats, "<= 5 ms");
    Report("  the first time after a read (sums every row)", firstStats);
    if (!readoutShown || movesReplotting != 0 || !manual || rows != 8) {
        std::fprintf(stderr,
                     "readout shown %d, full replots during the moves %d, manual %d, lines %d\n",
                     readoutShown, movesReplotting, manual, rows);
        return 1;
    }
    return rig.messages.shown.empty() ? 0 : 1;
}
