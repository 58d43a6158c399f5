// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/PrintDialog.h"

namespace k12 {

// The platform's print dialog, shown modally over a scratch printer preset from the caller.
class QtPrintDialog final : public PrintDialog {
  public:
    std::optional<PrintSettings> choose(QWidget* parent, const PrintSettings& preset) override;
};

} // namespace k12
