// SPDX-License-Identifier: GPL-3.0-or-later
#include "DialogSetting.h"

#include "MeasInfo.h"
#include "measurement/Conversions.h"
#include "platform/PortMap.h"
#include "platform/SerialDevices.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace k12 {

namespace {

const QString kErrorTitle = QStringLiteral("エラーメッセージ");
// Wide enough for a /dev/ttyUSB name; longer names are shortened in the middle.
constexpr int kDeviceLabelWidth = 260;

// Multiplies in signed 16 bits; nullopt when the product leaves that range.
std::optional<int16_t> Mul16(int16_t a, int factor) {
    const int32_t v = int32_t{a} * factor;
    if (v < INT16_MIN || v > INT16_MAX) {
        return std::nullopt;
    }
    return static_cast<int16_t>(v);
}

std::optional<int32_t> MinutesFromText(const QString& text) {
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    if (!ok || v < 0 || v > MAX_RUN_MINUTES) {
        return std::nullopt;
    }
    return v;
}

} // namespace

DialogSetting::DialogSetting(MeasurementStore& store, MessageBox& messages, FileDialog& files,
                             QWidget* parent, PortDeviceLookup portDevice)
    : QDialog(parent), store_(store), messages_(messages), files_(files),
      portDevice_(std::move(portDevice)) {
    setObjectName(QStringLiteral("DialogSetting"));
    setWindowTitle(QStringLiteral("取込設定"));
    setModal(true);

    auto* frame1 = new QGroupBox(QStringLiteral("comポート番号"), this);
    frame1->setObjectName(QStringLiteral("Frame1"));
    auto* portGrid = new QGridLayout(frame1);
    const QString unitCaptions[UNIT_COUNT] = {QStringLiteral("1台目"), QStringLiteral("２台目"),
                                              QStringLiteral("３台目"), QStringLiteral("４台目")};
    for (int i = 0; i < UNIT_COUNT; ++i) {
        auto* chk = new QCheckBox(unitCaptions[i], frame1);
        chk->setObjectName(QStringLiteral("chkID_%1").arg(i));
        auto* txt = new QLineEdit(frame1);
        txt->setObjectName(QStringLiteral("txtComport_%1").arg(i));
        portGrid->addWidget(chk, i, 0);
        portGrid->addWidget(txt, i, 1);
        chkID_[static_cast<size_t>(i)] = chk;
        txtComport_[static_cast<size_t>(i)] = txt;
        if (portDevice_) {
            txt->setMaximumWidth(txt->fontMetrics().horizontalAdvance(QStringLiteral("00000")) +
                                 12);
            auto* device = new QLabel(frame1);
            device->setObjectName(QStringLiteral("lblDevice_%1").arg(i));
            device->setFixedWidth(kDeviceLabelWidth);
            portGrid->addWidget(device, i, 2);
            lblDevice_[static_cast<size_t>(i)] = device;
            connect(txt, &QLineEdit::textChanged, this,
                    [this, i] { ShowDevice(static_cast<size_t>(i)); });
        }
    }

    auto* frame2 = new QGroupBox(QStringLiteral("測定間隔"), this);
    frame2->setObjectName(QStringLiteral("Frame2"));
    auto* timeGrid = new QGridLayout(frame2);
    auto* group = new QButtonGroup(this);
    const QString timerCaptions[2] = {QStringLiteral("装置タイマー"), QStringLiteral("PCタイマー")};
    const QString unitLabels[2] = {QStringLiteral("×100msec"), QStringLiteral("秒")};
    for (int i = 0; i < 2; ++i) {
        auto* opt = new QRadioButton(timerCaptions[i], frame2);
        opt->setObjectName(QStringLiteral("optTimer_%1").arg(i));
        group->addButton(opt, i);
        auto* txt = new QLineEdit(frame2);
        txt->setObjectName(QStringLiteral("txtTime_%1").arg(i));
        auto* label = new QLabel(unitLabels[i], frame2);
        label->setObjectName(QStringLiteral("Label%1").arg(i + 1));
        timeGrid->addWidget(opt, i, 0);
        timeGrid->addWidget(txt, i, 1);
        timeGrid->addWidget(label, i, 2);
        optTimer_[static_cast<size_t>(i)] = opt;
        txtTime_[static_cast<size_t>(i)] = txt;
    }

    chkContinueOnError_ = new QCheckBox(QStringLiteral("エラー時も測定を続ける"), this);
    chkContinueOnError_->setObjectName(QStringLiteral("chkContinueOnError"));

    chkContinueWhenFull_ = new QCheckBox(QStringLiteral("満杯時に保存して測定を続ける"), this);
    chkContinueWhenFull_->setObjectName(QStringLiteral("chkContinueWhenFull"));
    auto* lblSaveFolder = new QLabel(QStringLiteral("保存先"), this);
    txtSaveFolder_ = new QLineEdit(this);
    txtSaveFolder_->setObjectName(QStringLiteral("txtSaveFolder"));
    txtSaveFolder_->setMinimumWidth(
        txtSaveFolder_->fontMetrics().horizontalAdvance(QStringLiteral("/home/operator/k12data")));
    lblSaveFolder->setBuddy(txtSaveFolder_);
    auto* cmdSaveFolder = new QPushButton(QStringLiteral("参照..."), this);
    cmdSaveFolder->setObjectName(QStringLiteral("cmdSaveFolder"));
    connect(cmdSaveFolder, &QPushButton::clicked, this, &DialogSetting::cmdSaveFolder_Click);
    auto* lblMinutes = new QLabel(QStringLiteral("測定時間"), this);
    txtStopAfterMinutes_ = new QLineEdit(this);
    txtStopAfterMinutes_->setObjectName(QStringLiteral("txtStopAfterMinutes"));
    txtStopAfterMinutes_->setMaximumWidth(
        txtStopAfterMinutes_->fontMetrics().horizontalAdvance(QStringLiteral("0000000")) + 12);
    lblMinutes->setBuddy(txtStopAfterMinutes_);
    auto* lblMinutesUnit = new QLabel(QStringLiteral("分（0: 制限なし）"), this);
    auto* options = new QGridLayout;
    options->addWidget(lblSaveFolder, 0, 0);
    options->addWidget(txtSaveFolder_, 0, 1, 1, 2);
    options->addWidget(cmdSaveFolder, 0, 3);
    options->addWidget(lblMinutes, 1, 0);
    options->addWidget(txtStopAfterMinutes_, 1, 1);
    options->addWidget(lblMinutesUnit, 1, 2, 1, 2);
    options->setColumnStretch(2, 1);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("OKButton"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this);
    cancel->setObjectName(QStringLiteral("CancelButton"));
    connect(ok, &QPushButton::clicked, this, &DialogSetting::OKButton_Click);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(frame1);
    layout->addWidget(frame2);
    layout->addWidget(chkContinueOnError_);
    layout->addWidget(chkContinueWhenFull_);
    layout->addLayout(options);
    layout->addLayout(buttons);

    LoadSetting();
}

