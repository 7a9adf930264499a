#include "EmbeddedResources.h"

#include <algorithm>
#include <mutex>
#include <utility>
#include <vector>

namespace platform {

namespace {

struct Registration {
    LibraryHandle module;
    const EmbeddedResourceTable* table;
};

// The registrations of this image, guarded by their mutex.
struct Registrations {
    std::mutex mutex;
    std::vector<Registration> entries;
};

Registrations& AllRegistrations()
{
    static Registrations registrations;
    return registrations;
}

const EmbeddedResourceTable* TableOf(LibraryHandle module)
{
    Registrations& all = AllRegistrations();
    std::lock_guard lock(all.mutex);
    for (const Registration& entry : all.entries)
        if (entry.module == module)
            return entry.table;
    return nullptr;
}

char AsciiUpper(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// Resource names compare as FindResourceA compares them: ignoring ASCII case.
bool SameName(const char* a, const char* b)
{
    for (; *a && *b; ++a, ++b)
        if (AsciiUpper(*a) != AsciiUpper(*b))
            return false;
    return *a == *b;
}

} // namespace

void RegisterEmbeddedResources(LibraryHandle module, const EmbeddedResourceTable* table)
{
    Registrations& all = AllRegistrations();
    std::lock_guard lock(all.mutex);
    std::erase_if(all.entries,
                  [module](const Registration& entry) { return entry.module == module; });
    if (table)
        all.entries.push_back({module, table});
}

ResourceHandle FindResource(LibraryHandle module, const char* name, std::uint16_t type)
{
    const EmbeddedResourceTable* table = TableOf(module);
    if (!table || !name)
        return nullptr;
    const EmbeddedResource* end = table->resources + table->resourceCount;
    const EmbeddedResource* found =
        std::find_if(table->resources, end, [&](const EmbeddedResource& resource) {
            return resource.type == type && resource.name && SameName(resource.name, name);
        });
    return found == end ? nullptr : found;
}

std::uint32_t SizeofResource(LibraryHandle, ResourceHandle resource)
{
    return resource ? static_cast<const EmbeddedResource*>(resource)->size : 0;
}

LoadedResource LoadResource(LibraryHandle, ResourceHandle resource)
{
    // The data is already in memory; loading it is finding it.
    return resource;
}

const void* LockResource(LoadedResource loaded)
{
    return loaded ? static_cast<const EmbeddedResource*>(loaded)->data : nullptr;
}

int LoadString(LibraryHandle module, std::uint32_t id, char16_t* buffer, int bufferLength)
{
    if (!buffer || bufferLength <= 0)
        return 0;
    buffer[0] = 0;
    const EmbeddedResourceTable* table = TableOf(module);
    if (!table)
        return 0;
    for (std::size_t i = 0; i < table->stringCount; ++i) {
        const EmbeddedString& entry = table->strings[i];
        if (entry.id != id || !entry.text)
            continue;
        int length = 0;
        while (length < bufferLength - 1 && entry.text[length] != 0) {
            buffer[length] = entry.text[length];
            ++length;
        }
        buffer[length] = 0;
        return length;
    }
    return 0;
}

} // namespace platform
