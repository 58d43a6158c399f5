// SPDX-License-Identifier: GPL-3.0-or-later
// Run control of the main window: start, stop and the acquisition steps of both timing modes.
#include "FormMain.h"

#include "measurement/Conversions.h"

#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <algorithm>

namespace k12 {

namespace {

const QString kMessageTitle = QStringLiteral("Message");
const QString kOutOfMemory = QStringLiteral("メモリー不足です。測定値が保存できません");

// Keeps a timer's further ticks from starting a step while one runs (a step may wait in a
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
    if (std::none_of(md_.Units.begin(), md_.Units.end(),
                     [](const UnitRecord& u) { return u.Mflag; })) {
        messages_.show(QStringLiteral("使用ユニットにチェックが付いていません。"),
                       QStringLiteral("エラーメッセージ"), MsgButtons::Ok, MsgIcon::Error);
        return;
    }
    if (md_.TimerType && !md_.SetPcTimer()) {
        Message(QStringLiteral("タイマー設定エラーのため測定開始できません。"));
        return;
    }
    if (md_.SampleCount >= 1 &&
        messages_.show(QStringLiteral("測定を開始するとデータが消去されます。よろしいですか？"),
                       kMessageTitle, MsgButtons::YesNo, MsgIcon::Question) != MsgAnswer::Yes) {
        return;
    }
    if (!md_.DevOpenAll()) {
        md_.DevCloseAll();
        return;
    }
    // Lists show the data about to be erased, whether or not cmdDisp says one is open.
    CloseDatalist();
    if (optWid_[0]->isChecked()) {
        md_.ViewWidth = 100;
    }
    chart_.suspendRepaint();
    md_.ClearData();
    md_.ClearMemo();
    ClearChartLines();
    md_.Measuring = true;
    SetButtonState();
    SetGraphParam();
    md_.StartTime = FormatStartTime(clock_.now());
    runStartMs_ = clock_.monotonicMs();
    faults_.Reset();
    for (int i = 0; i < UNIT_COUNT; ++i) {
        if (labelShowsError_[i]) {
            MarkUnitLabel(i, false);
            label1_[i]->clear();
        }
    }
    chart_.setHeaderText(QStringLiteral("開始時刻 [ ") + md_.StartTime + QStringLiteral(" ]"));
    chart_.setHeaderPlacement(3);
    if (journal_ != nullptr) {
        journal_->Begin(md_);
    }
    if (md_.TimerType) {
        timer1_.setInterval(md_.PcTimerInterval);
        md_.PcTickCount = 0;
        timer1_.start();
    } else if (md_.LogStartAll()) {
        timer2_.setInterval(100);
        timer2_.start();
    } else {
        // Units that did start streaming are stopped; no run goes on without its timer.
        StopMeas();
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
    StopMeas();
    ReportMissedReadings();
}

void FormMain::StopMeas() {
    StopRun(true);
}

void FormMain::StopRun(bool collect) {
    if (md_.TimerType) {
        timer1_.stop();
    } else {
        timer2_.stop();
        // Values the units have already averaged belong to this run.
        if (collect && md_.Measuring) {
            CollectLastLogs();
        }
        if (md_.Measuring && md_.ContinueOnError) {
            CountMissedAtEnd();
        }
        // A down unit's link is closed: there is no stream to stop.
        md_.LogStopAll(faults_.DownUnits());
    }
    md_.DevCloseAll();
    if (journal_ != nullptr) {
        journal_->End(md_);
    }
    md_.Measuring = false;
    SetButtonState();
    // A start that ended before its first step must not leave the chart frozen.
    if (chart_.isRepaintSuspended()) {
        chart_.resumeRepaint();
    }
}

void FormMain::CollectLastLogs() {
    for (int i = 0; i < UNIT_COUNT; ++i) {
        if (md_.Units[i].Mflag && md_.Drivers[i] && md_.Drivers[i]->Openflg()) {
            // Lines already received but not yet taken by the driver's own tick.
            md_.Drivers[i]->OnTimer1();
        }
    }
    const auto counts = DataCounts();
    if (!GetUnitLogs() || DataCounts() == counts) {
        return;
    }
    DispCurrentData1();
    ScrollAxesX();
    GrDrawData1();
}

std::array<int32_t, UNIT_COUNT> FormMain::DataCounts() const {
    std::array<int32_t, UNIT_COUNT> counts{};
    for (int i = 0; i < UNIT_COUNT; ++i) {
        counts[i] = md_.Units[i].DataCount;
    }
    return counts;
}

void FormMain::OnTimer1Tick() {
    if (inStep_ || !md_.Measuring) {
        return;
    }
    md_.PcTickCount += 1;
    if (md_.PcTickCount >= md_.PcTicksPerSample) {
        PcTimerStep();
        md_.PcTickCount = 0;
    }
}

void FormMain::OnTimer2Tick() {
    if (inStep_ || !md_.Measuring) {
        return;
    }
    DevTimerStep();
}

void FormMain::PcTimerStep() {
    const StepGuard guard(inStep_);
    if (md_.SampleCount >= MAX_SAMPLES) {
        timer1_.stop();
        Message(kOutOfMemory);
        StopMeas();
        ReportMissedReadings();
        return;
    }
    if (md_.SampleCount < 1 && chart_.isRepaintSuspended()) {
        chart_.resumeRepaint();
    }
    if (md_.Measuring) {
        // The first row marks the units in use in a saved file, so it must hold every unit.
        if (md_.ContinueOnError && md_.SampleCount >= 1) {
            PollUnitsThroughFaults();
        } else {
            if (ReportPortFailure()) {
                return;
            }
            if (!md_.GetDegreeAll()) {
                StopMeas();
                return;
            }
        }
    }
    md_.SampleCount += 1;
    if (journal_ != nullptr) {
        journal_->Append(md_, md_.SampleCount);
    }
    if (md_.Measuring) {
        DispCurrentData();
        ShowUnitFaults();
    }
    ScrollAxesX();
    GrDrawData(md_.SampleCount);
}

void FormMain::DevTimerStep() {
    const StepGuard guard(inStep_);
    if (!CheckLogSpace()) {
        timer2_.stop();
        Message(kOutOfMemory);
        StopMeas();
        ReportMissedReadings();
        return;
    }
    if (md_.DeviceTickCount < 1 && chart_.isRepaintSuspended()) {
        chart_.resumeRepaint();
    }
    if (md_.Measuring) {
        if (md_.ContinueOnError) {
            DrainFailedUnits();
        }
        if (!GetUnitLogs()) {
            StopRun(false);
            ReportMissedReadings();
            return;
        }
        if (md_.ContinueOnError) {
            TakeFailedUnitsDown();
            RestartDownUnits();
        }
        if (journal_ != nullptr) {
            journal_->Append(md_, FinalRows());
        }
        DispCurrentData1();
        ShowUnitFaults();
    }
    ScrollAxesX();
    GrDrawData1();
    md_.DeviceTickCount += 1;
    // What arrived before a unit's port failed is stored above; then the run ends (with
    // ContinueOnError only for a unit that failed before its first value).
    if (md_.Measuring && ReportPortFailure()) {
        return;
    }
    if (md_.SampleCount >= MAX_SAMPLES) {
        StopMeas();
        Message(QStringLiteral("データ入力バッファがいっぱいのため測定を中止します。"));
        ReportMissedReadings();
    }
}

bool FormMain::CheckLogSpace() const {
    for (const UnitRecord& u : md_.Units) {
        if (u.Mflag && u.DataCount >= MAX_SAMPLES) {
            return false;
        }
    }
    return true;
}

int32_t FormMain::FinalRows() const {
    // A unit that is down, or back without a new value yet, will be padded with -999.0 at
    // least up to the row the time since the start implies now: those rows are final too.
    const int32_t implied =
        md_.ContinueOnError ? ImpliedRowCount(clock_.monotonicMs() - runStartMs_, md_.IntervalTM)
                            : 0;
    int32_t rows = md_.SampleCount;
    for (int i = 0; i < UNIT_COUNT; ++i) {
        const UnitRecord& u = md_.Units[i];
        if (!u.Mflag) {
            continue;
        }
        int32_t held = u.DataCount;
        if (md_.ContinueOnError) {
            if (faults_.IsDown(i)) {
                held = std::max(held, implied);
            } else if (const auto target = faults_.PadTarget(i)) {
                held = std::max(held, *target);
            }
        }
        rows = std::min(rows, held);
    }
    return rows;
}

bool FormMain::GetUnitLogs() {
    std::array<double, 201> buffer{};
    try {
        for (int i = 0; i < UNIT_COUNT; ++i) {
            UnitRecord& u = md_.Units[i];
            if (!u.Mflag) {
                continue;
            }
            ComDrv& drv = md_.Driver(i);
            const int n = drv.GetLogLen();
            for (int k = 0; k < n; ++k) {
                buffer[k] = drv.GetLog();
            }
            if (n >= 1) {
                PadMissedRows(i);
            }
            for (int k = 0; k < n; ++k) {
                const int32_t r = u.DataCount;
                if (r >= MAX_SAMPLES) {
                    break;
                }
                u.Data[r] = static_cast<float>(buffer[k]);
                u.DataCount = r + 1;
                if (r >= MAX_SAMPLES - 1) {
                    break;
                }
            }
        }
    } catch (const DeviceError& e) {
        messages_.show(e.description(), kAppTitle, MsgButtons::Ok, MsgIcon::None);
        return false;
    }
    UpdateSampleCount();
    return true;
}

void FormMain::UpdateSampleCount() {
    bool first = true;
    for (const UnitRecord& u : md_.Units) {
        if (!u.Mflag) {
            continue;
        }
        if (first || u.DataCount > md_.SampleCount) {
            md_.SampleCount = u.DataCount;
            first = false;
        }
    }
}

bool FormMain::ReportPortFailure() {
    for (int i = 0; i < UNIT_COUNT; ++i) {
        if (!md_.Units[i].Mflag || !md_.Drivers[i]) {
            continue;
        }
        // Going on through faults, a unit that has values is taken down instead.
        if (md_.ContinueOnError && md_.Units[i].DataCount >= 1) {
            continue;
        }
        if (const auto failure = md_.Drivers[i]->PortFailure()) {
            timer1_.stop();
            timer2_.stop();
            StopMeas();
            Message(UnitFailureText(i, *failure));
            ReportMissedReadings();
            return true;
        }
    }
    return false;
}

// ---- going on through unit faults ----

void FormMain::PollUnitsThroughFaults() {
    for (int i = 0; i < UNIT_COUNT; ++i) {
        if (!md_.Units[i].Mflag) {
            continue;
        }
        ComDrv& drv = md_.Driver(i);
        try {
            const std::optional<DeviceError> failed = drv.PortFailure();
            if (faults_.IsDown(i) && (failed || !drv.Openflg())) {
                // Opened again by the path the COM number maps to now: a re-plugged adapter is
                // found under its by-id name.
                drv.DevClose();
                drv.DevOpen(md_.Units[i].ComPort);
            } else if (failed) {
                throw *failed;
            }
            StoreReading(i, drv.GetDegree());
        } catch (const DeviceError& e) {
            StoreMissedReading(i, e);
        }
    }
}

void FormMain::StoreReading(int i, double v) {
    UnitRecord& u = md_.Units[i];
    u.Data.at(static_cast<size_t>(md_.SampleCount)) = static_cast<float>(v);
    ++u.DataCount;
    faults_.MarkUp(i);
}

void FormMain::StoreMissedReading(int i, const DeviceError& error) {
    UnitRecord& u = md_.Units[i];
    u.Data.at(static_cast<size_t>(md_.SampleCount)) = NO_DATA_VALUE;
    ++u.DataCount;
    faults_.MarkDown(i, error, clock_.monotonicMs());
    faults_.CountMissed(i, 1);
}

void FormMain::DrainFailedUnits() {
    for (int i = 0; i < UNIT_COUNT; ++i) {
        if (md_.Units[i].Mflag && md_.Drivers[i] && md_.Drivers[i]->PortFailure()) {
            // Lines received before the failure, not yet taken by the driver's own tick.
            md_.Drivers[i]->OnTimer1();
        }
    }
}

void FormMain::TakeFailedUnitsDown() {
    for (int i = 0; i < UNIT_COUNT; ++i) {
        // A unit without a value yet is left to ReportPortFailure, which stops the run.
        if (!md_.Units[i].Mflag || !md_.Drivers[i] || md_.Units[i].DataCount < 1) {
            continue;
        }
        if (const auto failure = md_.Drivers[i]->PortFailure()) {
            faults_.MarkDown(i, *failure, clock_.monotonicMs());
            md_.Drivers[i]->DevClose();
        }
    }
}

void FormMain::RestartDownUnits() {
    for (int i = 0; i < UNIT_COUNT; ++i) {
        const qint64 now = clock_.monotonicMs();
        if (!md_.Units[i].Mflag || !faults_.IsDown(i) || !faults_.RetryDue(i, now)) {
            continue;
        }
        ComDrv& drv = md_.Driver(i);
        try {
            drv.DevClose();
            drv.DevOpen(md_.Units[i].ComPort);
            drv.LogStart(static_cast<int16_t>(md_.IntervalTM / 100));
        } catch (const DeviceError& e) {
            drv.DevClose();
            faults_.MarkDown(i, e, now);
            continue;
        }
        faults_.MarkUp(i);
        // Its k-th new value belongs k intervals after this moment.
        faults_.SetPadTarget(i,
                             ImpliedRowCount(clock_.monotonicMs() - runStartMs_, md_.IntervalTM));
    }
}

void FormMain::PadMissedRows(int i) {
    const std::optional<int32_t> target = faults_.TakePadTarget(i);
    UnitRecord& u = md_.Units[i];
    if (!target || *target <= u.DataCount) {
        return;
    }
    const int32_t end = std::min(*target, MAX_SAMPLES);
    std::fill(u.Data.begin() + u.DataCount, u.Data.begin() + end, NO_DATA_VALUE);
    faults_.CountMissed(i, end - u.DataCount);
    u.DataCount = end;
}

void FormMain::CountMissedAtEnd() {
    const int32_t implied = ImpliedRowCount(clock_.monotonicMs() - runStartMs_, md_.IntervalTM);
    for (int i = 0; i < UNIT_COUNT; ++i) {
        const UnitRecord& u = md_.Units[i];
        if (!u.Mflag) {
            continue;
        }
        // Rows of a returned unit whose first new value has not arrived were missed too.
        const std::optional<int32_t> target = faults_.TakePadTarget(i);
        if (faults_.IsDown(i)) {
            faults_.CountMissed(i, implied - u.DataCount);
        } else if (target) {
            faults_.CountMissed(i, std::min(*target, MAX_SAMPLES) - u.DataCount);
        }
    }
}

void FormMain::ReportMissedReadings() {
    const QString summary = faults_.Summary();
    faults_.ClearMissed();
    if (!summary.isEmpty()) {
        Message(summary);
    }
}

} // namespace k12
