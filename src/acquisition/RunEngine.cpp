// SPDX-License-Identifier: GPL-3.0-or-later
#include "acquisition/RunEngine.h"

#include "data_files/DataFile.h"
#include "measurement/Conversions.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace k12 {

namespace {

const QString kMessageTitle = QStringLiteral("Message");

RunMessage Plain(const QString& text) {
    return {text, kMessageTitle, MsgIcon::None};
}

// A unit procedure's failure, as the unit-set procedures show it.
RunMessage UnitMessage(const QString& text) {
    return {text, kAppTitle, MsgIcon::None};
}

RunMessage OutOfMemory() {
    return Plain(QStringLiteral("メモリー不足です。測定値が保存できません"));
}

RunMessage BufferFull() {
    return Plain(QStringLiteral("データ入力バッファがいっぱいのため測定を中止します。"));
}

DeviceError NoReadingError() {
    return DeviceError(link_error::BadReply, QStringLiteral("リターン文字列不正"));
}

DeviceError SilenceError() {
    return DeviceError(link_error::Timeout, QStringLiteral("タイムアウト"));
}

// `name` in `folder`, or with "-2", "-3", ... before its extension when a file has it already (a
// run started in the same second as an earlier one): a piece never replaces another.
QString FreePath(const QString& folder, const QString& name) {
    const QDir dir(folder);
    QString path = dir.filePath(name);
    for (int k = 2; QFileInfo::exists(path) && k < 1000; ++k) {
        path = dir.filePath(QFileInfo(name).completeBaseName() + QStringLiteral("-%1.zr5").arg(k));
    }
    return path;
}

static_assert(LOG_NO_READING == double(NO_DATA_VALUE),
              "a window without a reading is stored as a hole");

} // namespace

RunEngine::RunEngine(ModuleData& md, const Clock& clock, RunJournal& journal)
    : md_(md), clock_(clock), journal_(journal) {}

RunEngine::~RunEngine() {
    if (md_.Measuring) {
        Finish({}, true);
    }
}

QString RunEngine::PieceName(int n) const {
    return runStart_.toString(QStringLiteral("yyyyMMdd-HHmmss")) +
           QStringLiteral("-%1.zr5").arg(n, 3, 10, QLatin1Char('0'));
}

std::optional<RunMessage> RunEngine::StartRefusal() {
    if (std::none_of(md_.Units.begin(), md_.Units.end(),
                     [](const UnitRecord& u) { return u.Mflag; })) {
        return RunMessage{QStringLiteral("使用ユニットにチェックが付いていません。"),
                          QStringLiteral("エラーメッセージ"), MsgIcon::Error};
    }
    if (md_.TimerType && !md_.SetPcTimer()) {
        return Plain(QStringLiteral("タイマー設定エラーのため測定開始できません。"));
    }
    return std::nullopt;
}

std::optional<RunMessage> RunEngine::OpenUnits() {
    if (const auto failure = md_.OpenUnits()) {
        md_.DevCloseAll();
        return UnitMessage(*failure);
    }
    return std::nullopt;
}

RunReport RunEngine::Start(const std::function<void()>& prepareView) {
    journal_.BeforeErase(md_);
    md_.ClearData();
    md_.ClearMemo();
    md_.Measuring = true;
    if (prepareView) {
        prepareView();
    }
    runStart_ = clock_.now();
    md_.StartTime = FormatStartTime(runStart_);
    runStartMs_ = clock_.monotonicMs();
    faults_.Reset();
    leadingHole_ = {};
    piecesWritten_ = 0;
    lastPiece_.clear();
    fullSinceMs_.reset();
    behind_ = {};
    missedBefore_ = {};
    for (auto& values : carry_) {
        values.clear();
    }
    journal_.Begin(md_);
    RunReport report;
    if (md_.TimerType) {
        md_.PcTickCount = 0;
    } else if (const auto failure = md_.StartLogging()) {
        // Units that did start streaming are stopped; no run goes on without its timer.
        report.beforeStop.push_back(UnitMessage(*failure));
        return Finish(std::move(report), true);
    }
    for (int i = 0; i < UNIT_COUNT; ++i) {
        ResetSilenceWatch(i, runStartMs_);
    }
    return report;
}

