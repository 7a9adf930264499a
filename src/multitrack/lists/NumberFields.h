// Numbers in track-list fields, read the way the C run-time's wcstol (base
// 10) and wcstod read them, but on UTF-16 text whatever the width of
// wchar_t, and independent of the C locale (the decimal point is '.').
#pragma once

#include <cstdint>
#include <string_view>

// Leading white space (U+0009..U+000D, U+0020), an optional sign, then
// decimal digits up to the first other character. No digits give 0. Values
// beyond the signed 32-bit range saturate at its ends, as wcstol does where
// long has 32 bits.
[[nodiscard]] std::int32_t ParseIntegerField(std::u16string_view field);

// Leading white space, an optional sign, then the longest prefix that forms
// a decimal number (digits with an optional '.', optional exponent 'e'), a
// hexadecimal one ("0x", hex digits with an optional '.', optional binary
// exponent 'p'), "inf", "infinity" or "nan" with an optional "(...)" (case
// ignored). No number gives 0. The value is read as a double, rounded
// correctly, then narrowed to float: too large gives ±infinity, too small
// ±0. Infinity and NaN are returned as they are; callers decide.
[[nodiscard]] float ParseFloatField(std::u16string_view field);
