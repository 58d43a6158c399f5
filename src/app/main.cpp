// SPDX-License-Identifier: GPL-3.0-or-later
// The program: wires the real platform boundaries to the main window.
#include "chart/QcpChart.h"
#include "data_files/DialogDatalist.h"
#include "data_files/DialogMemo.h"
#include "language/Language.h"
#include "main_window/FormMain.h"
#include "move_tool/DialogMoveWindow.h"
#include "platform/Fonts.h"
#include "platform/PortMap.h"
#include "platform/QtFileDialog.h"
#include "platform/QtMessageBox.h"
#include "platform/QtPrintDialog.h"
#include "platform/QtSerialPort.h"
#include "platform/QtSettingsStore.h"
#include "printing/ChartPrintout.h"
#include "settings/DialogSetting.h"

#include <QApplication>
#include <QFont>
#include <QIcon>
#include <QTimer>

using namespace k12;

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    // Japanese unless the locale asks for English; Qt's own dialogs follow.
    ChooseLanguage(Language::Japanese);
    RegisterFontSubstitutes();
    QApplication::setFont(QFont(PGothicFamily(), 9));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/k12inc.svg")));

    QtSettingsStore settings;
    QtMessageBox messages;
    QtFileDialog files(messages);
    QtPrintDialog printDialog;
    SystemClock clock;
    QcpChart chart;
    chart.setDialogs(files, messages);
    ModuleData md([&settings] { return std::make_unique<QtSerialPort>(settings); }, messages);
    PrintCommand printing(md, chart, messages, printDialog);
    MoveToolLauncher* moveTool = nullptr;

    FormMainDialogs dialogs{
        [&md, &settings, &files](QWidget* parent) {
            DialogSetting dialog(md, md.Messages(), files, parent,
                                 [&settings](int port) { return PortDevice(settings, port); });
            dialog.exec();
        },
        [&md, &files, &messages](QWidget* parent) {
            DialogMemo dialog(md, files, messages, CsvStoreWriter(), DataFileStoreWriter(), parent);
            return dialog.exec() == QDialog::Accepted;
        },
        [&files](QWidget* parent) { return files.openFileName(parent, DedicatedFilter()); },
        [&md](QWidget* parent, std::function<void()> onClosed) -> QWidget* {
            auto* list = new DialogDatalist(md, parent);
            list->setAttribute(Qt::WA_DeleteOnClose);
            QObject::connect(list, &DialogDatalist::closed, list, std::move(onClosed));
            list->show();
            return list;
        },
        [&printing](QWidget* parent) { printing.Run(parent); },
        [&moveTool](QWidget*) {
            if (moveTool != nullptr) {
                moveTool->Show();
            }
        },
    };

    // Each run's rows are kept on disk while it runs, so a crash loses at most about a second.
    RunJournal journal(RunJournal::DefaultFolder(), messages);
    RunEngine engine(md, clock, journal);
    engine.SetPortDevices([&settings](int port) { return PortDevice(settings, port); });
    FormMain form(FormMainServices{md, chart, messages, settings, engine}, std::move(dialogs));
    messages.setParent(&form);
    moveTool = new MoveToolLauncher(&form);
    moveTool->setParent(&form);
    form.show();
    // Asked once the window is on the screen.
    QTimer::singleShot(0, &form, &FormMain::OfferUnsavedRun);
    return QApplication::exec();
}
