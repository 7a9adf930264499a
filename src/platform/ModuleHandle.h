// The plug-in library's own module handle: what Windows hands DllMain at
// process attach, through which the library finds its own resources.
#pragma once

#include "DynamicLibrary.h"

namespace platform {

// The handle of the library (or executable) that contains this code. Never
// null once the code runs. Taken without adding a reference.
[[nodiscard]] LibraryHandle OwnModuleHandle();

} // namespace platform
