// What a mixer's Load reports to the decoder.
#pragma once

#include <vymultitrack/HSSWaveFormat.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

struct TrackListInfo {
    // Number of tracks; indices run from 0 in the order tracks were added.
    std::uint32_t trackCount = 0;
    // The format of the mixed stream.
    HSSWaveFormat format{};
    // Names by which a track can be addressed: (name, track index). A track
    // may have several names; names may repeat.
    std::vector<std::pair<std::u16string, std::int32_t>> bindings;
    // Starting volume per track; empty, or exactly trackCount entries.
    std::vector<float> volumes;
    // The stream's name, which becomes its multi-track ID.
    std::u16string listName;
    // Why Load failed; may be empty.
    std::u16string errorMessage;
};
