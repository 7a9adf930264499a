// --check: loads track lists through the plug-in and reports, for each,
// what it found (form, format, multi-track ID, tracks and their names,
// sources with the decoder that opens each) or the plug-in's own message.
#pragma once

#include "ListLocation.h"
#include "ListSources.h"
#include "PluginSession.h"

#include <vymultitrack/HSSWaveFormat.h>

#include <cstdio>
#include <string>
#include <vector>

namespace mtrk {

// "48000 Hz, 2 channels, float32, 768000 frames (16.000 s)"
[[nodiscard]] std::string DescribeFormat(const HSSWaveFormat& format);

// "id demo.mtrk, url demo.mtrk, 4 tracks: drums, bass, pad, lead"
[[nodiscard]] std::string DescribeOpen(const OpenReport& report);

// Checks one list (`list` as the user named it) and prints the report to
// `out`; `modules` carries what the plug-in said about module linking from
// one list to the next. True when it loaded.
[[nodiscard]] bool CheckList(PluginSession& session, ModuleLinkLog& modules, const std::string& list,
                             const std::string& root, std::FILE* out);

} // namespace mtrk
