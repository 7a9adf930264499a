// Where mtrk-render finds the plug-in and the "hmdevui.dll" image: the
// path given on the command line, else next to the executable, else where
// the build put them.
#pragma once

#include <filesystem>
#include <string>

namespace mtrk {

[[nodiscard]] std::filesystem::path PluginPath(const std::string& given);
[[nodiscard]] std::filesystem::path HostModulePath();

} // namespace mtrk