RunReport RunEngine::PcTimerTick() {
    if (!md_.Measuring || !md_.TimerType) {
        return {};
    }
    md_.PcTickCount += 1;
    if (md_.PcTickCount < md_.PcTicksPerSample) {
        return {};
    }
    RunReport report = PcTimerStep();
    md_.PcTickCount = 0;
    return report;
}

RunReport RunEngine::DevTimerTick() {
    if (!md_.Measuring || md_.TimerType) {
        return {};
    }
    return DevTimerStep();
}

RunReport RunEngine::Stop() {
    if (!md_.Measuring) {
        return {};
    }
    return Finish({}, true);
}

RunReport RunEngine::PcTimerStep() {
    RunReport report;
    report.stepped = true;
    if (md_.SampleCount >= limit_) {
        report.beforeStop.push_back(OutOfMemory());
        return Finish(std::move(report), true);
    }
    // The first row marks the units in use in a saved file, so it must hold every unit.
    if (md_.ContinueOnError && (md_.SampleCount >= 1 || piecesWritten_ > 0)) {
        PollUnitsThroughFaults();
    } else {
        if (auto ending = UnitEndingTheRun()) {
            report.afterStop.push_back(std::move(*ending));
            return Finish(std::move(report), true);
        }
        if (const auto failure = md_.PollUnits()) {
            report.beforeStop.push_back(UnitMessage(*failure));
            return Finish(std::move(report), true);
        }
    }
    md_.SampleCount += 1;
    journal_.Append(md_);
    report.stored = true;
    // A run that ends now keeps its full store as its last piece.
    if (DurationOver()) {
        return Finish(std::move(report), true);
    }
    if (md_.ContinueWhenFull && md_.SampleCount >= limit_) {
        StoreFull(report);
    }
    return report;
}

RunReport RunEngine::DevTimerStep() {
    RunReport report;
    report.stepped = true;
    // Going on into pieces, a full unit waits for the others; what it delivers is kept.
    if (!md_.ContinueWhenFull && !CheckLogSpace()) {
        report.beforeStop.push_back(OutOfMemory());
        return Finish(std::move(report), true);
    }
    if (md_.ContinueOnError) {
        DrainFailedUnits();
    }
    if (auto failure = GetUnitLogs()) {
        report.beforeStop.push_back(std::move(*failure));
        return Finish(std::move(report), false);
    }
    WatchForSilence();
    if (md_.ContinueOnError) {
        TakeFailedUnitsDown();
        RestartDownUnits();
    }
    journal_.Append(md_);
    report.stored = true;
    md_.DeviceTickCount += 1;
    // What arrived before a unit failed is stored above; then the run ends.
    if (auto ending = UnitEndingTheRun()) {
        report.afterStop.push_back(std::move(*ending));
        return Finish(std::move(report), true);
    }
    if (DurationOver()) {
        return Finish(std::move(report), true);
    }
    if (md_.SampleCount >= limit_) {
        if (!md_.ContinueWhenFull) {
            report.afterStop.push_back(BufferFull());
            return Finish(std::move(report), true);
        }
        StoreFull(report);
    }
    return report;
}

bool RunEngine::DurationOver() const {
    return md_.StopAfterMinutes > 0 &&
           clock_.monotonicMs() - runStartMs_ >= qint64(md_.StopAfterMinutes) * 60000;
}

bool RunEngine::StoreFull(RunReport& report) {
    const qint64 now = clock_.monotonicMs();
    if (!fullSinceMs_) {
        fullSinceMs_ = now;
    }
    if (!PieceComplete(now)) {
        return true;
    }
    if (const auto failure = WritePiece(report)) {
        // Kept nowhere: the run stops as a full store stops it, the rows still in memory.
        report.beforeStop.push_back({*failure, kMessageTitle, MsgIcon::Error});
        if (md_.TimerType) {
            report.beforeStop.push_back(OutOfMemory());
        } else {
            report.afterStop.push_back(BufferFull());
        }
        report = Finish(std::move(report), false);
        return false;
    }
    StartNextPiece(report);
    return true;
}

