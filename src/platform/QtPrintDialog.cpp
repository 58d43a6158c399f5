// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/QtPrintDialog.h"

#include <QPrintDialog>
#include <QPrinterInfo>

namespace k12 {

std::optional<PrintSettings> QtPrintDialog::choose(QWidget* parent, const PrintSettings& preset) {
    // The dialog edits a scratch printer, so a cancel leaves the caller's printer untouched.
    QPrinter scratch(QPrinter::HighResolution);
    if (!preset.printerName.isEmpty() && !QPrinterInfo::printerInfo(preset.printerName).isNull()) {
        scratch.setPrinterName(preset.printerName);
    } else if (!preset.outputFile.isEmpty()) {
        scratch.setOutputFormat(QPrinter::PdfFormat);
        scratch.setOutputFileName(preset.outputFile);
    }
    scratch.setPaperSource(preset.paperSource);
    scratch.setPageSize(preset.pageSize);
    scratch.setPageOrientation(preset.orientation);
    scratch.setCopyCount(preset.copies);

    QPrintDialog dialog(&scratch, parent);
    dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
    dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
    dialog.setOption(QAbstractPrintDialog::PrintToFile, true);
    dialog.setOption(QAbstractPrintDialog::PrintShowPageSize, true);
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }

    PrintSettings chosen;
    if (scratch.outputFormat() == QPrinter::PdfFormat && !scratch.outputFileName().isEmpty()) {
        chosen.outputFile = scratch.outputFileName();
    } else {
        chosen.printerName = scratch.printerName();
    }
    chosen.copies = scratch.copyCount();
    chosen.orientation = scratch.pageLayout().orientation();
    chosen.colorMode = scratch.colorMode();
    chosen.duplex = scratch.duplex();
    chosen.paperSource = scratch.paperSource();
    chosen.pageSize = scratch.pageLayout().pageSize();
    chosen.resolution = scratch.resolution();
    return chosen;
}

} // namespace k12
