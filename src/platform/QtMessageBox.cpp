#include "QtMessageBox.h"

#include <QMessageBox>

namespace k12 {

MsgAnswer QtMessageBox::show(const QString& text, const QString& title, MsgButtons buttons,
                             MsgIcon icon) {
    QMessageBox box(parent_);
    box.setWindowTitle(title);
    box.setText(text);
    switch (icon) {
    case MsgIcon::None:
        box.setIcon(QMessageBox::NoIcon);
        break;
    case MsgIcon::Question:
        box.setIcon(QMessageBox::Question);
        break;
    case MsgIcon::Error:
        box.setIcon(QMessageBox::Critical);
        break;
    }
    if (buttons == MsgButtons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        box.setButtonText(QMessageBox::Yes, QStringLiteral("はい(&Y)"));
        box.setButtonText(QMessageBox::No, QStringLiteral("いいえ(&N)"));
        return box.exec() == QMessageBox::Yes ? MsgAnswer::Yes : MsgAnswer::No;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
    return MsgAnswer::Ok;
}

} // namespace k12
