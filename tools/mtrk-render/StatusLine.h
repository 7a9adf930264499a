// The line --play redraws in place at a terminal, once a second: where
// the stream stands (bar:beat with a tempo, else seconds), each track's
// gain as asked for, the changes armed for a bar line, and the output
// peak since the last redraw.
#pragma once

#include "TimeValue.h"

#include <optional>
#include <string>
#include <vector>

namespace mtrk {

struct TrackState {
    std::string name;
    double gain = 1.0;
    std::optional<double> armed; // the gain armed for the next bar line
};

struct StatusInput {
    std::uint64_t position = 0; // stream frame
    std::uint32_t rate = 48000;
    Tempo tempo;
    std::vector<TrackState> tracks;
    float peak = 0.0f;  // since the last redraw, 1 = full scale
    bool paused = false;
};

[[nodiscard]] std::string FormatStatus(const StatusInput& in);

} // namespace mtrk
