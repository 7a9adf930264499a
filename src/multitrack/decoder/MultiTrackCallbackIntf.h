// How a multi-track decoder reports to the script side: that it exists
// under a multi-track ID, that it goes away, that it opened (with its track
// names), and log messages. The decoder depends only on this interface, so
// it plays without a script side at all.
#pragma once

#include <cstdint>

class MultiTrackDecoder;

// One name of a track as reported to NotifyOpen.
struct TrackNameEntry {
    // The track index for a track's first name; the bitwise complement of
    // the index (−1 − index, negative) for each further name of that track.
    std::int32_t index;
    // Zero-terminated; may be null (the receiver skips such entries).
    const char16_t* name;
};

class MultiTrackCallbackIntf {
public:
    virtual ~MultiTrackCallbackIntf() = default;
    // `decoder` now answers to `id` (lower-cased); true when recorded.
    virtual bool RegisterInstance(MultiTrackDecoder* decoder, const char16_t* id) = 0;
    // `decoder` (may be null) no longer answers to `id`; true when removed.
    virtual bool UnregisterInstance(MultiTrackDecoder* decoder, const char16_t* id) = 0;
    // A stream opened: its ID, the URL it was opened with, its track count
    // and its names (`names` may be null when `nameCount` is 0; valid only
    // during the call).
    virtual void NotifyOpen(const char16_t* id, const char16_t* url, std::int32_t trackCount,
                            const TrackNameEntry* names, std::int32_t nameCount) = 0;
    // A message and its detail (each may be null).
    virtual void Log(const char16_t* message, const char16_t* detail) = 0;
};
