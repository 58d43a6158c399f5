// SPDX-License-Identifier: GPL-3.0-or-later
// Peak memory of the program's heaviest state: the real main window and chart with a full store
// replayed from a dedicated file, the data list open, everything painted once.
#include "BenchRig.h"
#include "BenchUtil.h"

#include <QFile>
#include <QTemporaryDir>
#include <sys/resource.h>

using namespace k12;
using namespace k12::bench;

namespace {

// A "Vm...:  1234 kB" line of /proc/self/status, in MB (10^6 bytes); -1 when missing.
double StatusMB(const char* key) {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly)) {
        return -1.0;
    }
    const QByteArray prefix = QByteArray(key) + ':';
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (line.startsWith(prefix)) {
            return line.mid(prefix.size()).trimmed().split(' ').front().toDouble() * 1024.0 / 1e6;
        }
    }
    return -1.0;
}

double MaxRssMB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) * 1024.0 / 1e6; // kB on Linux
}

} // namespace

int main(int argc, char** argv) {
    QuietQtWarnings();
    QApplication app(argc, argv);
    SetUpApplication();
    const double atStart = StatusMB("VmHWM");

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("full.zr5"));
    BenchRig rig;
    rig.fill(MAX_SAMPLES);
    if (!dir.isValid() || !rig.writeFile(path)) {
        return 1;
    }
    rig.md.ClearData();

    rig.form->ReadFile(path);
    FormMainTestAccess::CmdDispClick(*rig.form);
    QApplication::processEvents();
    rig.plot().replot(QCustomPlot::rpImmediateRefresh);
    rig.form->repaint();
    if (!rig.datalist) {
        std::fprintf(stderr, "the data list did not open\n");
        return 1;
    }
    rig.datalist->repaint();
    QApplication::processEvents();

    const double hwm = StatusMB("VmHWM");
    std::printf("peak memory: VmHWM %.1f MB (%.1f MB after QApplication), ru_maxrss %.1f MB, "
                "VmRSS now %.1f MB, %d rows\n",
                hwm, atStart, MaxRssMB(), StatusMB("VmRSS"), rig.md.SampleCount);
    ReportValue("peak memory (VmHWM), full store + list open", hwm, "MB", "< 150 MB");
    return rig.md.SampleCount == MAX_SAMPLES ? 0 : 1;
}
