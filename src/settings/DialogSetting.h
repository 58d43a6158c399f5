// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "measurement/MeasurementStore.h"
#include "platform/FileDialog.h"
#include "platform/MessageBox.h"

#include <QDialog>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QRadioButton;

namespace k12 {

// The modal acquisition settings dialog. Shows the settings in force; OK validates the entries
// and, when they pass, writes them to the store, sets SettingChanged and accepts. Cancel or the
// close box leave the store untouched. The save folder and the feed's files are chosen through
// files. The live feed and the alert limits sit in a column of their own on the right.
class DialogSetting : public QDialog {
    Q_OBJECT
  public:
    // COM number -> the device it stands for.
    using PortDeviceLookup = std::function<QString(int port)>;

    // With portDevice, each port box has the device its number stands for beside it.
    DialogSetting(MeasurementStore& store, MessageBox& messages, FileDialog& files,
                  QWidget* parent = nullptr, PortDeviceLookup portDevice = {});

    // The OK button's handler; public so callers and tests can run it directly.
    void OKButton_Click();

  private:
    void LoadSetting();
    bool CheckPorts();
    bool CheckTime();
    // The save folder when pieces are kept, the run duration, the live feed, the alert limits.
    bool CheckOptions();
    void cmdSaveFolder_Click();
    // A file for a box of the feed, chosen through files.
    void ChooseFile(QLineEdit* box, const QString& filter);
    // The live feed and the alert limits as entered.
    FeedSettings EnteredFeed() const;
    AlertSettings EnteredAlerts() const;
    // The selected timing row's interval in milliseconds, if its text is valid.
    std::optional<int16_t> SelectedInterval() const;
    void ApplySetting();
    void ShowError(const QString& text);
    void ShowDevice(size_t i);

    MeasurementStore& store_;
    MessageBox& messages_;
    FileDialog& files_;
    PortDeviceLookup portDevice_;
    std::array<QCheckBox*, UNIT_COUNT> chkID_{};
    std::array<QLineEdit*, UNIT_COUNT> txtComport_{};
    std::array<QLabel*, UNIT_COUNT> lblDevice_{};
    std::array<QRadioButton*, 2> optTimer_{};
    std::array<QLineEdit*, 2> txtTime_{};
    QCheckBox* chkContinueOnError_ = nullptr;
    QCheckBox* chkContinueWhenFull_ = nullptr;
    QLineEdit* txtSaveFolder_ = nullptr;
    QLineEdit* txtStopAfterMinutes_ = nullptr;
    QLineEdit* txtBroker_ = nullptr;
    QLineEdit* txtTopic_ = nullptr;
    QLineEdit* txtClientId_ = nullptr;
    QLineEdit* txtUsername_ = nullptr;
    QLineEdit* txtPasswordFile_ = nullptr;
    QLineEdit* txtCaFile_ = nullptr;
    // Per unit: high, low, change.
    std::array<std::array<QLineEdit*, 3>, UNIT_COUNT> txtAlert_{};
};

} // namespace k12
