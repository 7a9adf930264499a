// One SVG picture of a render: peak and RMS envelope per output channel,
// the momentary loudness with the integrated loudness under them, one lane
// per track with the gain the timeline asked for, bar lines when a
// tempo is known, and markers where immediate changes and delayed switches
// took effect.
#pragma once

#include "Envelope.h"
#include "GainLanes.h"
#include "MomentaryLoudness.h"
#include "TimeValue.h"

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace mtrk {

enum class MarkerKind {
    Immediate, // an immediate change (or rebind) at its action frame
    Armed,     // a delayed change armed
    Switch,    // where a delayed change took effect in the output
};

struct PlotMarker {
    std::uint64_t frame; // output frame
    MarkerKind kind;
    std::string label;
};

struct PlotInput {
    std::string title;
    const Envelope* envelope = nullptr;
    const MomentaryLoudness* loudness = nullptr; // null: no loudness panel
    double integrated = -INFINITY;               // LUFS
    std::uint32_t rate = 0;
    std::uint64_t frames = 0;        // output frames
    std::uint64_t startPosition = 0; // stream frame of output frame 0, for the bar lines
    Tempo tempo;                     // bpm 0: no bar lines
    std::vector<std::string> trackNames;
    std::vector<std::vector<GainPoint>> gains; // per track
    std::vector<PlotMarker> markers;
};

[[nodiscard]] std::string DrawSvg(const PlotInput& input);

} // namespace mtrk
