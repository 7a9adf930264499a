// The Windows API as the platform layer uses it: <windows.h> without the
// ANSI/wide macros whose names the layer's own functions carry
// (OutputDebugString, LoadLibrary, FindResource, LoadString: the layer
// calls the ...W and ...A functions by their real names), and the meeting
// point of the code's UTF-16 text (char16_t) with the API's (wchar_t, also
// UTF-16 on Windows): the same code units, only the type differs.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#undef OutputDebugString
#undef LoadLibrary
#undef FindResource
#undef LoadString

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
