#include <platform/DebugOutput.h>

#include <platform/windows/WindowsApi.h>

#include <string>

namespace platform {

void OutputDebugString(const char16_t* text)
{
    std::u16string line = text ? text : u"";
    if (line.empty() || line.back() != u'\n')
        line.push_back(u'\n');
    ::OutputDebugStringW(Wide(line.c_str()));
}

} // namespace platform
