// SPDX-License-Identifier: GPL-3.0-or-later
#include "FormMain.h"

#include "CaptionFit.h"
#include "ChartMouse.h"
#include "data_files/DataFile.h"
#include "measurement/Conversions.h"
#include "settings/MeasInfo.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStatusBar>
#include <algorithm>
#include <utility>

namespace k12 {

namespace {

const QString kMessageTitle = QStringLiteral("Message");

QPushButton* MakeButton(QWidget* parent, const QString& name, const QString& caption) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setAutoDefault(false);
    return b;
}

// A mode button that runs its handling once however it is selected: a click (pointer, keyboard,
// click()) emits clicked(); a selection by code or by an accessibility tool's Toggle action only
// sets the check state, which arrives in checkStateSet() (also from inside a click, where
// clicked() follows).
class ModeButton final : public QRadioButton {
  public:
    ModeButton(const QString& text, QWidget* parent, std::function<void()> selected)
        : QRadioButton(text, parent), selected_(std::move(selected)) {
        connect(this, &QAbstractButton::clicked, this, [this] { selected_(); });
    }

  protected:
    void nextCheckState() override {
        inClick_ = true;
        QRadioButton::nextCheckState();
        inClick_ = false;
    }
    void checkStateSet() override {
        QRadioButton::checkStateSet();
        if (isChecked() && !inClick_) {
            selected_();
        }
    }

  private:
    std::function<void()> selected_;
    bool inClick_ = false;
};

} // namespace

FormMain::FormMain(FormMainServices services, FormMainDialogs dialogs, QWidget* parent)
    : QMainWindow(parent), md_(services.md), chart_(services.chart), messages_(services.messages),
      settings_(services.settings), engine_(services.engine), dialogs_(std::move(dialogs)) {
    setObjectName(QStringLiteral("FormMain"));
    setWindowTitle(QStringLiteral("ZORV-K12INC"));
    BuildControls();
    Load();
}

FormMain::~FormMain() {
    // The chart widget belongs to its owner, not to this window.
    if (chartWidget_ != nullptr && chartWidget_ == chart_.widget()) {
        chartWidget_->setParent(nullptr);
    }
}

int FormMain::Tw(int twips) const {
    const QScreen* s = screen();
    const double dpi = s != nullptr ? s->logicalDotsPerInch() : 96.0;
    return static_cast<int>(std::lround(twips / 15.0 * dpi / 96.0));
}

