// SPDX-License-Identifier: GPL-3.0-or-later
#include "printing/ChartPrintout.h"

#include "measurement/MeasurementStore.h"
#include "platform/Chart.h"
#include "platform/MessageBox.h"
#include "printing/MyPrinter.h"

#include <QCoreApplication>
#include <QLocale>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTemporaryDir>

namespace k12 {

namespace {

const QString kMsgTitle = QStringLiteral("Message");

QString PrintFailed() {
    return QCoreApplication::translate("Printing", "印刷できませんでした。");
}

} // namespace

PrintCommand::PrintCommand(const MeasurementStore& store, Chart& chart, MessageBox& messages,
                           PrintDialog& dialog, PrinterLister installed, const Clock* clock)
    : m_store(store), m_chart(chart), m_messages(messages), m_dialog(dialog),
      m_installed(installed ? std::move(installed)
                            : PrinterLister(&QPrinterInfo::availablePrinterNames)),
      m_clock(clock != nullptr ? *clock : m_systemClock) {
    // Taken once: later changes of the system default do not move the current printer.
    m_current.printerName = QPrinterInfo::defaultPrinterName();
}

PrintCommand::~PrintCommand() = default;

void PrintCommand::ShowMessage(const QString& text) {
    m_messages.show(text, kMsgTitle, MsgButtons::Ok, MsgIcon::None);
}

QString PrintCommand::IntervalText(bool timerType, int intervalTM) {
    if (timerType) {
        // 'g' with enough digits drops trailing zeros: 2000 -> "2", 2500 -> "2.5".
        return QString::number(intervalTM / 1000.0, 'g', 12) + QStringLiteral(" (sec)");
    }
    return QString::number(intervalTM) + QStringLiteral(" (msec)");
}

std::optional<QString> PrintCommand::MatchPrinter(const QStringList& installed,
                                                  const QString& chosen) {
    std::optional<QString> match;
    for (const QString& name : installed) {
        if (name.compare(chosen, Qt::CaseInsensitive) == 0) {
            match = name;
        }
    }
    return match;
}

std::unique_ptr<QPrinter> PrintCommand::MakePrinter(const PrintSettings& settings, QString* error) {
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    if (!settings.outputFile.isEmpty()) {
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(settings.outputFile);
    } else {
        if (settings.printerName.isEmpty() ||
            QPrinterInfo::printerInfo(settings.printerName).isNull()) {
            if (error != nullptr) {
                *error =
                    settings.printerName.isEmpty()
                        ? QCoreApplication::translate("Printing", "プリンタが選択されていません。")
                        : QCoreApplication::translate("Printing",
                                                      "プリンタ「%1」を使用できません。")
                              .arg(settings.printerName);
            }
            return nullptr;
        }
        printer->setPrinterName(settings.printerName);
    }
    printer->setDocName(QStringLiteral("ZORV-K12INC"));
    printer->setCopyCount(settings.copies);
    printer->setPageOrientation(settings.orientation);
    printer->setColorMode(settings.colorMode);
    printer->setDuplex(settings.duplex);
    printer->setPaperSource(settings.paperSource);
    printer->setPageSize(settings.pageSize);
    if (settings.resolution > 0) {
        printer->setResolution(settings.resolution);
    }
    return printer;
}

void PrintCommand::Run(QWidget* parent) {
    if (m_store.SampleCount < 1) {
        ShowMessage(QCoreApplication::translate("Printing", "データがありません。"));
        return;
    }
    PrintSettings preset = m_current;
    preset.orientation = QPageLayout::Landscape;
    const std::optional<PrintSettings> chosen = m_dialog.choose(parent, preset);
    if (!chosen) {
        ShowMessage(QCoreApplication::translate("Printing", "プリンタ名が無効です。"));
        return;
    }
    PrintSettings next = *chosen;
    if (chosen->outputFile.isEmpty()) {
        const std::optional<QString> match = MatchPrinter(m_installed(), chosen->printerName);
        if (!match) {
            ShowMessage(
                QCoreApplication::translate("Printing", "指定のプリンタがみつかりません。"));
            return;
        }
        next.printerName = *match;
    } else {
        next.printerName.clear();
    }
    m_current = next;
    PrintDatGraph();
}

bool PrintCommand::PrintDatGraph() {
    // A private directory gives a unique picture path and removes it on every way out.
    QTemporaryDir tempDir;
    const QString picturePath = tempDir.filePath(QStringLiteral("chart.svg"));
    if (!tempDir.isValid() || !m_chart.exportPicture(picturePath)) {
        ShowMessage(QCoreApplication::translate("Printing", "グラフ印刷エラー"));
        return false;
    }

    QString error;
    const std::unique_ptr<QPrinter> printer = MakePrinter(m_current, &error);
    if (!printer) {
        ShowMessage(PrintFailed() + QLatin1Char('\n') + error);
        return false;
    }
    MyPrinter page;
    page.SetPrinter(printer.get());
    page.PrDate(QLocale().toString(m_clock.now(), QLocale::ShortFormat));
    page.PrTitle(kTitle);
    double y = page.PrSubTitle(QCoreApplication::translate("Printing", "＜取込設定＞"));
    const double h = page.GetStrH();
    page.PrMeasParam(y, QCoreApplication::translate("Printing", "測定日"), false);
    page.PrMeasParam(y, m_store.StartTime, true);
    y += h;
    page.PrMeasParam(y, QCoreApplication::translate("Printing", "測定間隔"), false);
    page.PrMeasParam(y, IntervalText(m_store.TimerType, m_store.IntervalTM), true);
    // The chart starts no higher than one line step below the last header line.
    if (!page.PrintGraph(picturePath, y + h) || !page.EndPrint()) {
        ShowMessage(PrintFailed() + QLatin1Char('\n') + page.ErrorString());
        return false;
    }
    return true;
}

} // namespace k12
