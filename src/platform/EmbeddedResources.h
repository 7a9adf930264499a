// A module's resources, read the way FindResourceA, SizeofResource,
// LoadResource, LockResource and LoadStringW read them. On Windows they are
// the image's own resources (built from a .rc file). On POSIX an image has
// none of its own: a table compiled into the code (EmbeddedResourceTable) is
// registered for a module handle, and the calls read that table; on Windows
// such a table serves only handles that name no image (a test's own table)
// and a registration for a real image is ignored.
#pragma once

#include "DynamicLibrary.h"

#include <cstddef>
#include <cstdint>

namespace platform {

// Resource type of raw data (RT_RCDATA).
inline constexpr std::uint16_t kResourceTypeRcData = 10;

struct EmbeddedResource {
    const char* name; // matched without regard to ASCII case
    std::uint16_t type;
    const unsigned char* data;
    std::uint32_t size; // bytes
};

struct EmbeddedString {
    std::uint32_t id;
    const char16_t* text; // zero-terminated
};

struct EmbeddedResourceTable {
    const EmbeddedResource* resources;
    std::size_t resourceCount;
    const EmbeddedString* strings;
    std::size_t stringCount;
};

// A found resource (HRSRC) and a loaded one (HGLOBAL); null means none.
using ResourceHandle = const void*;
using LoadedResource = const void*;

// Makes `table` (not owned; must outlive its registration) the resources of
// `module`, replacing any table registered for it before; a null `table`
// removes the registration. A module without a table has no resources.
void RegisterEmbeddedResources(LibraryHandle module, const EmbeddedResourceTable* table);

// The resource `name` of type `type` in `module`; null when there is none
// (or `name` is null).
[[nodiscard]] ResourceHandle FindResource(LibraryHandle module, const char* name,
                                          std::uint16_t type);
// Its size in bytes; 0 for a null handle.
[[nodiscard]] std::uint32_t SizeofResource(LibraryHandle module, ResourceHandle resource);
// Loads it; null for a null handle. As on Windows, the loaded handle is the
// address of the data.
[[nodiscard]] LoadedResource LoadResource(LibraryHandle module, ResourceHandle resource);
// The first byte of its data, valid as long as the module stays loaded;
// null for a null handle.
[[nodiscard]] const void* LockResource(LoadedResource loaded);
// Copies the string `id` of `module`'s string table into `buffer`, at most
// `bufferLength` − 1 code units and a terminator, and answers the number of
// code units copied; 0 when there is no such string (the buffer then holds
// an empty string when `bufferLength` > 0).
int LoadString(LibraryHandle module, std::uint32_t id, char16_t* buffer, int bufferLength);

} // namespace platform
