#include <platform/ResourceTables.h>

#include <algorithm>
#include <mutex>
#include <vector>

namespace platform::tables {

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

void Register(LibraryHandle module, const EmbeddedResourceTable* table)
{
    Registrations& all = AllRegistrations();
    std::lock_guard lock(all.mutex);
    std::erase_if(all.entries, [module](const Registration& entry) { return entry.module == module; });
    if (table)
        all.entries.push_back({module, table});
}

const EmbeddedResourceTable* Of(LibraryHandle module)
{
    Registrations& all = AllRegistrations();
    std::lock_guard lock(all.mutex);
    for (const Registration& entry : all.entries)
        if (entry.module == module)
            return entry.table;
    return nullptr;
}

const EmbeddedResource* Find(const EmbeddedResourceTable& table, const char* name, std::uint16_t type)
{
    if (!name)
        return nullptr;
    const EmbeddedResource* end = table.resources + table.resourceCount;
    const EmbeddedResource* found = std::find_if(table.resources, end, [&](const EmbeddedResource& resource) {
        return resource.type == type && resource.name && SameName(resource.name, name);
    });
    return found == end ? nullptr : found;
}

const char16_t* String(const EmbeddedResourceTable& table, std::uint32_t id)
{
    for (std::size_t i = 0; i < table.stringCount; ++i)
        if (table.strings[i].id == id && table.strings[i].text)
            return table.strings[i].text;
    return nullptr;
}

} // namespace platform::tables