bool RunEngine::PieceComplete(qint64 nowMs) const {
    if (fullSinceMs_ && nowMs - *fullSinceMs_ >= PIECE_WAIT_MS) {
        return true;
    }
    for (int i = 0; i < UNIT_COUNT; ++i) {
        const UnitRecord& u = md_.Units[i];
        if (u.Mflag && u.DataCount < limit_ && !faults_.IsDown(i)) {
            return false;
        }
    }
    return true;
}

std::optional<QString> RunEngine::WritePiece(RunReport& report) {
    const QString name = PieceName(piecesWritten_ + 1);
    QString written = FreePath(md_.SaveFolder, name);
    const std::optional<DataFileError> failed = WriteDataFile(md_, written);
    if (failed) {
        // The rows go where the journal keeps what it could not keep elsewhere.
        const QString aside = journal_.UnsavedFolder();
        if (aside.isEmpty() || !QDir().mkpath(aside)) {
            return failed->message;
        }
        written = FreePath(aside, name);
        if (WriteDataFile(md_, written)) {
            return failed->message;
        }
        report.notices.push_back({failed->message + QLatin1Char('\n') +
                                      QStringLiteral("%1 に保存しました。").arg(written),
                                  kMessageTitle, MsgIcon::Error});
    }
    ++piecesWritten_;
    lastPiece_ = written;
    report.pieceWritten = written;
    for (int i = 0; i < UNIT_COUNT; ++i) {
        const UnitRecord& u = md_.Units[i];
        if (u.Mflag && u.DataCount < md_.SampleCount && !faults_.IsDown(i) &&
            !faults_.PadTarget(i)) {
            // Too late for this piece: its missing rows are holes.
            faults_.NoteError(i, SilenceError());
        }
    }
    return std::nullopt;
}

void RunEngine::StartNextPiece(RunReport& report) {
    // The journal holds only the current piece; the written one no longer needs it.
    journal_.End(md_);
    journal_.DataSaved(md_);
    for (int i = 0; i < UNIT_COUNT; ++i) {
        const UnitRecord& u = md_.Units[i];
        // A unit that lags has its missing rows in the piece written; what it still delivers
        // for them is dropped. A unit away is placed by its time when it returns.
        if (u.Mflag && !faults_.IsDown(i) && !faults_.PadTarget(i)) {
            behind_[i] += std::max(0, limit_ - u.DataCount);
        }
    }
    const auto missed = MissedReadings(md_, faults_, limit_);
    for (int i = 0; i < UNIT_COUNT; ++i) {
        missedBefore_[i] += missed[i];
    }
    md_.ClearData();
    md_.Measuring = true;
    md_.StartTime =
        FormatStartTime(runStart_.addMSecs(qint64(limit_) * piecesWritten_ * md_.IntervalTM));
    for (int i = 0; i < UNIT_COUNT; ++i) {
        UnitRecord& u = md_.Units[i];
        const auto n = static_cast<int32_t>(std::min<size_t>(carry_[i].size(), size_t(limit_)));
        std::copy_n(carry_[i].begin(), n, u.Data.begin());
        u.DataCount = n;
        carry_[i].clear();
    }
    md_.SampleCount = 0;
    UpdateSampleCount();
    fullSinceMs_.reset();
    journal_.Begin(md_);
    journal_.Append(md_);
    report.pieceStarted = true;
    report.stored = true;
}

RunReport RunEngine::Finish(RunReport report, bool collect) {
    report.ended = true;
    if (!md_.TimerType) {
        // Values the units have already averaged belong to this run.
        if (collect && md_.Measuring && CollectLastLogs(report)) {
            report.stored = true;
        }
        // A down unit's link is closed: there is no stream to stop.
        if (const auto failure = md_.StopLogging(faults_.DownUnits())) {
            report.afterStop.push_back(UnitMessage(*failure));
        }
    }
    md_.DevCloseAll();
    journal_.End(md_);
    md_.Measuring = false;
    // The last piece, however the run ended; the store still holds it. A store the run could not
    // keep anywhere has said so already.
    if (md_.ContinueWhenFull && md_.SampleCount >= 1 && !report.pieceWritten.has_value() &&
        report.beforeStop.empty()) {
        if (const auto failure = WritePiece(report)) {
            report.afterStop.push_back({*failure, kMessageTitle, MsgIcon::Error});
        } else {
            journal_.DataSaved(md_);
        }
    }
    if (md_.ContinueOnError || md_.ContinueWhenFull) {
        auto missed = MissedReadings(md_, faults_, limit_);
        for (int i = 0; i < UNIT_COUNT; ++i) {
            missed[i] += missedBefore_[i];
        }
        const QString summary = MissedSummary(missed, faults_);
        if (!summary.isEmpty()) {
            report.afterStop.push_back(Plain(summary));
        }
    }
    return report;
}