void FormMain::BuildControls() {
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    setCentralWidget(client);
    client->setFixedSize(Tw(12375), Tw(8985));

    auto place = [this](QWidget* w, int l, int t, int width, int height) {
        w->setGeometry(Tw(l), Tw(t), Tw(width), Tw(height));
    };

    cmdDisp_ = MakeButton(client, QStringLiteral("cmdDisp"), tr("データ表示"));
    place(cmdDisp_, 3120, 240, 1335, 495);
    cmdStart_ = MakeButton(client, QStringLiteral("cmdStart"), tr("開始"));
    place(cmdStart_, 9360, 120, 1215, 615);
    cmdStop_ = MakeButton(client, QStringLiteral("cmdStop"), tr("停止"));
    place(cmdStop_, 10560, 120, 1095, 615);

    frame1_ = new QGroupBox(tr("現在値"), client);
    frame1_->setObjectName(QStringLiteral("Frame1"));
    place(frame1_, 360, 720, 1695, 2055);
    const int labelTops[4] = {420, 825, 1215, 1620};
    const int valueTops[4] = {360, 765, 1155, 1560};
    for (int i = 0; i < 4; ++i) {
        auto* number = new QLabel(QString::number(i + 1), frame1_);
        number->setObjectName(QStringLiteral("Label2_%1").arg(i));
        place(number, 120, labelTops[i], 375, 195);
        label1_[i] = new QLabel(frame1_);
        label1_[i]->setObjectName(QStringLiteral("Label1_%1").arg(i));
        label1_[i]->setFrameShape(QFrame::Panel);
        label1_[i]->setFrameShadow(QFrame::Sunken);
        label1_[i]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        place(label1_[i], 540, valueTops[i], 915, 315);
    }

    chartWidget_ = chart_.widget();
    if (chartWidget_ == nullptr) {
        chartWidget_ = new QFrame(client);
    }
    chartWidget_->setParent(client);
    chartWidget_->setObjectName(QStringLiteral("Chart2D1"));
    place(chartWidget_, 2400, 960, 9615, 5295);

    frame4_ = new QGroupBox(tr("表示範囲"), client);
    frame4_->setObjectName(QStringLiteral("Frame4"));
    place(frame4_, 360, 3240, 1695, 2415);
    txtVhi_ = new QLineEdit(frame4_);
    txtVhi_->setObjectName(QStringLiteral("txtVhi"));
    place(txtVhi_, 478, 480, 855, 270);
    txtVlow_ = new QLineEdit(frame4_);
    txtVlow_->setObjectName(QStringLiteral("txtVlow"));
    place(txtVlow_, 478, 1320, 855, 270);
    auto* up = new QLabel(QStringLiteral("↑"), frame4_);
    up->setObjectName(QStringLiteral("Label3"));
    place(up, 720, 840, 300, 180);
    auto* down = new QLabel(QStringLiteral("↓"), frame4_);
    down->setObjectName(QStringLiteral("Label4"));
    place(down, 720, 1080, 300, 180);
    cmdSetScaleY_ = MakeButton(frame4_, QStringLiteral("cmdSetScaleY"), tr("設定"));
    place(cmdSetScaleY_, 478, 1800, 855, 375);

    frame2_ = new QGroupBox(client);
    frame2_->setObjectName(QStringLiteral("Frame2"));
    place(frame2_, 3000, 6480, 9015, 975);
    const QString modes[3] = {tr("全表示"), tr("自動ｽｸﾛｰﾙ"), tr("手動ｽｸﾛｰﾙ")};
    const int modeLefts[3] = {480, 1920, 3840};
    const int modeWidths[3] = {1095, 1575, 1215};
    for (int i = 0; i < 3; ++i) {
        optWid_[i] = new ModeButton(modes[i], frame2_, [this, i] { OptWidClick(i); });
        optWid_[i]->setObjectName(QStringLiteral("optWid_%1").arg(i));
        place(optWid_[i], modeLefts[i], 360, modeWidths[i], 375);
    }
    cmdLeft_ = MakeButton(frame2_, QStringLiteral("cmdLeft"), QStringLiteral("←"));
    place(cmdLeft_, 5280, 360, 495, 375);
    cmdRight_ = MakeButton(frame2_, QStringLiteral("cmdRight"), QStringLiteral("→"));
    place(cmdRight_, 5880, 360, 495, 375);
    auto* label5 = new QLabel(tr("表示データ数"), frame2_);
    label5->setObjectName(QStringLiteral("Label5"));
    place(label5, 6720, 480, 1095, 180);
    combo1_ = new QComboBox(frame2_);
    combo1_->setObjectName(QStringLiteral("Combo1"));
    combo1_->setEditable(false);
    place(combo1_, 7800, 360, 975, 300);

    cmdSetting_ = MakeButton(client, QStringLiteral("cmdSetting"), tr("取込設定"));
    place(cmdSetting_, 480, 6840, 1695, 495);
    cmdMeasInfo_ = MakeButton(client, QStringLiteral("cmdMeasInfo"), tr("測定条件保存"));
    place(cmdMeasInfo_, 480, 7920, 1695, 495);
    cmdPrint_ = MakeButton(client, QStringLiteral("cmdPrint"), tr("印刷"));
    place(cmdPrint_, 3120, 7920, 1335, 495);
    cmdRead_ = MakeButton(client, QStringLiteral("cmdRead"), tr("読込み"));
    place(cmdRead_, 5040, 7920, 1335, 495);
    cmdSave_ = MakeButton(client, QStringLiteral("cmdSave"), tr("保存"));
    place(cmdSave_, 6960, 7920, 1335, 495);
    cmdEnd_ = MakeButton(client, QStringLiteral("cmdEnd"), tr("終了"));
    place(cmdEnd_, 10560, 7920, 1335, 495);

    const int moveLefts[4] = {0, 12000, 0, 12000};
    const int moveTops[4] = {0, 0, 8640, 8640};
    for (int i = 0; i < 4; ++i) {
        cmdMove_[i] = MakeButton(client, QStringLiteral("cmdMove_%1").arg(i), QStringLiteral("○"));
        cmdMove_[i]->setToolTip(tr("移動ツールの表示"));
        place(cmdMove_[i], moveLefts[i], moveTops[i], 375, 375);
        connect(cmdMove_[i], &QPushButton::clicked, this, [this] {
            if (dialogs_.showMoveTool) {
                dialogs_.showMoveTool(this);
            }
        });
    }

    connect(cmdLeft_, &QPushButton::clicked, this, &FormMain::CmdLeftClick);
    connect(cmdRight_, &QPushButton::clicked, this, &FormMain::CmdRightClick);
    connect(combo1_, &QComboBox::activated, this, [this](int) { Combo1Click(); });
    connect(cmdSetScaleY_, &QPushButton::clicked, this, &FormMain::CmdSetScaleYClick);
    connect(cmdStart_, &QPushButton::clicked, this, &FormMain::CmdStartClick);
    connect(cmdStop_, &QPushButton::clicked, this, &FormMain::CmdStopClick);
    connect(cmdSetting_, &QPushButton::clicked, this, &FormMain::CmdSettingClick);
    connect(cmdMeasInfo_, &QPushButton::clicked, this, &FormMain::CmdMeasInfoClick);
    connect(cmdDisp_, &QPushButton::clicked, this, &FormMain::CmdDispClick);
    connect(cmdSave_, &QPushButton::clicked, this, &FormMain::CmdSaveClick);
    connect(cmdRead_, &QPushButton::clicked, this, &FormMain::CmdReadClick);
    connect(cmdPrint_, &QPushButton::clicked, this, &FormMain::CmdPrintClick);
    connect(cmdEnd_, &QPushButton::clicked, this, &QWidget::close);

    // The status line of a run going on into pieces, below every other control.
    lblPieces_ = new QLabel(this);
    lblPieces_->setObjectName(QStringLiteral("lblPieces"));
    statusBar()->addWidget(lblPieces_);
    statusBar()->setSizeGripEnabled(false);
    statusBar()->setVisible(false);

    FitCaptions(client, label5);

    timer1_.setObjectName(QStringLiteral("Timer1"));
    timer2_.setObjectName(QStringLiteral("Timer2"));
    connect(&timer1_, &QTimer::timeout, this, &FormMain::OnTimer1Tick);
    connect(&timer2_, &QTimer::timeout, this, &FormMain::OnTimer2Tick);

    setFixedSize(sizeHint());
}

