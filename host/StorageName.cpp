#include "StorageName.h"

#include <vymultitrack/Utf16Text.h>

#include <algorithm>
#include <vector>

namespace host {

namespace {

[[nodiscard]] std::filesystem::path PathOfPart(std::u16string_view part)
{
    const std::string utf8 = vytext::ToUtf8(part);
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

// The parts of `name` with "." and ".." applied; false when ".." climbs
// above the start.
[[nodiscard]] bool ResolveParts(std::u16string_view name, std::vector<std::u16string_view>& parts)
{
    std::size_t start = 0;
    while (start <= name.size()) {
        const auto end = std::find_if(name.begin() + start, name.end(), IsStorageNameSeparator);
        const auto stop = static_cast<std::size_t>(end - name.begin());
        const std::u16string_view part = name.substr(start, stop - start);
        start = stop + 1;
        if (part.empty() || part == u".")
            continue;
        if (part != u"..") {
            parts.push_back(part);
            continue;
        }
        if (parts.empty())
            return false;
        parts.pop_back();
    }
    return true;
}

} // namespace

std::u16string WithForwardSlashes(std::u16string_view name)
{
    std::u16string result(name);
    std::replace_if(result.begin(), result.end(), IsStorageNameSeparator, u'/');
    return result;
}

std::optional<std::filesystem::path> RelativePathOfStorageName(std::u16string_view name)
{
    std::vector<std::u16string_view> parts;
    if (!ResolveParts(name, parts) || parts.empty())
        return std::nullopt;
    std::filesystem::path path;
    for (const std::u16string_view part : parts) {
        std::filesystem::path piece = PathOfPart(part);
        if (piece.has_root_name() || piece.has_root_directory())
            return std::nullopt;
        path /= piece;
    }
    return path;
}

} // namespace host
