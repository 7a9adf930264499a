// A module library (the plug-in, or any library with the same entry point)
// loaded by path, as the engine loads it.
#pragma once

#include <vymultitrack/GetModuleInstance.h>

#include <filesystem>
#include <string>

namespace host {

// Owns one reference to a loaded library and drops it when destroyed, so
// every function and object taken from the library must be gone by then.
// Move-only; a moved-from or default-made PluginLibrary holds nothing.
// Not thread-safe.
class PluginLibrary {
public:
    PluginLibrary() = default;
    ~PluginLibrary();
    PluginLibrary(PluginLibrary&& other) noexcept;
    PluginLibrary& operator=(PluginLibrary&& other) noexcept;
    PluginLibrary(const PluginLibrary&) = delete;
    PluginLibrary& operator=(const PluginLibrary&) = delete;

    // Loads the library at `path` (made absolute first, so the loader never
    // searches its own path for it), dropping any library held before.
    // True on success; false with Error() telling why (the file is missing,
    // or the loader refused it) and nothing held.
    [[nodiscard]] bool Load(const std::filesystem::path& path);

    // Drops the library held, if any.
    void Free();

    [[nodiscard]] bool IsLoaded() const { return library_ != nullptr; }
    // The absolute path of the library held; empty when none.
    [[nodiscard]] const std::filesystem::path& Path() const { return path_; }
    // Why the last Load failed; empty after a successful one.
    [[nodiscard]] const std::string& Error() const { return error_; }

    // The address of the export `name`; null when nothing is loaded, `name`
    // is null or the library has no such export.
    [[nodiscard]] void* FindExport(const char* name) const;
    // The library's GetModuleInstance entry point; null when it has none.
    [[nodiscard]] GetModuleInstanceFunction GetModuleInstance() const;

private:
    void* library_ = nullptr;
    std::filesystem::path path_;
    std::string error_;
};

} // namespace host
