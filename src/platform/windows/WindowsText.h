// Where the code's UTF-16 text (char16_t) meets the Windows API (wchar_t,
// also UTF-16 on Windows): the same code units, only the type differs.
#pragma once

#include <cwchar>

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows wide text is UTF-16");

namespace platform {

inline const wchar_t* Wide(const char16_t* text)
{
    return reinterpret_cast<const wchar_t*>(text);
}

inline wchar_t* Wide(char16_t* text)
{
    return reinterpret_cast<wchar_t*>(text);
}

} // namespace platform