void FormMain::FitCaptions(QWidget* client, QWidget* label5) {
    // The reference layout holds the Japanese captions; a longer one (English) widens its control
    // and pushes the controls to its right along, using free room first. Nothing moves when every
    // caption fits.
    const int gap = Tw(120);
    FitRow({optWid_[0], optWid_[1], optWid_[2], cmdLeft_, cmdRight_, label5, combo1_}, gap);
    FitRow({cmdSetScaleY_}, gap);
    // A frame holds its controls with the margin it had on the right.
    const auto holdChildren = [](QWidget* frame, int margin) {
        int right = 0;
        for (const QWidget* w : frame->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            right = std::max(right, w->geometry().right() + 1);
        }
        frame->resize(std::max(frame->width(), right + margin), frame->height());
    };
    holdChildren(frame2_, Tw(9015 - 8775));
    holdChildren(frame4_, Tw(1695 - 1333));
    FitRow({cmdMove_[0], cmdDisp_, cmdStart_, cmdStop_, cmdMove_[1]}, gap);
    FitRow({frame1_, chartWidget_}, gap);
    FitRow({frame4_, chartWidget_}, gap);
    FitRow({cmdSetting_, frame2_}, gap);
    FitRow({cmdMeasInfo_, cmdPrint_, cmdRead_, cmdSave_, cmdEnd_}, gap);
    // The window grows to keep its right margin; the corner buttons stay in the corners.
    int width = std::max(client->width(), cmdMove_[1]->geometry().right() + 1);
    for (const QWidget* w : client->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (w != cmdMove_[1] && w != cmdMove_[3]) {
            width = std::max(width, w->geometry().right() + 1 + Tw(12375 - 12015));
        }
    }
    client->setFixedSize(width, client->height());
    for (QPushButton* corner : {cmdMove_[1], cmdMove_[3]}) {
        corner->move(client->width() - corner->width(), corner->y());
    }
}

