// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "acquisition/RunEngine.h"
#include "measurement/ModuleData.h"
#include "platform/Chart.h"
#include "platform/MessageBox.h"
#include "platform/SettingsStore.h"

#include <QMainWindow>
#include <QPointer>
#include <QTimer>
#include <array>
#include <functional>
#include <map>
#include <memory>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace k12 {

class ChartMouse;

// Modal and non-modal windows the main window opens. Each has a default that shows the real
// dialog; tests replace them so nothing blocks.
struct FormMainDialogs {
    // Shows the settings dialog modally; it sets SettingChanged on OK.
    std::function<void(QWidget* parent)> editSettings;
    // Shows the save dialog modally; true when the data were saved.
    std::function<bool(QWidget* parent)> saveData;
    // Asks for a dedicated file to read; nullopt when cancelled.
    std::function<std::optional<QString>(QWidget* parent)> chooseReadFile;
    // Opens the non-modal data list; the window must call the given function however it closes.
    std::function<QWidget*(QWidget* parent, std::function<void()> onClosed)> openDatalist;
    // Runs the print command.
    std::function<void(QWidget* parent)> print;
    // Shows (creating it on first use) the move tool window.
    std::function<void(QWidget* mainWindow)> showMoveTool;
};

struct FormMainServices {
    ModuleData& md;
    Chart& chart;
    MessageBox& messages;
    SettingsStore& settings;
    // Runs the measurements; the window shows them.
    RunEngine& engine;
};

// The main window: command buttons, current values, chart and its visible range; it starts,
// paces and stops the run engine's runs and shows them.
class FormMain : public QMainWindow {
    Q_OBJECT
  public:
    FormMain(FormMainServices services, FormMainDialogs dialogs, QWidget* parent = nullptr);
    ~FormMain() override;

    // Chart procedures other windows call.
    void InitGraph();
    void SetGraphStyle();
    void InitGraphParam(bool flg);
    bool SetGraphParam();
    void SetAxesX(int32_t dcnt1, int32_t dcnt2);
    void SetAxesY(float minV, float maxV);
    void GrDrawData(int32_t dcnt);
    void GrDrawData1();
    void DispConnectflg();

    // Reads a dedicated data file and replays it onto the chart; false when it was refused.
    bool ReadFile(const QString& path);
    // Offers the rows of a run that an earlier program did not save (called once the window
    // is shown).
    void OfferUnsavedRun();

    // Timer handlers, public so tests can tick without waiting.
    void OnTimer1Tick();
    void OnTimer2Tick();
    QTimer& Timer1() { return timer1_; }
    QTimer& Timer2() { return timer2_; }

    bool IsDatalistOpen() const;
    // Converts twips to pixels for this screen (15 twips per pixel at 96 dpi).
    int Tw(int twips) const;

  protected:
    friend struct FormMainTestAccess;
    void closeEvent(QCloseEvent* event) override;

  private:
    void BuildControls();
    // Widens controls whose captions do not fit the reference layout; the window grows.
    void FitCaptions(QWidget* client, QWidget* label5);
    void Load();

    void SetButtonState();
    // The current values: each unit's newest value in the run (both timing modes).
    void DispCurrentData();
    void ClearCurrentData();
    void CloseDatalist();

    void InitDcntList();
    void ResetGraph();
    void EnableScaleY(bool p);
    void ScrollAxesX();
    // The X range of a new run: from row 1, as wide as the scroll mode says.
    void ResetViewX();
    std::array<int32_t, UNIT_COUNT> RowsStillPlotted(int32_t n) const;
    int32_t DisplayCount() const;
    void SelectMode(int index);

    void OptWidClick(int index);
    void Combo1Click();
    void CmdLeftClick();
    void CmdRightClick();
    void CmdSetScaleYClick();
    // Removes the chart's markers and shows its hidden lines: new data, new reading.
    void ResetChartReading();

    void CmdStartClick();
    void CmdStopClick();
    void ClearChartLines();
    // Shows what a call of the engine reports: new rows, units in error, the end of the run.
    void ShowRun(const RunReport& report);
    void Show(const RunMessage& message);
    void ShowUnitFaults();
    void MarkUnitLabel(int i, bool down);
    // The label's colours: red text for an error, an amber ground for a raised alert.
    void StyleUnitLabel(int i);
    void ShowAlerts(const std::vector<AlertTransition>& alerts);
    // The chart starts over for the next piece of a run, as at a start.
    void ShowNextPiece();
    // The status line of a run going on into pieces; hidden without that option.
    void ShowPieceStatus();

    void CmdSettingClick();
    void CmdMeasInfoClick();
    void CmdDispClick();
    void CmdSaveClick();
    void CmdReadClick();
    void CmdPrintClick();
    void ReplayData();

    void Message(const QString& text);

    ModuleData& md_;
    Chart& chart_;
    MessageBox& messages_;
    SettingsStore& settings_;
    RunEngine& engine_;
    FormMainDialogs dialogs_;

    // What the last GrDrawData1 left in the chart, so that the next step of the same run writes
    // only the rows that are new.
    struct PlottedRows {
        bool valid = false;
        quint64 chartRevision = 0;
        quint64 dataId = 0;
        int32_t rows = 0;
        int16_t interval = 0;
        std::array<bool, UNIT_COUNT> inUse{};
        std::array<int32_t, UNIT_COUNT> counts{};
    };
    PlottedRows plotted_;

    QTimer timer1_;
    QTimer timer2_;
    bool inStep_ = false;
    std::array<bool, UNIT_COUNT> labelShowsError_{};
    // The alerts up, by unit and kind, as the status line names them.
    std::map<std::pair<int, int>, QString> alertTexts_;
    // Lists opened by cmdDisp (a file read re-enables cmdDisp while one may be open).
    QList<QPointer<QWidget>> datalists_;

    QWidget* chartWidget_ = nullptr;
    QGroupBox* frame1_ = nullptr;
    QGroupBox* frame2_ = nullptr;
    QGroupBox* frame4_ = nullptr;
    QLineEdit* txtVhi_ = nullptr;
    QLineEdit* txtVlow_ = nullptr;
    QPushButton* cmdSetScaleY_ = nullptr;
    std::array<QRadioButton*, 3> optWid_{};
    QPushButton* cmdLeft_ = nullptr;
    QPushButton* cmdRight_ = nullptr;
    QComboBox* combo1_ = nullptr;
    std::array<QLabel*, 4> label1_{};
    QPushButton* cmdStart_ = nullptr;
    QPushButton* cmdStop_ = nullptr;
    QPushButton* cmdSetting_ = nullptr;
    QPushButton* cmdMeasInfo_ = nullptr;
    QPushButton* cmdDisp_ = nullptr;
    QPushButton* cmdRead_ = nullptr;
    QPushButton* cmdSave_ = nullptr;
    QPushButton* cmdPrint_ = nullptr;
    QPushButton* cmdEnd_ = nullptr;
    QLabel* lblPieces_ = nullptr;
    std::array<QPushButton*, 4> cmdMove_{};
    // Reading the chart with the mouse.
    std::unique_ptr<ChartMouse> chartMouse_;
};

} // namespace k12
