// Owns one libopus multistream decoder and remembers the channel layout it
// was made for, so that a link of the same layout reuses it.
#pragma once

#include "OpusIdHeader.h"

#include <array>

struct OpusMSDecoder;

class OpusMultistreamDecoder {
public:
    // Frames of the longest Opus packet (120 ms at 48 kHz).
    static constexpr int kLongestPacket = 5760;

    OpusMultistreamDecoder() = default;
    ~OpusMultistreamDecoder();
    OpusMultistreamDecoder(const OpusMultistreamDecoder&) = delete;
    OpusMultistreamDecoder& operator=(const OpusMultistreamDecoder&) = delete;

    // Makes the decoder ready for the first packet of a stream laid out as
    // `header` says (channels, streams, coupled streams, mapping), at 48 kHz
    // with unity gain: resets the present decoder when the layout is the
    // same, else creates a new one (an allocation). False when libopus
    // refuses the layout or memory runs out; there is no decoder then.
    [[nodiscard]] bool Prepare(const OpusIdHeader& header);
    // Forgets the decoded history (before decoding from another place).
    void Reset();
    // Gain applied to every decoded sample, in 1/256 dB, -32768..32767.
    void SetGainQ8(int gainQ8);
    // Decodes one packet into `pcm`, which has room for `maxFrames` frames
    // of the layout's channels, interleaved. The frames decoded, or a
    // negative libopus error (a damaged packet, too little room, no decoder).
    [[nodiscard]] int Decode(const unsigned char* data, long bytes, float* pcm, int maxFrames);

private:
    [[nodiscard]] bool SameLayout(const OpusIdHeader& header) const;

    OpusMSDecoder* decoder = nullptr;
    int channels = 0;
    int streams = 0;
    int coupled = 0;
    std::array<unsigned char, 255> mapping{};
};
