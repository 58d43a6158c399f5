// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <cstdint>
#include <optional>

namespace k12 {

// Text that reads as a decimal number (blanks around it allowed), rounded to a signed 16-bit
// whole number with halves to even; nullopt when it does not convert or overflows.
std::optional<int16_t> TextToInt16(const QString& text);

// Text that reads as a decimal number, as a double; nullopt when it does not convert.
std::optional<double> TextToDouble(const QString& text);
// Text that reads as a single (also nullopt outside the single range).
std::optional<float> TextToSingle(const QString& text);

// Rounds to the nearest integer, halves to even.
double RoundHalfEven(double v);

// The pattern "###0.000": at least one integer digit, three decimals, no grouping.
QString FormatFixed3(double v);

// Shortest decimal text of a single: 180 -> "180", -180 -> "-180", 12.5 -> "12.5".
QString ShortestSingleText(float v);
// Decimal text of a double without trailing zeros: 1.5 -> "1.5", 1 -> "1", 2.5 -> "2.5".
QString ShortestDoubleText(double v);

// CSV number items: single at most 7 significant digits, double at most 15, trailing zeros and
// a trailing point dropped; a zero before the point of values below 1; an exponent ("1.5E+20")
// only below 1e-5 or from 1e15 in magnitude.
QString CsvSingle(float v);
QString CsvDouble(double v);

// Start time "yyyy/m/d h:m:s": 24-hour clock, no zero padding.
QString FormatStartTime(const QDateTime& t);
// The local time of a start time in that form; invalid for anything else (the blanks of no run).
QDateTime ParseStartTime(const QString& text);

// Code page 932 through iconv("CP932"). Encoding fails (nullopt) on a character CP932 cannot
// represent; decoding fails on bytes that are not valid CP932.
std::optional<QByteArray> EncodeCp932(const QString& text);
std::optional<QString> DecodeCp932(const QByteArray& bytes);
// Decoding that never fails: each byte sequence that is not valid CP932 becomes U+FFFD.
QString DecodeCp932Lossy(const QByteArray& bytes);

} // namespace k12
