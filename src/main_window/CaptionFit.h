// SPDX-License-Identifier: GPL-3.0-or-later
// Room for captions in a window laid out by fixed positions: longer texts (another language, a
// wider font) widen their controls instead of being cut.
#pragma once

#include <vector>

class QWidget;

namespace k12 {

// The pixels a button's, option's, check box's, label's or group box's caption lacks to show
// whole at the control's present width; 0 when it fits or the control has no caption.
int CaptionShortfall(const QWidget& control);

// Widens the controls of a row (siblings, left to right) whose captions do not fit. A control that
// grew or moved pushes the next one right only as far as needed to keep `minGap` pixels (or their
// first gap, when smaller) between them, so free room is used first. Returns how far the row's
// right end moved; nothing moves when every caption fits.
int FitRow(const std::vector<QWidget*>& row, int minGap);

} // namespace k12
