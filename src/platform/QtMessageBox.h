// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "MessageBox.h"

#include <QPointer>
#include <QWidget>

namespace k12 {

// Message boxes over QMessageBox, parented to the window they belong to.
class QtMessageBox final : public MessageBox {
  public:
    explicit QtMessageBox(QWidget* parent = nullptr) : parent_(parent) {}
    void setParent(QWidget* parent) { parent_ = parent; }
    MsgAnswer show(const QString& text, const QString& title, MsgButtons buttons,
                   MsgIcon icon) override;
    void notify(const QString& text, const QString& title, MsgIcon icon) override;

  private:
    QPointer<QWidget> parent_;
};

} // namespace k12
