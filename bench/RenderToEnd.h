// Renders a decoder to its end, as the host's sound system pulls it, for the
// benchmarks.
#pragma once

#include <vymultitrack/IHSSWaveDecoder.h>

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

// Renders `decoder` in blocks of `blockFrames` frames into `block` (room for
// blockFrames frames of the decoder's channels) until it reports its end or
// fails; the frames rendered.
inline std::uint64_t RenderToEnd(IHSSWaveDecoder* decoder, std::vector<float>& block, std::uint32_t blockFrames)
{
    std::uint64_t frames = 0;
    std::uint32_t rendered = 0;
    std::uint32_t status = 1;
    while (status == 1 && decoder->Render(block.data(), blockFrames, &rendered, &status) == S_OK)
        frames += rendered;
    benchmark::DoNotOptimize(block.data());
    return frames;
}
