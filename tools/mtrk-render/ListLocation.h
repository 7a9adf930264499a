// Where a track list named on the command line lives for the plug-in: the
// storage root (the list's folder, or --root) and the storage name the
// module is asked to open.
#pragma once

#include <filesystem>
#include <string>

namespace mtrk {

struct ListLocation {
    std::filesystem::path root;
    std::u16string url;
    bool inlineName = false;
};

// False with a one-line `error` when the list is not a .mtrk or .mchx
// name, or its file (for the inline form: its folder) is missing.
[[nodiscard]] bool LocateList(const std::string& list, const std::string& root, ListLocation& out,
                              std::string& error);

} // namespace mtrk
