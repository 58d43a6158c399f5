// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/PrintDialog.h"

#include <QList>
#include <functional>

namespace k12::test {

// Records every preset and answers with `answer` (std::nullopt = the operator cancelled).
class FakePrintDialog final : public PrintDialog {
  public:
    std::optional<PrintSettings> choose(QWidget* /*parent*/, const PrintSettings& preset) override {
        presets.append(preset);
        if (onShow) {
            onShow(preset);
        }
        return answer;
    }

    std::optional<PrintSettings> answer;
    QList<PrintSettings> presets;
    std::function<void(const PrintSettings&)> onShow;
};

} // namespace k12::test
