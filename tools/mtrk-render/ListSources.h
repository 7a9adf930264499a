// What a track list names, for --check: read by the plug-in's own list
// reader (the same code its mixers use), so the report cannot drift from
// what the plug-in does with the list.
#pragma once

#include <multitrack/lists/TrackListDescription.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace mtrk {

// Reads the list `url` (a storage name) under `root` as the plug-in reads
// it: the file's bytes decoded (UTF-8 or UTF-16 with byte-order mark), then
// the reader of its form. A file that cannot be read reads as empty text.
[[nodiscard]] TrackListDescription ReadListDescription(const std::filesystem::path& root, const std::u16string& url);

// ".mtrk file", ".mtrk inline name", ".mchx file".
[[nodiscard]] const char* FormName(TrackListForm form);

// Whether a decoder-choice field names a module library (not empty, not '*').
[[nodiscard]] bool NamesModule(const std::u16string& choice);

// Decoder modules the plug-in tried to link in this session, by upper-cased
// library name: true once linked, false after it failed. Learnt from the
// plug-in's own log lines ("...: module linked:KEY" and "...: module not
// found/cannot linked:KEY"), since the plug-in links a name once per process
// and reports a failure only the first time.
class ModuleLinkLog {
public:
    // Takes note of the log lines written during one open.
    void Read(const std::vector<std::string>& logLines);
    // Whether the library named `choice` is linked; nothing when the plug-in
    // never said.
    [[nodiscard]] const bool* Linked(const std::u16string& choice) const;

private:
    std::map<std::string, bool> linked_;
};

// How the plug-in opens one listed source.
struct SourcePlan {
    std::string decoder;     // "built-in Opus decoder", "decoder module for '.wav'", ...
    std::string moduleNote;  // "libvywav.so linked", "libx.so failed to link", or empty
    bool present = false;    // the file exists under the root
};

// The plan for every source of `list`, in order, following the decoder
// choices as the mixers do: '*' prefers the built-in decoders, a module
// name that linked sends later sources to the modules, one that failed
// leaves the choice as it was.
[[nodiscard]] std::vector<SourcePlan> PlanSources(const TrackListDescription& list, const ModuleLinkLog& modules,
                                                  const std::filesystem::path& root);

} // namespace mtrk
