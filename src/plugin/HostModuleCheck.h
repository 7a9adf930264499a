// Whether the host's storage provider belongs to the host module whose
// sound output takes 16-bit integer samples ("hmdevui.dll").
#pragma once

#include <string_view>

// True when the file name of `path` (the part after its last '\\', '/' or
// '>'; the whole path without one) equals "hmdevui.dll" in any case of its
// ASCII letters.
[[nodiscard]] bool IsSixteenBitHostModulePath(std::u16string_view path);

// True when the loaded image that contains `object` is that host module.
// False for a null pointer or an address outside every loaded image.
[[nodiscard]] bool LivesInSixteenBitHostModule(const void* object);
