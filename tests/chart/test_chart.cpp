// SPDX-License-Identifier: GPL-3.0-or-later
#include "FakeChart.h"
#include "chart/QcpChart.h"
#include "chart/QcpClockTicker.h"
#include "chart/QcpInclude.h"
#include "platform/Fonts.h"

#include <QFontInfo>
#include <QSvgRenderer>
#include <QTemporaryDir>
#include <QtTest>
#include <cmath>

using namespace k12;

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 350;

// Sets up four series and exact ranges, as the program does.
void setUp(Chart& c, double xMin, double xMax, double yMin = -10, double yMax = 10) {
    c.suspendRepaint();
    c.setSeriesCount(4);
    c.setSeriesLabels({"1台目", "2台目", "3台目", "4台目"});
    c.setAxisRange(ChartAxis::X, xMin, xMax);
    c.setAxisRange(ChartAxis::Y, yMin, yMax);
    c.setAxisOrigin(ChartAxis::Y, yMin);
    c.resumeRepaint();
}

bool isColor(QRgb p, const QColor& c) {
    return std::abs(qRed(p) - c.red()) < 40 && std::abs(qGreen(p) - c.green()) < 40 &&
           std::abs(qBlue(p) - c.blue()) < 40;
}

// Whether column x shows the colour within rows [y0 - 1, y1 + 1].
bool colorInColumn(const QImage& img, int x, int y0, int y1, const QColor& c) {
    for (int y = std::max(0, std::min(y0, y1) - 1);
         y <= std::min(img.height() - 1, std::max(y0, y1) + 1); ++y) {
        if (isColor(img.pixel(x, y), c)) {
            return true;
        }
    }
    return false;
}

int px(QCPAxis* a, double v) {
    return static_cast<int>(std::lround(a->coordToPixel(v)));
}

const QColor kRed(255, 0, 0);
const QColor kBlue(0, 0, 205);

} // namespace

