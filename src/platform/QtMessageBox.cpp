// SPDX-License-Identifier: GPL-3.0-or-later
#include "QtMessageBox.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QPushButton>

namespace k12 {

namespace {

QMessageBox::Icon ToQt(MsgIcon icon) {
    switch (icon) {
    case MsgIcon::Question:
        return QMessageBox::Question;
    case MsgIcon::Error:
        return QMessageBox::Critical;
    case MsgIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

} // namespace

MsgAnswer QtMessageBox::show(const QString& text, const QString& title, MsgButtons buttons,
                             MsgIcon icon) {
    QMessageBox box(parent_);
    box.setWindowTitle(title);
    box.setText(text);
    box.setIcon(ToQt(icon));
    if (buttons == MsgButtons::YesNo) {
        QPushButton* yes = box.addButton(QCoreApplication::translate("MessageBox", "はい(&Y)"),
                                         QMessageBox::YesRole);
        QPushButton* no = box.addButton(QCoreApplication::translate("MessageBox", "いいえ(&N)"),
                                        QMessageBox::NoRole);
        box.setDefaultButton(yes);
        // Esc and the close box answer No.
        box.setEscapeButton(no);
        box.exec();
        return box.clickedButton() == yes ? MsgAnswer::Yes : MsgAnswer::No;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
    return MsgAnswer::Ok;
}

void QtMessageBox::notify(const QString& text, const QString& title, MsgIcon icon) {
    // Owned by its parent window, or by itself until closed.
    auto* box = new QMessageBox(ToQt(icon), title, text, QMessageBox::Ok, parent_);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    box->show();
}

} // namespace k12
