// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Clock.h"
#include "platform/MessageBox.h"

#include <QString>
#include <cstdio>

namespace k12 {

// The recorder's output. Events go to `out` and problems to `err`, one line each, with the local
// time in ISO 8601 in front, so a service manager's journal reads like a log. On a terminal a
// status line stands below them on `out`, rewritten in place.
class Console {
  public:
    Console(std::FILE* out, std::FILE* err, bool terminal, const Clock& clock);

    bool Terminal() const { return terminal_; }
    void Event(const QString& text);
    void Problem(const QString& text);
    // Terminal: replaces the status line. Otherwise: one event line.
    void Status(const QString& text);
    // Leaves the status line as it stands and goes on below it.
    void EndStatus();

    // "2026-12-07T22:05:07+09:00".
    static QString Timestamp(const QDateTime& t);

  private:
    void Line(std::FILE* stream, const QString& text);
    void ClearStatus();

    std::FILE* out_;
    std::FILE* err_;
    bool terminal_;
    const Clock& clock_;
    QString status_;
};

// Messages for the operator (the journal's notes) as problem lines; nothing asks a question.
class ConsoleMessages final : public MessageBox {
  public:
    explicit ConsoleMessages(Console& console) : console_(console) {}
    MsgAnswer show(const QString& text, const QString& title, MsgButtons buttons,
                   MsgIcon icon) override;
    void notify(const QString& text, const QString& title, MsgIcon icon) override;

  private:
    Console& console_;
};

} // namespace k12
