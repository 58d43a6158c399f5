// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's side of a run: it asks the run engine to start, step and stop, and shows
// what each call reports.
#include "FormMain.h"

#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>

namespace k12 {

namespace {

// Keeps a timer's further ticks from starting a step while one is shown (a step may wait in a
// message box, during which the event loop delivers ticks).
class StepGuard {
  public:
    explicit StepGuard(bool& flag) : flag_(flag) { flag_ = true; }
    ~StepGuard() { flag_ = false; }
    StepGuard(const StepGuard&) = delete;
    StepGuard& operator=(const StepGuard&) = delete;

  private:
    bool& flag_;
};

} // namespace

void FormMain::CmdStartClick() {
    // Every reason to refuse a start is found before anything is asked, erased or opened.
    if (const auto refusal = engine_.StartRefusal()) {
        Show(*refusal);
        return;
    }
    if (md_.SampleCount >= 1 &&
        messages_.show(tr("測定を開始するとデータが消去されます。よろしいですか？"),
                       QStringLiteral("Message"), MsgButtons::YesNo,
                       MsgIcon::Question) != MsgAnswer::Yes) {
        return;
    }
    if (const auto failure = engine_.OpenUnits()) {
        Show(*failure);
        return;
    }
    // Lists show the data about to be erased, whether or not cmdDisp says one is open.
    CloseDatalist();
    if (optWid_[0]->isChecked()) {
        md_.ViewWidth = 100;
    }
    chart_.suspendRepaint();
    const RunReport report = engine_.Start([this] {
        ClearChartLines();
        ResetChartReading();
        SetButtonState();
        SetGraphParam();
    });
    alertTexts_.clear();
    for (int i = 0; i < UNIT_COUNT; ++i) {
        if (labelShowsError_[i]) {
            MarkUnitLabel(i, false);
            label1_[i]->clear();
        }
        StyleUnitLabel(i);
    }
    chart_.setHeaderText(tr("開始時刻 [ ") + md_.StartTime + QStringLiteral(" ]"));
    chart_.setHeaderPlacement(3);
    ShowPieceStatus();
    if (report.ended) {
        ShowRun(report);
    } else if (md_.TimerType) {
        timer1_.setInterval(md_.PcTimerInterval);
        timer1_.start();
    } else {
        timer2_.setInterval(RunEngine::DEVICE_STEP_MS);
        timer2_.start();
    }
}

void FormMain::ClearChartLines() {
    chart_.beginBatch();
    for (int s = 1; s <= chart_.seriesCount(); ++s) {
        chart_.setPointCount(s, 0);
    }
    chart_.endBatch();
}

void FormMain::CmdStopClick() {
    ShowRun(engine_.Stop());
}

void FormMain::OnTimer1Tick() {
    if (inStep_ || !md_.Measuring) {
        return;
    }
    const StepGuard guard(inStep_);
    ShowRun(engine_.PcTimerTick());
}

void FormMain::OnTimer2Tick() {
    if (inStep_ || !md_.Measuring) {
        return;
    }
    const StepGuard guard(inStep_);
    ShowRun(engine_.DevTimerTick());
}

void FormMain::ShowRun(const RunReport& report) {
    if (report.stepped && chart_.isRepaintSuspended()) {
        chart_.resumeRepaint();
    }
    for (const RunMessage& note : report.notices) {
        messages_.notify(note.text, note.title, note.icon);
    }
    for (const FeedNotice& note : report.feedNotices) {
        messages_.notify(note.message, QStringLiteral("Message"),
                         note.kind == FeedNotice::Kind::Connected ? MsgIcon::None : MsgIcon::Error);
    }
    ShowAlerts(report.alerts);
    if (report.pieceStarted) {
        ShowNextPiece();
    }
    if (report.stored || !report.piecesWritten.empty()) {
        ShowPieceStatus();
    }
    if (report.stored) {
        DispCurrentData();
        ShowUnitFaults();
        ScrollAxesX();
        if (md_.TimerType && !report.pieceStarted) {
            GrDrawData(md_.SampleCount);
        } else {
            GrDrawData1();
        }
    }
    if (!report.ended) {
        return;
    }
    // The one way a run ends on screen, whatever ended it.
    timer1_.stop();
    timer2_.stop();
    for (const RunMessage& m : report.beforeStop) {
        Show(m);
    }
    SetButtonState();
    // A unit down at the stop keeps showing the error until the next start; the feed is done.
    ShowUnitFaults();
    ShowPieceStatus();
    // A start that ended before its first step must not leave the chart frozen.
    if (chart_.isRepaintSuspended()) {
        chart_.resumeRepaint();
    }
    for (const RunMessage& m : report.afterStop) {
        Show(m);
    }
}

void FormMain::ShowNextPiece() {
    // Markers belong to the rows of the piece before; hidden lines stay hidden.
    chart_.clearMarkers();
    ClearChartLines();
    ResetViewX();
    SetAxesX(md_.ViewStart, md_.ViewEnd);
    chart_.setHeaderText(tr("開始時刻 [ ") + md_.StartTime + QStringLiteral(" ]"));
}

void FormMain::ShowPieceStatus() {
    const FeedPublisher* feed = engine_.Feed();
    const bool shown = md_.ContinueWhenFull || feed || engine_.Alerts().Enabled();
    if (shown) {
        QStringList parts;
        if (md_.ContinueWhenFull) {
            QString text = tr("現在のファイル: %1 行　保存したファイル: %2")
                               .arg(md_.SampleCount)
                               .arg(engine_.PiecesWritten());
            if (!engine_.LastPiece().isEmpty()) {
                text += tr("　保存済み: ") + QFileInfo(engine_.LastPiece()).fileName();
            }
            parts << text;
        }
        if (const QString text = feed ? FeedStatusText(feed->Health()) : QString();
            !text.isEmpty()) {
            parts << text;
        }
        for (const auto& [key, alert] : alertTexts_) {
            parts << alert;
        }
        lblPieces_->setText(parts.join(tr("　", "between the status line's parts")));
    }
    if (statusBar()->isVisibleTo(this) != shown) {
        statusBar()->setVisible(shown);
        setFixedSize(sizeHint());
    }
}

void FormMain::ShowAlerts(const std::vector<AlertTransition>& alerts) {
    for (const AlertTransition& t : alerts) {
        const auto key = std::make_pair(t.unit, int(t.kind));
        if (t.raised) {
            alertTexts_[key] = AlertMessage(t);
        } else {
            alertTexts_.erase(key);
        }
        StyleUnitLabel(t.unit);
    }
}

void FormMain::Show(const RunMessage& message) {
    messages_.show(message.text, message.title, MsgButtons::Ok, message.icon);
}

} // namespace k12
