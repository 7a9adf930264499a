#include <platform/DynamicLibrary.h>

#include <platform/windows/WindowsApi.h>

namespace platform {

LibraryHandle FindLoadedLibrary(const char16_t* fileName)
{
    if (!fileName || !*fileName)
        return nullptr;
    return ::GetModuleHandleW(Wide(fileName));
}

LibraryHandle LoadLibrary(const char16_t* fileName)
{
    if (!fileName || !*fileName)
        return nullptr;
    return ::LoadLibraryW(Wide(fileName));
}

void* FindExport(LibraryHandle library, const char* name)
{
    if (!library || !name)
        return nullptr;
    return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(library), name));
}

void FreeLibrary(LibraryHandle library)
{
    if (library)
        ::FreeLibrary(static_cast<HMODULE>(library));
}

} // namespace platform
