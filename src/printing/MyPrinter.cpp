// SPDX-License-Identifier: GPL-3.0-or-later
#include "printing/MyPrinter.h"

#include "platform/Fonts.h"

#include <QCoreApplication>
#include <QFontMetricsF>
#include <QPainter>
#include <QPrinter>
#include <QSvgRenderer>
#include <algorithm>

namespace k12 {

namespace {

constexpr double kCmPerInch = 2.54;
constexpr double kTitleSize = 12.0;
constexpr double kTextSize = 10.0;

} // namespace

MyPrinter::MyPrinter() : m_font(kFontName) {
    // The page font is not installed here; its registered substitute stands in.
    RegisterFontSubstitutes();
    m_font.setPointSizeF(kTextSize);
}

MyPrinter::~MyPrinter() = default;

void MyPrinter::SetPrinter(QPrinter* object) {
    PrnObj = object;
    const QRectF area = PrnObj->pageRect(QPrinter::Millimeter);
    PrWidth = area.width() / 10.0;
    PrHeight = area.height() / 10.0;
    PrCenter = PrWidth / 2.0;
    PrY = 2.0;
}

void MyPrinter::SetFont(double fSize, const QString& fname) {
    m_font.setPointSizeF(fSize);
    m_font.setFamily(fname);
}

void MyPrinter::SetFontstyle(bool fBold, bool fItalic, bool fStrikethru, bool fUnderline) {
    m_font.setBold(fBold);
    m_font.setItalic(fItalic);
    m_font.setStrikeOut(fStrikethru);
    m_font.setUnderline(fUnderline);
}

void MyPrinter::LocateStr(double x, double y, const QString& txt) {
    m_items.emplace_back(TextItem{QPointF(x, y), txt, m_font});
}

void MyPrinter::PrTitle(const QString& title) {
    SetFont(kTitleSize, kFontName);
    LocateStr((PrWidth - TextWidth(title)) / 2.0, 1.0, title);
}

double MyPrinter::PrSubTitle(const QString& title) {
    PrMeasParam(PrY, title, false);
    StrH = TextHeight(title) + 0.2;
    PrY += StrH;
    return PrY;
}

void MyPrinter::PrMeasParam(double y, const QString& pstr, bool flg) {
    SetFont(kTextSize, kFontName);
    const double x = PrCenter - PrWidth / 4.0 + (flg ? 3.0 : 0.0);
    LocateStr(x, y, pstr);
}

void MyPrinter::PrDate(const QString& mdate) {
    SetFont(kTextSize, kFontName);
    LocateStr(PrWidth - 4.0, 0.5, mdate);
}

bool MyPrinter::PrintGraph(const QString& fname, double minTop) {
    auto picture = std::make_shared<QSvgRenderer>(fname);
    if (!picture->isValid()) {
        m_error = QCoreApplication::translate("Printing", "グラフの画像を読み込めません。");
        return false;
    }
    constexpr double kHeight = 12.5;
    constexpr double kMinHeight = 1.0;
    const double bottom = PrHeight - 2.0;
    // On paper too short for the full box the chart shrinks, keeping its proportions and its
    // bottom edge, rather than covering the text above it.
    const double height = std::max(kMinHeight, std::min(kHeight, bottom - minTop));
    const double width = 0.8 * PrWidth * height / kHeight;
    m_items.emplace_back(
        PictureItem{QRectF((PrWidth - width) / 2.0, bottom - height, width, height), picture});
    return true;
}

bool MyPrinter::EndPrint() {
    if (PrnObj == nullptr) {
        m_error = QCoreApplication::translate("Printing", "プリンタが設定されていません。");
        return false;
    }
    QPainter painter;
    if (!painter.begin(PrnObj)) {
        m_error = QCoreApplication::translate("Printing", "プリンタを使用できません。");
        return false;
    }
    const double dotsPerCm = PrnObj->resolution() / kCmPerInch;
    const auto toDevice = [dotsPerCm](const QRectF& r) {
        return QRectF(r.x() * dotsPerCm, r.y() * dotsPerCm, r.width() * dotsPerCm,
                      r.height() * dotsPerCm);
    };
    for (const Item& item : m_items) {
        if (const auto* text = std::get_if<TextItem>(&item)) {
            painter.setFont(text->font);
            const QFontMetricsF metrics(text->font, PrnObj);
            painter.drawText(
                QPointF(text->pos.x() * dotsPerCm, text->pos.y() * dotsPerCm + metrics.ascent()),
                text->text);
        } else if (const auto* pic = std::get_if<PictureItem>(&item)) {
            painter.save();
            pic->picture->render(&painter, toDevice(pic->box));
            painter.restore();
        }
    }
    if (!painter.end() || PrnObj->printerState() == QPrinter::Error) {
        m_error = QCoreApplication::translate("Printing", "印刷ジョブを終了できません。");
        return false;
    }
    return true;
}

double MyPrinter::TextWidth(const QString& txt) const {
    const QFontMetricsF metrics(m_font, PrnObj);
    return metrics.horizontalAdvance(txt) / PrnObj->logicalDpiX() * kCmPerInch;
}

double MyPrinter::TextHeight(const QString& /*txt*/) const {
    const QFontMetricsF metrics(m_font, PrnObj);
    return metrics.height() / PrnObj->logicalDpiY() * kCmPerInch;
}

} // namespace k12
