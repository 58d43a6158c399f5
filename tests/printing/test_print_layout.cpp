// SPDX-License-Identifier: GPL-3.0-or-later
#include "FakeClock.h"
#include "FakeMessageBox.h"
#include "FakePrintDialog.h"
#include "PrintTestSupport.h"
#include "measurement/MeasurementStore.h"
#include "printing/ChartPrintout.h"
#include "printing/MyPrinter.h"

#include <QFileInfo>
#include <QLocale>
#include <QPrinter>
#include <QtTest>

using namespace k12;
using namespace k12::test;

namespace {

// A PDF printer whose printable area is 27.7 x 19.0 cm (A4 landscape, 1 cm margins).
std::unique_ptr<QPrinter> PdfPrinter(const QString& file, double marginMm = 10.0,
                                     QPageSize size = QPageSize(QPageSize::A4)) {
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setOutputFileName(file);
    printer->setPageLayout(QPageLayout(size, QPageLayout::Landscape,
                                       QMarginsF(marginMm, marginMm, marginMm, marginMm),
                                       QPageLayout::Millimeter));
    return printer;
}

const MyPrinter::TextItem* TextAt(const MyPrinter& page, const QString& text) {
    for (const auto& item : page.Items()) {
        if (const auto* t = std::get_if<MyPrinter::TextItem>(&item); t && t->text == text) {
            return t;
        }
    }
    return nullptr;
}

} // namespace

