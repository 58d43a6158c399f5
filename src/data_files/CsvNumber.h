// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace k12 {

// Room for the longest number item: sign, 17 digits, point, exponent ("-1.23456789012345E-300").
inline constexpr int CSV_NUMBER_MAX_CHARS = 32;

// The CSV number items, written straight into a buffer with room for CSV_NUMBER_MAX_CHARS; each
// returns the end of what it wrote. A single carries at most 7 significant digits, a double at
// most 15, correctly rounded (ties to even) from the exact binary value; trailing zeros and a
// trailing point are dropped, values below 1 get a zero before the point, and the notation
// follows the rounded value: an exponent ("1.5E+20", "1E-07") below 1e-5 or from 1e15 in
// magnitude. Zero (also -0) is "0"; the non-finite values are "NaN", "Infinity", "-Infinity".
// The same text as CsvSingle and CsvDouble, without a QString per value.
char* WriteCsvSingle(char* out, float v);
char* WriteCsvDouble(char* out, double v);

} // namespace k12
