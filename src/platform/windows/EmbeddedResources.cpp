// The image's own resources through the Win32 calls; a table registered for
// a handle that names no image (a test's) stands in for that handle.
#include <platform/EmbeddedResources.h>
#include <platform/ResourceTables.h>
#include <platform/ResourceText.h>

#include <platform/windows/WindowsApi.h>

namespace platform {

namespace {

bool IsImage(LibraryHandle module)
{
    wchar_t name[8];
    return module && ::GetModuleFileNameW(static_cast<HMODULE>(module), name, 8) != 0;
}

HMODULE Image(LibraryHandle module)
{
    return static_cast<HMODULE>(module);
}

} // namespace

void RegisterEmbeddedResources(LibraryHandle module, const EmbeddedResourceTable* table)
{
    if (!IsImage(module))
        tables::Register(module, table);
}

ResourceHandle FindResource(LibraryHandle module, const char* name, std::uint16_t type)
{
    if (!name)
        return nullptr;
    if (const EmbeddedResourceTable* table = tables::Of(module))
        return tables::Find(*table, name, type);
    return IsImage(module) ? ::FindResourceA(Image(module), name, MAKEINTRESOURCEA(type)) : nullptr;
}

std::uint32_t SizeofResource(LibraryHandle module, ResourceHandle resource)
{
    if (!resource)
        return 0;
    if (tables::Of(module))
        return static_cast<const EmbeddedResource*>(resource)->size;
    return ::SizeofResource(Image(module), static_cast<HRSRC>(const_cast<void*>(resource)));
}

LoadedResource LoadResource(LibraryHandle module, ResourceHandle resource)
{
    if (!resource)
        return nullptr;
    if (tables::Of(module))
        return static_cast<const EmbeddedResource*>(resource)->data;
    return ::LoadResource(Image(module), static_cast<HRSRC>(const_cast<void*>(resource)));
}

const void* LockResource(LoadedResource loaded)
{
    // A loaded resource is the address of its data, for tables as on Windows.
    return loaded ? ::LockResource(const_cast<void*>(loaded)) : nullptr;
}

int LoadString(LibraryHandle module, std::uint32_t id, char16_t* buffer, int bufferLength)
{
    if (!buffer || bufferLength <= 0)
        return 0;
    if (const EmbeddedResourceTable* table = tables::Of(module))
        return CopyResourceText(tables::String(*table, id), buffer, bufferLength);
    buffer[0] = 0;
    return IsImage(module) ? ::LoadStringW(Image(module), id, Wide(buffer), bufferLength) : 0;
}

} // namespace platform
