// The multi-track decoder as the script side sees it: a decoder that opens
// its sources itself and takes track mask changes.
#pragma once

#include <sound/NoStreamHSSDecoder.h>

#include <cstdint>

class MultiTrackDecoder : public NoStreamHSSDecoder {
public:
    // Sets the gain of the tracks named in `names` (`count` zero-terminated
    // names; a null or empty name, or a count of 0, means all tracks) to
    // `volume`, at once or over `fadeMs` milliseconds — immediately, or at a
    // switch point when gathered between BeginDelayedMask and
    // CommitDelayedMask. Returns how many names selected tracks (a name
    // meaning all tracks counts once; count 0 gives 1).
    virtual std::uint32_t SetTrackMask(const char16_t* const* names, std::uint32_t count, float volume,
                                       std::uint32_t fadeMs) = 0;
    // Moves the stream to multi-track ID `id` (lower-cased). False without a
    // callback interface, or when the script side refuses the new ID.
    virtual bool RebindID(const char16_t* id) = 0;
    // Starts gathering changes for a delayed switch.
    virtual void BeginDelayedMask() = 0;
    // Arms the gathered changes to take effect at the first of `points`
    // (`count` sample-frame positions, null allowed) that a block reaches;
    // no points or no changes cancel an armed change.
    virtual void CommitDelayedMask(const std::uint64_t* points, std::uint32_t count) = 0;

protected:
    MultiTrackDecoder() = default;
};
