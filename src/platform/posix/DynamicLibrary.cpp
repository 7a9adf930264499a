#include <platform/DynamicLibrary.h>

#include <vymultitrack/Utf16Text.h>

#include <dlfcn.h>

namespace platform {

LibraryHandle FindLoadedLibrary(const char16_t* fileName)
{
    if (!fileName || !*fileName)
        return nullptr;
    const std::string name = vytext::ToUtf8(fileName);
    void* handle = dlopen(name.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (handle) {
        // RTLD_NOLOAD still counts a reference; GetModuleHandleW does not.
        // The library stays loaded through whoever loaded it first.
        dlclose(handle);
    }
    return handle;
}

LibraryHandle LoadLibrary(const char16_t* fileName)
{
    if (!fileName || !*fileName)
        return nullptr;
    const std::string name = vytext::ToUtf8(fileName);
    return dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
}

void* FindExport(LibraryHandle library, const char* name)
{
    if (!library || !name)
        return nullptr;
    return dlsym(library, name);
}

void FreeLibrary(LibraryHandle library)
{
    if (library)
        dlclose(library);
}

} // namespace platform
