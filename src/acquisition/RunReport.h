// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "feed/FeedPublisher.h"
#include "measurement/AngleAlerts.h"
#include "platform/MessageBox.h"

#include <QString>
#include <cstdint>
#include <vector>

namespace k12 {

// A message for the operator, with an OK button.
struct RunMessage {
    QString text;
    QString title;
    MsgIcon icon = MsgIcon::None;
};

// A piece of a run saved as a file.
struct WrittenPiece {
    int number = 0;
    QString path;
    int32_t rows = 0;
};

// What one call of the engine did, for a front end to show.
struct RunReport {
    // A sampling step ran (the first one of a run lets the chart repaint again).
    bool stepped = false;
    // New readings reached the store: the current values and the chart are due.
    bool stored = false;
    // The run ended in this call: the units are stopped and closed and the journal is ended.
    bool ended = false;
    // It ended because its set duration is over.
    bool durationOver = false;
    // Messages that belong before the stop is shown (the front end still shows the run), and
    // after it, the summary of missed readings last.
    std::vector<RunMessage> beforeStop;
    std::vector<RunMessage> afterStop;
    // The store moved on to the run's next piece (or, when a piece could be kept nowhere, holds
    // that piece again): the chart starts over with the store's start time.
    bool pieceStarted = false;
    // Pieces whose files were written since the last call.
    std::vector<WrittenPiece> piecesWritten;
    // Notes that must not hold the run up (shown without a modal box).
    std::vector<RunMessage> notices;
    // Alerts raised or cleared by the values stored in this call.
    std::vector<AlertTransition> alerts;
    // What the live feed has to say (broker away, back, rows dropped) since the last call.
    std::vector<FeedNotice> feedNotices;
};

} // namespace k12
