// The gain the own Ogg Opus reader hands to libopus: the header's output
// gain, optionally a loudness tag, and an offset, combined the way opusfile
// combines them so that both paths decode to the same samples.
#pragma once

#include "OpusIdHeader.h"
#include "OpusTagGains.h"

#include <cstdint>

// What the offset is added to; the header gain is always included.
enum class OpusGainBase {
    Header, // the header's output gain alone (the default)
    Track,  // plus R128_TRACK_GAIN, 0 when the tag is missing
    Album,  // plus R128_ALBUM_GAIN, 0 when the tag is missing
};

struct OpusGainSetting {
    OpusGainBase base = OpusGainBase::Header;
    std::int32_t offsetQ8 = 0; // 1/256 dB, any value
};

// The total gain in 1/256 dB for one link: header gain + the chosen tag +
// the offset, clamped to -32768..32767 (the range OPUS_SET_GAIN takes).
[[nodiscard]] int CombinedGainQ8(const OpusIdHeader& header, const OpusTagGains& tags,
                                 const OpusGainSetting& setting);
