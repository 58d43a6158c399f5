// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Clock.h"
#include "platform/PrintDialog.h"

#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

class QPrinter;
class QWidget;

namespace k12 {

class Chart;
class MessageBox;
struct MeasurementStore;

// The print command: printer selection, then one page with the header, the acquisition
// settings of the stored measurement and the chart.
class PrintCommand {
  public:
    using PrinterLister = std::function<QStringList()>;

    static inline const QString kTitle = QStringLiteral("----- ZORV-K12INC -----");

    // `installed` lists the installed printers (the system's by default). The current printer
    // starts as the system default and keeps its name when the default changes later.
    PrintCommand(const MeasurementStore& store, Chart& chart, MessageBox& messages,
                 PrintDialog& dialog, PrinterLister installed = {}, const Clock* clock = nullptr);
    ~PrintCommand();

    // The click on the print button.
    void Run(QWidget* parent);
    // Lays out and prints the page on the current printer; false when nothing was printed
    // (the operator has been told why).
    bool PrintDatGraph();

    const PrintSettings& CurrentPrinter() const { return m_current; }
    void SetCurrentPrinter(const PrintSettings& printer) { m_current = printer; }

    static QString IntervalText(bool timerType, int intervalTM);
    // Case-insensitive; the last of several matches wins.
    static std::optional<QString> MatchPrinter(const QStringList& installed, const QString& chosen);
    // A printer set up with `settings`, or nullptr with `error` set.
    static std::unique_ptr<QPrinter> MakePrinter(const PrintSettings& settings, QString* error);

  private:
    void ShowMessage(const QString& text);

    const MeasurementStore& m_store;
    Chart& m_chart;
    MessageBox& m_messages;
    PrintDialog& m_dialog;
    PrinterLister m_installed;
    SystemClock m_systemClock;
    const Clock& m_clock;
    PrintSettings m_current;
};

} // namespace k12
