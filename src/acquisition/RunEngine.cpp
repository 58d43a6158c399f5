// SPDX-License-Identifier: GPL-3.0-or-later
#include "acquisition/RunEngine.h"

#include "data_files/DataFile.h"
#include "feed/FeedConfig.h"
#include "measurement/Conversions.h"

#include <QCoreApplication>
#include <QDir>

#include <algorithm>
#include <utility>

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
    return Plain(
        QCoreApplication::translate("RunEngine", "メモリー不足です。測定値が保存できません"));
}

RunMessage BufferFull() {
    return Plain(QCoreApplication::translate(
        "RunEngine", "データ入力バッファがいっぱいのため測定を中止します。"));
}

DeviceError NoReadingError() {
    return DeviceError(link_error::BadReply,
                       QCoreApplication::translate("RunEngine", "リターン文字列不正"));
}

DeviceError SilenceError() {
    return DeviceError(link_error::Timeout,
                       QCoreApplication::translate("RunEngine", "タイムアウト"));
}

static_assert(LOG_NO_READING == double(NO_DATA_VALUE),
              "a window without a reading is stored as a hole");

} // namespace

RunEngine::RunEngine(ModuleData& md, const Clock& clock, RunJournal& journal,
                     std::unique_ptr<TaskQueue> pieceQueue)
    : md_(md), clock_(clock), journal_(journal), writer_(std::move(pieceQueue)) {}

RunEngine::~RunEngine() {
    if (md_.Measuring) {
        Finish({}, true);
    }
}

QString RunEngine::PieceName(int n) const {
    return runStart_.toString(QStringLiteral("yyyyMMdd-HHmmss")) +
           QStringLiteral("-%1.zr5").arg(n, 3, 10, QLatin1Char('0'));
}

QString RunEngine::JournalPath() const {
    return journalFile_ ? journalFile_->Path() : QString();
}

void RunEngine::RowsFilledForTest(int32_t rows) {
    const qint64 end = rows_.PieceStart(rows_.Current()) + rows;
    for (int i = 0; i < UNIT_COUNT; ++i) {
        while (md_.Units[i].Mflag && rows_.Next(i) < end) {
            rows_.Take(i);
        }
    }
    UpdateCounts();
}

