// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPageLayout>
#include <QPageSize>
#include <QPrinter>
#include <QString>
#include <optional>

class QWidget;

namespace k12 {

// A printer and the options chosen for it. An empty printerName with an outputFile means
// "print into this PDF file" instead of a printer.
struct PrintSettings {
    QString printerName;
    QString outputFile;
    int copies = 1;
    QPageLayout::Orientation orientation = QPageLayout::Landscape;
    QPrinter::ColorMode colorMode = QPrinter::Color;
    QPrinter::DuplexMode duplex = QPrinter::DuplexNone;
    QPrinter::PaperSource paperSource = QPrinter::Auto;
    QPageSize pageSize = QPageSize(QPageSize::A4);
    int resolution = 0; // dots per inch; 0 keeps the printer's own
};

// The printer-selection dialog. The preset comes from the current printer (orientation forced
// to landscape by the caller); std::nullopt means cancelled or the dialog failed.
class PrintDialog {
  public:
    virtual ~PrintDialog() = default;
    virtual std::optional<PrintSettings> choose(QWidget* parent, const PrintSettings& preset) = 0;
};

} // namespace k12
