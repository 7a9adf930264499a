#include "MultiTrackDecoder16bitImpl.h"

#include <cmath>

void ConvertToInt16(const float* in, std::int16_t* out, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i) {
        const float rounded = std::roundf(in[i] * 32768.0f);
        // Clamped while still a float: converting an out-of-range or NaN
        // float to an integer is undefined.
        if (rounded >= 32767.0f)
            out[i] = 32767;
        else if (rounded <= -32768.0f)
            out[i] = -32768;
        else if (rounded == rounded)
            out[i] = static_cast<std::int16_t>(rounded);
        else
            out[i] = 0;
    }
}

bool MultiTrackDecoder16bitImpl::Open(const char16_t* url, HSSWaveFormat& formatOut)
{
    if (!MultiTrackDecoderBaseImpl::Open(url, formatOut))
        return false;
    formatOut.sampleFormat = kSampleFormatInt16;
    return true;
}

bool MultiTrackDecoder16bitImpl::DecodeSamples(void* buffer, std::uint32_t frames, std::uint32_t& rendered)
{
    const std::size_t sampleCount = static_cast<std::size_t>(format.channelCount) * frames;
    if (sampleCount == 0)
        return true;
    const float* mixed = MixBlock(sampleCount, frames, rendered);
    ConvertToInt16(mixed, static_cast<std::int16_t*>(buffer), sampleCount);
    return true;
}
