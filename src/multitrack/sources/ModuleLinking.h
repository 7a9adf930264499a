// Decoder modules in other libraries: linking them by library name and
// finding the one registered for a file's extension. Operates on the
// process-wide registry; takes no locks (callers do not run concurrently).
#pragma once

#include <plugin/ModuleRegistry.h>

#include <vymultitrack/IHSSModule.h>

#include <string>
#include <utility>

// (found, module): found when `key` is in the map, whatever its value;
// module is that value, or null when not found.
[[nodiscard]] std::pair<bool, IHSSModule*> LookupModule(const ModuleRegistry& registry, const std::u16string& key);
// Inserts `key` with `module`, or overwrites the value of an existing key.
void SetModuleEntry(ModuleRegistry& registry, const std::u16string& key, IHSSModule* module);

// Loads the module library `fileName` (a library file name or path; a bare
// file name is looked for in the plug-in's folder first, then on the
// loader's path) unless it is linked already, creates its module with the registry's storage
// provider and registers the extensions it reports. Returns the module (the
// registry keeps its reference) or null. Logs "<name>: module linked:<KEY>"
// at level 0 on success and "<name>: module not found/cannot linked:<KEY>"
// at level 1 on the first failure for a name (KEY: the upper-cased name),
// and on every failure when the library was loaded by this call and lacks
// the entry point (it is freed again). A failure is remembered as a null
// entry, which only silences the log: each call tries again.
// Null `fileName` → null.
IHSSModule* LinkModule(ModuleRegistry& registry, const char16_t* fileName);

// Keeps `module` (taking over the caller's reference), maps `key` and every
// extension the module reports (lower-cased) to it. Returns the code that
// ended the extension walk. A null `module` changes nothing (E_POINTER).
HRESULT RegisterModule(ModuleRegistry& registry, const std::u16string& key, IHSSModule* module);

// The module registered for the extension of `fileName` (from its last '.',
// lower-cased), or null: null or empty name, no dot (nothing logged), or no
// module for the extension (logs "<name>: unknown file exts:<fileName>" at
// level 1).
[[nodiscard]] IHSSModule* FindModuleForFile(ModuleRegistry& registry, const char16_t* fileName);
