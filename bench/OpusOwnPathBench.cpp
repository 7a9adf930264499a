// Decodes one 20-second 8-channel Ogg Opus file (mapping family 1) held in
// memory through the plug-in's Opus decoder twice in the same run: once on
// the opusfile path and once on the plug-in's own reader, both from open to
// the last frame through the decoder interface.
//
//   build/release/bench/vy_bench_opus_own_path --benchmark_repetitions=5
//
// The ratio of the two medians (own reader ÷ opusfile) is the own reader's
// cost; it is meant to stay at or below 1.03.
#include "RenderToEnd.h"

#include <decoders/Over8chSupportOpusDecoder.h>

#include <host/MemoryStorageProvider.h>
#include <host/TestAudio.h>

#include <benchmark/benchmark.h>

#include <vector>

namespace {

constexpr std::uint32_t kChannels = 8;
constexpr std::uint32_t kBlockFrames = 4096;

const std::vector<std::uint8_t>& TwentySecondsOfEightChannels()
{
    static const std::vector<std::uint8_t> bytes = [] {
        testaudio::SignalSpec shape = testaudio::DistinctTones(kChannels, 20ull * 48000);
        // Music-like density: noise under every other channel's tone.
        for (std::uint32_t c = 1; c < kChannels; c += 2)
            shape.channels[c] = {testaudio::Waveform::Noise, 0.0, 0.2f, c};
        shape.channels[kChannels - 1].frequency = 60.0; // the LFE channel
        testaudio::OpusOptions options;
        options.mappingFamily = 1;
        return testaudio::EncodeOpus(testaudio::Synthesize(shape), kChannels, 48000, options);
    }();
    return bytes;
}

void DecodeWholeFile(benchmark::State& state, OpusDecodingPath path)
{
    host::MemoryStorageProvider* provider = host::MemoryStorageProvider::Create();
    provider->Add(u"music.opus", TwentySecondsOfEightChannels());
    std::vector<float> block(static_cast<std::size_t>(kBlockFrames) * kChannels);
    std::uint64_t frames = 0;
    for (auto _ : state) {
        IStream* stream = nullptr;
        if (FAILED(provider->OpenStreamForRead(u"music.opus", &stream))) {
            state.SkipWithError("no stream");
            break;
        }
        auto* decoder = new Over8chSupportOpusDecoder(path);
        const bool opened = decoder->AttachStream(stream, u"music.opus");
        stream->Release();
        if (!opened) {
            decoder->Release();
            state.SkipWithError("the decoder did not open the file");
            break;
        }
        frames += RenderToEnd(decoder, block, kBlockFrames);
        decoder->Release();
    }
    state.counters["frames"] = static_cast<double>(frames) / static_cast<double>(state.iterations());
    provider->Release();
}

void OpusfilePath(benchmark::State& state)
{
    DecodeWholeFile(state, OpusDecodingPath::Automatic);
}

void OwnReaderPath(benchmark::State& state)
{
    DecodeWholeFile(state, OpusDecodingPath::OwnReader);
}

} // namespace

BENCHMARK(OpusfilePath)->Unit(benchmark::kMillisecond);
BENCHMARK(OwnReaderPath)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
