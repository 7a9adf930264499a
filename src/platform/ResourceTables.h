// The compiled-in resource tables that stand in for an image's own
// resources: registered per module handle, read by the resource calls of
// EmbeddedResources.h (every image on POSIX; on Windows the handles that
// name no image, such as a test's own table).
#pragma once

#include <platform/EmbeddedResources.h>

namespace platform::tables {

// Makes `table` the resources of `module`, replacing any earlier one; null
// removes the registration.
void Register(LibraryHandle module, const EmbeddedResourceTable* table);
// The table registered for `module`, or null.
[[nodiscard]] const EmbeddedResourceTable* Of(LibraryHandle module);
// The resource `name` (ASCII case ignored) of `type` in `table`, or null.
[[nodiscard]] const EmbeddedResource* Find(const EmbeddedResourceTable& table, const char* name, std::uint16_t type);
// The string `id` of `table`, or null.
[[nodiscard]] const char16_t* String(const EmbeddedResourceTable& table, std::uint32_t id);

} // namespace platform::tables
