// SPDX-License-Identifier: GPL-3.0-or-later
#include "CaptionFit.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <algorithm>

namespace k12 {

namespace {

int TextWidth(const QWidget& w, const QString& text) {
    return w.fontMetrics().horizontalAdvance(text);
}

// The width the style leaves a button's text, and the text's width with a little air around it.
int ButtonShortfall(const QAbstractButton& b, QStyle::SubElement contents) {
    QStyleOptionButton opt;
    opt.initFrom(&b);
    opt.text = b.text();
    const int room = b.style()->subElementRect(contents, &opt, &b).width();
    const int margin = contents == QStyle::SE_PushButtonContents
                           ? b.style()->pixelMetric(QStyle::PM_ButtonMargin, &opt, &b)
                           : 2;
    return std::max(0, TextWidth(b, b.text()) + margin - room);
}

} // namespace

int CaptionShortfall(const QWidget& control) {
    if (const auto* b = qobject_cast<const QPushButton*>(&control)) {
        return b->text().isEmpty() ? 0 : ButtonShortfall(*b, QStyle::SE_PushButtonContents);
    }
    if (const auto* b = qobject_cast<const QRadioButton*>(&control)) {
        return ButtonShortfall(*b, QStyle::SE_RadioButtonContents);
    }
    if (const auto* b = qobject_cast<const QCheckBox*>(&control)) {
        return ButtonShortfall(*b, QStyle::SE_CheckBoxContents);
    }
    if (const auto* l = qobject_cast<const QLabel*>(&control)) {
        if (l->wordWrap() || l->text().isEmpty()) {
            return 0;
        }
        return std::max(0, l->sizeHint().width() - l->width());
    }
    if (const auto* g = qobject_cast<const QGroupBox*>(&control)) {
        if (g->title().isEmpty()) {
            return 0;
        }
        // The title stands inside the frame's corners.
        const int corner = g->style()->pixelMetric(QStyle::PM_LayoutLeftMargin, nullptr, g);
        return std::max(0, TextWidth(*g, g->title()) + 2 * corner - g->width());
    }
    return 0;
}

int FitRow(const std::vector<QWidget*>& row, int minGap) {
    if (row.empty()) {
        return 0;
    }
    std::vector<QRect> before;
    for (const QWidget* w : row) {
        before.push_back(w->geometry());
    }
    for (size_t i = 0; i < row.size(); ++i) {
        QRect g = before[i];
        if (i > 0) {
            const QRect& was = before[i - 1];
            const int end = row[i - 1]->geometry().right();
            if (end > was.right()) {
                const int gap = g.left() - was.right() - 1;
                g.moveLeft(std::max(g.left(), end + 1 + std::min(gap, minGap)));
            }
        }
        row[i]->setGeometry(g);
        g.setWidth(g.width() + CaptionShortfall(*row[i]));
        row[i]->setGeometry(g);
    }
    return row.back()->geometry().right() - before.back().right();
}

} // namespace k12
