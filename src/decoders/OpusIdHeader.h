// The identification header ("OpusHead") that opens every Ogg Opus stream:
// channel layout, pre-skip and output gain.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

struct OpusIdHeader {
    int channelCount = 0;       // 1..255 output channels
    int preSkip = 0;            // frames at 48 kHz to drop at the start of the stream
    int outputGainQ8 = 0;       // dB in Q7.8 (1/256 dB), applied to every sample
    int mappingFamily = 0;      // 0, 1 or 255
    int streamCount = 0;        // Opus streams in each packet, >= 1
    int coupledCount = 0;       // of which stereo, <= streamCount
    // Decoded channel feeding each output channel; 255 = silence. Only the
    // first channelCount entries are used.
    std::array<unsigned char, 255> mapping{};
};

// Parses the identification header packet `data` (`size` bytes; null reads
// as empty). True with `out` filled when it is a well-formed header this
// reader plays:
// - the "OpusHead" magic, a version below 16 (a later major version is not
//   readable), at least one channel;
// - mapping family 0 (one or two channels, one stream, implicit order),
//   1 (one to eight channels) or 255 (any count); other families are refused;
// - for families 1 and 255, a table of stream count, coupled count and one
//   entry per channel, with 1 <= streams <= channels, coupled <= streams, and
//   every entry either 255 or below streams + coupled.
// False leaves `out` unspecified.
[[nodiscard]] bool ParseOpusIdHeader(const unsigned char* data, std::size_t size, OpusIdHeader& out);
