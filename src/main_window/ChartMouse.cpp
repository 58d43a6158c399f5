// SPDX-License-Identifier: GPL-3.0-or-later
#include "ChartMouse.h"

#include "ChartReading.h"
#include "measurement/Conversions.h"

#include <QComboBox>
#include <QLineEdit>
#include <algorithm>
#include <cmath>

namespace k12 {

ChartMouse::ChartMouse(Window window) : w_(std::move(window)), typedY_(w_.md.YMin, w_.md.YMax) {
    MeasurementStore& md = w_.md;
    ChartReader r;
    r.rows = [&md] { return md.SampleCount; };
    r.secondsPerRow = [&md] { return md.IntervalTM / 1000.0; };
    r.startTime = [&md] { return ParseStartTime(md.StartTime).value_or(QDateTime()); };
    r.readout = [&md](int32_t row) {
        return ReadoutLines(md, row, ParseStartTime(md.StartTime).value_or(QDateTime()));
    };
    r.markerBox = [this](int32_t a, int32_t b) { return MarkerLines(w_.md, a, b, directions_); };
    r.zoomX = [this](int steps, double row, double at) { ZoomX(steps, row, at); };
    r.panX = [this](double rows, bool start) { PanX(rows, start); };
    r.showAll = [this] { ShowAll(); };
    r.rangeY = [this](double min, double max) { RangeY(min, max); };
    r.clockAxisChanged = [&md](bool on) { md.ClockAxis = on; };
    w_.chart.setReader(std::move(r));
    w_.chart.setClockAxis(md.ClockAxis);
}

ChartMouse::~ChartMouse() {
    // The chart may outlive the window.
    w_.chart.setReader({});
}

void ChartMouse::Change(const std::function<void()>& change) {
    // One replot for the whole change, unless the caller holds the repaint already.
    const bool hold = !w_.chart.isRepaintSuspended();
    if (hold) {
        w_.chart.suspendRepaint();
    }
    change();
    if (hold) {
        w_.chart.resumeRepaint();
    }
}

void ChartMouse::EnterManual() {
    MeasurementStore& md = w_.md;
    if (md.XScaleMode == 2) {
        return;
    }
    if (md.XScaleMode == 0) {
        QList<int32_t> counts;
        for (int i = 0; i < w_.count.count(); ++i) {
            counts.append(w_.count.itemText(i).toInt());
        }
        w_.count.setCurrentIndex(ListIndexShowing(counts, md.ViewEnd - md.ViewStart + 1));
    }
    w_.selectMode(2);
}

void ChartMouse::ZoomX(int steps, double row, double at) {
    Change([&] {
        EnterManual();
        const int index = std::clamp(w_.count.currentIndex() - steps, 0, w_.count.count() - 1);
        if (index == w_.count.currentIndex()) {
            return;
        }
        const int32_t width = w_.count.itemText(index).toInt();
        MeasurementStore& md = w_.md;
        md.ViewStart = ZoomedWindowStart(row, at, width, LastWindowStart(md.SampleCount, width));
        w_.count.setCurrentIndex(index);
        w_.countChosen();
    });
}

void ChartMouse::PanX(double rows, bool start) {
    MeasurementStore& md = w_.md;
    Change([&] {
        if (start) {
            EnterManual();
            dragStart_ = md.ViewStart;
        }
        md.ViewWidth = w_.count.currentText().toInt();
        const int32_t width = md.ViewWidth;
        // A window already beyond the limit ("→" may leave it there) is not pulled back.
        const int32_t last = std::max(dragStart_, LastWindowStart(md.SampleCount, width));
        const double target = std::clamp(dragStart_ - std::round(rows), 1.0, double(last));
        const auto first = static_cast<int32_t>(target);
        if (first == md.ViewStart && !start) {
            return;
        }
        md.ViewStart = first;
        md.ViewEnd = md.ViewStart + width - 1;
        w_.setAxesX(md.ViewStart, md.ViewEnd);
    });
}

void ChartMouse::ShowAll() {
    Change([&] {
        w_.selectMode(0);
        const MeasurementStore& md = w_.md;
        if (std::pair(md.YMin, md.YMax) != typedY_ && w_.hi.isEnabled()) {
            // As the boxes showed it when it was applied.
            w_.hi.setText(ShortestSingleText(typedY_.second));
            w_.low.setText(ShortestSingleText(typedY_.first));
            w_.applyY();
        }
    });
}

void ChartMouse::AxesYSet(float min, float max) {
    if (!applyingY_) {
        typedY_ = {min, max};
    }
}

void ChartMouse::RangeY(double min, double max) {
    if (!w_.hi.isEnabled() || !w_.low.isEnabled()) {
        return;
    }
    const QString hi = BoundText(max);
    const QString low = BoundText(min);
    const auto h = TextToSingle(hi);
    const auto l = TextToSingle(low);
    // Narrower than the boxes can write, or beyond what they take: the range stays.
    if (!h || !l || *h <= *l) {
        return;
    }
    w_.hi.setText(hi);
    w_.low.setText(low);
    applyingY_ = true;
    w_.applyY();
    applyingY_ = false;
}

} // namespace k12
