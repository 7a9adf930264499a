#include <platform/ModuleHandle.h>

#include <platform/windows/WindowsApi.h>

namespace platform {

LibraryHandle OwnModuleHandle()
{
    // The image that holds this very function, without a reference of our
    // own, as DllMain receives it at process attach.
    static LibraryHandle const handle = [] {
        HMODULE self = nullptr;
        ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                             reinterpret_cast<LPCWSTR>(&OwnModuleHandle), &self);
        return static_cast<LibraryHandle>(self);
    }();
    return handle;
}

} // namespace platform