void DialogSetting::LoadSetting() {
    for (size_t i = 0; i < UNIT_COUNT; ++i) {
        chkID_[i]->setChecked(store_.Units[i].Mflag);
        txtComport_[i]->setText(QString::number(store_.Units[i].ComPort));
    }
    if (store_.TimerType) {
        optTimer_[1]->setChecked(true);
        txtTime_[1]->setText(ShortestDoubleText(store_.IntervalTM / 1000.0));
        txtTime_[0]->setText(QStringLiteral("1"));
    } else {
        optTimer_[0]->setChecked(true);
        txtTime_[0]->setText(ShortestDoubleText(store_.IntervalTM / 100.0));
        txtTime_[1]->setText(QStringLiteral("1"));
    }
    chkContinueOnError_->setChecked(store_.ContinueOnError);
    chkContinueWhenFull_->setChecked(store_.ContinueWhenFull);
    txtSaveFolder_->setText(store_.SaveFolder);
    txtStopAfterMinutes_->setText(QString::number(store_.StopAfterMinutes));
}

void DialogSetting::OKButton_Click() {
    if (!CheckPorts() || !CheckTime() || !CheckOptions()) {
        return;
    }
    ApplySetting();
    store_.SettingChanged = true;
    accept();
}

void DialogSetting::ShowError(const QString& text) {
    messages_.show(text, kErrorTitle, MsgButtons::Ok, MsgIcon::Error);
}

