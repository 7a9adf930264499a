// One requested change of a track's gain.
#pragma once

#include <cstdint>

struct TrackMaskChange {
    std::uint32_t track;  // track index
    std::uint32_t fadeMs; // fade time in milliseconds; 0: at once
    float volume;         // the gain to reach
};