class TestPrintLayout : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    MeasurementStore m_store;
    StubChart m_chart;
    FakeMessageBox m_messages;
    FakePrintDialog m_dialog;
    FakeClock m_clock;
    QStringList m_installed;

    std::unique_ptr<PrintCommand> MakeCommand() {
        return std::make_unique<PrintCommand>(
            m_store, m_chart, m_messages, m_dialog, [this] { return m_installed; }, &m_clock);
    }

    PrintSettings PdfSettings(const QString& name) {
        PrintSettings s;
        s.outputFile = m_dir.filePath(name);
        s.orientation = QPageLayout::Landscape;
        s.pageSize = QPageSize(QPageSize::A4);
        return s;
    }

    void VerifyTempGone() {
        QVERIFY(!m_chart.exportedPaths.isEmpty());
        for (const QString& path : m_chart.exportedPaths) {
            QVERIFY2(!QFileInfo::exists(path), qPrintable(path));
            QVERIFY2(!QFileInfo::exists(QFileInfo(path).path()), qPrintable(path));
        }
    }

  private Q_SLOTS:
    void init() {
        m_store = {};
        m_store.SampleCount = 10;
        m_store.StartTime = QStringLiteral("2024/3/5 9:7:2");
        m_store.TimerType = true;
        m_store.IntervalTM = 1000;
        m_chart = {};
        m_messages.clear();
        m_dialog.presets.clear();
        m_dialog.answer.reset();
        m_installed = {QStringLiteral("Office")};
    }

    void pageGeometry() {
        const QString file = m_dir.filePath(QStringLiteral("geometry.pdf"));
        auto printer = PdfPrinter(file);
        MyPrinter page;
        page.SetPrinter(printer.get());
        QCOMPARE_LT(std::abs(page.GetPrWidth() - 27.7), 1e-3);
        QCOMPARE_LT(std::abs(page.GetPrHeight() - 19.0), 1e-3);

        page.PrDate(QStringLiteral("date"));
        page.PrTitle(QStringLiteral("title"));
        const double y = page.PrSubTitle(QStringLiteral("sub"));
        const double step = page.GetStrH();
        QVERIFY(step > 0.4 && step < 0.8); // a 10 pt line plus 0.2 cm
        QCOMPARE_LT(std::abs(y - (2.0 + step)), 1e-9);
        QCOMPARE_LT(std::abs(page.PrSubTitle(QStringLiteral("sub2")) - (2.0 + 2 * step)), 1e-9);
        page.PrMeasParam(y, QStringLiteral("label"), false);
        page.PrMeasParam(y, QStringLiteral("value"), true);
        m_chart.exportPicture(m_dir.filePath(QStringLiteral("geometry.svg")));
        QVERIFY(page.PrintGraph(m_chart.exportedPaths.last()));

        const auto near = [](QPointF p, double x, double y) {
            return std::abs(p.x() - x) < 1e-3 && std::abs(p.y() - y) < 1e-3;
        };
        QVERIFY(near(TextAt(page, QStringLiteral("date"))->pos, 23.7, 0.5));
        QVERIFY(near(TextAt(page, QStringLiteral("sub"))->pos, 6.925, 2.0));
        QVERIFY(near(TextAt(page, QStringLiteral("label"))->pos, 6.925, y));
        QVERIFY(near(TextAt(page, QStringLiteral("value"))->pos, 9.925, y));
        const auto* title = TextAt(page, QStringLiteral("title"));
        QCOMPARE(title->font.family(), QStringLiteral("MS P明朝"));
        QCOMPARE(title->font.pointSizeF(), 12.0);
        QCOMPARE(TextAt(page, QStringLiteral("date"))->font.pointSizeF(), 10.0);
        QCOMPARE_LT(std::abs(title->pos.y() - 1.0), 1e-9);
        QVERIFY(title->pos.x() > 12.0 && title->pos.x() < 13.85);

        const auto* picture = std::get_if<MyPrinter::PictureItem>(&page.Items().back());
        QVERIFY(picture);
        QCOMPARE_LT(std::abs(picture->box.left() - 2.77), 1e-3);
        QCOMPARE_LT(std::abs(picture->box.right() - 24.93), 1e-3);
        QCOMPARE_LT(std::abs(picture->box.top() - 4.5), 1e-3);
        QCOMPARE_LT(std::abs(picture->box.bottom() - 17.0), 1e-3);

        // Nothing reaches the printer before the page is ended.
        QVERIFY(!QFileInfo::exists(file));
        QVERIFY(page.EndPrint());
        QVERIFY(QFileInfo(file).size() > 0);
    }

    void pageEdgeCases() {
        // A low page puts the picture above the top; a long title starts left of the area.
        auto printer = PdfPrinter(m_dir.filePath(QStringLiteral("low.pdf")), 5.0,
                                  QPageSize(QSizeF(120, 200), QPageSize::Millimeter));
        MyPrinter page;
        page.SetPrinter(printer.get());
        page.PrTitle(QString(200, QLatin1Char('W')));
        m_chart.exportPicture(m_dir.filePath(QStringLiteral("low.svg")));
        QVERIFY(page.PrintGraph(m_chart.exportedPaths.last()));
        QVERIFY(std::get<MyPrinter::TextItem>(page.Items().front()).pos.x() < 0.0);
        QVERIFY(std::get<MyPrinter::PictureItem>(page.Items().back()).box.top() < 0.0);
        QVERIFY(page.EndPrint());

        MyPrinter bad;
        bad.SetPrinter(printer.get());
        QVERIFY(!bad.PrintGraph(m_dir.filePath(QStringLiteral("missing.svg"))));
        QVERIFY(!bad.ErrorString().isEmpty());
    }

    void intervalText_data() {
        QTest::addColumn<bool>("pcTimer");
        QTest::addColumn<int>("interval");
        QTest::addColumn<QString>("text");
        QTest::newRow("pc 2000") << true << 2000 << QStringLiteral("2 (sec)");
        QTest::newRow("pc 1000") << true << 1000 << QStringLiteral("1 (sec)");
        QTest::newRow("pc 2500") << true << 2500 << QStringLiteral("2.5 (sec)");
        QTest::newRow("pc 30000") << true << 30000 << QStringLiteral("30 (sec)");
        QTest::newRow("device 300") << false << 300 << QStringLiteral("300 (msec)");
        QTest::newRow("device 500") << false << 500 << QStringLiteral("500 (msec)");
    }
    void intervalText() {
        QFETCH(bool, pcTimer);
        QFETCH(int, interval);
        QFETCH(QString, text);
        QCOMPARE(PrintCommand::IntervalText(pcTimer, interval), text);
    }

    void matchPrinter_data() {
        QTest::addColumn<QStringList>("installed");
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("match"); // empty: none
        const QStringList list{QStringLiteral("Office"), QStringLiteral("LASER"),
                               QStringLiteral("Plotter"), QStringLiteral("laser")};
        QTest::newRow("exact") << list << QStringLiteral("Office") << QStringLiteral("Office");
        QTest::newRow("case") << list << QStringLiteral("plotTER") << QStringLiteral("Plotter");
        QTest::newRow("last wins") << list << QStringLiteral("Laser") << QStringLiteral("laser");
        QTest::newRow("missing") << list << QStringLiteral("Lase") << QString();
        QTest::newRow("empty name") << list << QString() << QString();
        QTest::newRow("none installed") << QStringList() << QStringLiteral("Office") << QString();
    }
    void matchPrinter() {
        QFETCH(QStringList, installed);
        QFETCH(QString, chosen);
        QFETCH(QString, match);
        QCOMPARE(PrintCommand::MatchPrinter(installed, chosen).value_or(QString()), match);
    }

    void refusals_data() {
        QTest::addColumn<int>("samples");
        QTest::addColumn<bool>("confirm");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("dialogs");
        QTest::newRow("no data") << 0 << true << QStringLiteral("データがありません。") << 0;
        QTest::newRow("cancel") << 5 << false << QStringLiteral("プリンタ名が無効です。") << 1;
        QTest::newRow("unknown printer")
            << 5 << true << QStringLiteral("指定のプリンタがみつかりません。") << 1;
    }
    void refusals() {
        QFETCH(int, samples);
        QFETCH(bool, confirm);
        QFETCH(QString, message);
        QFETCH(int, dialogs);
        m_store.SampleCount = samples;
        PrintSettings chosen;
        chosen.printerName = QStringLiteral("Nowhere");
        if (confirm) {
            m_dialog.answer = chosen;
        }
        auto command = MakeCommand();
        PrintSettings before = PdfSettings(QStringLiteral("refused.pdf"));
        before.orientation = QPageLayout::Portrait;
        command->SetCurrentPrinter(before);
        command->Run(nullptr);

        QCOMPARE(m_messages.texts(), QStringList{message});
        QCOMPARE(m_messages.last().title, QStringLiteral("Message"));
        QCOMPARE(m_messages.last().buttons, MsgButtons::Ok);
        QCOMPARE(m_dialog.presets.size(), dialogs);
        QVERIFY(m_chart.exportedPaths.isEmpty());
        QCOMPARE(command->CurrentPrinter().outputFile, before.outputFile);
        QVERIFY(!QFileInfo::exists(before.outputFile));
        if (dialogs == 1) {
            // Preset from the current printer, orientation landscape.
            QCOMPARE(m_dialog.presets.first().outputFile, before.outputFile);
            QCOMPARE(m_dialog.presets.first().orientation, QPageLayout::Landscape);
        }
    }

    void selectsInstalledPrinterIgnoringCase() {
        m_installed = {QStringLiteral("Office"), QStringLiteral("LASER"), QStringLiteral("laser")};
        PrintSettings chosen;
        chosen.printerName = QStringLiteral("Laser");
        chosen.copies = 3;
        chosen.duplex = QPrinter::DuplexLongSide;
        m_dialog.answer = chosen;
        auto command = MakeCommand();
        command->Run(nullptr);
        QCOMPARE(command->CurrentPrinter().printerName, QStringLiteral("laser"));
        QCOMPARE(command->CurrentPrinter().copies, 3);
        QCOMPARE(command->CurrentPrinter().duplex, QPrinter::DuplexLongSide);
        // The chart was exported; the fake queue is unknown to the system, which is reported.
        QCOMPARE(m_chart.exportedPaths.size(), 1);
        QCOMPARE(m_messages.shown.size(), 1);
        QVERIFY(m_messages.last().text.contains(QStringLiteral("laser")));
        QCOMPARE(m_messages.last().title, QStringLiteral("Message"));
        VerifyTempGone();

        // The next dialog is preset from the printer now current.
        m_dialog.answer.reset();
        command->Run(nullptr);
        QCOMPARE(m_dialog.presets.last().printerName, QStringLiteral("laser"));
        QCOMPARE(m_dialog.presets.last().copies, 3);
    }

    void printsPageToPdf() {
        m_store.StartTime = QStringLiteral("2024/3/5 9:7:2");
        m_store.TimerType = false;
        m_store.IntervalTM = 300;
        m_dialog.answer = PdfSettings(QStringLiteral("page.pdf"));
        auto command = MakeCommand();
        command->Run(nullptr);
        QVERIFY2(m_messages.shown.isEmpty(), qPrintable(m_messages.texts().join(u'|')));
        const QString pdf = m_dialog.answer->outputFile;
        QVERIFY(QFileInfo(pdf).size() > 0);
        VerifyTempGone();

        auto printer = PrintCommand::MakePrinter(*m_dialog.answer, nullptr);
        const QRectF area = printer->pageRect(QPrinter::Millimeter);
        ExpectedPage e;
        e.origin = area.topLeft() / 10.0;
        e.width = area.width() / 10.0;
        e.height = area.height() / 10.0;
        e.date = QLocale().toString(m_clock.current, QLocale::ShortFormat);
        e.startTime = m_store.StartTime;
        e.interval = QStringLiteral("300 (msec)");
        VerifyPrintedPage(pdf, e);
    }

    void chartStaysBelowTheHeaderOnShortPaper_data() {
        QTest::addColumn<int>("size");
        QTest::newRow("JIS B5") << int(QPageSize::JisB5);
        QTest::newRow("A5") << int(QPageSize::A5);
    }
    void chartStaysBelowTheHeaderOnShortPaper() {
        QFETCH(int, size);
        PrintSettings settings = PdfSettings(QStringLiteral("short.pdf"));
        settings.pageSize = QPageSize(QPageSize::PageSizeId(size));
        auto command = MakeCommand();
        command->SetCurrentPrinter(settings);
        QVERIFY(command->PrintDatGraph());

        const QRectF area =
            PrintCommand::MakePrinter(settings, nullptr)->pageRect(QPrinter::Millimeter);
        const QPointF origin = area.topLeft() / 10.0;
        const auto page = ReadPdfWords(settings.outputFile);
        QVERIFY(page);
        const auto label1 = page->find(QStringLiteral("測定日"));
        const auto label2 = page->find(QStringLiteral("測定間隔"));
        QVERIFY(label1 && label2);
        const double y2 = PtToCm(label2->box.top()) - origin.y();
        const double step = y2 - (PtToCm(label1->box.top()) - origin.y());

        // Down the middle of the page from the last header line: the first paint is the chart.
        constexpr int dpi = 100;
        const QImage image = RenderPdf(settings.outputFile, dpi);
        QVERIFY(!image.isNull());
        const int px = int((origin.x() + area.width() / 20.0) / 2.54 * dpi);
        std::optional<double> chartTop;
        for (int py = int((origin.y() + y2) / 2.54 * dpi); py < image.height(); ++py) {
            if (QColor(image.pixel(px, py)).lightness() < 250) {
                chartTop = py * 2.54 / dpi - origin.y();
                break;
            }
        }
        QVERIFY2(chartTop, "no chart printed");
        QVERIFY2(*chartTop >= y2 + step - 0.05,
                 qPrintable(QStringLiteral("chart top %1 cm, last header line %2 cm, step %3 cm")
                                .arg(*chartTop)
                                .arg(y2)
                                .arg(step)));
        QVERIFY(*chartTop < area.height() / 10.0 - 4.0); // and it is not squeezed to nothing
    }

    void failuresRemoveTheTemporaryPicture_data() {
        QTest::addColumn<int>("fault");
        QTest::addColumn<QString>("message");
        QTest::newRow("chart export") << 0 << QStringLiteral("グラフ印刷エラー");
        QTest::newRow("unreadable picture") << 1 << QStringLiteral("印刷できませんでした。");
        QTest::newRow("printer error") << 2 << QStringLiteral("印刷できませんでした。");
    }
    void failuresRemoveTheTemporaryPicture() {
        QFETCH(int, fault);
        QFETCH(QString, message);
        PrintSettings settings = PdfSettings(QStringLiteral("failed.pdf"));
        m_chart.failExport = fault == 0;
        m_chart.writeGarbage = fault == 1;
        if (fault == 2) {
            settings.outputFile = m_dir.filePath(QStringLiteral("no/such/dir/failed.pdf"));
        }
        auto command = MakeCommand();
        command->SetCurrentPrinter(settings);
        QVERIFY(!command->PrintDatGraph());
        QCOMPARE(m_messages.shown.size(), 1);
        QVERIFY(m_messages.last().text.startsWith(message));
        QCOMPARE(m_messages.last().title, QStringLiteral("Message"));
        QVERIFY(!QFileInfo::exists(settings.outputFile));
        VerifyTempGone();
    }
};

QTEST_MAIN(TestPrintLayout)
#include "test_print_layout.moc"
