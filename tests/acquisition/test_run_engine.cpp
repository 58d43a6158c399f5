// SPDX-License-Identifier: GPL-3.0-or-later
// The run engine without a window: the rules of a run over scripted units and a fake clock.
#include "EngineRig.h"

#include <QTest>
#include <algorithm>

using namespace k12;
using namespace k12::test;

namespace {

const QString kLineFailed = QStringLiteral("COM2 (/dev/pts/9) との通信が切断されました。");

QStringList Texts(const std::vector<RunMessage>& messages) {
    QStringList texts;
    for (const RunMessage& m : messages) {
        texts << m.text;
    }
    return texts;
}

int Holes(const UnitRecord& u, int32_t rows) {
    return int(std::count(u.Data.begin(), u.Data.begin() + rows, NO_DATA_VALUE));
}

} // namespace

class TestRunEngine : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void returningUnitLandsInTheNearestRow();
};

void TestRunEngine::returningUnitLandsInTheNearestRow() {
    // 500 ms: five readings a value. Unit 2 fails at 1300 ms and is back at the retry at
    // 2300 ms; its first new value covers 2300..2800 ms, nearest to row 6's time (3000 ms).
    EngineRig rig({{0, 1}, false, 500, true});
    rig.start();
    FakeSerialPort& port = rig.port(1);
    RunReport last;
    while (rig.clock.monotonic < 4000) {
        const qint64 t = rig.clock.monotonic + RunEngine::DEVICE_STEP_MS;
        if (t == 1300) {
            port.setFailure(DeviceError(706, kLineFailed));
            port.setOpenError(
                DeviceError(701, QStringLiteral("COM2 (/dev/ttyS1) が見つかりません。")));
        } else if (t == 2300) {
            port.setOpenError(std::nullopt);
        }
        for (int unit : {0, 1}) {
            if (unit == 0 || t < 1300 || t > 2300) {
                rig.receive(unit, {double(t / 100)}); // the time in tenths of seconds
            }
        }
        last = rig.step();
        QVERIFY(!last.ended);
    }
    const UnitRecord& u2 = rig.md.Units[1];
    QCOMPARE(u2.Data[1], 8.0f); // the window 600..1000 ms, the mean of its five readings
    QCOMPARE(u2.Data[4], NO_DATA_VALUE);
    QCOMPARE(u2.Data[5], 26.0f); // readings of 2400..2800 ms
    QCOMPARE(u2.Data[6], 31.0f);
    const RunReport stop = rig.engine.Stop();
    // The summary counts exactly the holes the stored rows hold.
    const int holes = Holes(u2, rig.md.SampleCount);
    QCOMPARE(holes, 3);
    QCOMPARE(Texts(stop.afterStop),
             QStringList{QStringLiteral("2台目: 3件（%1）").arg(kLineFailed)});
}

QTEST_GUILESS_MAIN(TestRunEngine)
#include "test_run_engine.moc"
