// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/MessageBox.h"

#include <QList>
#include <QString>
#include <deque>
#include <functional>

namespace k12::test {

// Records every message and answers Yes/No questions from a queue (Yes when the queue is empty).
class FakeMessageBox final : public MessageBox {
  public:
    struct Shown {
        QString text;
        QString title;
        MsgButtons buttons;
        MsgIcon icon;
    };

    MsgAnswer show(const QString& text, const QString& title, MsgButtons buttons,
                   MsgIcon icon) override {
        shown.append({text, title, buttons, icon});
        if (onShow) {
            onShow(shown.back());
        }
        if (buttons == MsgButtons::Ok) {
            return MsgAnswer::Ok;
        }
        if (answers.empty()) {
            return MsgAnswer::Yes;
        }
        const MsgAnswer a = answers.front();
        answers.pop_front();
        return a;
    }

    void notify(const QString& text, const QString& title, MsgIcon icon) override {
        notified.append({text, title, MsgButtons::Ok, icon});
    }

    QStringList texts() const {
        QStringList out;
        for (const auto& s : shown) {
            out << s.text;
        }
        return out;
    }
    const Shown& last() const { return shown.back(); }
    void clear() { shown.clear(); }

    QList<Shown> shown;
    // Non-modal messages, in order.
    QList<Shown> notified;
    std::deque<MsgAnswer> answers;
    // Runs while the "box" is open, e.g. to fire a timer tick re-entrantly.
    std::function<void(const Shown&)> onShow;
};

} // namespace k12::test
