// An image on POSIX has no resources of its own: every call reads the table
// registered for the module handle.
#include <platform/EmbeddedResources.h>
#include <platform/ResourceTables.h>
#include <platform/ResourceText.h>

namespace platform {

void RegisterEmbeddedResources(LibraryHandle module, const EmbeddedResourceTable* table)
{
    tables::Register(module, table);
}

ResourceHandle FindResource(LibraryHandle module, const char* name, std::uint16_t type)
{
    const EmbeddedResourceTable* table = tables::Of(module);
    return table ? tables::Find(*table, name, type) : nullptr;
}

std::uint32_t SizeofResource(LibraryHandle, ResourceHandle resource)
{
    return resource ? static_cast<const EmbeddedResource*>(resource)->size : 0;
}

LoadedResource LoadResource(LibraryHandle, ResourceHandle resource)
{
    // The data is already in memory; loading it is finding it.
    return resource ? static_cast<const EmbeddedResource*>(resource)->data : nullptr;
}

const void* LockResource(LoadedResource loaded)
{
    return loaded;
}

int LoadString(LibraryHandle module, std::uint32_t id, char16_t* buffer, int bufferLength)
{
    const EmbeddedResourceTable* table = tables::Of(module);
    return CopyResourceText(table ? tables::String(*table, id) : nullptr, buffer, bufferLength);
}

} // namespace platform
