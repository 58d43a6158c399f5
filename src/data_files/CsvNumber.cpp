// SPDX-License-Identifier: GPL-3.0-or-later
#include "data_files/CsvNumber.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace k12 {

namespace {

constexpr uint64_t POW10[] = {1ULL,
                              10ULL,
                              100ULL,
                              1000ULL,
                              10000ULL,
                              100000ULL,
                              1000000ULL,
                              10000000ULL,
                              100000000ULL,
                              1000000000ULL,
                              10000000000ULL,
                              100000000000ULL,
                              1000000000000ULL,
                              10000000000000ULL,
                              100000000000000ULL,
                              1000000000000000ULL,
                              10000000000000000ULL,
                              100000000000000000ULL,
                              1000000000000000000ULL,
                              10000000000000000000ULL};

// Binary exponents of the singles the integer way takes (value = mantissa * 2^e): about 3.8e-6 to
// 9.2e18 in magnitude, where every product and divisor below fits in 64 bits.
constexpr int FAST_MIN_EXP = -41;
constexpr int FAST_MAX_EXP = 39;

char* Put(char* out, const char* text) {
    const std::size_t n = std::strlen(text);
    std::memcpy(out, text, n);
    return out + n;
}

char* Zeros(char* out, int n) {
    for (; n > 0; --n) {
        *out++ = '0';
    }
    return out;
}

// The value ±d.ddd × 10^exp, from its significant digits without trailing zeros.
char* Compose(char* out, bool negative, const char* digits, int n, int exp) {
    if (negative) {
        *out++ = '-';
    }
    if (exp >= -5 && exp < 15) {
        if (exp < 0) {
            *out++ = '0';
            *out++ = '.';
            out = Zeros(out, -exp - 1);
            std::memcpy(out, digits, std::size_t(n));
            return out + n;
        }
        const int whole = exp + 1;
        if (n <= whole) {
            std::memcpy(out, digits, std::size_t(n));
            return Zeros(out + n, whole - n);
        }
        std::memcpy(out, digits, std::size_t(whole));
        out += whole;
        *out++ = '.';
        std::memcpy(out, digits + whole, std::size_t(n - whole));
        return out + (n - whole);
    }
    *out++ = digits[0];
    if (n > 1) {
        *out++ = '.';
        std::memcpy(out, digits + 1, std::size_t(n - 1));
        out += n - 1;
    }
    *out++ = 'E';
    *out++ = exp < 0 ? '-' : '+';
    const int a = exp < 0 ? -exp : exp;
    if (a >= 100) {
        *out++ = char('0' + a / 100);
    }
    *out++ = char('0' + a / 10 % 10);
    *out++ = char('0' + a % 10);
    return out;
}

// Zero and the non-finite values; nullptr for any other value.
char* WriteSpecial(char* out, double v) {
    if (std::isnan(v)) {
        return Put(out, "NaN");
    }
    if (std::isinf(v)) {
        return Put(out, v < 0 ? "-Infinity" : "Infinity");
    }
    if (v == 0.0) {
        return Put(out, "0");
    }
    return nullptr;
}

// Any value, rounded to `digits` significant digits by the library's exact conversion.
char* WriteRounded(char* out, double v, int digits) {
    if (char* end = WriteSpecial(out, v)) {
        return end;
    }
    char buf[64];
    const auto result =
        std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, digits - 1);
    // "-d.ddde+XX"
    const char* p = buf;
    const bool negative = *p == '-';
    if (negative) {
        ++p;
    }
    char mantissa[24];
    int n = 0;
    for (; *p != 'e'; ++p) {
        if (*p != '.') {
            mantissa[n++] = *p;
        }
    }
    ++p;
    const bool negativeExp = *p == '-';
    int exp = 0;
    std::from_chars(p + 1, result.ptr, exp);
    while (n > 1 && mantissa[n - 1] == '0') {
        --n;
    }
    return Compose(out, negative, mantissa, n, negativeExp ? -exp : exp);
}

} // namespace

char* WriteCsvSingle(char* out, float v) {
    const auto bits = std::bit_cast<uint32_t>(v);
    const auto biased = int((bits >> 23) & 0xFF);
    const int e = biased - 150;
    // Zero, subnormals, the non-finite and the far ends of the range take the general way.
    if (biased == 0 || biased == 0xFF || e < FAST_MIN_EXP || e > FAST_MAX_EXP) {
        return WriteRounded(out, double(v), 7);
    }
    // |v| = m * 2^e exactly, within [2^(e+23), 2^(e+24)).
    const uint64_t m = (bits & 0x7FFFFF) | 0x800000;
    // A first guess of the decimal exponent (78913 / 2^18 is just below log10 2), corrected
    // below.
    int exp = ((e + 23) * 78913) >> 18;
    uint64_t q = 0;
    bool up = false;
    for (;;) {
        // q = floor(|v| / 10^(exp - 6)) and whether the rest rounds it up, all in integers.
        const int k = 6 - exp;
        up = false;
        if (k >= 0) {
            // |v| * 10^k = m * 10^k / 2^shift: from 2^24 on, k is below 0.
            const uint64_t num = m * POW10[k];
            const int shift = e < 0 ? -e : 0;
            q = num >> shift;
            if (shift > 0) {
                const uint64_t rest = num & ((uint64_t(1) << shift) - 1);
                const uint64_t half = uint64_t(1) << (shift - 1);
                up = rest > half || (rest == half && (q & 1));
            }
        } else {
            const uint64_t num = e > 0 ? m << e : m;
            const uint64_t den = POW10[-k] << (e < 0 ? -e : 0);
            q = num / den;
            const uint64_t rest = num % den;
            up = rest > den - rest || (rest == den - rest && (q & 1));
        }
        if (q >= 10'000'000) {
            ++exp;
        } else if (q < 1'000'000) {
            --exp;
        } else {
            break;
        }
    }
    q += up;
    // Rounding up into the next decade: never for a single, whose spacing just below a power
    // of ten is more than half a unit of the seventh digit, but cheap to keep right.
    if (q == 10'000'000) {
        q = 1'000'000;
        ++exp;
    }
    int n = 7;
    while (q % 10 == 0) {
        q /= 10;
        --n;
    }
    char digits[7];
    for (int i = n - 1; i >= 0; --i) {
        digits[i] = char('0' + q % 10);
        q /= 10;
    }
    return Compose(out, (bits >> 31) != 0, digits, n, exp);
}

char* WriteCsvDouble(char* out, double v) {
    return WriteRounded(out, v, 15);
}

} // namespace k12
