// SPDX-License-Identifier: GPL-3.0-or-later
// Reading the chart with the mouse, by mouse, wheel and key events on the real chart widget in
// the main window: the mouse lands on the same state as the buttons and boxes.
#include "FakeFileDialog.h"
#include "MainWindowRig.h"
#include "chart/QcpChart.h"
#include "chart/QcpChartMenu.h"
#include "chart/QcpInclude.h"
#include "chart/QcpMarkers.h"
#include "chart/QcpReadout.h"
#include "data_files/DataFile.h"
#include "measurement/Conversions.h"

#include <QAccessible>
#include <QMenu>
#include <QSvgRenderer>
#include <QTemporaryDir>
#include <QTest>

using namespace k12;
using namespace k12::test;

namespace {

using Marker = ChartModel::Marker;

// The window after reading a file of `rows` rows (one second apart) of units 1 and 3, each row r
// holding r - 1, with a hole in unit 3 at row 100.
struct Rig {
    BasicMainWindowRig<QcpChart> h{RunSetup{{0, 2}, true, 1000}};
    QCustomPlot* plot = h.chart.plot();
    QTemporaryDir dir;

    explicit Rig(int32_t rows = 250) {
        h.fillRows(rows);
        h.md.Units[2].Data[99] = NO_DATA_VALUE;
        h.md.StartTime = QStringLiteral("2026/12/7 12:40:0");
        const QString path = dir.filePath(QStringLiteral("rows.zr5"));
        if (WriteDataFile(h.md, path) || !h.form->ReadFile(path)) {
            qFatal("the rows could not be read back");
        }
        h.form->show();
        settle();
    }

    // Lets queued replots run, then lays the plot out for pixel lookups.
    void settle() {
        QCoreApplication::processEvents();
        plot->replot();
    }

    QPoint at(double row, double value = 0.0) const {
        return QPointF(plot->xAxis->coordToPixel(row), plot->yAxis->coordToPixel(value)).toPoint();
    }

    void mouse(QEvent::Type type, QPoint pos, Qt::MouseButtons held,
               Qt::KeyboardModifiers mods = {}) {
        const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent e(type, pos, plot->mapToGlobal(pos), button, held, mods);
        QApplication::sendEvent(plot, &e);
    }
    void click(QPoint pos, Qt::KeyboardModifiers mods = {}) {
        mouse(QEvent::MouseButtonPress, pos, Qt::LeftButton, mods);
        mouse(QEvent::MouseButtonRelease, pos, Qt::NoButton, mods);
    }
    void drag(QPoint from, QPoint to, Qt::KeyboardModifiers mods = {}) {
        mouse(QEvent::MouseButtonPress, from, Qt::LeftButton, mods);
        for (int i = 1; i <= 4; ++i) {
            mouse(QEvent::MouseMove, from + (to - from) * i / 4, Qt::LeftButton, mods);
        }
        mouse(QEvent::MouseButtonRelease, to, Qt::NoButton, mods);
        settle();
    }
    void doubleClick(QPoint pos) {
        click(pos);
        mouse(QEvent::MouseButtonDblClick, pos, Qt::LeftButton);
        mouse(QEvent::MouseButtonRelease, pos, Qt::NoButton);
        settle();
    }
    void wheel(QPoint pos, int notches, Qt::KeyboardModifiers mods = {}) {
        QWheelEvent e(pos, plot->mapToGlobal(pos), QPoint(), QPoint(0, 120 * notches), Qt::NoButton,
                      mods, Qt::NoScrollPhase, false);
        QApplication::sendEvent(plot, &e);
        settle();
    }

    QMenu* openMenu(QPoint pos) {
        QContextMenuEvent e(QContextMenuEvent::Mouse, pos, plot->mapToGlobal(pos));
        QApplication::sendEvent(plot, &e);
        return plot->findChild<QMenu*>(QStringLiteral("chartMenu"));
    }
    void choose(QPoint pos, const QString& item) {
        QMenu* menu = openMenu(pos);
        QVERIFY(menu);
        for (QAction* a : menu->actions()) {
            if (a->text() == item) {
                a->trigger();
            }
        }
        menu->close();
        delete menu;
        settle();
    }
};

// Mode, display count and window as the buttons leave them, and the axis showing that window.
void CheckControls(const Rig& r, int mode, const QString& count, int first, int last) {
    QCOMPARE(r.h.md.XScaleMode, int16_t(mode));
    QVERIFY(r.h.opt(mode)->isChecked());
    QCOMPARE(r.h.combo()->currentText(), count);
    QCOMPARE(r.h.combo()->isEnabled(), mode != 0);
    QCOMPARE(r.h.enabled("cmdLeft"), mode == 2);
    QCOMPARE(r.h.enabled("cmdRight"), mode == 2);
    QCOMPARE(r.h.window(), std::make_pair(first, last));
    QCOMPARE(r.h.xRange(), std::make_pair(double(first), double(last)));
}

} // namespace

