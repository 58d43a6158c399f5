// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The QCustomPlot header uses the Qt keywords this project disables; map them while it is read.
#define signals Q_SIGNALS
#define slots Q_SLOTS
#define foreach Q_FOREACH
#include <qcustomplot.h>
#undef signals
#undef slots
#undef foreach
