// The loudness tags of an Ogg Opus comment header ("OpusTags"):
// R128_TRACK_GAIN and R128_ALBUM_GAIN.
#pragma once

#include <cstddef>
#include <optional>

struct OpusTagGains {
    // dB in Q7.8 (1/256 dB), -32768..32767, to add to the header's output
    // gain; empty when the header has no valid tag of that name.
    std::optional<int> trackGainQ8;
    std::optional<int> albumGainQ8;
};

// Parses the comment header packet `data` (`size` bytes; null reads as
// empty). True with `out` filled when the packet has the "OpusTags" magic
// and its vendor string and comment list lie within the packet (bytes after
// the list are allowed). Tag names are matched without regard to ASCII case;
// of several tags of one name, the first with a valid value counts. A valid
// value is an optional '+' or '-' followed by decimal digits only, within
// -32768..32767 (so "R128_TRACK_GAIN=" with nothing after it counts as 0,
// as the reference library reads it).
// False leaves `out` unspecified.
[[nodiscard]] bool ParseOpusTagGains(const unsigned char* data, std::size_t size, OpusTagGains& out);
