// The tool's own reading of a track list, for --check: which source files
// it names and which decoder the list's rules pick for each (the built-in
// Opus or Vorbis decoder, or a linked decoder module), and whether each
// file is there. The plug-in itself reports only the tracks it opened.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace mtrk {

struct ListSource {
    int line = 0;              // 0 for the inline form
    std::string trackName;     // the list's name for it (.mtrk file form)
    std::string storageName;   // as the plug-in asks the storage for it
    std::string decoder;       // e.g. "built-in Opus decoder", "module libvywav.so"
    bool present = false;      // the file exists under the root
};

struct ListContents {
    std::string form; // ".mtrk file", ".mtrk inline name", ".mchx file"
    std::vector<ListSource> sources;
    std::vector<std::string> modules; // decoder module libraries the list links
};

// Reads the list `url` (a storage name) under `root`; a list that cannot be
// read gives its form and no sources.
[[nodiscard]] ListContents ReadListContents(const std::filesystem::path& root, const std::u16string& url);

// The extension of `path` (from the last '.' after the last '\\', '/' or
// '>'), lower-cased; empty when there is none.
[[nodiscard]] std::string ExtensionOf(const std::string& path);

// Whether `name` (a file name) is the inline form: two or more non-empty
// parts separated by '|'.
[[nodiscard]] bool IsInlineName(const std::string& name);

} // namespace mtrk
