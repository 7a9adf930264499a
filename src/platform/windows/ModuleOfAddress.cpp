#include <platform/ModuleOfAddress.h>

#include <platform/windows/WindowsApi.h>

namespace platform {

std::u16string PathOfModuleContaining(const void* address)
{
    HMODULE module = nullptr;
    if (!address ||
        !::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                              static_cast<LPCWSTR>(address), &module))
        return {};
    // GetModuleFileNameW truncates silently: grow until the path fits.
    std::u16string path(MAX_PATH, u'\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(module, Wide(path.data()), static_cast<DWORD>(path.size()));
        if (length == 0)
            return {};
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        if (path.size() >= 32768) // the longest path Windows has
            return {};
        path.resize(path.size() * 2);
    }
}

} // namespace platform
