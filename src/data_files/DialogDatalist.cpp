// SPDX-License-Identifier: GPL-3.0-or-later
#include "DialogDatalist.h"

#include "DatalistModel.h"
#include "platform/Fonts.h"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QVBoxLayout>

namespace k12 {

namespace {
constexpr int kVisibleLines = 24;
}

QFont DialogDatalist::ListFont() {
    QFont font(GothicFamily(), 9);
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    return font;
}

DialogDatalist::DialogDatalist(const MeasurementStore& store, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("DialogDatalist"));
    setWindowTitle(tr("データ表示"));
    setModal(false);

    model_ = new DatalistModel(store, this);

    Label1_ = new QLabel(tr("データ数"), this);
    Label1_->setObjectName(QStringLiteral("Label1"));
    lblDataNum_ = new QLabel(QString::number(model_->count()), this);
    lblDataNum_->setObjectName(QStringLiteral("lblDataNum"));

    List1_ = new QListView(this);
    List1_->setObjectName(QStringLiteral("List1"));
    List1_->setFont(ListFont());
    List1_->setUniformItemSizes(true);
    List1_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    List1_->setSelectionMode(QAbstractItemView::SingleSelection);
    List1_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    List1_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    List1_->setModel(model_);

    // Headings centred over their columns: each column is eleven characters of the list font,
    // the first starting after the list's frame and the item text margin.
    const QFontMetrics fm(List1_->font());
    const int charWidth = fm.horizontalAdvance(QLatin1Char('0'));
    const int textMargin =
        List1_->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, List1_) + 1;
    auto* headings = new QHBoxLayout;
    headings->setContentsMargins(List1_->frameWidth() + textMargin, 0, 0, 0);
    headings->setSpacing(charWidth);
    for (int u = 0; u < UNIT_COUNT; ++u) {
        auto* label = new QLabel(QString::number(u + 1), this);
        label->setObjectName(QStringLiteral("Label2_%1").arg(u));
        label->setAlignment(Qt::AlignCenter);
        label->setFixedWidth((DATALIST_COLUMN_CHARS - 1) * charWidth);
        Label2_[u] = label;
        headings->addWidget(label);
    }
    headings->addStretch(1);

    const int listWidth = 2 * List1_->frameWidth() + 2 * textMargin +
                          UNIT_COUNT * DATALIST_COLUMN_CHARS * charWidth +
                          List1_->verticalScrollBar()->sizeHint().width();
    List1_->setMinimumWidth(listWidth);
    List1_->setMinimumHeight(2 * List1_->frameWidth() + kVisibleLines * (fm.height() + 1));

    OKButton_ = new QPushButton(tr("閉じる"), this);
    OKButton_->setObjectName(QStringLiteral("OKButton"));
    OKButton_->setDefault(true);
    connect(OKButton_, &QPushButton::clicked, this, &QDialog::accept);

    auto* count = new QHBoxLayout;
    count->setSpacing(12);
    count->addWidget(Label1_);
    count->addWidget(lblDataNum_);
    count->addStretch(1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(OKButton_);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(count);
    layout->addLayout(headings);
    layout->setSpacing(2);
    layout->addWidget(List1_, 1);
    layout->addLayout(buttons);

    // Nothing selected and no current line, so the list shows its first lines.
    List1_->clearSelection();
    List1_->scrollToTop();
    OKButton_->setFocus();
}

DialogDatalist::~DialogDatalist() = default;

void DialogDatalist::done(int r) {
    const bool wasOpen = isVisible();
    QDialog::done(r);
    if (wasOpen) {
        Q_EMIT closed();
    }
}

} // namespace k12