std::optional<RunMessage> RunEngine::StartRefusal() {
    if (std::none_of(md_.Units.begin(), md_.Units.end(),
                     [](const UnitRecord& u) { return u.Mflag; })) {
        return RunMessage{
            QCoreApplication::translate("RunEngine", "使用ユニットにチェックが付いていません。"),
            QCoreApplication::translate("RunEngine", "エラーメッセージ"), MsgIcon::Error};
    }
    if (md_.TimerType && !md_.SetPcTimer()) {
        return Plain(QCoreApplication::translate("RunEngine",
                                                 "タイマー設定エラーのため測定開始できません。"));
    }
    // Settings edited by hand: the dialog would have refused them.
    for (const auto& problem : {FeedSettingsProblem(md_.Feed), AlertSettingsProblem(md_.Alerts)}) {
        if (problem) {
            return RunMessage{*problem,
                              QCoreApplication::translate("RunEngine", "エラーメッセージ"),
                              MsgIcon::Error};
        }
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
    std::array<bool, UNIT_COUNT> inUse{};
    for (int i = 0; i < UNIT_COUNT; ++i) {
        inUse[size_t(i)] = md_.Units[i].Mflag;
    }
    rows_.Start(limit_, inUse);
    leadingHole_ = {};
    piecesWritten_ = 0;
    lastPiece_.clear();
    closing_.reset();
    closingJournal_.reset();
    journalFile_ = journal_.Open(md_);
    RunReport report;
    if (md_.TimerType) {
        md_.PcTickCount = 0;
    } else if (const auto failure = md_.StartLogging()) {
        // Units that did start streaming are stopped; no run goes on without its timer.
        report.beforeStop.push_back(UnitMessage(*failure));
        return Finish(std::move(report), true);
    }
    feed_.Start(md_, runStart_, report);
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

RunReport RunEngine::Stop(const QString& why) {
    if (!md_.Measuring) {
        return {};
    }
    return Finish({}, true, true,
                  why.isEmpty() ? QCoreApplication::translate("RunEngine", "停止") : why);
}

RunReport RunEngine::PcTimerStep() {
    RunReport report;
    report.stepped = true;
    if (!TakeWrittenPieces(report)) {
        return report;
    }
    if (md_.SampleCount >= limit_) {
        if (!md_.ContinueWhenFull) {
            report.beforeStop.push_back(OutOfMemory());
            return Finish(std::move(report), true);
        }
        // The new piece starts with this step's row; the last one stayed shown until now.
        CutPiece(report);
        SealIfComplete();
        if (!TakeWrittenPieces(report)) {
            return report;
        }
    }
    // The first row tells the units in use, so it must hold every unit.
    if (md_.ContinueOnError && rows_.RowCount() >= 1) {
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
        for (int i = 0; i < UNIT_COUNT; ++i) {
            if (md_.Units[i].Mflag) {
                rows_.Take(i);
            }
        }
    }
    const qint64 row = rows_.RowCount() - 1;
    for (int i = 0; i < UNIT_COUNT; ++i) {
        if (md_.Units[i].Mflag) {
            feed_.Value(i, row, md_.Units[i].Data[md_.SampleCount], clock_.now(), report);
        }
    }
    md_.SampleCount += 1;
    if (journalFile_) {
        journalFile_->Append(md_);
    }
    report.stored = true;
    // A run that ends now keeps its full store as its last piece.
    if (DurationOver()) {
        report.durationOver = true;
        return Finish(std::move(report), true);
    }
    PublishFinalRows();
    feed_.TakeNotices(report);
    return report;
}

RunReport RunEngine::DevTimerStep() {
    RunReport report;
    report.stepped = true;
    // Going on into pieces, a full store moves on to the next piece instead.
    if (!md_.ContinueWhenFull && !CheckLogSpace()) {
        report.beforeStop.push_back(OutOfMemory());
        return Finish(std::move(report), true);
    }
    if (!TakeWrittenPieces(report)) {
        return report;
    }
    if (auto failure = GetUnitLogs(report)) {
        report.beforeStop.push_back(std::move(*failure));
        return Finish(std::move(report), false);
    }
    WatchForSilence();
    if (md_.ContinueOnError) {
        TakeFailedUnitsDown();
        RestartDownUnits();
    }
    if (journalFile_) {
        journalFile_->Append(md_);
    }
    if (closingJournal_) {
        closingJournal_->Append(*closing_);
    }
    report.stored = true;
    md_.DeviceTickCount += 1;
    // What arrived before a unit failed is stored above; then the run ends.
    if (auto ending = UnitEndingTheRun()) {
        report.afterStop.push_back(std::move(*ending));
        return Finish(std::move(report), true);
    }
    if (DurationOver()) {
        report.durationOver = true;
        return Finish(std::move(report), true);
    }
    if (!md_.ContinueWhenFull && md_.SampleCount >= limit_) {
        report.afterStop.push_back(BufferFull());
        return Finish(std::move(report), true);
    }
    SealIfComplete();
    if (TakeWrittenPieces(report)) {
        PublishFinalRows();
        feed_.TakeNotices(report);
    }
    return report;
}

bool RunEngine::DurationOver() const {
    return md_.StopAfterMinutes > 0 &&
           clock_.monotonicMs() - runStartMs_ >= qint64(md_.StopAfterMinutes) * 60000;
}

RunReport RunEngine::Finish(RunReport report, bool collect, bool keepLastPiece,
                            const QString& why) {
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
    md_.Measuring = false;
    // Nothing delivered for the piece behind is lost: it is written now.
    SealClosing(false);
    if (journalFile_) {
        journalFile_->End(md_);
    }
    // The last piece, however the run ended; the store still holds it.
    if (keepLastPiece && md_.ContinueWhenFull && md_.SampleCount >= 1) {
        auto copy = std::make_unique<MeasurementStore>();
        copy->Units = md_.Units;
        copy->SampleCount = md_.SampleCount;
        copy->StartTime = md_.StartTime;
        copy->TimerType = md_.TimerType;
        copy->IntervalTM = md_.IntervalTM;
        copy->DataId = md_.DataId;
        WritePiece(rows_.Current() + 1, std::move(copy));
    }
    // The run's end waits for its pieces: their files are what it reports.
    writer_.Drain();
    TakeWrittenPieces(report);
    journalFile_.reset();
    // Rows a unit that is up has not reached yet are no fault of it.
    rows_.End([this](int i) -> std::optional<QString> {
        if (faults_.IsDown(i) || rows_.Returning(i)) {
            return faults_.DownReason(i);
        }
        return std::nullopt;
    });
    if (md_.ContinueOnError || md_.ContinueWhenFull) {
        const QString summary = MissedSummary(rows_);
        if (!summary.isEmpty()) {
            report.afterStop.push_back(Plain(summary));
        }
    }
    FinishFeed(report, why);
    return report;
}

bool RunEngine::CollectLastLogs(RunReport& report) {
    const qint64 before = rows_.RowCount();
    std::array<qint64, UNIT_COUNT> next{};
    for (int i = 0; i < UNIT_COUNT; ++i) {
        next[size_t(i)] = rows_.Next(i);
    }
    if (auto failure = GetUnitLogs(report)) {
        report.beforeStop.push_back(std::move(*failure));
        return false;
    }
    for (int i = 0; i < UNIT_COUNT; ++i) {
        if (rows_.Next(i) != next[size_t(i)]) {
            return true;
        }
    }
    return rows_.RowCount() != before;
}

bool RunEngine::CheckLogSpace() const {
    return std::none_of(md_.Units.begin(), md_.Units.end(),
                        [](const UnitRecord& u) { return u.Mflag && u.DataCount >= MAX_SAMPLES; });
}

std::optional<RunMessage> RunEngine::GetUnitLogs(RunReport& report) {
    std::array<double, 201> buffer{};
    try {
        for (int i = 0; i < UNIT_COUNT; ++i) {
            if (!md_.Units[i].Mflag) {
                continue;
            }
            ComDrv& drv = md_.Driver(i);
            // Lines waiting in the port are taken now, so a late step finds every line that
            // came meanwhile; a full log is emptied and filled again until none are left.
            for (bool more = true; more;) {
                if (drv.Openflg()) {
                    drv.OnTimer1();
                }
                const int n = drv.GetLogLen();
                for (int k = 0; k < n; ++k) {
                    buffer[k] = drv.GetLog();
                }
                more = n == LOG_CAPACITY;
                for (int k = 0; k < n; ++k) {
                    if (!Place(i, static_cast<float>(buffer[k]), report)) {
                        more = false;
                        break;
                    }
                }
            }
        }
    } catch (const DeviceError& e) {
        UpdateCounts();
        return UnitMessage(e.description());
    }
    UpdateCounts();
    return std::nullopt;
}

bool RunEngine::Place(int i, float v, RunReport& report) {
    const bool hole = v == NO_DATA_VALUE;
    if (hole) {
        faults_.NoteError(i, NoReadingError());
        if (rows_.Next(i) == 0) {
            // The run's first row would say the unit was not in use.
            leadingHole_[i] = true;
            return false;
        }
    }
    while (rows_.Where(rows_.Upcoming(i)).slot == RunRows::Slot::Ahead) {
        if (!md_.ContinueWhenFull) {
            // The store is full: the rest of this step's values are dropped.
            return false;
        }
        CutPiece(report);
    }
    // In the program's language, chosen at its start.
    const QString noReading = hole ? NoReadingError().description() : QString();
    const qint64 row = rows_.Upcoming(i);
    const RunRows::Place at = rows_.Take(i, hole ? &noReading : nullptr);
    if (at.slot == RunRows::Slot::Current) {
        md_.Units[i].Data[at.row] = v;
    } else if (at.slot == RunRows::Slot::Closing) {
        closing_->Units[i].Data[at.row] = v;
    }
    if (at.slot != RunRows::Slot::Sealed) {
        feed_.Value(i, row, v, clock_.now(), report);
    }
    return true;
}

void RunEngine::UpdateCounts() {
    for (int i = 0; i < UNIT_COUNT; ++i) {
        if (!md_.Units[i].Mflag) {
            continue;
        }
        md_.Units[i].DataCount = rows_.CountIn(rows_.Current(), i);
        if (closing_) {
            closing_->Units[i].DataCount = rows_.CountIn(rows_.Current() - 1, i);
        }
    }
    UpdateSampleCount();
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

std::optional<float> RunEngine::Newest(int unit) const {
    const qint64 row = rows_.Next(unit) - 1;
    if (!md_.Units.at(static_cast<size_t>(unit)).Mflag || row < 0) {
        return std::nullopt;
    }
    const RunRows::Place at = rows_.Where(row);
    if (at.slot == RunRows::Slot::Current) {
        return md_.Units[unit].Data[at.row];
    }
    if (at.slot == RunRows::Slot::Closing && closing_) {
        return closing_->Units[unit].Data[at.row];
    }
    return std::nullopt;
}

bool RunEngine::ShowsError(int unit) const {
    if (!md_.Units.at(static_cast<size_t>(unit)).Mflag) {
        return false;
    }
    if (faults_.IsDown(unit)) {
        return true;
    }
    const std::optional<float> newest = Newest(unit);
    return newest && *newest == NO_DATA_VALUE;
}

std::optional<QString> RunEngine::SetLeftoverAside() {
    if (const auto error = journal_.MoveToUnsaved()) {
        return RunJournal::FailureText(*error);
    }
    return std::nullopt;
}

// ---- pieces ----

std::unique_ptr<MeasurementStore> RunEngine::TakeStoreData() {
    auto store = std::make_unique<MeasurementStore>();
    for (int i = 0; i < UNIT_COUNT; ++i) {
        UnitRecord& from = md_.Units[i];
        UnitRecord& to = store->Units[i];
        to.Mflag = from.Mflag;
        to.ComPort = from.ComPort;
        to.DataCount = from.DataCount;
        // The piece takes the rows; the store gets arrays of holes.
        to.Data = std::exchange(from.Data, std::vector<float>(from.Data.size(), NO_DATA_VALUE));
    }
    store->SampleCount = md_.SampleCount;
    store->StartTime = md_.StartTime;
    store->TimerType = md_.TimerType;
    store->IntervalTM = md_.IntervalTM;
    store->DataId = md_.DataId;
    return store;
}

void RunEngine::CutPiece(RunReport& report) {
    if (closing_) {
        // A whole piece went by: the units still behind the one before are late beyond waiting.
        SealClosing(true);
    }
    closing_ = TakeStoreData();
    closing_->SampleCount = limit_;
    closingJournal_ = std::move(journalFile_);
    closingSinceMs_ = clock_.monotonicMs();
    rows_.Cut();
    const qint64 pieceStart = rows_.PieceStart(rows_.Current());
    // New data: a new identity, no rows.
    md_.ClearData();
    md_.Measuring = true;
    md_.StartTime = FormatStartTime(runStart_.addMSecs(pieceStart * md_.IntervalTM));
    journalFile_ = journal_.Open(md_, rows_.Current() + 1);
    UpdateCounts();
    report.pieceStarted = true;
    report.stored = true;
}

void RunEngine::SealIfComplete() {
    if (!closing_) {
        return;
    }
    const qint64 end = rows_.PieceStart(rows_.Current());
    bool complete = true;
    for (int i = 0; i < UNIT_COUNT; ++i) {
        if (md_.Units[i].Mflag && rows_.Next(i) < end && !faults_.IsDown(i)) {
            complete = false;
        }
    }
    const bool timedOut = clock_.monotonicMs() - closingSinceMs_ >= PIECE_WAIT_MS;
    if (complete || timedOut) {
        SealClosing(!complete);
    }
}

void RunEngine::SealClosing(bool timedOut) {
    if (!closing_) {
        return;
    }
    // Its rows are final now, as they go into the file.
    PublishFinalRows(rows_.PieceStart(rows_.Current()));
    rows_.Seal([&](int i) -> std::optional<QString> {
        if (faults_.IsDown(i) || rows_.Returning(i)) {
            return faults_.DownReason(i);
        }
        if (timedOut) {
            return SilenceError().description();
        }
        return std::nullopt;
    });
    if (closingJournal_) {
        closingJournal_->End(*closing_);
        closingJournal_.reset();
    }
    WritePiece(rows_.Current(), std::move(closing_));
}

void RunEngine::WritePiece(int number, std::unique_ptr<MeasurementStore> store) {
    store->Measuring = false;
    writer_.Write(
        {number, PieceName(number), md_.SaveFolder, journal_.UnsavedFolder(), std::move(store)});
}

bool RunEngine::TakeWrittenPieces(RunReport& report) {
    std::unique_ptr<MeasurementStore> keptNowhere;
    QString failure;
    for (PieceWriter::Done& done : writer_.TakeDone()) {
        if (done.path.isEmpty()) {
            failure = done.failure;
            keptNowhere = std::move(done.store);
            continue;
        }
        if (!done.failure.isEmpty()) {
            report.notices.push_back(
                {done.failure + QLatin1Char('\n') +
                     QCoreApplication::translate("RunEngine", "%1 に保存しました。")
                         .arg(QDir::toNativeSeparators(done.path)),
                 kMessageTitle, MsgIcon::Error});
        }
        ++piecesWritten_;
        lastPiece_ = done.path;
        report.piecesWritten.push_back({done.number, done.path, done.rows});
        feed_.Piece(report.piecesWritten.back(), clock_.now());
        // The journal no longer needs the piece's rows.
        journal_.DataSaved(done.dataId);
    }
    if (!keptNowhere) {
        return true;
    }
    report.beforeStop.push_back({failure, kMessageTitle, MsgIcon::Error});
    if (!md_.Measuring) {
        return false;
    }
    // Kept nowhere: the run stops as a full store stops it, and the store holds that piece so
    // that it can be saved elsewhere; the newer rows stay in their journal file.
    if (md_.TimerType) {
        report.beforeStop.push_back(OutOfMemory());
    } else {
        report.afterStop.push_back(BufferFull());
    }
    report = Finish(std::move(report), false, false);
    for (int i = 0; i < UNIT_COUNT; ++i) {
        md_.Units[i].Data.swap(keptNowhere->Units[i].Data);
        md_.Units[i].DataCount = keptNowhere->Units[i].DataCount;
    }
    md_.SampleCount = keptNowhere->SampleCount;
    md_.StartTime = keptNowhere->StartTime;
    md_.DataId = keptNowhere->DataId;
    report.pieceStarted = true;
    report.stored = true;
    return false;
}

// ---- the live feed and the alerts ----

std::optional<float> RunEngine::ValueAt(int i, qint64 row) const {
    const RunRows::Place at = rows_.Where(row);
    float v = NO_DATA_VALUE;
    if (at.slot == RunRows::Slot::Current) {
        v = md_.Units[i].Data[at.row];
    } else if (at.slot == RunRows::Slot::Closing && closing_) {
        v = closing_->Units[i].Data[at.row];
    }
    return v == NO_DATA_VALUE ? std::nullopt : std::optional<float>(v);
}

void RunEngine::PublishFinalRows(std::optional<qint64> upTo) {
    if (!feed_.On()) {
        return;
    }
    std::array<std::optional<QString>, UNIT_COUNT> down;
    for (int i = 0; i < UNIT_COUNT; ++i) {
        if (md_.Units[i].Mflag && faults_.IsDown(i)) {
            down[size_t(i)] = faults_.DownReason(i);
        }
    }
    feed_.Units(down, clock_.now());
    // A row is final once no unit can still fill it: every unit is past it, or away (it comes
    // back at the row of its time, not earlier).
    qint64 final = rows_.RowCount();
    if (upTo) {
        final = *upTo;
    } else if (!md_.TimerType) {
        const qint64 timeRow = RowAt(clock_.monotonicMs() - runStartMs_, md_.IntervalTM);
        for (int i = 0; i < UNIT_COUNT; ++i) {
            if (md_.Units[i].Mflag) {
                final = std::min(final, faults_.IsDown(i)    ? timeRow
                                        : rows_.Returning(i) ? rows_.Upcoming(i)
                                                             : rows_.Next(i));
            }
        }
    }
    feed_.Rows(final, [this](int i, qint64 row) { return ValueAt(i, row); });
}

void RunEngine::FinishFeed(const RunReport& report, const QString& why) {
    if (!feed_.On()) {
        return;
    }
    PublishFinalRows(rows_.RowCount());
    FeedRunEnd end;
    end.reason = why;
    if (end.reason.isEmpty()) {
        end.reason = report.durationOver
                         ? QCoreApplication::translate("RunEngine", "測定時間が経過しました。")
                     : !report.beforeStop.empty() ? report.beforeStop.front().text
                     : !report.afterStop.empty()  ? report.afterStop.front().text
                                                 : QCoreApplication::translate("RunEngine", "停止");
    }
    end.rows = rows_.RowCount();
    end.pieces = piecesWritten_;
    end.elapsedS = double(clock_.monotonicMs() - runStartMs_) / 1000.0;
    end.summary = MissedSummary(rows_).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    // What is still queued goes out before the end is reported.
    feed_.Finish(end, clock_.now());
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
            rows_.Take(i);
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
    // The rows it misses count for what took it down.
    const QString reason = faults_.DownReason(i);
    rows_.Take(i, &reason);
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
        qint64 streamStart = now;
        try {
            drv.DevClose();
            drv.DevOpen(md_.Units[i].ComPort);
            // A unit whose line came back may still be streaming from before.
            drv.StopStream();
            streamStart = clock_.monotonicMs();
            drv.LogStart(static_cast<int16_t>(md_.IntervalTM / 100));
        } catch (const DeviceError& e) {
            drv.DevClose();
            faults_.MarkDown(i, e, now);
            continue;
        }
        // Its values start anew with "RUN00": the first one ends an interval later, in the row
        // whose time is nearest to that; the rows it was away are holes.
        rows_.ReturnAt(i, RowAt(streamStart - runStartMs_, md_.IntervalTM), faults_.DownReason(i));
        faults_.MarkUp(i);
        ResetSilenceWatch(i, clock_.monotonicMs());
    }
    UpdateCounts();
}

void RunEngine::ResetSilenceWatch(int i, qint64 nowMs) {
    LineWatch& watch = lineWatch_[i];
    watch.lines = md_.Drivers[i] ? md_.Drivers[i]->LinesReceived() : 0;
    watch.sinceMs = nowMs;
    watch.silent = false;
}

void RunEngine::WatchForSilence() {
    // The step took every line waiting in the ports before: a late step is not a silent unit.
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

} // namespace k12
