// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "main_window/ChartReading.h"
#include "measurement/MeasurementStore.h"
#include "platform/Chart.h"

#include <functional>

class QComboBox;
class QLineEdit;

namespace k12 {

// The window's side of reading the chart with the mouse: gives the chart the samples and texts
// it shows, and carries out what the mouse asks through the same handlers the buttons and boxes
// use, so the mode buttons, the display-count list, "←"/"→", the range boxes and the axes always
// agree. Sets itself as the chart's reader for as long as it lives.
class ChartMouse {
  public:
    struct Window {
        MeasurementStore& md;
        Chart& chart;
        // "表示データ数", and the Y range boxes txtVhi and txtVlow.
        QComboBox& count;
        QLineEdit& hi;
        QLineEdit& low;
        // As a click on the mode button of that index.
        std::function<void(int index)> selectMode;
        // As the operator's choice in the display-count list.
        std::function<void()> countChosen;
        // As a click on "設定".
        std::function<void()> applyY;
        // The X axis from row to row, as "←" and "→" set it.
        std::function<void(int32_t first, int32_t last)> setAxesX;
    };

    explicit ChartMouse(Window window);
    ~ChartMouse();
    ChartMouse(const ChartMouse&) = delete;
    ChartMouse& operator=(const ChartMouse&) = delete;

    // The wheel: the display count one item down (steps > 0) or up per step, in manual scroll,
    // keeping the row coordinate `row` at `at` (0 at the left edge to 1 at the right).
    void ZoomX(int steps, double row, double at);
    // A drag: the window moved by whole rows against the line pulled `rows` to the right.
    void PanX(double rows, bool start);
    // Back to "全表示", as its click, and to the Y range last applied other than by the mouse.
    void ShowAll();
    // A new Y range, through the boxes and "設定", while the boxes are enabled.
    void RangeY(double min, double max);
    // The window applied a Y range (by "設定", at a start or a file read, or for the mouse).
    void AxesYSet(float min, float max);

  private:
    // Manual scroll, starting from a display count that shows what "全表示" showed.
    void EnterManual();
    void Change(const std::function<void()>& change);

    Window w_;
    int32_t dragStart_ = 1;
    // The Y range last applied other than by the mouse, and whether the mouse applies one now.
    std::pair<float, float> typedY_;
    bool applyingY_ = false;
    // For the markers' box, kept while the store's rows stay.
    StoreDirections directions_;
};

} // namespace k12
