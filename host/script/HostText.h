// The reference host's text rules: case folding, comparison, replacement,
// hashing of member names, and the conversions between numbers and text.
#pragma once

#include <vymultitrack/PkqTypes.h>

#include <string>
#include <string_view>

namespace host {

// Lower-cases one UTF-16 code unit with the host's rule. Locale-independent
// and length-preserving (one unit in, one unit out); it folds:
//   - ASCII 'A'..'Z';
//   - Latin-1 U+00C0..U+00DE except U+00D7 (multiplication sign);
//   - Greek capitals U+0391..U+03A9 except U+03A2;
//   - Cyrillic U+0400..U+040F (+0x50) and U+0410..U+042F (+0x20);
//   - fullwidth Latin U+FF21..U+FF3A.
// Everything else (surrogates included) is left alone.
char16_t LowerUnit(char16_t c);

// `text` lower-cased unit by unit with LowerUnit.
std::u16string LowerCase(std::u16string_view text);

// Compares after LowerUnit folding, unit by unit: <0, 0 or >0. A null
// pointer compares as the empty text.
int CompareIgnoringCase(const char16_t* a, const char16_t* b);

// Replaces `from` by `to` left to right without overlaps: every occurrence
// when `all`, else the first. An empty `from` changes nothing.
void ReplaceText(std::u16string& text, std::u16string_view from, std::u16string_view to, bool all);

// The hash hint of a member name: FNV-1a over the code units, never 0.
pkq_uint32 HashOf(std::u16string_view name);

// Decimal text of an integer ("-12").
std::u16string IntegerToText(pkq_int64 value);

// The host's number-to-text conversion of reals, the rule of ECMAScript's
// Number::toString: the shortest decimal digits that read back as the same
// double; with k digits and decimal exponent n (value = 0.d1..dk × 10^n)
// fixed notation when -6 < n <= 21 ("-6", "0.5011872053146362", "1.5",
// "0.000001", "100000000000000000000"), else "d.ddde±x" ("1e+21",
// "1.5e-7"). NaN is "NaN", infinities "Infinity" / "-Infinity", -0 is "0".
std::u16string RealToText(double value);

// Reads a number from text as the host's AsInteger / AsReal do: leading and
// trailing white space skipped, an optional sign, then "0x"/"0X" hex
// digits, or a decimal number with optional fraction and exponent.
// Text that is not a number gives 0; TextToInteger truncates a decimal
// fraction toward zero and saturates at the int64 range.
double TextToReal(std::u16string_view text);
pkq_int64 TextToInteger(std::u16string_view text);

// Narrow text, one code unit per byte (bytes read as unsigned, Latin-1).
std::u16string NarrowToText(const char* text);

} // namespace host
