// SPDX-License-Identifier: GPL-3.0-or-later
#include "DialogSetting.h"

#include "MeasInfo.h"
#include "feed/FeedConfig.h"
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

// An absolute clean path, so the settings file names the same file or folder whatever the next
// start's directory; empty stays empty.
QString AbsolutePath(const QString& path) {
    return path.isEmpty() ? QString() : QDir::cleanPath(QFileInfo(path).absoluteFilePath());
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
    setWindowTitle(tr("取込設定"));
    setModal(true);

    auto* frame1 = new QGroupBox(tr("comポート番号"), this);
    frame1->setObjectName(QStringLiteral("Frame1"));
    auto* portGrid = new QGridLayout(frame1);
    const QString unitCaptions[UNIT_COUNT] = {tr("1台目"), tr("２台目"), tr("３台目"),
                                              tr("４台目")};
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

    auto* frame2 = new QGroupBox(tr("測定間隔"), this);
    frame2->setObjectName(QStringLiteral("Frame2"));
    auto* timeGrid = new QGridLayout(frame2);
    auto* group = new QButtonGroup(this);
    const QString timerCaptions[2] = {tr("装置タイマー"), tr("PCタイマー")};
    const QString unitLabels[2] = {tr("×100msec"), tr("秒")};
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

    chkContinueOnError_ = new QCheckBox(tr("エラー時も測定を続ける"), this);
    chkContinueOnError_->setObjectName(QStringLiteral("chkContinueOnError"));

    chkContinueWhenFull_ = new QCheckBox(tr("満杯時に保存して測定を続ける"), this);
    chkContinueWhenFull_->setObjectName(QStringLiteral("chkContinueWhenFull"));
    auto* lblSaveFolder = new QLabel(tr("保存先"), this);
    txtSaveFolder_ = new QLineEdit(this);
    txtSaveFolder_->setObjectName(QStringLiteral("txtSaveFolder"));
    txtSaveFolder_->setMinimumWidth(
        txtSaveFolder_->fontMetrics().horizontalAdvance(QStringLiteral("/home/operator/k12data")));
    lblSaveFolder->setBuddy(txtSaveFolder_);
    auto* cmdSaveFolder = new QPushButton(tr("参照..."), this);
    cmdSaveFolder->setObjectName(QStringLiteral("cmdSaveFolder"));
    connect(cmdSaveFolder, &QPushButton::clicked, this, &DialogSetting::cmdSaveFolder_Click);
    auto* lblMinutes = new QLabel(tr("測定時間"), this);
    txtStopAfterMinutes_ = new QLineEdit(this);
    txtStopAfterMinutes_->setObjectName(QStringLiteral("txtStopAfterMinutes"));
    txtStopAfterMinutes_->setMaximumWidth(
        txtStopAfterMinutes_->fontMetrics().horizontalAdvance(QStringLiteral("0000000")) + 12);
    lblMinutes->setBuddy(txtStopAfterMinutes_);
    auto* lblMinutesUnit = new QLabel(tr("分（0: 制限なし）"), this);
    auto* options = new QGridLayout;
    options->addWidget(lblSaveFolder, 0, 0);
    options->addWidget(txtSaveFolder_, 0, 1, 1, 2);
    options->addWidget(cmdSaveFolder, 0, 3);
    options->addWidget(lblMinutes, 1, 0);
    options->addWidget(txtStopAfterMinutes_, 1, 1);
    options->addWidget(lblMinutesUnit, 1, 2, 1, 2);
    options->setColumnStretch(2, 1);

    // The live feed: off while the broker is empty.
    auto* frame3 = new QGroupBox(tr("ライブ配信"), this);
    frame3->setObjectName(QStringLiteral("Frame3"));
    auto* feedGrid = new QGridLayout(frame3);
    const auto feedRow = [this, frame3, feedGrid](int row, const QString& caption,
                                                  const QString& name) {
        auto* label = new QLabel(caption, frame3);
        auto* edit = new QLineEdit(frame3);
        edit->setObjectName(name);
        label->setBuddy(edit);
        feedGrid->addWidget(label, row, 0);
        feedGrid->addWidget(edit, row, 1);
        return edit;
    };
    const auto browse = [this, frame3, feedGrid](int row, const QString& name, QLineEdit* box,
                                                 const QString& filter) {
        auto* button = new QPushButton(tr("参照..."), frame3);
        button->setObjectName(name);
        connect(button, &QPushButton::clicked, this,
                [this, box, filter] { ChooseFile(box, filter); });
        feedGrid->addWidget(button, row, 2);
    };
    txtBroker_ = feedRow(0, tr("ブローカー"), QStringLiteral("txtBroker"));
    txtBroker_->setPlaceholderText(tr("mqtt://ホスト名:1883"));
    txtBroker_->setToolTip(tr("mqtt://ホスト名[:ポート] または mqtts://ホスト名[:ポート]"
                              "（空欄: 配信しない）"));
    txtBroker_->setMinimumWidth(txtBroker_->fontMetrics().horizontalAdvance(
        QStringLiteral("mqtts://broker.example.org:8883")));
    txtTopic_ = feedRow(1, tr("トピック"), QStringLiteral("txtTopic"));
    txtTopic_->setPlaceholderText(FeedTopic(FeedSettings{}));
    txtClientId_ = feedRow(2, tr("クライアントID"), QStringLiteral("txtClientId"));
    txtClientId_->setPlaceholderText(tr("自動"));
    txtUsername_ = feedRow(3, tr("ユーザー名"), QStringLiteral("txtUsername"));
    txtPasswordFile_ = feedRow(4, tr("パスワードファイル"), QStringLiteral("txtPasswordFile"));
    browse(4, QStringLiteral("cmdPasswordFile"), txtPasswordFile_, tr("すべてのファイル (*)|*|"));
    txtCaFile_ = feedRow(5, tr("CA証明書"), QStringLiteral("txtCaFile"));
    txtCaFile_->setPlaceholderText(tr("システムの証明書"));
    browse(5, QStringLiteral("cmdCaFile"), txtCaFile_,
           tr("証明書 (*.crt *.pem)|*.crt;*.pem|すべてのファイル (*)|*|"));

    // Alert limits per unit in degrees; an empty box sets none.
    auto* frame4 = new QGroupBox(tr("警報（度、空欄: なし）"), this);
    frame4->setObjectName(QStringLiteral("Frame4"));
    auto* alertGrid = new QGridLayout(frame4);
    const QString alertCaptions[3] = {tr("上限"), tr("下限"), tr("変化")};
    const QString alertNames[3] = {QStringLiteral("High"), QStringLiteral("Low"),
                                   QStringLiteral("Change")};
    for (int k = 0; k < 3; ++k) {
        alertGrid->addWidget(new QLabel(alertCaptions[k], frame4), 0, k + 1);
    }
    for (int i = 0; i < UNIT_COUNT; ++i) {
        alertGrid->addWidget(new QLabel(unitCaptions[i], frame4), i + 1, 0);
        for (int k = 0; k < 3; ++k) {
            auto* edit = new QLineEdit(frame4);
            edit->setObjectName(QStringLiteral("txtAlert%1_%2").arg(alertNames[k]).arg(i));
            edit->setMaximumWidth(
                edit->fontMetrics().horizontalAdvance(QStringLiteral("-000.000")) + 12);
            if (k == 2) {
                edit->setToolTip(tr("その台の最初の値からの変化（円周上で測る）"));
            }
            alertGrid->addWidget(edit, i + 1, k + 1);
            txtAlert_[size_t(i)][size_t(k)] = edit;
        }
    }

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("OKButton"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(tr("ｷｬﾝｾﾙ"), this);
    cancel->setObjectName(QStringLiteral("CancelButton"));
    connect(ok, &QPushButton::clicked, this, &DialogSetting::OKButton_Click);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* left = new QVBoxLayout;
    left->addWidget(frame1);
    left->addWidget(frame2);
    left->addWidget(chkContinueOnError_);
    left->addWidget(chkContinueWhenFull_);
    left->addLayout(options);
    left->addStretch();
    auto* right = new QVBoxLayout;
    right->addWidget(frame3);
    right->addWidget(frame4);
    right->addStretch();
    auto* columns = new QHBoxLayout;
    columns->addLayout(left);
    columns->addLayout(right);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(columns);
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
    txtBroker_->setText(store_.Feed.Broker);
    txtTopic_->setText(store_.Feed.Topic);
    txtClientId_->setText(store_.Feed.ClientId);
    txtUsername_->setText(store_.Feed.Username);
    txtPasswordFile_->setText(store_.Feed.PasswordFile);
    txtCaFile_->setText(store_.Feed.CaFile);
    for (size_t i = 0; i < UNIT_COUNT; ++i) {
        txtAlert_[i][0]->setText(store_.Alerts.High[i]);
        txtAlert_[i][1]->setText(store_.Alerts.Low[i]);
        txtAlert_[i][2]->setText(store_.Alerts.Change[i]);
    }
}

FeedSettings DialogSetting::EnteredFeed() const {
    return {txtBroker_->text().trimmed(),
            txtTopic_->text().trimmed(),
            txtClientId_->text().trimmed(),
            txtUsername_->text().trimmed(),
            AbsolutePath(txtPasswordFile_->text().trimmed()),
            AbsolutePath(txtCaFile_->text().trimmed())};
}

AlertSettings DialogSetting::EnteredAlerts() const {
    AlertSettings a;
    for (size_t i = 0; i < UNIT_COUNT; ++i) {
        a.High[i] = txtAlert_[i][0]->text().trimmed();
        a.Low[i] = txtAlert_[i][1]->text().trimmed();
        a.Change[i] = txtAlert_[i][2]->text().trimmed();
    }
    return a;
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
    messages_.show(text, tr("エラーメッセージ"), MsgButtons::Ok, MsgIcon::Error);
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
    const QString suffix = exists ? QString() : tr("（なし）");
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
            ShowError(tr("%1のポート番号が正しい数値ではありません。").arg(chkID_[i]->text()));
            return false;
        }
        ports[i] = *port;
        if (chkID_[i]->isChecked()) {
            ++used;
            if (*port < 1 || *port > 256) {
                ShowError(BadPortText());
                return false;
            }
        }
    }
    if (used == 0) {
        ShowError(tr("使用ユニットにチェックが付いていません。"));
        return false;
    }
    for (size_t i = 0; i < UNIT_COUNT; ++i) {
        for (size_t j = i + 1; j < UNIT_COUNT; ++j) {
            if (chkID_[i]->isChecked() && chkID_[j]->isChecked() && ports[i] == ports[j]) {
                ShowError(SharedPortText());
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
        ShowError(BadIntervalText());
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
        ShowError(tr("測定時間の入力に誤りがあります。\n0 から %1 までの分数を入力して"
                     "ください（0: 制限なし）。")
                      .arg(MAX_RUN_MINUTES));
        return false;
    }
    for (const auto& problem :
         {FeedSettingsProblem(EnteredFeed()), AlertSettingsProblem(EnteredAlerts())}) {
        if (problem) {
            ShowError(*problem);
            return false;
        }
    }
    return true;
}

void DialogSetting::ChooseFile(QLineEdit* box, const QString& filter) {
    if (const auto file = files_.openFileName(this, filter)) {
        box->setText(*file);
    }
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
    store_.SaveFolder = AbsolutePath(txtSaveFolder_->text());
    store_.StopAfterMinutes =
        MinutesFromText(txtStopAfterMinutes_->text()).value_or(store_.StopAfterMinutes);
    store_.Feed = EnteredFeed();
    store_.Alerts = EnteredAlerts();
}

} // namespace k12
