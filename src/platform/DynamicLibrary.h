// Loading shared libraries by name and finding their exports: the stand-in
// for GetModuleHandleW, LoadLibraryW, GetProcAddress and FreeLibrary.
#pragma once

namespace platform {

// Opaque handle of a loaded library; null means none.
using LibraryHandle = void*;

// The library `fileName` when it is already loaded in the process, without
// loading it or adding a reference (GetModuleHandleW); null otherwise.
[[nodiscard]] LibraryHandle FindLoadedLibrary(const char16_t* fileName);

// Loads `fileName` (a file name searched on the loader's path, or a path)
// and adds one reference (LoadLibraryW); null when it cannot be loaded.
[[nodiscard]] LibraryHandle LoadLibrary(const char16_t* fileName);

// The address of the export `name` of `library` (GetProcAddress); null when
// the library has no such export or the handle is null.
[[nodiscard]] void* FindExport(LibraryHandle library, const char* name);

// Drops the reference that LoadLibrary added (FreeLibrary). Null is ignored.
void FreeLibrary(LibraryHandle library);

} // namespace platform
