// The multi-track decoder for hosts whose sound output takes 16-bit signed
// integer samples: mixes in float like its base, then converts.
#pragma once

#include <multitrack/decoder/MultiTrackDecoderBaseImpl.h>

#include <cstddef>
#include <cstdint>

class MultiTrackDecoder16bitImpl : public MultiTrackDecoderBaseImpl {
public:
    using MultiTrackDecoderBaseImpl::MultiTrackDecoderBaseImpl;

    // As the base, then announces 16-bit samples in `formatOut`.
    [[nodiscard]] bool Open(const char16_t* url, HSSWaveFormat& formatOut) override;
    // Mixes one block and writes it to `buffer` as 16-bit samples.
    [[nodiscard]] bool DecodeSamples(void* buffer, std::uint32_t frames, std::uint32_t& rendered) override;

protected:
    ~MultiTrackDecoder16bitImpl() override = default;
};

// Converts `count` mixed samples to 16-bit: x × 32768 rounded half away
// from zero, clamped to −32768 … 32767 (1.0 gives 32767, −1.0 gives −32768).
// A NaN gives 0.
void ConvertToInt16(const float* in, std::int16_t* out, std::size_t count);