class TestChartMouse : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void xZoomAndPan_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("count");
        QTest::addColumn<int>("rights");
        QTest::addColumn<QString>("gesture");
        QTest::addColumn<int>("amount");
        QTest::addColumn<double>("row");
        QTest::addColumn<QString>("endCount");
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("last");
        // "全表示" shows [1, 250], and the list starts from the first count that shows as much.
        QTest::newRow("wheel in from 全表示")
            << 0 << "100" << 0 << "wheel" << 1 << 150.0 << "200" << 31 << 230;
        QTest::newRow("wheel from 自動ｽｸﾛｰﾙ")
            << 1 << "100" << 0 << "wheel" << 1 << 150.0 << "90" << 106 << 195;
        QTest::newRow("wheel out")
            << 2 << "100" << 2 << "wheel" << -1 << 130.0 << "200" << 72 << 271;
        QTest::newRow("two notches in")
            << 2 << "100" << 0 << "wheel" << 2 << 51.0 << "80" << 11 << 90;
        QTest::newRow("end of the list")
            << 2 << "10" << 0 << "wheel" << 1 << 5.0 << "10" << 1 << 10;
        QTest::newRow("drag") << 2 << "100" << 2 << "drag" << 30 << 150.0 << "100" << 71 << 170;
        QTest::newRow("drag to the end")
            << 2 << "100" << 2 << "drag" << -150 << 190.0 << "100" << 201 << 300;
        QTest::newRow("drag to the start")
            << 2 << "100" << 2 << "drag" << 150 << 110.0 << "100" << 1 << 100;
        // The window widens from 250 to 300 rows as the drag starts: 30 rows pulled at the old
        // scale are 36 at the new one.
        QTest::newRow("drag from 全表示")
            << 0 << "100" << 0 << "drag" << -30 << 200.0 << "300" << 37 << 336;
        QTest::newRow("double-click")
            << 2 << "100" << 2 << "double" << 0 << 150.0 << "100" << 1 << 250;
    }
    void xZoomAndPan() {
        QFETCH(int, mode);
        QFETCH(QString, count);
        QFETCH(int, rights);
        QFETCH(QString, gesture);
        QFETCH(int, amount);
        QFETCH(double, row);
        Rig r;
        QTest::mouseClick(r.h.opt(mode), Qt::LeftButton);
        if (mode != 0) { // the list is disabled in "全表示"
            r.h.selectCount(count);
        }
        for (int i = 0; i < rights; ++i) {
            r.h.click("cmdRight");
        }
        r.settle();
        const QPoint pos = r.at(row);
        if (gesture == QLatin1String("wheel")) {
            r.wheel(pos, amount);
        } else if (gesture == QLatin1String("drag")) {
            r.drag(pos, r.at(row + amount));
        } else {
            r.doubleClick(pos);
        }
        QFETCH(QString, endCount);
        QFETCH(int, first);
        QFETCH(int, last);
        CheckControls(r, gesture == QLatin1String("double") ? 0 : 2, endCount, first, last);
        // No marker from the drag, nor from the double-click's first click.
        QVERIFY(!r.h.chart.marker(Marker::A));
    }

    // Ctrl + wheel and Ctrl + drag, through the boxes and "設定": the readout stays on its row
    // as the Y tick labels change width; "全表示に戻す" and the double-click bring back the range
    // applied with "設定".
    void yZoomAndPan_data() {
        QTest::addColumn<int>("typed"); // applied with "設定" first as typed / -typed; 0: none
        QTest::addColumn<int>("notches");
        QTest::addColumn<double>("at"); // the angle under the mouse
        QTest::addColumn<QString>("then");
        QTest::addColumn<double>("hi");
        QTest::addColumn<double>("low");
        QTest::newRow("wheel in") << 0 << 1 << 0.0 << "" << 144.0 << -144.0;
        QTest::newRow("wheel in, typed") << 90 << 1 << 0.0 << "" << 72.0 << -72.0;
        QTest::newRow("many notches in") << 0 << 12 << 30.0 << "" << 40.3 << 15.6;
        QTest::newRow("out stops at 720°") << 0 << -5 << 0.0 << "" << 360.0 << -360.0;
        QTest::newRow("out from wider, typed") << 1000 << -1 << 0.0 << "" << 1000.0 << -1000.0;
        QTest::newRow("全表示に戻す") << 0 << 2 << 0.0 << "menu" << 180.0 << -180.0;
        QTest::newRow("全表示に戻す, typed") << 90 << 2 << 0.0 << "menu" << 90.0 << -90.0;
        QTest::newRow("double-click") << 0 << 2 << 0.0 << "double" << 180.0 << -180.0;
        QTest::newRow("drag") << 0 << 0 << 30.0 << "drag" << 0.0 << 0.0;
    }
    void yZoomAndPan() {
        QFETCH(int, typed);
        QFETCH(int, notches);
        QFETCH(double, at);
        QFETCH(QString, then);
        Rig r;
        if (typed != 0) {
            r.h.txt("txtVhi")->setText(QString::number(typed));
            r.h.txt("txtVlow")->setText(QString::number(-typed));
            r.h.click("cmdSetScaleY");
        }
        const QPoint pos = r.at(50, at);
        r.mouse(QEvent::MouseMove, pos, Qt::NoButton);
        const int32_t row = r.h.chart.readout()->row();
        for (int i = 0; i < std::abs(notches); ++i) {
            r.wheel(pos, notches > 0 ? 1 : -1, Qt::ControlModifier);
            QCOMPARE(r.h.chart.readout()->row(), row);
        }
        const double grabbed = r.plot->yAxis->pixelToCoord(pos.y());
        if (then == QLatin1String("menu")) {
            r.choose(pos, QStringLiteral("全表示に戻す"));
        } else if (then == QLatin1String("double")) {
            r.doubleClick(pos);
        } else if (then == QLatin1String("drag")) {
            r.drag(pos, pos + QPoint(0, 60), Qt::ControlModifier);
            QVERIFY(std::abs(r.plot->yAxis->coordToPixel(grabbed) - (pos.y() + 60)) < 1.5);
        }
        // The boxes (3 decimals at most), the store and the axis agree.
        const QString hiText = r.h.txt("txtVhi")->text();
        const QString lowText = r.h.txt("txtVlow")->text();
        const QString shown = hiText + QLatin1Char(' ') + lowText;
        QVERIFY2(hiText.section(QLatin1Char('.'), 1).size() <= 3 &&
                     lowText.section(QLatin1Char('.'), 1).size() <= 3,
                 qPrintable(shown));
        const double boxHi = TextToSingle(hiText).value();
        const double boxLow = TextToSingle(lowText).value();
        QFETCH(double, hi);
        QFETCH(double, low);
        QVERIFY2(then == QLatin1String("drag") ||
                     (std::abs(boxHi - hi) < 1.0 && std::abs(boxLow - low) < 1.0),
                 qPrintable(shown));
        QVERIFY(boxHi - boxLow <= std::max(720.001, 2.0 * typed));
        QCOMPARE(r.h.chart.axisRange(ChartAxis::Y), std::make_pair(boxLow, boxHi));
        QCOMPARE(std::make_pair(double(r.h.md.YMin), double(r.h.md.YMax)),
                 std::make_pair(boxLow, boxHi));
        // The time axis as it was, or all rows again.
        const bool reset = then == QLatin1String("menu") || then == QLatin1String("double");
        QCOMPARE(r.h.window(), std::make_pair(1, reset ? 250 : 300));
    }

    // Before a start or a read the boxes are disabled, and so is the Y zoom.
    void yZoomDisabled() {
        BasicMainWindowRig<QcpChart> fresh;
        fresh.form->show();
        fresh.chart.plot()->replot();
        const QPoint mid = fresh.chart.plot()->axisRect()->center();
        QWheelEvent e(mid, mid, QPoint(), QPoint(0, 120), Qt::NoButton, Qt::ControlModifier,
                      Qt::NoScrollPhase, false);
        QApplication::sendEvent(fresh.chart.plot(), &e);
        QCOMPARE(fresh.chart.axisRange(ChartAxis::Y), std::make_pair(-180.0, 180.0));
        QCOMPARE(fresh.txt("txtVhi")->text(), QStringLiteral("180"));
    }

    // Every row drawn can be read and marked, the first and the last included, at every display
    // count: the plot's first pixel column reads the first row, its last column the last.
    void readAndMarkEnds_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("count");
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("last");
        QTest::newRow("10") << 2 << "10" << 6 << 15;
        QTest::newRow("200") << 2 << "200" << 101 << 300;
        QTest::newRow("88000") << 0 << "" << 1 << MAX_SAMPLES;
    }
    void readAndMarkEnds() {
        QFETCH(int, mode);
        QFETCH(QString, count);
        QFETCH(int, first);
        QFETCH(int, last);
        Rig r(MAX_SAMPLES);
        QTest::mouseClick(r.h.opt(mode), Qt::LeftButton);
        if (mode == 2) {
            r.h.selectCount(count);
            r.h.click("cmdRight");
        }
        r.settle();
        QCOMPARE(r.h.window(), std::make_pair(first, last));
        const QRect area = r.plot->axisRect()->rect();
        const int y = area.center().y();
        for (const auto& [x, row] :
             {std::pair{area.left(), first}, std::pair{area.right(), last}}) {
            r.mouse(QEvent::MouseMove, QPoint(x, y), Qt::NoButton);
            QCOMPARE(r.h.chart.readout()->row(), row);
            QVERIFY(!r.h.chart.readout()->boxRect().isEmpty());
        }
        r.click(QPoint(area.left(), y));
        r.click(QPoint(area.right(), y), Qt::ShiftModifier);
        r.settle();
        QCOMPARE(r.h.chart.marker(Marker::A), std::optional<int32_t>(first));
        QCOMPARE(r.h.chart.marker(Marker::B), std::optional<int32_t>(last));
        // Both lines drawn, at the plot's edges.
        QCOMPARE(r.h.chart.markers()->column(Marker::A), std::optional<int>(area.left()));
        QCOMPARE(r.h.chart.markers()->column(Marker::B), std::optional<int>(area.right()));
    }

    void readout_data() {
        QTest::addColumn<double>("row");
        QTest::addColumn<QString>("text");
        QTest::newRow("first row") << 1.0
                                   << "1 秒（1 行目）\n2026/12/7 12:40:01\n1台目 0.000\n"
                                      "3台目 0.000";
        QTest::newRow("hole") << 100.2
                              << "100 秒（100 行目）\n2026/12/7 12:41:40\n1台目 99.000\n"
                                 "3台目 —";
        QTest::newRow("last row") << 250.0
                                  << "250 秒（250 行目）\n2026/12/7 12:44:10\n"
                                     "1台目 249.000\n3台目 249.000";
        QTest::newRow("beyond the rows") << 280.0
                                         << "250 秒（250 行目）\n2026/12/7 12:44:10\n"
                                            "1台目 249.000\n3台目 249.000";
        QTest::newRow("outside the plot") << -20.0 << "";
    }
    void readout() {
        QFETCH(double, row);
        QFETCH(QString, text);
        Rig r;
        QCOMPARE(r.plot->accessibleName(), QStringLiteral("グラフ"));
        int replots = 0;
        connect(r.plot, &QCustomPlot::afterReplot, this, [&replots] { ++replots; });
        r.mouse(QEvent::MouseMove, r.at(150), Qt::NoButton);
        r.mouse(QEvent::MouseMove, r.at(row), Qt::NoButton);
        QCoreApplication::processEvents();
        QCOMPARE(r.plot->accessibleDescription(), text);
        // Only the overlay was drawn again, never the lines.
        QCOMPARE(replots, 0);
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(r.plot, &leave);
        QVERIFY(r.plot->accessibleDescription().isEmpty());
    }

    void markers() {
        Rig r;
        r.h.md.Units[0].Data[9] = 179.0f;
        r.h.md.Units[0].Data[19] = -179.0f;
        r.h.md.Units[0].Data[14] = NO_DATA_VALUE;
        r.h.selectCount(QStringLiteral("100"));
        r.click(r.at(10));
        r.click(r.at(20), Qt::ShiftModifier);
        QCOMPARE(r.h.chart.marker(Marker::A), std::optional<int32_t>(10));
        QCOMPARE(r.h.chart.marker(Marker::B), std::optional<int32_t>(20));
        const QList<ChartTextLine> box = r.h.chart.markers()->boxLines();
        QCOMPARE(box.value(2).text, QStringLiteral("B−A: 10 秒（10 行）"));
        QVERIFY2(box.value(4).text.startsWith(QStringLiteral("1台目\t179.000\t-179.000\t+2.000\t")),
                 qPrintable(box.value(4).text));
        QVERIFY(box.value(4).text.endsWith(QStringLiteral("\t1"))); // the hole, counted
        QCOMPARE(box.value(5).series, 3);

        QTest::keyClick(r.plot, Qt::Key_Escape);
        QVERIFY(!r.h.chart.marker(Marker::A) && !r.h.chart.marker(Marker::B));

        // A new reading clears them, and a hidden line shows again.
        for (const bool read : {false, true}) {
            r.click(r.at(30));
            r.h.chart.setSeriesHidden(3, true);
            if (read) {
                QVERIFY(r.h.form->ReadFile(r.dir.filePath(QStringLiteral("rows.zr5"))));
            } else {
                r.h.messages.answers.push_back(MsgAnswer::Yes);
                r.h.settingsDialogAction = [](ModuleData& md) { md.SettingChanged = true; };
                r.h.click("cmdSetting");
            }
            QVERIFY(!r.h.chart.marker(Marker::A));
            QVERIFY(!r.h.chart.seriesHidden(3));
        }
    }

    void legendHidesLines() {
        Rig r;
        QTest::mouseClick(r.h.opt(2), Qt::LeftButton);
        r.settle();
        QCPAbstractLegendItem* entry = r.plot->legend->item(0);
        const QPoint pos = entry->outerRect().center();
        r.click(r.at(30));
        r.click(r.at(60), Qt::ShiftModifier);
        r.click(pos);
        r.settle();
        QVERIFY(r.h.chart.seriesHidden(1));
        QVERIFY(!r.plot->graph(0)->visible());
        // Neither the readout nor the markers' box lists the hidden line; its entry stays.
        r.mouse(QEvent::MouseMove, r.at(50), Qt::NoButton);
        QVERIFY(!r.plot->accessibleDescription().contains(QStringLiteral("1台目")));
        QVERIFY(r.plot->accessibleDescription().contains(QStringLiteral("3台目")));
        const QList<ChartTextLine> box = r.h.chart.markers()->boxLines();
        QCOMPARE(box.size(), 5);
        QCOMPARE(box.last().series, 3);
        QCOMPARE(r.plot->legend->itemCount(), 4);
        // The printout's picture has no red left: neither the line nor its legend sample.
        const QString svg = r.dir.filePath(QStringLiteral("print.svg"));
        QVERIFY(r.h.chart.exportPicture(svg));
        QImage image(r.plot->size(), QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        QSvgRenderer(svg).render(&painter);
        painter.end();
        int red = 0;
        int magenta = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                red += c.red() > 200 && c.green() < 60 && c.blue() < 60;
                magenta += c.red() > 200 && c.green() < 60 && c.blue() > 200;
            }
        }
        QCOMPARE(red, 0);
        QVERIFY(magenta > 100); // unit 3's line is there
        r.click(pos);
        QVERIFY(!r.h.chart.seriesHidden(1));
        // A double-click is two clicks: the line hides again; the markers and the view stay.
        r.mouse(QEvent::MouseButtonDblClick, pos, Qt::LeftButton);
        r.mouse(QEvent::MouseButtonRelease, pos, Qt::NoButton);
        r.settle();
        QVERIFY(r.h.chart.seriesHidden(1));
        QCOMPARE(r.h.chart.marker(Marker::A), std::optional<int32_t>(30));
        QCOMPARE(r.h.chart.marker(Marker::B), std::optional<int32_t>(60));
        CheckControls(r, 2, QStringLiteral("100"), 1, 100);
    }

    // The cursor readout is never hidden under the markers' box, wherever the mouse is.
    void boxesApart() {
        Rig r;
        r.click(r.at(30));
        r.click(r.at(200), Qt::ShiftModifier);
        r.settle();
        const QRect markers = r.h.chart.markers()->boxRect();
        const QRect area = r.plot->axisRect()->rect();
        for (int x = area.left(); x <= area.right(); x += 7) {
            for (int y = area.top(); y <= area.bottom(); y += 7) {
                r.mouse(QEvent::MouseMove, QPoint(x, y), Qt::NoButton);
                const QRect readout = r.h.chart.readout()->boxRect();
                QVERIFY2(!readout.isEmpty() && !markers.isEmpty() && !readout.intersects(markers),
                         qPrintable(QStringLiteral("mouse at %1, %2").arg(x).arg(y)));
            }
        }
    }

    // An assistive tool's Toggle action selects a mode as a click does.
    void modeButtonsToggleAction() {
        MainWindowRig h;
        h.fillRows(250);
        for (const int mode : {2, 1, 0}) {
            QAccessibleInterface* button = QAccessible::queryAccessibleInterface(h.opt(mode));
            QVERIFY(button && button->actionInterface());
            button->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
            QVERIFY(h.opt(mode)->isChecked());
            QCOMPARE(h.md.XScaleMode, int16_t(mode));
            QCOMPARE(h.enabled("cmdLeft"), mode == 2);
            QCOMPARE(h.combo()->isEnabled(), mode != 0);
        }
        QCOMPARE(h.window(), std::make_pair(1, 250));
    }

    void contextMenu() {
        Rig r;
        FakeFileDialog files;
        r.h.chart.setDialogs(files, r.h.messages);
        QMenu* menu = r.openMenu(r.at(50));
        QVERIFY(menu);
        QStringList texts;
        for (QAction* a : menu->actions()) {
            if (!a->isSeparator()) {
                texts << a->text();
            }
        }
        QCOMPARE(texts, QStringList({"マーカーA をここに", "マーカーB をここに", "マーカーを消す",
                                     "全表示に戻す", "横軸を時刻で表示", "画像として保存..."}));
        delete menu;

        r.choose(r.at(50), QStringLiteral("マーカーB をここに"));
        QCOMPARE(r.h.chart.marker(Marker::B), std::optional<int32_t>(50));
        r.choose(r.at(50), QStringLiteral("マーカーを消す"));
        QVERIFY(!r.h.chart.marker(Marker::B));

        // The clock axis, kept with the options by "測定条件保存".
        r.choose(r.at(50), QStringLiteral("横軸を時刻で表示"));
        QVERIFY(r.h.md.ClockAxis);
        QCOMPARE(r.plot->xAxis->label(), QStringLiteral("時刻"));
        const QVector<QString> labels = r.plot->xAxis->tickVectorLabels();
        const QStringList ticks(labels.begin(), labels.end());
        QVERIFY(!ticks.isEmpty());
        QVERIFY2(ticks.filter(QRegularExpression(QStringLiteral("^12:4\\d:\\d\\d$"))) == ticks,
                 qPrintable(ticks.join(QLatin1Char(' '))));
        r.h.click("cmdMeasInfo");
        QCOMPARE(r.h.settings.values.value(QStringLiteral("Options/ClockAxis")),
                 QStringLiteral("True"));
        r.choose(r.at(50), QStringLiteral("横軸を時刻で表示"));
        QCOMPARE(r.plot->xAxis->label(), QStringLiteral("開始からの経過時間（秒）"));

        QTest::mouseClick(r.h.opt(2), Qt::LeftButton);
        r.choose(r.at(50), QStringLiteral("全表示に戻す"));
        CheckControls(r, 0, QStringLiteral("100"), 1, 250);

        // Saving: the file named in the dialog, or a message naming it and the reason.
        const QString png = r.dir.filePath(QStringLiteral("chart.png"));
        const QString bad = r.dir.filePath(QStringLiteral("none/chart.png"));
        files.answers = {png, bad};
        for (int i = 0; i < 2; ++i) {
            r.choose(r.at(50), QStringLiteral("画像として保存..."));
            QCoreApplication::processEvents();
        }
        QCOMPARE(files.requests.size(), 2);
        QCOMPARE(files.requests[0].filter, QcpChartMenu::ImageFilter());
        QCOMPARE(QImage(png).size(), r.plot->size() * 2);
        QCOMPARE(r.h.messages.shown.size(), 1);
        QVERIFY(r.h.messages.last().text.contains(bad));
    }
};

QTEST_MAIN(TestChartMouse)
#include "test_chart_mouse.moc"
