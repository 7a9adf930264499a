// The gain the timeline asked of each track over the output, for the plot:
// immediate changes at their action frames, delayed ones at the frame where
// the output showed them, fades as straight ramps. Every track starts at 1.
#pragma once

#include "PluginSession.h"
#include "ScriptActions.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace mtrk {

struct GainPoint {
    std::uint64_t frame;
    double gain;

    bool operator==(const GainPoint&) const = default;
};

// One polyline per track, from frame 0 to `endFrame`. `effectFrames[i]` is
// where record i took effect: its own frame for immediate changes, the
// measured switch frame for delayed ones (none: left out).
[[nodiscard]] std::vector<std::vector<GainPoint>> RequestedGains(const OpenReport& stream,
                                                                 const std::vector<ActionRecord>& records,
                                                                 const std::vector<std::optional<std::uint64_t>>& effectFrames,
                                                                 std::uint32_t rate, std::uint64_t endFrame);

// The track indices `tracks` addresses in `stream` (names compared without
// regard to ASCII case, as the plug-in does); unknown names are skipped.
[[nodiscard]] std::vector<int> SelectTracks(const OpenReport& stream, const TrackSelection& tracks);

} // namespace mtrk