class TestChart : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void initTestCase() { RegisterFontSubstitutes(); }

    void fontSubstitutes() {
        QCOMPARE(QFontInfo(QFont(PGothicFamily())).family(), QStringLiteral("IPAPGothic"));
        QCOMPARE(QFontInfo(QFont(GothicFamily())).family(), QStringLiteral("IPAGothic"));
        QCOMPARE(QFontInfo(QFont(PMinchoFamily())).family(), QStringLiteral("IPAPMincho"));
    }

    void pointCounts_data() {
        QTest::addColumn<bool>("real");
        QTest::newRow("QcpChart") << true;
        QTest::newRow("FakeChart") << false;
    }
    void pointCounts() {
        QFETCH(bool, real);
        QcpChart qcp;
        test::FakeChart fake;
        Chart& c = real ? static_cast<Chart&>(qcp) : fake;
        setUp(c, 0, 10);
        c.setPointCount(1, 5);
        for (int p = 1; p <= 5; ++p) {
            c.setXValue(p, p * 0.5);
            c.setYValue(1, p, p * 10.0);
        }
        // Shared X: series 2 sees the X values but has no Y of its own.
        c.setPointCount(2, 5);
        QCOMPARE(c.xValue(4), std::optional<double>(2.0));
        QCOMPARE(c.yValue(2, 4), std::nullopt);

        c.setPointCount(1, 3); // drops 4 and 5, keeps 1 to 3
        QCOMPARE(c.pointCount(1), 3);
        QCOMPARE(c.yValue(1, 3), std::optional<double>(30.0));
        QCOMPARE(c.yValue(1, 4), std::nullopt);
        c.setPointCount(1, 6); // new points are holes
        QCOMPARE(c.yValue(1, 4), std::nullopt);
        QCOMPARE(c.yValue(1, 6), std::nullopt);
        QCOMPARE(c.xValue(4), std::optional<double>(2.0)); // series 2 still holds point 4

        // X beyond every series is dropped with the last series that had it.
        c.setPointCount(1, 1);
        c.setPointCount(2, 1);
        c.setPointCount(1, 4);
        QCOMPARE(c.xValue(1), std::optional<double>(0.5));
        QCOMPARE(c.xValue(2), std::nullopt);

        // Writes outside the points are ignored.
        c.setYValue(1, 5, 1.0);
        c.setYValue(5, 1, 1.0);
        c.setXValue(0, 1.0);
        QCOMPARE(c.pointCount(5), 0);
        QCOMPARE(c.yValue(1, 5), std::nullopt);
        QCOMPARE(c.xValue(0), std::nullopt);

        // Changing the series count keeps X and the remaining series.
        c.setYValue(1, 1, 7.0);
        c.setSeriesCount(2);
        c.setSeriesCount(4);
        QCOMPARE(c.yValue(1, 1), std::optional<double>(7.0));
        QCOMPARE(c.xValue(1), std::optional<double>(0.5));
        QCOMPARE(c.pointCount(3), 0);

        if (real) {
            // The graph holds one entry per point, holes as NaN values, keys kept sorted.
            QCPGraph* g = qcp.plot()->graph(0);
            QCOMPARE(g->dataCount(), 4);
            QCOMPARE(g->data()->at(0)->value, 7.0);
            QCOMPARE(qcp.plot()->graphCount(), 4);
            QVERIFY(std::isnan(g->data()->at(1)->value));
            QCOMPARE(g->data()->at(1)->key, 0.5);
        }
    }

    void redrawPolicy() {
        QcpChart c;
        setUp(c, 0, 10);
        auto* header = qobject_cast<QCPTextElement*>(c.plot()->plotLayout()->element(0, 0));
        QVERIFY(header);
        const int start = c.replotCount();

        c.setHeaderText("a"); // outside batch and suspension: at once
        QCOMPARE(c.replotCount(), start + 1);
        c.setHeaderText("a"); // no change, no redraw
        QCOMPARE(c.replotCount(), start + 1);

        c.suspendRepaint();
        c.setHeaderText("b");
        c.setAxisRange(ChartAxis::X, 1, 2);
        c.beginBatch();
        c.setPointCount(1, 10);
        c.endBatch();
        QCOMPARE(c.replotCount(), start + 1);
        QCOMPARE(header->text(), QStringLiteral("a"));
        QCOMPARE(c.plot()->xAxis->range().lower, 0.0);
        QCOMPARE(c.plot()->graph(0)->dataCount(), 0);
        QVERIFY(c.isRepaintSuspended());
        c.resumeRepaint();
        QCOMPARE(c.replotCount(), start + 2);
        QCOMPARE(header->text(), QStringLiteral("b"));
        QCOMPARE(c.plot()->graph(0)->dataCount(), 10);
        c.resumeRepaint(); // not suspended: nothing
        QCOMPARE(c.replotCount(), start + 2);

        // A batch takes its points over together at its end, with one redraw.
        c.beginBatch();
        for (int s = 1; s <= 4; ++s) {
            c.setPointCount(s, 20);
            for (int p = 1; p <= 20; ++p) {
                c.setXValue(p, p);
                c.setYValue(s, p, s);
            }
        }
        QCOMPARE(c.plot()->graph(0)->dataCount(), 10);
        c.endBatch();
        QCOMPARE(c.replotCount(), start + 3);
        QCOMPARE(c.plot()->graph(3)->dataCount(), 20);
        QCOMPARE(c.plot()->graph(3)->data()->at(19)->value, 4.0);

        // An empty batch, or one rewriting the same values, draws nothing.
        c.beginBatch();
        c.endBatch();
        c.beginBatch();
        c.setPointCount(1, 20);
        c.setYValue(1, 20, 1.0);
        c.endBatch();
        c.endBatch(); // unmatched: ignored
        QCOMPARE(c.replotCount(), start + 3);

        // Suspended batch: the redraw waits for the resume.
        c.suspendRepaint();
        c.beginBatch();
        c.setYValue(1, 20, 2.0);
        c.endBatch();
        QCOMPARE(c.replotCount(), start + 3);
        c.resumeRepaint();
        QCOMPARE(c.replotCount(), start + 4);
        QCOMPARE(c.plot()->graph(0)->data()->at(19)->value, 2.0);
    }

    void fakeRedrawsLikeReal() {
        QcpChart real;
        test::FakeChart fake;
        for (Chart* c : {static_cast<Chart*>(&real), static_cast<Chart*>(&fake)}) {
            setUp(*c, 0, 10);
            c->suspendRepaint();
            c->setHeaderText("x");
            c->resumeRepaint();
            c->beginBatch();
            c->setPointCount(1, 3);
            c->setXValue(1, 1);
            c->endBatch();
            c->setAxisRange(ChartAxis::X, 0, 20);
        }
        QCOMPARE(fake.redrawCount(), real.replotCount());
    }

    void rangesHeaderLegend() {
        QcpChart c;
        setUp(c, 0.1, 10.0, -90, 90);
        c.setHeaderText("開始時刻 [ 2024/1/2 3:4:5 ]");
        c.setHeaderPlacement(3);
        c.setAxisTitle(ChartAxis::X, "開始からの経過時間（秒）");
        c.setAxisTitle(ChartAxis::Y, "度");
        QCustomPlot* p = c.plot();
        QCOMPARE(p->xAxis->range().lower, 0.1);
        QCOMPARE(p->xAxis->range().upper, 10.0);
        QCOMPARE(p->yAxis->range().lower, -90.0);
        QCOMPARE(p->yAxis->range().upper, 90.0);
        QCOMPARE(c.axisRange(ChartAxis::X), std::make_pair(0.1, 10.0));
        QCOMPARE(p->xAxis->label(), QStringLiteral("開始からの経過時間（秒）"));
        QCOMPARE(p->yAxis->label(), QStringLiteral("度"));
        auto* header = qobject_cast<QCPTextElement*>(p->plotLayout()->element(0, 0));
        QCOMPARE(header->text(), QStringLiteral("開始時刻 [ 2024/1/2 3:4:5 ]"));
        QVERIFY(header->textFlags() & Qt::AlignLeft);
        QCOMPARE(header->font().family(), PGothicFamily());

        // Data far outside the range never widens it.
        c.setPointCount(1, 2);
        c.setXValue(1, -1000);
        c.setXValue(2, 1000);
        c.setYValue(1, 1, 5000);
        c.setYValue(1, 2, -5000);
        QCOMPARE(p->xAxis->range().upper, 10.0);
        QCOMPARE(p->yAxis->range().lower, -90.0);

        QVERIFY(p->legend->visible());
        QCOMPARE(p->legend->itemCount(), 4);
        const QColor colors[] = {QColor(255, 0, 0), QColor(0, 0, 205), QColor(255, 0, 255),
                                 QColor(34, 139, 34)};
        for (int i = 0; i < 4; ++i) {
            QCPGraph* g = p->graph(i);
            QCOMPARE(g->name(), QStringLiteral("%1台目").arg(i + 1));
            QVERIFY(p->legend->hasItemWithPlottable(g));
            QCOMPARE(g->pen().color(), colors[i]);
            QCOMPARE(g->pen().style(), Qt::SolidLine);
            QVERIFY(g->scatterStyle().isNone());
        }

        // The X axis crosses at the origin: at the bottom when it is the lower bound, else a line.
        auto* line = qobject_cast<QCPItemStraightLine*>(p->item(0));
        QVERIFY(line);
        QVERIFY(!line->visible());
        c.setAxisOrigin(ChartAxis::Y, 0);
        QVERIFY(line->visible());
        QCOMPARE(line->point1->coords().y(), 0.0);
    }

    void holesLowDensity() {
        QcpChart c;
        setUp(c, 0, 21);
        c.beginBatch();
        c.setPointCount(1, 20);
        for (int p = 1; p <= 20; ++p) {
            if (p != 15) { // point 15 gets a Y but no X: still a hole
                c.setXValue(p, p);
            }
            if (p != 10) {
                c.setYValue(1, p, 0.0);
            }
        }
        c.setPointCount(2, 20);
        c.setYValue(2, 5, 5.0); // a lone point between holes draws nothing
        c.endBatch();

        const QImage img = c.render(kWidth, kHeight);
        QCPAxis* x = c.plot()->xAxis;
        const int y0 = px(c.plot()->yAxis, 0);
        for (int col = px(x, 1) + 1; col < px(x, 9); ++col) {
            QVERIFY2(colorInColumn(img, col, y0, y0, kRed), qPrintable(QString::number(col)));
        }
        for (int col = px(x, 9) + 2; col <= px(x, 11) - 2; ++col) {
            QVERIFY2(!colorInColumn(img, col, y0, y0, kRed), qPrintable(QString::number(col)));
        }
        for (int col = px(x, 14) + 2; col <= px(x, 16) - 2; ++col) {
            QVERIFY2(!colorInColumn(img, col, y0, y0, kRed), qPrintable(QString::number(col)));
        }
        QVERIFY(colorInColumn(img, (px(x, 12) + px(x, 13)) / 2, y0, y0, kRed));
        const int y5 = px(c.plot()->yAxis, 5);
        for (int col = px(x, 4); col <= px(x, 6); ++col) {
            QVERIFY(!colorInColumn(img, col, y5, y5, kBlue));
        }
    }

    void holesHighDensity() {
        constexpr int n = 88000;
        QcpChart c;
        setUp(c, 0.1, 0.1 * n);
        c.beginBatch();
        c.setPointCount(1, n);
        c.setPointCount(2, n);
        for (int p = 1; p <= n; ++p) {
            c.setXValue(p, 0.1 * p);
            // Series 1: flat, with lone holes (finer than a pixel) and a run of 2000 holes.
            const bool loneHole = p < 30000 && p % 3 == 0;
            const bool run = p >= 40000 && p < 42000;
            if (!loneHole && !run) {
                c.setYValue(1, p, 0.0);
            }
            // Series 2: alternating 3 and 8, which must fill that band in every column.
            c.setYValue(2, p, p % 2 ? 3.0 : 8.0);
        }
        c.endBatch();

        const QImage img = c.render(kWidth, kHeight);
        QCPAxis* x = c.plot()->xAxis;
        QCPAxis* y = c.plot()->yAxis;
        const int y0 = px(y, 0);
        // Clear of the axes' inward tick marks.
        const int first = px(x, 0.1) + 7;
        const int last = px(x, 0.1 * n) - 7;
        for (int col = first; col <= last; ++col) {
            const double key = x->pixelToCoord(col);
            const bool inRun = key > 0.1 * 39999 && key < 0.1 * 42000;
            const bool nearRun = std::abs(key - 0.1 * 39999) < 2 * 0.1 * n / 500 ||
                                 std::abs(key - 0.1 * 42000) < 2 * 0.1 * n / 500;
            if (!nearRun) {
                QVERIFY2(colorInColumn(img, col, y0, y0, kRed) == !inRun,
                         qPrintable(QStringLiteral("column %1").arg(col)));
            }
            for (double v : {3.5, 5.5, 7.5}) {
                QVERIFY2(colorInColumn(img, col, px(y, v), px(y, v), kBlue),
                         qPrintable(QStringLiteral("column %1 at %2").arg(col).arg(v)));
            }
        }
    }

    void unsortedX() {
        QcpChart c;
        setUp(c, 0, 10);
        c.setPointCount(1, 3);
        c.setXValue(1, 5);
        c.setXValue(2, 1);
        c.setXValue(3, 3);
        for (int p = 1; p <= 3; ++p) {
            c.setYValue(1, p, p);
        }
        const auto* data = c.plot()->graph(0)->data().data();
        QCOMPARE(data->size(), 3);
        QVERIFY(std::is_sorted(data->constBegin(), data->constEnd(),
                               [](const auto& a, const auto& b) { return a.key < b.key; }));
        // Back in point order once X grows with the point number again.
        c.setXValue(1, 0);
        QCOMPARE(data->at(0)->value, 1.0);
        QCOMPARE(data->at(2)->value, 3.0);
    }

    void exportPicture() {
        QTemporaryDir dir;
        QcpChart c;
        setUp(c, 0, 10);
        c.setHeaderText("開始時刻  2024/1/2 3:4:5");
        c.setPointCount(1, 3);
        for (int p = 1; p <= 3; ++p) {
            c.setXValue(p, p);
            c.setYValue(1, p, p);
        }
        const QString path = dir.filePath("chart.svg");
        QVERIFY(c.exportPicture(path));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray svg = f.readAll();
        QVERIFY(svg.startsWith("<?xml") || svg.contains("<svg"));
        QVERIFY(svg.contains("2024/1/2"));
        QSvgRenderer renderer(svg);
        QVERIFY(renderer.isValid());
        QVERIFY(renderer.defaultSize().width() > 0);

        QVERIFY(!c.exportPicture(dir.filePath("missing/dir/chart.svg")));
        QVERIFY(!QFile::exists(dir.filePath("missing/dir/chart.svg")));

        test::FakeChart fake;
        QVERIFY(fake.exportPicture(dir.filePath("fake.svg")));
        QVERIFY(QSvgRenderer(dir.filePath("fake.svg")).isValid());
        fake.failExport = true;
        QVERIFY(!fake.exportPicture(dir.filePath("fake2.svg")));
    }

    // The chart as shown, at its size on screen (PNG at twice the pixels), by the extension.
    void exportImage_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("magic");
        QTest::addColumn<int>("scale");
        QTest::newRow("PNG") << "chart.png" << QByteArray("\x89PNG") << 2;
        QTest::newRow("SVG") << "chart.SVG" << QByteArray("<?xml") << 1;
        QTest::newRow("PDF") << "chart.pdf" << QByteArray("%PDF") << 1;
        QTest::newRow("other extension") << "chart.jpg" << QByteArray() << 0;
        QTest::newRow("no folder") << "none/chart.png" << QByteArray() << 0;
    }
    void exportImage() {
        QFETCH(QString, name);
        QFETCH(QByteArray, magic);
        QFETCH(int, scale);
        QTemporaryDir dir;
        QcpChart c;
        c.plot()->resize(kWidth, kHeight);
        setUp(c, 0, 10);
        const QString path = dir.filePath(name);
        QString error;
        QCOMPARE(c.exportImage(path, &error), scale > 0);
        QCOMPARE(error.isEmpty(), scale > 0);
        if (scale == 0) {
            QVERIFY(!QFile::exists(path));
            return;
        }
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        QVERIFY(bytes.startsWith(magic));
        QSize size;
        if (magic == "%PDF") {
            const auto box =
                QRegularExpression(QStringLiteral("/MediaBox \\[0 0 ([\\d.]+) ([\\d.]+)\\]"))
                    .match(QString::fromLatin1(bytes));
            size = QSizeF(box.captured(1).toDouble(), box.captured(2).toDouble()).toSize();
        } else if (scale == 2) {
            size = QImage::fromData(bytes).size();
        } else {
            size = QSvgRenderer(bytes).viewBox().size();
        }
        QCOMPARE(size, QSize(kWidth, kHeight) * scale);
    }

    // Clock times from the start, with the date where the range spans midnight.
    void clockTicks() {
        QCustomPlot plot;
        auto ticker = QSharedPointer<QcpClockTicker>::create();
        ticker->setStart(QDateTime(QDate(2026, 12, 7), QTime(23, 50, 7)));
        plot.xAxis->setTicker(ticker);
        const auto labels = [&plot](double from, double to) {
            plot.xAxis->setRange(from, to);
            plot.replot();
            const QVector<QString> l = plot.xAxis->tickVectorLabels();
            return QStringList(l.begin(), l.end());
        };
        const QStringList day = labels(0, 300);
        QVERIFY(!day.isEmpty());
        QCOMPARE(day.filter(QRegularExpression(QStringLiteral("^23:5\\d:\\d0$"))), day);
        // On whole clock times, not on whole seconds since the start.
        for (const double t : plot.xAxis->tickVector()) {
            QCOMPARE(std::fmod(t + 7.0, 10.0), 0.0);
        }
        const QStringList night = labels(0, 1800);
        QVERIFY(night.contains(QStringLiteral("2026/12/8\n00:00:00")));
        QVERIFY(labels(0, 2).first().contains(QLatin1Char('.')));
    }
};

QTEST_MAIN(TestChart)
#include "test_chart.moc"