void DialogSetting::ShowDevice(size_t i) {
    QLabel* label = lblDevice_[i];
    const auto port = TextToInt16(txtComport_[i]->text());
    if (!port || *port < MIN_COM_PORT || *port > MAX_COM_PORT) {
        label->clear();
        label->setToolTip(QString());
        return;
    }
    const QString device = portDevice_(*port);
    const bool exists = DeviceExists(device);
    const QString suffix = exists ? QString() : QStringLiteral("（なし）");
    const QFontMetrics metrics = label->fontMetrics();
    label->setText(metrics.elidedText(device, Qt::ElideMiddle,
                                      label->width() - metrics.horizontalAdvance(suffix) - 2) +
                   suffix);
    label->setToolTip(device + suffix);
    // A greyed label: the number stands for a device that is not there now.
    label->setEnabled(exists);
}

bool DialogSetting::CheckPorts() {
    std::array<int16_t, UNIT_COUNT> ports{};
    int used = 0;
    for (size_t i = 0; i < UNIT_COUNT; ++i) {
        const auto port = TextToInt16(txtComport_[i]->text());
        if (!port) {
            // Unchecked rows are stored too, so a text that cannot be stored is refused.
            ShowError(chkID_[i]->text() +
                      QStringLiteral("のポート番号が正しい数値ではありません。"));
            return false;
        }
        ports[i] = *port;
        if (chkID_[i]->isChecked()) {
            ++used;
            if (*port < 1 || *port > 256) {
                ShowError(QStringLiteral("ポート番号の設定に誤りがあります。"));
                return false;
            }
        }
    }
    if (used == 0) {
        ShowError(QStringLiteral("使用ユニットにチェックが付いていません。"));
        return false;
    }
    for (size_t i = 0; i < UNIT_COUNT; ++i) {
        for (size_t j = i + 1; j < UNIT_COUNT; ++j) {
            if (chkID_[i]->isChecked() && chkID_[j]->isChecked() && ports[i] == ports[j]) {
                ShowError(QStringLiteral("同じポート番号の設定があります。"));
                return false;
            }
        }
    }
    return true;
}

std::optional<int16_t> DialogSetting::SelectedInterval() const {
    const bool device = optTimer_[0]->isChecked();
    const auto value = TextToInt16(txtTime_[device ? 0 : 1]->text());
    if (!value) {
        return std::nullopt;
    }
    const auto v = Mul16(*value, device ? 100 : 1000);
    if (!v) {
        return std::nullopt;
    }
    if (device ? (*v < 100 || *v > 10000) : *v < 1000) {
        return std::nullopt;
    }
    return v;
}

bool DialogSetting::CheckTime() {
    if (!SelectedInterval()) {
        ShowError(QStringLiteral("時間の入力に誤りがあります。"));
        return false;
    }
    return true;
}

bool DialogSetting::CheckOptions() {
    if (chkContinueWhenFull_->isChecked()) {
        const auto problem = SaveFolderProblem(txtSaveFolder_->text());
        if (problem) {
            ShowError(*problem);
            return false;
        }
    }
    if (!MinutesFromText(txtStopAfterMinutes_->text())) {
        ShowError(QStringLiteral("測定時間の入力に誤りがあります。\n0 から %1 までの分数を入力して"
                                 "ください（0: 制限なし）。")
                      .arg(MAX_RUN_MINUTES));
        return false;
    }
    return true;
}

void DialogSetting::cmdSaveFolder_Click() {
    if (const auto folder = files_.existingFolderName(this, txtSaveFolder_->text())) {
        txtSaveFolder_->setText(*folder);
    }
}

void DialogSetting::ApplySetting() {
    for (size_t i = 0; i < UNIT_COUNT; ++i) {
        store_.Units[i].Mflag = chkID_[i]->isChecked();
        store_.Units[i].ComPort = TextToInt16(txtComport_[i]->text()).value_or(0);
    }
    store_.TimerType = optTimer_[1]->isChecked();
    store_.IntervalTM = SelectedInterval().value_or(store_.IntervalTM);
    store_.ContinueOnError = chkContinueOnError_->isChecked();
    store_.ContinueWhenFull = chkContinueWhenFull_->isChecked();
    // Absolute, so the settings file names the same folder whatever the next start's directory.
    const QString folder = txtSaveFolder_->text();
    store_.SaveFolder =
        folder.isEmpty() ? QString() : QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    store_.StopAfterMinutes =
        MinutesFromText(txtStopAfterMinutes_->text()).value_or(store_.StopAfterMinutes);
}

} // namespace k12
