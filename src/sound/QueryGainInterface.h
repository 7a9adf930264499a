// The gain hook the built-in decoders call when they open a source.
#pragma once

#include <cstdint>

// Gain modes a query answers.
inline constexpr std::int32_t kGainModeNone = 0;  // only the stream's header gain
inline constexpr std::int32_t kGainModeTrack = 1; // ReplayGain / R128 track gain
inline constexpr std::int32_t kGainModeAlbum = 2; // ReplayGain / R128 album gain
inline constexpr std::int32_t kGainModeNoAnswer = -1;

class QueryGainInterface {
public:
    // Stores a gain in dB for the source `sourceName` (zero-terminated) into
    // `*gain` and answers the gain mode; answers kGainModeNoAnswer and leaves
    // `*gain` untouched when it has nothing to say.
    virtual std::int32_t QueryGain(const char16_t* sourceName, float* gain) = 0;

protected:
    // Not virtual: owners destroy the concrete object.
    ~QueryGainInterface() = default;
};