bool RunEngine::CollectLastLogs(RunReport& report) {
    for (int i = 0; i < UNIT_COUNT; ++i) {
        if (md_.Units[i].Mflag && md_.Drivers[i] && md_.Drivers[i]->Openflg()) {
            // Lines already received but not yet taken by the driver's own tick.
            md_.Drivers[i]->OnTimer1();
        }
    }
    std::array<int32_t, UNIT_COUNT> before{};
    for (int i = 0; i < UNIT_COUNT; ++i) {
        before[i] = md_.Units[i].DataCount;
    }
    if (auto failure = GetUnitLogs()) {
        report.beforeStop.push_back(std::move(*failure));
        return false;
    }
    for (int i = 0; i < UNIT_COUNT; ++i) {
        if (md_.Units[i].DataCount != before[i]) {
            return true;
        }
    }
    return false;
}

bool RunEngine::CheckLogSpace() const {
    return std::none_of(md_.Units.begin(), md_.Units.end(),
                        [](const UnitRecord& u) { return u.Mflag && u.DataCount >= MAX_SAMPLES; });
}

std::optional<RunMessage> RunEngine::GetUnitLogs() {
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
                const float v = static_cast<float>(buffer[k]);
                if (v == NO_DATA_VALUE) {
                    faults_.NoteError(i, NoReadingError());
                }
                if (behind_[i] > 0) {
                    // It belongs to a piece already written.
                    --behind_[i];
                    continue;
                }
                const int32_t r = u.DataCount;
                if (r >= limit_) {
                    // Kept for the next piece; without pieces, the rest of this step is dropped.
                    if (md_.ContinueWhenFull) {
                        carry_[i].push_back(v);
                    }
                    continue;
                }
                if (v == NO_DATA_VALUE && r == 0 && piecesWritten_ == 0) {
                    // Its row 0 would say the unit was not in use.
                    leadingHole_[i] = true;
                    break;
                }
                u.Data[r] = v;
                u.DataCount = r + 1;
            }
        }
    } catch (const DeviceError& e) {
        return UnitMessage(e.description());
    }
    UpdateSampleCount();
    return std::nullopt;
}

void RunEngine::UpdateSampleCount() {
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

std::optional<RunMessage> RunEngine::UnitEndingTheRun() {
    for (int i = 0; i < UNIT_COUNT; ++i) {
        if (!md_.Units[i].Mflag || !md_.Drivers[i]) {
            continue;
        }
        if (leadingHole_[i]) {
            return Plain(UnitFailureText(i, NoReadingError()));
        }
        if (lineWatch_[i].silent) {
            return Plain(UnitFailureText(i, SilenceError()));
        }
        // Going on through faults, a unit that has values is taken down instead.
        if (md_.ContinueOnError && HasValues(i)) {
            continue;
        }
        if (const auto failure = md_.Drivers[i]->PortFailure()) {
            return Plain(UnitFailureText(i, *failure));
        }
    }
    return std::nullopt;
}

bool RunEngine::HasValues(int i) const {
    return md_.Units[i].DataCount >= 1 || piecesWritten_ > 0;
}

bool RunEngine::ShowsError(int unit) const {
    const UnitRecord& u = md_.Units.at(static_cast<size_t>(unit));
    if (!u.Mflag) {
        return false;
    }
    if (faults_.IsDown(unit)) {
        return true;
    }
    const int32_t newest = md_.TimerType ? md_.SampleCount - 1 : u.DataCount - 1;
    return newest >= 0 && newest < static_cast<int32_t>(u.Data.size()) &&
           u.Data[newest] == NO_DATA_VALUE;
}

std::optional<QString> RunEngine::SetLeftoverAside() {
    if (const auto error = journal_.MoveToUnsaved()) {
        return RunJournal::FailureText(*error);
    }
    return std::nullopt;
}

// ---- going on through unit faults ----

void RunEngine::PollUnitsThroughFaults() {
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
            const double v = drv.GetDegree();
            UnitRecord& u = md_.Units[i];
            u.Data.at(static_cast<size_t>(md_.SampleCount)) = static_cast<float>(v);
            ++u.DataCount;
            faults_.MarkUp(i);
        } catch (const DeviceError& e) {
            StoreMissedReading(i, e);
        }
    }
}

