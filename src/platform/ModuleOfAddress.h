// "Which loaded library (or the executable) holds this address, and what is
// its full path": the stand-in for GetModuleHandleExW with
// GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | ..._UNCHANGED_REFCOUNT followed
// by GetModuleFileNameW.
#pragma once

#include <string>

namespace platform {

// The full path of the image that contains `address`; empty when no loaded
// image contains it (a heap or stack address, for instance).
[[nodiscard]] std::u16string PathOfModuleContaining(const void* address);

} // namespace platform
