#include "PluginLibrary.h"

#include "platform/DynamicLibrary.h"

#include <vymultitrack/Utf16Text.h>

#include <system_error>
#include <utility>

namespace host {

namespace {

[[nodiscard]] std::u16string Utf16Path(const std::filesystem::path& path)
{
    const std::u8string utf8 = path.u8string();
    return vytext::ToUtf16(
        std::string_view(reinterpret_cast<const char*>(utf8.data()), utf8.size()));
}

[[nodiscard]] std::string Utf8Path(const std::filesystem::path& path)
{
    const std::u8string utf8 = path.u8string();
    return std::string(utf8.begin(), utf8.end());
}

// Why a library at `path` could not be loaded, told as far as the file
// system tells it; the loader itself gives no reason.
[[nodiscard]] std::string LoadFailure(const std::filesystem::path& path)
{
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    const std::string where = "cannot load '" + Utf8Path(path) + "': ";
    if (status.type() == std::filesystem::file_type::not_found)
        return where + "no such file";
    if (status.type() == std::filesystem::file_type::directory)
        return where + "it is a folder";
    return where + "the loader refused it (not a library for this system, or a library it "
                   "needs is missing)";
}

} // namespace

PluginLibrary::~PluginLibrary()
{
    Free();
}

PluginLibrary::PluginLibrary(PluginLibrary&& other) noexcept
    : library_(std::exchange(other.library_, nullptr)), path_(std::move(other.path_)),
      error_(std::move(other.error_))
{
    other.path_.clear();
}

PluginLibrary& PluginLibrary::operator=(PluginLibrary&& other) noexcept
{
    if (this != &other) {
        Free();
        library_ = std::exchange(other.library_, nullptr);
        path_ = std::move(other.path_);
        error_ = std::move(other.error_);
        other.path_.clear();
    }
    return *this;
}

bool PluginLibrary::Load(const std::filesystem::path& path)
{
    Free();
    error_.clear();
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    if (path.empty() || error) {
        error_ = "cannot load '" + Utf8Path(path) + "': not a usable path";
        return false;
    }
    library_ = platform::LoadLibrary(Utf16Path(absolute).c_str());
    if (!library_) {
        error_ = LoadFailure(absolute);
        return false;
    }
    path_ = absolute;
    return true;
}

void PluginLibrary::Free()
{
    platform::FreeLibrary(std::exchange(library_, nullptr));
    path_.clear();
}

void* PluginLibrary::FindExport(const char* name) const
{
    return platform::FindExport(library_, name);
}

GetModuleInstanceFunction PluginLibrary::GetModuleInstance() const
{
    return reinterpret_cast<GetModuleInstanceFunction>(FindExport(kGetModuleInstanceExport));
}

} // namespace host
