// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Fonts.h"

#include <QFont>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <limits>
#include <memory>
#include <variant>
#include <vector>

class QPrinter;
class QSvgRenderer;

namespace k12 {

// Lays out one page in centimetres from the top left of the printable area. Every placing
// operation only records; the printer sees nothing before EndPrint.
class MyPrinter {
  public:
    static inline const QString kFontName = PMinchoFamily();

    struct TextItem {
        QPointF pos; // cm, top left of the text
        QString text;
        QFont font;
    };
    struct PictureItem {
        QRectF box; // cm
        std::shared_ptr<QSvgRenderer> picture;
    };
    using Item = std::variant<TextItem, PictureItem>;

    MyPrinter();
    ~MyPrinter();
    MyPrinter(const MyPrinter&) = delete;
    MyPrinter& operator=(const MyPrinter&) = delete;

    // The printer must outlive this object.
    void SetPrinter(QPrinter* object);
    void SetFont(double fSize, const QString& fname);
    void SetFontstyle(bool fBold, bool fItalic, bool fStrikethru, bool fUnderline);
    void LocateStr(double x, double y, const QString& txt);
    void PrTitle(const QString& title);
    double PrSubTitle(const QString& title);
    void PrMeasParam(double y, const QString& pstr, bool flg);
    void PrDate(const QString& mdate);
    // Sends the page to the printer; false (see ErrorString) when the printer refused.
    bool EndPrint();
    double GetStrH() const { return StrH; }
    double GetPrWidth() const { return PrWidth; }
    double GetPrHeight() const { return PrHeight; }
    // False (see ErrorString) when the file is not a readable vector picture. On a page too
    // short for the full box, the picture shrinks so its top edge stays at or below minTop (cm).
    bool PrintGraph(const QString& fname, double minTop = -std::numeric_limits<double>::infinity());

    QString ErrorString() const { return m_error; }
    const std::vector<Item>& Items() const { return m_items; }
    // Text extent in the current font, in cm.
    double TextWidth(const QString& txt) const;
    double TextHeight(const QString& txt) const;

  private:
    QPrinter* PrnObj = nullptr;
    double PrWidth = 0.0;
    double PrHeight = 0.0;
    double PrCenter = 0.0;
    double PrY = 0.0;
    double StrH = 0.0;

    QFont m_font;
    std::vector<Item> m_items;
    QString m_error;
};

} // namespace k12
