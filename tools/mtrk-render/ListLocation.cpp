#include "ListLocation.h"

#include <host/StorageName.h>
#include <multitrack/lists/TrackListReader.h>

#include <vymultitrack/Utf16Text.h>

#include <optional>

namespace mtrk {
namespace {

bool Fail(const std::string& list, const char* what, std::string& error)
{
    error = list;
    error.append(": ").append(what);
    return false;
}

} // namespace

bool LocateList(const std::string& list, const std::string& root, ListLocation& out, std::string& error)
{
    const std::filesystem::path path(list);
    const std::u16string name = vytext::ToUtf16(path.filename().string());
    const std::optional<TrackListForm> form = TrackListFormOf(name);
    if (!form)
        return Fail(list, "not a track list (the name must end in .mtrk or .mchx)", error);
    out.inlineName = form == TrackListForm::MtrkInline;
    std::error_code ignored;
    if (root.empty()) {
        out.root = path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
        out.url = name;
        if (!std::filesystem::is_directory(out.root, ignored))
            return Fail(list, "no such folder", error);
    } else {
        out.root = root;
        if (!std::filesystem::is_directory(out.root, ignored))
            return Fail(list, "the --root folder does not exist", error);
        const auto absoluteRoot = std::filesystem::absolute(root, ignored).lexically_normal();
        const auto inside = std::filesystem::absolute(path, ignored).lexically_normal().lexically_relative(absoluteRoot);
        if (inside.empty() || *inside.begin() == "..")
            return Fail(list, "is outside the --root folder", error);
        out.url = vytext::ToUtf16(inside.generic_string());
    }
    if (out.inlineName)
        return true;
    const auto relative = host::RelativePathOfStorageName(out.url);
    if (!relative)
        return Fail(list, "not a name inside the storage root", error);
    const std::filesystem::path file = out.root / *relative;
    if (std::filesystem::is_directory(file, ignored))
        return Fail(list, "is a folder, not a track list", error);
    if (!std::filesystem::is_regular_file(file, ignored))
        return Fail(list, "no such file", error);
    return true;
}

} // namespace mtrk
