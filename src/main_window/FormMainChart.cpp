// SPDX-License-Identifier: GPL-3.0-or-later
// Chart set-up, plotting and the visible range of the main window.
#include "FormMain.h"

#include "ChartMouse.h"
#include "measurement/Conversions.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <algorithm>

namespace k12 {

namespace {

const QString kMessageTitle = QStringLiteral("Message");
QString BadRange() {
    return FormMain::tr("設定値に誤りがあります。");
}

QString Header(const QString& startTime) {
    return FormMain::tr("開始時刻 [ ") + startTime + QStringLiteral(" ]");
}

} // namespace

void FormMain::InitGraph() {
    chart_.suspendRepaint();
    chart_.resetLabels();
    chart_.setSeriesCount(4);
    SetGraphStyle();
    DispConnectflg();
    chart_.resumeRepaint();
}

void FormMain::SetGraphStyle() {
    for (int k = 1; k <= chart_.seriesCount(); ++k) {
        chart_.setSeriesStyleSolidNoMarker(k);
    }
}

void FormMain::InitGraphParam(bool flg) {
    md_.ViewStart = 1;
    md_.XScaleMode = 0;
    md_.ViewWidth = md_.ViewEnd = flg ? md_.SampleCount : 100;
    md_.YMax = 180.0f;
    md_.YMin = -180.0f;
    DispConnectflg();
    EnableScaleY(false);
    SelectMode(0);
    cmdLeft_->setEnabled(false);
    cmdRight_->setEnabled(false);
    SetAxesY(md_.YMin, md_.YMax);
    SetAxesX(md_.ViewStart, md_.ViewEnd);
    InitDcntList();
}

void FormMain::InitDcntList() {
    {
        const QSignalBlocker blocker(combo1_);
        combo1_->clear();
        for (int p = 10; p <= 10000; p *= 10) {
            for (int j = 1; j <= 9; ++j) {
                combo1_->addItem(QString::number(p * j));
            }
        }
        combo1_->setCurrentIndex(9);
    }
    // Selecting in code runs the same handling as the operator's selection.
    Combo1Click();
}

void FormMain::ResetGraph() {
    chart_.suspendRepaint();
    GrDrawData(1);
    chart_.setHeaderText(Header(md_.StartTime));
    chart_.setAxisTitle(ChartAxis::X, tr("開始からの経過時間（秒）"));
    chart_.setAxisTitle(ChartAxis::Y, tr("度"));
    chart_.setHeaderPlacement(3);
    DispConnectflg();
    chart_.resumeRepaint();
}

void FormMain::GrDrawData(int32_t dcnt) {
    chart_.setSeriesCount(4);
    chart_.beginBatch();
    const double x = md_.IntervalTM / 1000.0 * dcnt;
    for (int i = 0; i < UNIT_COUNT; ++i) {
        const int s = i + 1;
        chart_.setPointCount(s, dcnt);
        const float v = md_.Units[i].Data[dcnt - 1];
        if (md_.Units[i].Mflag && v != NO_DATA_VALUE) {
            chart_.setXValue(dcnt, x);
            chart_.setYValue(s, dcnt, v);
        }
    }
    chart_.endBatch();
}

void FormMain::GrDrawData1() {
    // Decided before this call's own writes change the chart's revision.
    const auto kept = RowsStillPlotted(md_.SampleCount);
    chart_.setSeriesCount(4);
    chart_.beginBatch();
    const int32_t n = md_.SampleCount;
    if (n >= 1) {
        for (int i = 0; i < UNIT_COUNT; ++i) {
            chart_.setPointCount(i + 1, n);
        }
    }
    // Unit by unit: a row's X value is the same whichever unit writes it, so the chart ends as
    // after writing row by row.
    const double step = md_.IntervalTM / 1000.0;
    for (int i = 0; i < UNIT_COUNT; ++i) {
        const UnitRecord& u = md_.Units[i];
        if (!u.Mflag) {
            continue;
        }
        for (int32_t r = kept[i] + 1; r <= n; ++r) {
            const float v = u.Data[r - 1];
            if (v != NO_DATA_VALUE) {
                chart_.setXValue(r, step * r);
                chart_.setYValue(i + 1, r, v);
            }
        }
    }
    chart_.endBatch();

    PlottedRows& p = plotted_;
    p.valid = true;
    p.chartRevision = chart_.dataRevision();
    p.dataId = md_.DataId;
    p.rows = n;
    p.interval = md_.IntervalTM;
    for (int i = 0; i < UNIT_COUNT; ++i) {
        p.inUse[i] = md_.Units[i].Mflag;
        p.counts[i] = md_.Units[i].DataCount;
    }
}

// Rows at the front of each unit that the last GrDrawData1 wrote and that are still in the chart
// and the store as they were, so writing them again would change nothing. That holds while the
// store holds the same data (nothing erased them since), nothing else has changed the chart's
// points and the units and interval are the same: a unit's stored rows then only grow at its end.
// Otherwise every row is written.
std::array<int32_t, UNIT_COUNT> FormMain::RowsStillPlotted(int32_t n) const {
    const PlottedRows& p = plotted_;
    if (!p.valid || chart_.dataRevision() != p.chartRevision || md_.DataId != p.dataId ||
        md_.IntervalTM != p.interval || n < p.rows) {
        return {};
    }
    std::array<int32_t, UNIT_COUNT> kept{};
    for (int i = 0; i < UNIT_COUNT; ++i) {
        const UnitRecord& u = md_.Units[i];
        if (u.Mflag != p.inUse[i] || u.DataCount < p.counts[i]) {
            return {};
        }
        // Rows of the unit beyond its count held no reading then and may hold one now.
        kept[i] = std::clamp(p.counts[i], 0, p.rows);
    }
    return kept;
}

void FormMain::SetAxesX(int32_t dcnt1, int32_t dcnt2) {
    const double step = md_.IntervalTM / 1000.0;
    chart_.setAxisRange(ChartAxis::X, step * dcnt1, step * dcnt2);
}

void FormMain::SetAxesY(float minV, float maxV) {
    chart_.setAxisRange(ChartAxis::Y, minV, maxV);
    chart_.setAxisOrigin(ChartAxis::Y, minV);
    if (chartMouse_) {
        chartMouse_->AxesYSet(minV, maxV);
    }
}

void FormMain::EnableScaleY(bool p) {
    txtVhi_->setEnabled(p);
    txtVlow_->setEnabled(p);
    cmdSetScaleY_->setEnabled(p);
    if (p) {
        txtVhi_->setText(ShortestSingleText(md_.YMax));
        txtVlow_->setText(ShortestSingleText(md_.YMin));
    }
}

int32_t FormMain::DisplayCount() const {
    return combo1_->currentText().toInt();
}

void FormMain::SelectMode(int index) {
    // Checking the button runs its handling, as a click would (also when it is checked already).
    optWid_[index]->setChecked(true);
}

void FormMain::ResetChartReading() {
    chart_.clearReading();
}

bool FormMain::SetGraphParam() {
    const auto hi = TextToSingle(txtVhi_->text());
    const auto low = TextToSingle(txtVlow_->text());
    // Text that is not a number counts as an invalid range: the caller goes on unchanged.
    if (hi && low && *hi > *low) {
        md_.YMax = *hi;
        md_.YMin = *low;
        EnableScaleY(true);
        ResetViewX();
        SetAxesY(md_.YMin, md_.YMax);
        SetAxesX(md_.ViewStart, md_.ViewEnd);
    } else {
        messages_.show(BadRange(), kMessageTitle, MsgButtons::Ok, MsgIcon::None);
        // The boxes show the range in force and stay usable, so a rejected text cannot lock
        // them (a file read disables them) or be rejected again at every start.
        EnableScaleY(true);
    }
    chart_.resetLabels();
    return true;
}

void FormMain::ResetViewX() {
    md_.ViewStart = 1;
    switch (md_.XScaleMode) {
    case 0:
        cmdLeft_->setEnabled(false);
        cmdRight_->setEnabled(false);
        combo1_->setEnabled(false);
        md_.ViewWidth = md_.ViewEnd = 100;
        break;
    default:
        // "←" and "→" only in manual scrolling.
        md_.ViewWidth = DisplayCount();
        md_.ViewEnd = md_.ViewWidth;
        cmdLeft_->setEnabled(md_.XScaleMode == 2);
        cmdRight_->setEnabled(md_.XScaleMode == 2);
        combo1_->setEnabled(true);
        break;
    }
}

void FormMain::ScrollAxesX() {
    const int32_t n = md_.SampleCount;
    switch (md_.XScaleMode) {
    case 0:
        md_.ViewStart = 1;
        if (n > md_.ViewEnd) {
            const int32_t step = n < 100 ? 10 : n < 1000 ? 100 : n < 10000 ? 1000 : 10000;
            md_.ViewWidth += step;
            md_.ViewEnd = md_.ViewWidth;
            SetAxesX(md_.ViewStart, md_.ViewEnd);
        }
        break;
    case 1:
        if (n > md_.ViewEnd) {
            md_.ViewStart += md_.ViewWidth / 2;
            md_.ViewEnd = md_.ViewStart + md_.ViewWidth - 1;
            SetAxesX(md_.ViewStart, md_.ViewEnd);
        }
        break;
    default:
        break;
    }
}

void FormMain::OptWidClick(int index) {
    const int previous = md_.XScaleMode;
    md_.XScaleMode = static_cast<int16_t>(index);
    const int32_t n = md_.SampleCount;
    switch (index) {
    case 0:
        cmdLeft_->setEnabled(false);
        cmdRight_->setEnabled(false);
        combo1_->setEnabled(false);
        md_.ViewStart = 1;
        if (md_.Measuring) {
            const int32_t step = n >= 1000 ? 1000 : 100;
            md_.ViewWidth = 100;
            if (n > 100) {
                md_.ViewWidth = (n / step + 1) * step;
            }
        } else {
            md_.ViewWidth = n < 1 ? 100 : n;
        }
        md_.ViewEnd = md_.ViewWidth;
        break;
    case 1:
        md_.ViewWidth = DisplayCount();
        if (md_.Measuring && n > md_.ViewWidth) {
            const int32_t half = md_.ViewWidth / 2;
            md_.ViewStart = (n / half) * half;
            md_.ViewEnd = md_.ViewStart + md_.ViewWidth;
        } else if (md_.Measuring) {
            md_.ViewEnd = md_.ViewWidth;
        }
        cmdLeft_->setEnabled(false);
        cmdRight_->setEnabled(false);
        combo1_->setEnabled(true);
        break;
    default:
        if (previous == 0) {
            md_.ViewStart = 1;
        }
        md_.ViewWidth = DisplayCount();
        md_.ViewEnd = md_.ViewStart + md_.ViewWidth - 1;
        cmdLeft_->setEnabled(true);
        cmdRight_->setEnabled(true);
        combo1_->setEnabled(true);
        break;
    }
    SetAxesX(md_.ViewStart, md_.ViewEnd);
}

void FormMain::Combo1Click() {
    const int32_t old = md_.ViewWidth;
    md_.ViewWidth = DisplayCount();
    if (md_.ViewWidth == old) {
        return;
    }
    if (md_.Measuring && md_.XScaleMode == 1) {
        if (md_.ViewStart < 2) {
            md_.ViewEnd = md_.ViewWidth;
        } else {
            md_.ViewStart = (md_.SampleCount / md_.ViewWidth) * md_.ViewWidth;
            md_.ViewEnd = md_.ViewStart + md_.ViewWidth - 1;
        }
    } else {
        md_.ViewEnd = md_.ViewStart + md_.ViewWidth - 1;
    }
    SetAxesX(md_.ViewStart, md_.ViewEnd);
}

void FormMain::CmdLeftClick() {
    if (md_.XScaleMode != 2) {
        return;
    }
    md_.ViewWidth = DisplayCount();
    md_.ViewStart -= md_.ViewWidth / 2;
    if (md_.ViewStart <= 1) {
        md_.ViewStart = 1;
    }
    md_.ViewEnd = md_.ViewStart + md_.ViewWidth - 1;
    SetAxesX(md_.ViewStart, md_.ViewEnd);
}

void FormMain::CmdRightClick() {
    if (md_.XScaleMode != 2) {
        return;
    }
    md_.ViewWidth = DisplayCount();
    const int32_t half = md_.ViewWidth / 2;
    if (md_.ViewStart > md_.SampleCount - half) {
        return;
    }
    md_.ViewStart += half;
    md_.ViewEnd = md_.ViewStart + md_.ViewWidth - 1;
    SetAxesX(md_.ViewStart, md_.ViewEnd);
}

void FormMain::CmdSetScaleYClick() {
    const auto hi = TextToSingle(txtVhi_->text());
    const auto low = TextToSingle(txtVlow_->text());
    if (!hi || !low) {
        return;
    }
    if (*hi > *low) {
        md_.YMax = *hi;
        md_.YMin = *low;
        SetAxesY(md_.YMin, md_.YMax);
    } else {
        messages_.show(BadRange(), kMessageTitle, MsgButtons::Ok, MsgIcon::None);
    }
}

} // namespace k12

namespace k12 {

void FormMain::ReplayData() {
    chart_.suspendRepaint();
    InitGraphParam(true);
    chart_.resetLabels();
    SetGraphParam();
    chart_.setHeaderText(tr("開始時刻  ") + md_.StartTime);
    chart_.setHeaderPlacement(3);
    const int32_t n = md_.SampleCount;
    md_.SampleCount = 0;
    for (int32_t k = 1; k <= n; ++k) {
        md_.SampleCount = k;
        ScrollAxesX();
        GrDrawData(k);
    }
    chart_.resumeRepaint();
    md_.SampleCount = 0;
}

} // namespace k12