void FormMain::Load() {
    txtVhi_->setText(QStringLiteral("180"));
    txtVlow_->setText(QStringLiteral("-180"));
    md_.InitDataArea();
    LoadMeasInfo(md_, settings_);
    LoadOptions(md_, settings_);
    md_.ClearData();
    SetButtonState();
    InitGraph();
    InitGraphParam(false);
    ResetGraph();
    chartMouse_ = std::make_unique<ChartMouse>(ChartMouse::Window{
        md_, chart_, *combo1_, *txtVhi_, *txtVlow_, [this](int i) { SelectMode(i); },
        [this] { Combo1Click(); }, [this] { CmdSetScaleYClick(); },
        [this](int32_t first, int32_t last) { SetAxesX(first, last); }});
}

void FormMain::Message(const QString& text) {
    messages_.show(text, kMessageTitle, MsgButtons::Ok, MsgIcon::None);
}

void FormMain::SetButtonState() {
    const bool measuring = md_.Measuring;
    cmdStart_->setEnabled(!measuring);
    cmdStop_->setEnabled(measuring);
    cmdSetting_->setEnabled(!measuring);
    cmdPrint_->setEnabled(!measuring);
    cmdRead_->setEnabled(!measuring);
    cmdSave_->setEnabled(!measuring);
    cmdEnd_->setEnabled(!measuring);
    cmdDisp_->setEnabled(!measuring && md_.SampleCount >= 1);
}

void FormMain::DispCurrentData() {
    // The newest value of each unit wherever it is, also across a piece boundary: a unit without
    // a value in the new piece yet keeps showing its last one.
    for (int i = 0; i < UNIT_COUNT; ++i) {
        if (const std::optional<float> v = engine_.Newest(i)) {
            label1_[i]->setText(FormatFixed3(*v));
        }
    }
}

void FormMain::ClearCurrentData() {
    for (int i = 0; i < UNIT_COUNT; ++i) {
        MarkUnitLabel(i, false);
        label1_[i]->clear();
    }
}

void FormMain::ShowUnitFaults() {
    for (int i = 0; i < UNIT_COUNT; ++i) {
        MarkUnitLabel(i, engine_.ShowsError(i));
    }
}

void FormMain::MarkUnitLabel(int i, bool down) {
    QLabel* label = label1_[i];
    if (down) {
        label->setText(tr("エラー"));
        label->setToolTip(engine_.LastError(i));
    } else if (labelShowsError_[i]) {
        label->setToolTip(QString());
    }
    if (down != labelShowsError_[i]) {
        labelShowsError_[i] = down;
        StyleUnitLabel(i);
    }
}

void FormMain::StyleUnitLabel(int i) {
    QLabel* label = label1_[i];
    const bool alert = engine_.Alerts().AnyRaised(i);
    QPalette palette;
    if (labelShowsError_[i]) {
        palette.setColor(QPalette::WindowText, Qt::red);
    }
    // A raised alert: the value on amber.
    if (alert) {
        palette.setColor(QPalette::Window, QColor(255, 191, 0));
    }
    label->setAutoFillBackground(alert);
    label->setPalette(palette);
}

void FormMain::DispConnectflg() {
    QStringList labels;
    for (int i = 1; i <= UNIT_COUNT; ++i) {
        labels << tr("%1台目").arg(i);
    }
    chart_.setSeriesLabels(labels);
}

bool FormMain::IsDatalistOpen() const {
    return std::any_of(datalists_.begin(), datalists_.end(),
                       [](const QPointer<QWidget>& w) { return w && w->isVisible(); });
}

void FormMain::CloseDatalist() {
    const auto lists = std::exchange(datalists_, {});
    for (const QPointer<QWidget>& w : lists) {
        if (w) {
            w->close();
        }
    }
}

void FormMain::closeEvent(QCloseEvent* event) {
    if (!cmdStart_->isEnabled()) {
        messages_.show(tr("測定中です。中止してから終了して下さい。"), tr("エラーメッセージ"),
                       MsgButtons::Ok, MsgIcon::Error);
        event->ignore();
        return;
    }
    const QString question = md_.SampleCount < 1
                                 ? tr("終了しますか？")
                                 : tr("データが消去されます。終了してもよろしいですか？");
    if (messages_.show(question, kMessageTitle, MsgButtons::YesNo, MsgIcon::Question) !=
        MsgAnswer::Yes) {
        event->ignore();
        return;
    }
    CloseDatalist();
    // Agreed to erase: kept aside, not offered again at the next start.
    engine_.DataDiscarded();
    md_.UnloadDrivers();
    event->accept();
}

