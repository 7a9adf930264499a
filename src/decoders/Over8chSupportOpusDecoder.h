// Decodes an Ogg Opus source read from a host IStream into interleaved
// 32-bit float PCM at 48000 Hz, every channel of the stream unchanged (no
// limit of eight channels, no down-mix).
#pragma once

#include <sound/BasicHSSDecoder.h>

#include <cstdint>

struct OggOpusFile;

class Over8chSupportOpusDecoder : public BasicHSSDecoder {
public:
    Over8chSupportOpusDecoder() = default;

    // Opens the source, fills the format (48000 Hz, the header's channel
    // count, float, seek code 2, total frames and milliseconds) and applies
    // the gain that the Opus gain query answers for `name`. False when the
    // data is not a playable Ogg Opus stream.
    [[nodiscard]] bool OpenStream(IStream* source, const char16_t* name,
                                  HSSWaveFormat& formatOut) override;
    // Decodes up to `frames` frames; false when none came (the end).
    [[nodiscard]] bool DecodeSamples(IStream* source, void* buffer, std::uint32_t frames,
                                     std::uint32_t& rendered) override;
    // Sample-exact seek to frame `position`; false when refused.
    [[nodiscard]] bool SeekSamples(IStream* source, std::uint64_t position) override;
    void CloseStream(IStream* source) override;

    // Reads that report a hole in the data in a row before DecodeSamples
    // gives up and returns what it has.
    static constexpr int kMaxConsecutiveHoles = 64;

protected:
    ~Over8chSupportOpusDecoder() override;

private:
    void ApplyGainQuery(const char16_t* name);

    OggOpusFile* opusFile = nullptr;
    // The chained-stream link that the last samples came from.
    int linkIndex = -1;
};
