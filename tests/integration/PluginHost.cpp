#include "PluginHost.h"

#include <fstream>
#include <random>
#include <stdexcept>

namespace {

// A folder of this process's own: CTest runs test processes side by side.
std::filesystem::path UniqueFolder()
{
    std::random_device random;
    std::string name = "vy-plugin-host-";
    name.append(std::to_string(random())).append("-").append(std::to_string(random()));
    return std::filesystem::path(::testing::TempDir()) / name;
}

} // namespace

PluginHost::PluginHost() : plugin(new host::PluginLibrary), root(UniqueFolder())
{
    std::filesystem::create_directories(root);
    if (!plugin->Load(VY_PLUGIN_PATH))
        throw std::runtime_error("cannot load the plug-in: " + plugin->Error());
    provider = host::FileStorageProvider::Create(root);
    if (plugin->GetModuleInstance()(&module, provider, nullptr, nullptr) != S_OK || !module)
        throw std::runtime_error("GetModuleInstance failed");
}

void PluginHost::WriteFile(const std::string& name, const std::vector<std::uint8_t>& bytes) const
{
    const std::filesystem::path path = root / name;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
}

void PluginHost::WriteText(const std::string& name, const std::string& text) const
{
    WriteFile(name, std::vector<std::uint8_t>(text.begin(), text.end()));
}

PluginHost::~PluginHost()
{
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
}
