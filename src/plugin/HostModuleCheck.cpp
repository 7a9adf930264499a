#include "HostModuleCheck.h"

#include <vymultitrack/AsciiCase.h>

#include <platform/ModuleOfAddress.h>

#include <string>

bool IsSixteenBitHostModulePath(std::u16string_view path)
{
    const std::size_t cut = path.find_last_of(u"\\/>");
    const std::u16string_view fileName = cut == std::u16string_view::npos ? path : path.substr(cut + 1);
    return AsciiLowerCase(fileName) == u"hmdevui.dll";
}

bool LivesInSixteenBitHostModule(const void* object)
{
    if (!object)
        return false;
    std::u16string path = platform::PathOfModuleContaining(object);
    // The path as a 260-character Windows buffer would hold it.
    if (path.size() > 259)
        path.resize(259);
    return !path.empty() && IsSixteenBitHostModulePath(path);
}
