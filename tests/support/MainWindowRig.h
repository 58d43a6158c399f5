// SPDX-License-Identifier: GPL-3.0-or-later
// The main window on an engine rig, for the window tests, the soak tests and the benchmarks
// (they link k12_main_window).
#pragma once

#include "EngineRig.h"
#include "FakeChart.h"
#include "main_window/FormMain.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <memory>

namespace k12 {

// Reaches the window's private procedures from tests and benchmarks.
struct FormMainTestAccess {
    static void ScrollAxesX(FormMain& f) { f.ScrollAxesX(); }
    static void ReplayData(FormMain& f) { f.ReplayData(); }
    static void CmdDispClick(FormMain& f) { f.CmdDispClick(); }
};

namespace test {

// The main window over an engine rig, with a recording chart (or the real one, ChartType =
// QcpChart) and dialogs that record what they were asked. start() and step() go through the
// window.
template <typename ChartType = FakeChart> class BasicMainWindowRig : public EngineRig {
  public:
    // An empty settings store, as at a first start.
    BasicMainWindowRig() : BasicMainWindowRig({}, {.savedSettings = QMap<QString, QString>()}) {}
    explicit BasicMainWindowRig(const RunSetup& setup, const RigOptions& options = {})
        : EngineRig(setup, options) {
        FormMainDialogs dialogs{
            [this](QWidget*) {
                ++settingsDialogRuns;
                if (settingsDialogAction) {
                    settingsDialogAction(md);
                }
            },
            [this](QWidget*) {
                ++saveDialogRuns;
                return saveSucceeds;
            },
            [this](QWidget*) { return readFile; },
            [this](QWidget* parent, std::function<void()> onClosed) -> QWidget* {
                if (openDatalist) {
                    return openDatalist(parent, std::move(onClosed));
                }
                datalistClosed = std::move(onClosed);
                auto* w = new QWidget(parent, Qt::Window);
                w->setAttribute(Qt::WA_DeleteOnClose);
                QObject::connect(w, &QObject::destroyed, [this] {
                    if (datalistClosed) {
                        datalistClosed();
                    }
                });
                w->show();
                return w;
            },
            [this](QWidget*) { ++printRuns; },
            [this](QWidget*) { ++moveToolRuns; },
        };
        form = std::make_unique<FormMain>(FormMainServices{md, chart, messages, settings, engine},
                                          std::move(dialogs));
    }

    template <typename T> T* w(const QString& name) const { return form->findChild<T*>(name); }
    QPushButton* button(const QString& name) const { return w<QPushButton>(name); }
    void click(const QString& name) { QTest::mouseClick(button(name), Qt::LeftButton); }
    bool enabled(const QString& name) const { return button(name)->isEnabled(); }
    QComboBox* combo() const { return w<QComboBox>(QStringLiteral("Combo1")); }
    QRadioButton* opt(int i) const { return w<QRadioButton>(QStringLiteral("optWid_%1").arg(i)); }
    QLineEdit* txt(const char* name) const { return w<QLineEdit>(QString::fromLatin1(name)); }

    // Unit i's current value.
    QLabel* label(int i) const { return w<QLabel>(QStringLiteral("Label1_%1").arg(i)); }
    QString label1(int i) const { return label(i)->text(); }
    // It shows the unit in error: "エラー" in red.
    bool showsError(int i) const {
        return label1(i) == QStringLiteral("エラー") &&
               label(i)->palette().color(QPalette::WindowText) == QColor(Qt::red);
    }
    // The status line of a run going on into pieces.
    QLabel* pieces() const { return w<QLabel>(QStringLiteral("lblPieces")); }

    std::pair<int, int> window() const { return {md.ViewStart, md.ViewEnd}; }
    std::pair<double, double> xRange() const { return chart.axisRange(ChartAxis::X); }

    void start() { click(QStringLiteral("cmdStart")); }
    void stop() { click(QStringLiteral("cmdStop")); }
    // A PC-timer tick, and a device-timer step 100 ms after the last, as the window's timers
    // deliver them.
    void tick() { form->OnTimer1Tick(); }
    void step() {
        clock.advance(RunEngine::DEVICE_STEP_MS);
        form->OnTimer2Tick();
    }

    void selectCount(const QString& text) {
        combo()->setCurrentIndex(combo()->findText(text));
        Q_EMIT combo()->activated(combo()->currentIndex());
    }

    // Declared before the window, which calls into them until it is gone.
    std::function<void(ModuleData&)> settingsDialogAction;
    std::optional<QString> readFile;
    // Opens the data list instead of a plain window standing for it.
    std::function<QWidget*(QWidget*, std::function<void()>)> openDatalist;
    std::function<void()> datalistClosed;
    int settingsDialogRuns = 0;
    int saveDialogRuns = 0;
    bool saveSucceeds = true;
    int printRuns = 0;
    int moveToolRuns = 0;

    ChartType chart;
    std::unique_ptr<FormMain> form;
};

using MainWindowRig = BasicMainWindowRig<>;

} // namespace test
} // namespace k12