void FormMain::CmdSettingClick() {
    if (md_.SampleCount >= 1 &&
        messages_.show(tr("設定を変更するとデータが消去されます。よろしいですか？"), kMessageTitle,
                       MsgButtons::YesNo, MsgIcon::Question) != MsgAnswer::Yes) {
        return;
    }
    md_.SettingChanged = false;
    if (dialogs_.editSettings) {
        dialogs_.editSettings(this);
    }
    if (!md_.SettingChanged) {
        return;
    }
    if (md_.SampleCount > 0) {
        CloseDatalist();
        md_.ClearData();
        ClearCurrentData();
        cmdDisp_->setEnabled(md_.SampleCount >= 1);
    }
    ShowPieceStatus();
    ResetChartReading();
    ResetGraph();
}

void FormMain::CmdMeasInfoClick() {
    WriteOptions(md_, settings_);
    const QString error = SaveMeasInfo(md_, settings_);
    if (!error.isEmpty()) {
        messages_.show(error, kMessageTitle, MsgButtons::Ok, MsgIcon::Error);
    }
}

void FormMain::CmdDispClick() {
    if (md_.SampleCount < 1) {
        Message(tr("データがありません"));
        return;
    }
    if (!dialogs_.openDatalist) {
        return;
    }
    datalists_.removeAll(QPointer<QWidget>());
    // The list may outlive the button while the window is being destroyed (the store outlives
    // both). A list closed during a run, or by the start, must not enable cmdDisp while measuring.
    datalists_.append(
        dialogs_.openDatalist(this, [button = QPointer<QPushButton>(cmdDisp_), md = &md_] {
            if (button && !md->Measuring) {
                button->setEnabled(md->SampleCount >= 1);
            }
        }));
    cmdDisp_->setEnabled(false);
}

void FormMain::CmdSaveClick() {
    if (md_.SampleCount < 1) {
        Message(tr("測定データがありません。"));
        return;
    }
    if (dialogs_.saveData && dialogs_.saveData(this)) {
        engine_.DataSaved();
    }
}

void FormMain::CmdReadClick() {
    if (!dialogs_.chooseReadFile) {
        return;
    }
    if (const auto path = dialogs_.chooseReadFile(this)) {
        ReadFile(*path);
    }
}

bool FormMain::ReadFile(const QString& path) {
    // The file is parsed completely before the store changes, so a bad file loses nothing.
    if (const auto error = ReadDataFile(md_, path)) {
        if (error->kind == DataFileError::Kind::NoRows) {
            Message(NoDataMessage());
        } else {
            messages_.show(error->message, kMessageTitle, MsgButtons::Ok, MsgIcon::Error);
        }
        return false;
    }
    ClearCurrentData();
    ResetChartReading();
    cmdDisp_->setEnabled(true);
    const int32_t n = md_.SampleCount;
    ReplayData();
    md_.SampleCount = n;
    return true;
}

void FormMain::OfferUnsavedRun() {
    const auto leftover = engine_.FindLeftover();
    if (!leftover) {
        return;
    }
    const QString question =
        tr("保存されていない測定データがあります（開始時刻 %1、%n件）。読み込みますか？", nullptr,
           leftover->rows)
            .arg(leftover->startTime.trimmed());
    if (messages_.show(question, kAppTitle, MsgButtons::YesNo, MsgIcon::Question) !=
        MsgAnswer::Yes) {
        // Kept aside, never deleted by one click.
        if (const auto error = engine_.SetLeftoverAside()) {
            messages_.show(*error, kMessageTitle, MsgButtons::Ok, MsgIcon::Error);
        }
        return;
    }
    // Read like any file; the journal stays until the rows are saved or replaced.
    if (ReadFile(leftover->path)) {
        engine_.LeftoverRead();
    }
}

void FormMain::CmdPrintClick() {
    if (dialogs_.print) {
        dialogs_.print(this);
    }
}

} // namespace k12
