// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace k12 {

// Title used where no other title is given.
inline const QString kAppTitle = QStringLiteral("ZORV-K12INC");

enum class MsgButtons { Ok, YesNo };
enum class MsgIcon { None, Question, Error };
enum class MsgAnswer { Ok, Yes, No };

// Every message the program shows goes through here, so tests can answer them.
class MessageBox {
  public:
    virtual ~MessageBox() = default;
    virtual MsgAnswer show(const QString& text, const QString& title, MsgButtons buttons,
                           MsgIcon icon) = 0;
    // An OK message that does not hold up the caller: the program goes on while it is shown.
    virtual void notify(const QString& text, const QString& title, MsgIcon icon) = 0;
};

} // namespace k12
