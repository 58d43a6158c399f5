// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Chart.h"

#include <QColor>
#include <QImage>
#include <QList>
#include <QPainter>
#include <QProcess>
#include <QRectF>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QSvgGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocumentFragment>

namespace k12::test {

// Only the picture export matters to the printout.
class StubChart final : public Chart {
  public:
    QWidget* widget() override { return nullptr; }
    void suspendRepaint() override {}
    void resumeRepaint() override {}
    bool isRepaintSuspended() const override { return false; }
    void resetLabels() override {}
    void setSeriesCount(int) override {}
    int seriesCount() const override { return 4; }
    void beginBatch() override {}
    void endBatch() override {}
    void setPointCount(int, int) override {}
    int pointCount(int) const override { return 0; }
    void setXValue(int, double) override {}
    void setYValue(int, int, double) override {}
    std::optional<double> xValue(int) const override { return std::nullopt; }
    std::optional<double> yValue(int, int) const override { return std::nullopt; }
    void setSeriesStyleSolidNoMarker(int) override {}
    void setSeriesLabels(const QStringList&) override {}
    QStringList seriesLabels() const override { return {}; }
    void setHeaderText(const QString&) override {}
    QString headerText() const override { return {}; }
    void setHeaderPlacement(int) override {}
    void setAxisTitle(ChartAxis, const QString&) override {}
    QString axisTitle(ChartAxis) const override { return {}; }
    void setAxisRange(ChartAxis, double, double) override {}
    std::pair<double, double> axisRange(ChartAxis) const override { return {0, 1}; }
    void setAxisOrigin(ChartAxis, double) override {}

    // A grey filled frame with a line, so the print can be located.
    bool exportPicture(const QString& path) override {
        exportedPaths.append(path);
        if (failExport) {
            return false;
        }
        if (writeGarbage) {
            QFile file(path);
            return file.open(QIODevice::WriteOnly) && file.write("not a picture") > 0;
        }
        QSvgGenerator svg;
        svg.setFileName(path);
        svg.setSize(QSize(640, 360));
        svg.setViewBox(QRect(0, 0, 640, 360));
        QPainter p;
        if (!p.begin(&svg)) {
            return false;
        }
        p.fillRect(QRect(0, 0, 640, 360), QColor(200, 200, 200));
        p.setPen(QPen(Qt::blue, 3));
        p.drawLine(20, 340, 620, 20);
        return p.end();
    }

    QStringList exportedPaths;
    bool failExport = false;
    bool writeGarbage = false;
};

struct PdfWord {
    QString text;
    QRectF box; // pt, from the page's top left
};

struct PdfPage {
    QSizeF size; // pt
    QList<PdfWord> words;