void RunEngine::StoreMissedReading(int i, const DeviceError& error) {
    UnitRecord& u = md_.Units[i];
    u.Data.at(static_cast<size_t>(md_.SampleCount)) = NO_DATA_VALUE;
    ++u.DataCount;
    faults_.MarkDown(i, error, clock_.monotonicMs());
}

void RunEngine::DrainFailedUnits() {
    for (int i = 0; i < UNIT_COUNT; ++i) {
        if (md_.Units[i].Mflag && md_.Drivers[i] && md_.Drivers[i]->PortFailure()) {
            // Lines received before the failure, not yet taken by the driver's own tick.
            md_.Drivers[i]->OnTimer1();
        }
    }
}

void RunEngine::TakeFailedUnitsDown() {
    for (int i = 0; i < UNIT_COUNT; ++i) {
        // A unit without a value yet is left to UnitEndingTheRun, which ends the run.
        if (!md_.Units[i].Mflag || !md_.Drivers[i] || !HasValues(i)) {
            continue;
        }
        if (const auto failure = md_.Drivers[i]->PortFailure()) {
            faults_.MarkDown(i, *failure, clock_.monotonicMs());
            md_.Drivers[i]->DevClose();
        }
    }
}

void RunEngine::RestartDownUnits() {
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
        ResetSilenceWatch(i, now);
        // Its first new value ends an interval from now: it belongs in the row whose time is
        // nearest to that, and so on.
        faults_.SetPadTarget(i, RowCountAt(clock_.monotonicMs() - runStartMs_, md_.IntervalTM));
    }
}

void RunEngine::ResetSilenceWatch(int i, qint64 nowMs) {
    LineWatch& watch = lineWatch_[i];
    watch.lines = md_.Drivers[i] ? md_.Drivers[i]->LinesReceived() : 0;
    watch.sinceMs = nowMs;
    watch.silent = false;
}

void RunEngine::WatchForSilence() {
    const qint64 now = clock_.monotonicMs();
    for (int i = 0; i < UNIT_COUNT; ++i) {
        if (!md_.Units[i].Mflag || !md_.Drivers[i] || faults_.IsDown(i)) {
            continue;
        }
        ComDrv& drv = *md_.Drivers[i];
        LineWatch& watch = lineWatch_[i];
        if (drv.LinesReceived() != watch.lines) {
            ResetSilenceWatch(i, now);
            continue;
        }
        if (now - watch.sinceMs < SILENCE_MS) {
            continue;
        }
        // A unit whose power came back waits for "RUN00"; it is started again like a unit
        // whose line failed.
        if (md_.ContinueOnError && HasValues(i)) {
            faults_.MarkDown(i, SilenceError(), now);
            drv.DevClose();
        } else {
            watch.silent = true;
        }
    }
}

void RunEngine::PadMissedRows(int i) {
    const std::optional<int32_t> target = faults_.TakePadTarget(i);
    if (!target) {
        return;
    }
    // The target counts rows from the run's start; the store holds the current piece.
    const qint64 row = *target - qint64(piecesWritten_) * limit_;
    UnitRecord& u = md_.Units[i];
    if (row < 0) {
        // Its first values belong to a piece already written.
        behind_[i] = static_cast<int32_t>(-row);
        return;
    }
    behind_[i] = 0;
    if (row <= u.DataCount) {
        return;
    }
    const auto end = static_cast<int32_t>(std::min<qint64>(row, limit_));
    std::fill(u.Data.begin() + u.DataCount, u.Data.begin() + end, NO_DATA_VALUE);
    u.DataCount = end;
    if (md_.ContinueWhenFull && row > limit_) {
        carry_[i].assign(size_t(row - limit_), NO_DATA_VALUE);
    }
}

} // namespace k12
