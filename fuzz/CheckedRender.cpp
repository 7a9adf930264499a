#include "CheckedRender.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace fuzz {

namespace {

constexpr std::uint8_t kCanary = 0xA5;
constexpr std::size_t kCanaryBytes = 64;

std::uint32_t BytesPerSample(const HSSWaveFormat& format)
{
    return (format.sampleFormat & 0xFFFFu) / 8;
}

bool SameFormat(const HSSWaveFormat& a, const HSSWaveFormat& b)
{
    return a.sampleRate == b.sampleRate && a.channelCount == b.channelCount && a.sampleFormat == b.sampleFormat;
}

void CheckFinite(const std::vector<std::uint8_t>& buffer, std::size_t samples)
{
    for (std::size_t i = 0; i < samples; ++i) {
        float sample;
        std::memcpy(&sample, buffer.data() + i * sizeof(float), sizeof(float));
        if (!std::isfinite(sample))
            Fail("a rendered sample is not finite");
    }
}

} // namespace

void Fail(const char* what)
{
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

HSSWaveFormat FormatOrFail(IHSSWaveDecoder* decoder)
{
    HSSWaveFormat format{};
    if (decoder->GetFormat(&format) != S_OK)
        Fail("GetFormat failed on an open stream");
    const std::uint32_t bytes = BytesPerSample(format);
    if (format.sampleRate == 0 || format.channelCount == 0 || (bytes != 2 && bytes != 4))
        Fail("the stream's format is unusable");
    return format;
}

RenderResult RenderChecked(IHSSWaveDecoder* decoder, const HSSWaveFormat& format, std::uint32_t frames,
                           bool requireFinite)
{
    const std::size_t samples = std::size_t{frames} * format.channelCount;
    const std::size_t blockBytes = samples * BytesPerSample(format);
    std::vector<std::uint8_t> buffer(blockBytes + kCanaryBytes, kCanary);
    RenderResult result{0xDEADu, 0xDEADu};
    if (decoder->Render(buffer.data(), frames, &result.rendered, &result.status) != S_OK)
        Fail("Render failed");
    if (result.rendered > frames)
        Fail("Render reported more frames than asked for");
    for (std::size_t i = blockBytes; i < buffer.size(); ++i)
        if (buffer[i] != kCanary)
            Fail("Render wrote past the block");
    if (!SameFormat(FormatOrFail(decoder), format))
        Fail("the format changed while rendering");
    if (requireFinite && BytesPerSample(format) == 4)
        CheckFinite(buffer, samples);
    return result;
}

} // namespace fuzz
