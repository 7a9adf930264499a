#include "ToolPaths.h"

#include <platform/ModuleOfAddress.h>

#include <vymultitrack/Utf16Text.h>

namespace mtrk {
namespace {

std::filesystem::path NextToExecutableOr(const std::filesystem::path& built)
{
    // This function's own image is the executable.
    const std::u16string self = platform::PathOfModuleContaining(reinterpret_cast<const void*>(&NextToExecutableOr));
    if (!self.empty()) {
        const std::filesystem::path beside = std::filesystem::path(vytext::ToUtf8(self)).parent_path() / built.filename();
        std::error_code ignored;
        if (std::filesystem::is_regular_file(beside, ignored))
            return beside;
    }
    return built;
}

} // namespace

std::filesystem::path PluginPath(const std::string& given)
{
    return given.empty() ? NextToExecutableOr(MTRK_DEFAULT_PLUGIN) : std::filesystem::path(given);
}

std::filesystem::path HostModulePath()
{
    return NextToExecutableOr(MTRK_DEFAULT_HOST_MODULE);
}

} // namespace mtrk
