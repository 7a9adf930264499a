#include <platform/ModuleOfAddress.h>

#include <vymultitrack/Utf16Text.h>

#include <climits>
#include <cstdlib>
#include <dlfcn.h>

namespace platform {

std::u16string PathOfModuleContaining(const void* address)
{
    Dl_info info{};
    if (!address || dladdr(address, &info) == 0 || !info.dli_fname || !*info.dli_fname)
        return {};
    // The loader reports the name it was given; make it a full path as
    // GetModuleFileNameW does.
    char resolved[PATH_MAX];
    if (realpath(info.dli_fname, resolved))
        return vytext::ToUtf16(resolved);
    return vytext::ToUtf16(info.dli_fname);
}

} // namespace platform