    std::optional<PdfWord> find(const QString& text) const {
        for (const auto& w : words) {
            if (w.text == text) {
                return w;
            }
        }
        return std::nullopt;
    }
};

inline double PtToCm(double pt) {
    return pt / 72.0 * 2.54;
}

// Word boxes of the first page, read with poppler's pdftotext.
inline std::optional<PdfPage> ReadPdfWords(const QString& pdf) {
    QProcess proc;
    proc.start(QStringLiteral("pdftotext"),
               {QStringLiteral("-bbox"), QStringLiteral("-f"), QStringLiteral("1"),
                QStringLiteral("-l"), QStringLiteral("1"), pdf, QStringLiteral("-")});
    if (!proc.waitForFinished(30000) || proc.exitCode() != 0) {
        return std::nullopt;
    }
    const QString xhtml = QString::fromUtf8(proc.readAllStandardOutput());
    PdfPage page;
    static const QRegularExpression pageRe(
        QStringLiteral(R"re(<page width="([\d.]+)" height="([\d.]+)")re"));
    const auto pm = pageRe.match(xhtml);
    if (!pm.hasMatch()) {
        return std::nullopt;
    }
    page.size = QSizeF(pm.captured(1).toDouble(), pm.captured(2).toDouble());
    static const QRegularExpression wordRe(QStringLiteral(
        R"re(<word xMin="([\d.-]+)" yMin="([\d.-]+)" xMax="([\d.-]+)" yMax="([\d.-]+)">([^<]*)</word>)re"));
    for (auto it = wordRe.globalMatch(xhtml); it.hasNext();) {
        const auto m = it.next();
        const double x0 = m.captured(1).toDouble();
        const double y0 = m.captured(2).toDouble();
        page.words.append(
            {QTextDocumentFragment::fromHtml(m.captured(5)).toPlainText(),
             QRectF(x0, y0, m.captured(3).toDouble() - x0, m.captured(4).toDouble() - y0)});
    }
    return page;
}

// The first page rendered at `dpi` with poppler's pdftoppm.
inline QImage RenderPdf(const QString& pdf, int dpi) {
    QTemporaryDir dir;
    const QString prefix = dir.filePath(QStringLiteral("page"));
    QProcess proc;
    proc.start(QStringLiteral("pdftoppm"),
               {QStringLiteral("-r"), QString::number(dpi), QStringLiteral("-f"),
                QStringLiteral("1"), QStringLiteral("-l"), QStringLiteral("1"),
                QStringLiteral("-singlefile"), pdf, prefix});
    if (!proc.waitForFinished(30000) || proc.exitCode() != 0) {
        return {};
    }
    return QImage(prefix + QStringLiteral(".ppm"));
}

// What the printed page must show, positions in cm from the printable area's top left.
struct ExpectedPage {
    QPointF origin; // printable area's top left on the sheet, cm
    double width = 0.0;
    double height = 0.0;
    QString date;
    QString startTime;
    QString interval;
};

// Checks a printed chart page with QVERIFY/QCOMPARE; the caller tests QTest::currentTestFailed().
inline void VerifyPrintedPage(const QString& pdf, const ExpectedPage& e) {
    constexpr double tolX = 0.12; // cm
    constexpr double tolY = 0.2;  // cm, the word box top follows the font's ascent
    const auto page = ReadPdfWords(pdf);
    QVERIFY2(page.has_value(), "pdftotext could not read the output");
    QVERIFY2(page->size.width() > page->size.height(), "page is not landscape");

    const auto at = [&](const QString& text, double x, double y) {
        const auto w = page->find(text);
        QVERIFY2(w.has_value(), qPrintable(QStringLiteral("word not printed: ") + text));
        const double wx = PtToCm(w->box.left()) - e.origin.x();
        const double wy = PtToCm(w->box.top()) - e.origin.y();
        QVERIFY2(std::abs(wx - x) < tolX && std::abs(wy - y) < tolY,
                 qPrintable(QStringLiteral("%1 at (%2, %3) cm, expected (%4, %5)")
                                .arg(text)
                                .arg(wx)
                                .arg(wy)
                                .arg(x)
                                .arg(y)));
    };
    const double w = e.width;
    at(e.date.section(QLatin1Char(' '), 0, 0), w - 4.0, 0.5);
    if (QTest::currentTestFailed()) {
        return;
    }
    at(QStringLiteral("＜取込設定＞"), w / 4.0, 2.0);
    if (QTest::currentTestFailed()) {
        return;
    }

    // The title is centred: its words span symmetrically around the middle.
    QList<PdfWord> title;
    for (const auto& word : page->words) {
        if (word.text == QStringLiteral("-----") || word.text == QStringLiteral("ZORV-K12INC")) {
            title.append(word);
        }
    }
    QCOMPARE(title.size(), 3);
    const double mid = PtToCm((title.first().box.left() + title.last().box.right()) / 2.0);
    QVERIFY2(std::abs(mid - e.origin.x() - w / 2.0) < tolX, "title is not centred");
    QVERIFY(std::abs(PtToCm(title.first().box.top()) - e.origin.y() - 1.0) < tolY);

    const auto label1 = page->find(QStringLiteral("測定日"));
    const auto label2 = page->find(QStringLiteral("測定間隔"));
    QVERIFY(label1 && label2);
    const double y1 = PtToCm(label1->box.top()) - e.origin.y();
    const double y2 = PtToCm(label2->box.top()) - e.origin.y();
    // One subtitle step (10 pt line + 0.2 cm) below the subtitle, and the same again.
    QVERIFY2(y1 - 2.0 > 0.4 && y1 - 2.0 < 0.8, qPrintable(QString::number(y1)));
    QVERIFY(std::abs((y2 - y1) - (y1 - 2.0)) < 0.05);
    at(QStringLiteral("測定日"), w / 4.0, y1);
    at(e.startTime.section(QLatin1Char(' '), 0, 0), w / 4.0 + 3.0, y1);
    at(QStringLiteral("測定間隔"), w / 4.0, y2);
    at(e.interval.section(QLatin1Char(' '), 0, 0), w / 4.0 + 3.0, y2);

    // The chart fills its box: grey inside the box edges, white around it.
    const QRectF box(0.1 * w, e.height - 14.5, 0.8 * w, 12.5);
    constexpr int dpi = 50;
    const QImage image = RenderPdf(pdf, dpi);
    QVERIFY2(!image.isNull(), "pdftoppm could not render the output");
    const auto pixel = [&](double xCm, double yCm) {
        const double px = (xCm + e.origin.x()) / 2.54 * dpi;
        const double py = (yCm + e.origin.y()) / 2.54 * dpi;
        return QColor(image.pixel(int(px), int(py)));
    };
    const auto isWhite = [](const QColor& c) { return c.lightness() > 250; };
    constexpr double in = 0.15;  // cm inside the box edges
    constexpr double out = 0.25; // cm outside
    for (const QPointF& p :
         {box.topLeft() + QPointF(in, in), box.topRight() + QPointF(-in, in),
          box.bottomLeft() + QPointF(in, -in), box.bottomRight() + QPointF(-in, -in)}) {
        QVERIFY2(!isWhite(pixel(p.x(), p.y())), "chart box corner not painted");
    }
    for (const QPointF& p : {box.topLeft() + QPointF(-out, box.height() / 2),
                             box.topRight() + QPointF(out, box.height() / 2),
                             box.bottomLeft() + QPointF(box.width() / 2, out),
                             box.topLeft() + QPointF(box.width() / 2, -out)}) {
        QVERIFY2(isWhite(pixel(p.x(), p.y())), "paint outside the chart box");
    }
}

// Checks a printed page from its rendering alone, for outputs whose text cannot be extracted
// (a print queue that outlines the fonts). A portrait sheet means the landscape page was turned
// a quarter counter-clockwise onto it, as print queues do.
inline void VerifyPrintedRaster(const QString& pdf, const ExpectedPage& e) {
    constexpr int dpi = 100;
    const QImage image = RenderPdf(pdf, dpi);
    QVERIFY2(!image.isNull(), "pdftoppm could not render the output");
    const bool turned = image.height() > image.width();
    const double sheetHeightCm = image.height() * 2.54 / dpi;
    // Page cm (from the printable area's top left) to the colour on the sheet.
    const auto dark = [&](double x, double y) {
        double sx = x + e.origin.x();
        double sy = y + e.origin.y();
        if (turned) {
            const double t = sx;
            sx = sy;
            sy = sheetHeightCm - t;
        }
        const int px = int(sx / 2.54 * dpi);
        const int py = int(sy / 2.54 * dpi);
        return image.valid(px, py) && QColor(image.pixel(px, py)).lightness() < 240;
    };
    // Any ink in the page rectangle r (cm)?
    const auto inked = [&](const QRectF& r) {
        constexpr double step = 0.02;
        for (double y = r.top(); y < r.bottom(); y += step) {
            for (double x = r.left(); x < r.right(); x += step) {
                if (dark(x, y)) {
                    return true;
                }
            }
        }
        return false;
    };
    const double lineH = 0.35; // a 10 pt line
    // A text starts at x (within about a millimetre): ink right there, none just before it.
    const auto startsAt = [&](const char* what, double x, double y) {
        QVERIFY2(inked(QRectF(x - 0.05, y, 0.17, lineH)), what);
        QVERIFY2(!inked(QRectF(x - 0.4, y, 0.33, lineH)), what);
    };
    const double w = e.width;
    startsAt("date", w - 4.0, 0.5);
    startsAt("subtitle", w / 4.0, 2.0);
    double y1 = 0.0;
    for (double y = 2.4; y < 3.0 && y1 == 0.0; y += 0.02) {
        if (inked(QRectF(w / 4.0, y, 0.5, 0.02))) {
            y1 = y;
        }
    }
    QVERIFY2(y1 > 0.0, "no settings line under the subtitle");
    startsAt("start time label", w / 4.0, y1);
    startsAt("start time", w / 4.0 + 3.0, y1);
    const double step = y1 - 2.0 + 0.05;
    startsAt("interval label", w / 4.0, y1 + step - 0.05);
    startsAt("interval", w / 4.0 + 3.0, y1 + step - 0.05);

    // The title row's ink is centred.
    double left = -1.0;
    double right = -1.0;
    for (double x = 0.0; x < w; x += 0.02) {
        if (inked(QRectF(x, 1.0, 0.02, 0.4))) {
            if (left < 0.0) {
                left = x;
            }
            right = x;
        }
    }
    QVERIFY2(left > 0.0 && std::abs((left + right) / 2.0 - w / 2.0) < 0.15, "title not centred");

    const QRectF box(0.1 * w, e.height - 14.5, 0.8 * w, 12.5);
    QVERIFY2(inked(QRectF(box.left() + 0.1, box.top() + 0.1, 0.05, 0.05)), "chart top left");
    QVERIFY2(inked(QRectF(box.right() - 0.15, box.bottom() - 0.15, 0.05, 0.05)),
             "chart bottom right");
    QVERIFY2(!inked(QRectF(box.left() - 0.4, box.top(), 0.3, box.height())), "ink left of chart");
    QVERIFY2(!inked(QRectF(box.right() + 0.1, box.top(), 0.3, box.height())), "ink right of chart");
    QVERIFY2(!inked(QRectF(box.left(), box.bottom() + 0.1, box.width(), 0.3)), "ink below chart");
}

} // namespace k12::test
