// Case folding of UTF-16 text one code unit at a time, as the C run-time's
// single-character tolower/toupper do in the default locale: only the ASCII
// letters change. Names, extensions and IDs are compared after this folding.
#pragma once

#include <string>
#include <string_view>

constexpr char16_t AsciiToLower(char16_t c)
{
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

constexpr char16_t AsciiToUpper(char16_t c)
{
    return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c;
}

inline std::u16string AsciiLowerCase(std::u16string_view text)
{
    std::u16string out(text);
    for (char16_t& c : out)
        c = AsciiToLower(c);
    return out;
}

inline std::u16string AsciiUpperCase(std::u16string_view text)
{
    std::u16string out(text);
    for (char16_t& c : out)
        c = AsciiToUpper(c);
    return out;
}
