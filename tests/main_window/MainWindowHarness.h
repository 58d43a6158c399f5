// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "FakeChart.h"
#include "FakeClock.h"
#include "FakeMessageBox.h"
#include "FakeSerialPort.h"
#include "FakeSettingsStore.h"
#include "main_window/FormMain.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <memory>
#include <vector>

namespace k12 {

// Reaches the window's private procedures from tests.
struct FormMainTestAccess {
    static void ScrollAxesX(FormMain& f) { f.ScrollAxesX(); }
    static void ReplayData(FormMain& f) { f.ReplayData(); }
};

namespace test {

// Settings with exactly the given units (indexes) in use, the timer type and the interval.
inline void UseUnits(FakeSettingsStore& s, std::initializer_list<int> units, bool pcTimer = true,
                     int interval = 1000) {
    for (int i = 0; i < 4; ++i) {
        s.values[QStringLiteral("MeasInfo/Mflag%1").arg(i + 1)] = QStringLiteral("False");
    }
    for (int i : units) {
        s.values[QStringLiteral("MeasInfo/Mflag%1").arg(i + 1)] = QStringLiteral("True");
    }
    s.values[QStringLiteral("MeasInfo/TimerType")] =
        pcTimer ? QStringLiteral("True") : QStringLiteral("False");
    s.values[QStringLiteral("MeasInfo/IntervalTM")] = QString::number(interval);
}

// The same as a preset for MainWindowHarness.
inline std::function<void(FakeSettingsStore&)> Units(std::initializer_list<int> units, bool pcTimer,
                                                     int interval) {
    return [list = std::vector<int>(units), pcTimer, interval](FakeSettingsStore& s) {
        UseUnits(s, {}, pcTimer, interval);
        for (int i : list) {
            s.values[QStringLiteral("MeasInfo/Mflag%1").arg(i + 1)] = QStringLiteral("True");
        }
    };
}

// A main window over fakes: scripted units answering every command, a recording chart (or the
// real one) and message box, an in-memory settings store and a fixed clock.
template <typename ChartType = FakeChart> class BasicMainWindowHarness {
  public:
    // With a journal folder, the window keeps a run journal there (on the harness's own time);
    // without one, none.
    explicit BasicMainWindowHarness(std::function<void(FakeSettingsStore&)> presetSettings = {},
                                    const QString& journalFolder = {}) {
        if (presetSettings) {
            presetSettings(settings);
        }
        journal =
            std::make_unique<RunJournal>(journalFolder, messages, [this] { return journalNowMs; });
        md = std::make_unique<ModuleData>(
            [this] {
                auto port = test::MakeAnsweringPort();
                ports.push_back(port.get());
                return port;
            },
            messages);
        engine = std::make_unique<RunEngine>(*md, clock, *journal);
        form = std::make_unique<FormMain>(
            FormMainServices{*md, chart, messages, settings, *engine},
            FormMainDialogs{
                [this](QWidget*) {
                    ++settingsDialogRuns;
                    if (settingsDialogAction) {
                        settingsDialogAction(*md);
                    }
                },
                [this](QWidget*) {
                    ++saveDialogRuns;
                    return saveSucceeds;
                },
                [this](QWidget*) { return readFile; },
                [this](QWidget* parent, std::function<void()> onClosed) -> QWidget* {
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
            });
    }

    template <typename T> T* w(const QString& name) const { return form->findChild<T*>(name); }
    QPushButton* button(const QString& name) const { return w<QPushButton>(name); }
    QComboBox* combo() const { return w<QComboBox>(QStringLiteral("Combo1")); }
    QRadioButton* opt(int i) const { return w<QRadioButton>(QStringLiteral("optWid_%1").arg(i)); }
    QLineEdit* txt(const char* name) const { return w<QLineEdit>(QString::fromLatin1(name)); }
    QString label1(int i) const { return w<QLabel>(QStringLiteral("Label1_%1").arg(i))->text(); }

    FakeSerialPort& port(int unit) {
        return dynamic_cast<FakeSerialPort&>(md->Driver(unit).Port());
    }

    std::pair<int, int> window() const { return {md->ViewStart, md->ViewEnd}; }
    std::pair<double, double> xRange() const { return chart.axisRange(ChartAxis::X); }

    // Puts rows 0..n-1 with value base+row into every unit in use.
    void fillRows(int32_t n, float base = 0.0f) {
        for (auto& u : md->Units) {
            if (!u.Mflag) {
                continue;
            }
            for (int32_t r = 0; r < n; ++r) {
                u.Data[r] = base + static_cast<float>(r);
            }
            u.DataCount = n;
        }
        md->SampleCount = n;
    }

    void selectCount(const QString& text) {
        combo()->setCurrentIndex(combo()->findText(text));
        Q_EMIT combo()->activated(combo()->currentIndex());
    }

    // Declared before the window, which calls into them until it is gone.
    std::function<void(ModuleData&)> settingsDialogAction;
    std::optional<QString> readFile;
    std::function<void()> datalistClosed;
    int settingsDialogRuns = 0;
    int saveDialogRuns = 0;
    bool saveSucceeds = true;
    int printRuns = 0;
    int moveToolRuns = 0;

    FakeMessageBox messages;
    FakeSettingsStore settings;
    FakeClock clock;
    ChartType chart;
    std::vector<FakeSerialPort*> ports;
    qint64 journalNowMs = 0;
    std::unique_ptr<RunJournal> journal;
    std::unique_ptr<ModuleData> md;
    std::unique_ptr<RunEngine> engine;
    std::unique_ptr<FormMain> form;
};

using MainWindowHarness = BasicMainWindowHarness<>;

} // namespace test
} // namespace k12
