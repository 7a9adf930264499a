// The gain of one track with its running fade. The decoder starts ramps and
// sets gains; the mixing kernels advance ramps frame by frame.
#pragma once

#include <cstdint>

struct TrackGainState {
    float gain = 1.0f;          // the gain in force
    float rampFrom = 0.0f;      // gain at the start of the running ramp
    float rampTo = 0.0f;        // gain at its end
    std::uint32_t rampPosition = 0; // frames of the ramp done so far
    std::uint32_t rampLength = 0;   // frames in the ramp; 0: no ramp running
};

// Advances `state` by one frame, before a frame the track contributes:
// no ramp → nothing; during the ramp → gain = ((to − from) × position) ÷
// length + from (single precision, in that order; position before the
// step), then position + 1; after the ramp → gain = rampTo and the four
// ramp fields become 0.
inline void RampStep(TrackGainState& state)
{
    if (state.rampLength == 0)
        return;
    if (state.rampPosition < state.rampLength) {
        state.gain = ((state.rampTo - state.rampFrom) * static_cast<float>(state.rampPosition)) /
                         static_cast<float>(state.rampLength) +
                     state.rampFrom;
        ++state.rampPosition;
        return;
    }
    state.gain = state.rampTo;
    state.rampFrom = 0.0f;
    state.rampTo = 0.0f;
    state.rampPosition = 0;
    state.rampLength = 0;
}
