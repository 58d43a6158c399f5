// SPDX-License-Identifier: GPL-3.0-or-later
#include "Conversions.h"

#include <iconv.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

namespace k12 {

namespace {

std::optional<double> ParseNumber(const QString& text) {
    QByteArray bytes = text.trimmed().toUtf8();
    const char* first = bytes.constData();
    const char* last = first + bytes.size();
    // from_chars knows no leading plus sign; a sign after it is still refused.
    if (first != last && *first == '+' && last - first > 1 && first[1] != '-' && first[1] != '+') {
        ++first;
    }
    if (first == last) {
        return std::nullopt;
    }
    double value = 0.0;
    auto [end, ec] = std::from_chars(first, last, value);
    if (ec != std::errc() || end != last || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

// Fixed notation for ordinary magnitudes, exponent form for the very large and very small.
bool UseFixed(double magnitude) {
    return magnitude == 0.0 || (magnitude >= 1e-5 && magnitude < 1e15);
}

QString NonFiniteText(double v) {
    if (std::isnan(v)) {
        return QStringLiteral("NaN");
    }
    return v < 0 ? QStringLiteral("-Infinity") : QStringLiteral("Infinity");
}

template <typename T> QString Shortest(T v) {
    if (!std::isfinite(v)) {
        return NonFiniteText(v);
    }
    if (v == 0) {
        return QStringLiteral("0");
    }
    char buf[400];
    auto format = UseFixed(std::fabs(static_cast<double>(v))) ? std::chars_format::fixed
                                                              : std::chars_format::scientific;
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v, format);
    if (ec != std::errc()) {
        return QString::number(static_cast<double>(v), 'g', 17);
    }
    return QString::fromLatin1(buf, end - buf);
}

// v rounded to `digits` significant digits, trailing zeros and a trailing point dropped.
QString Significant(double v, int digits) {
    if (!std::isfinite(v)) {
        return NonFiniteText(v);
    }
    if (v == 0.0) {
        return QStringLiteral("0");
    }
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*e", digits - 1, v);
    std::string s(buf);
    std::string out;
    if (s.front() == '-') {
        out = "-";
        s.erase(0, 1);
    }
    const auto epos = s.find('e');
    const int exp = std::stoi(s.substr(epos + 1));
    std::string mant;
    for (char c : s.substr(0, epos)) {
        if (c != '.') {
            mant += c;
        }
    }
    while (mant.size() > 1 && mant.back() == '0') {
        mant.pop_back();
    }
    // Rounding decides the exponent, so the notation follows the rounded value.
    if (exp >= -5 && exp < 15) {
        if (exp >= 0) {
            const auto intDigits = static_cast<size_t>(exp) + 1;
            if (mant.size() <= intDigits) {
                out += mant + std::string(intDigits - mant.size(), '0');
            } else {
                out += mant.substr(0, intDigits) + "." + mant.substr(intDigits);
            }
        } else {
            out += "0." + std::string(static_cast<size_t>(-exp - 1), '0') + mant;
        }
    } else {
        out += mant.substr(0, 1);
        if (mant.size() > 1) {
            out += "." + mant.substr(1);
        }
        char e[16];
        std::snprintf(e, sizeof e, "E%c%02d", exp < 0 ? '-' : '+', std::abs(exp));
        out += e;
    }
    return QString::fromLatin1(out.data(), static_cast<qsizetype>(out.size()));
}

class IconvHandle {
  public:
    IconvHandle(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~IconvHandle() {
        if (valid()) {
            iconv_close(cd_);
        }
    }
    IconvHandle(const IconvHandle&) = delete;
    IconvHandle& operator=(const IconvHandle&) = delete;
    bool valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() const { return cd_; }

  private:
    iconv_t cd_;
};

enum class OnInvalid { Fail, Replace };

// Converts `input`; nullopt on invalid input when `onInvalid` is Fail, else each invalid
// sequence becomes `replacement`.
std::optional<QByteArray> Convert(const char* to, const char* from, QByteArray input,
                                  OnInvalid onInvalid, const QByteArray& replacement = {}) {
    IconvHandle cd(to, from);
    if (!cd.valid()) {
        return std::nullopt;
    }
    QByteArray out;
    char* in = input.data();
    size_t inLeft = static_cast<size_t>(input.size());
    std::string chunk(input.size() * 3 + 16, '\0');
    while (inLeft > 0) {
        char* outPtr = chunk.data();
        size_t outLeft = chunk.size();
        const size_t rc = iconv(cd.get(), &in, &inLeft, &outPtr, &outLeft);
        const int err = errno;
        out.append(chunk.data(), static_cast<qsizetype>(chunk.size() - outLeft));
        if (rc != static_cast<size_t>(-1)) {
            continue;
        }
        if (err == E2BIG) {
            continue;
        }
        if (onInvalid == OnInvalid::Fail) {
            return std::nullopt;
        }
        out.append(replacement);
        if (err == EILSEQ) {
            ++in;
            --inLeft;
        } else {
            break; // incomplete sequence at the end
        }
    }
    char* outPtr = chunk.data();
    size_t outLeft = chunk.size();
    iconv(cd.get(), nullptr, nullptr, &outPtr, &outLeft);
    out.append(chunk.data(), static_cast<qsizetype>(chunk.size() - outLeft));
    return out;
}

} // namespace

std::optional<double> TextToDouble(const QString& text) {
    return ParseNumber(text);
}

std::optional<float> TextToSingle(const QString& text) {
    auto v = ParseNumber(text);
    if (!v || std::fabs(*v) > static_cast<double>(std::numeric_limits<float>::max())) {
        return std::nullopt;
    }
    return static_cast<float>(*v);
}

double RoundHalfEven(double v) {
    if (!std::isfinite(v)) {
        return v;
    }
    const double r = std::round(v); // halves away from zero
    if (std::fabs(r - v) == 0.5) {
        return 2.0 * std::round(v / 2.0);
    }
    return r;
}

std::optional<int16_t> TextToInt16(const QString& text) {
    auto v = ParseNumber(text);
    if (!v) {
        return std::nullopt;
    }
    const double r = RoundHalfEven(*v);
    if (r < std::numeric_limits<int16_t>::min() || r > std::numeric_limits<int16_t>::max()) {
        return std::nullopt;
    }
    return static_cast<int16_t>(r);
}

QString FormatFixed3(double v) {
    QString s = QString::number(v, 'f', 3);
    if (s == QLatin1String("-0.000")) {
        s.remove(0, 1); // a value that rounds to zero carries no sign
    }
    return s;
}

QString ShortestSingleText(float v) {
    return Shortest(v);
}

QString ShortestDoubleText(double v) {
    return Shortest(v);
}

QString CsvSingle(float v) {
    return Significant(static_cast<double>(v), 7);
}

QString CsvDouble(double v) {
    return Significant(v, 15);
}

QString FormatStartTime(const QDateTime& t) {
    const QDate d = t.date();
    const QTime tm = t.time();
    return QStringLiteral("%1/%2/%3 %4:%5:%6")
        .arg(d.year())
        .arg(d.month())
        .arg(d.day())
        .arg(tm.hour())
        .arg(tm.minute())
        .arg(tm.second());
}

QDateTime ParseStartTime(const QString& text) {
    return QDateTime::fromString(text.trimmed(), QStringLiteral("yyyy/M/d H:m:s"));
}

std::optional<QByteArray> EncodeCp932(const QString& text) {
    if (!QStringView(text).isValidUtf16()) {
        return std::nullopt; // a lone surrogate would otherwise turn into a replacement
    }
    return Convert("CP932", "UTF-8", text.toUtf8(), OnInvalid::Fail);
}

std::optional<QString> DecodeCp932(const QByteArray& bytes) {
    auto utf8 = Convert("UTF-8", "CP932", bytes, OnInvalid::Fail);
    if (!utf8) {
        return std::nullopt;
    }
    return QString::fromUtf8(*utf8);
}

QString DecodeCp932Lossy(const QByteArray& bytes) {
    auto utf8 = Convert("UTF-8", "CP932", bytes, OnInvalid::Replace, QByteArray("\xEF\xBF\xBD"));
    return utf8 ? QString::fromUtf8(*utf8) : QString();
}

} // namespace k12
