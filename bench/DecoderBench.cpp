// Decodes one 60-second stereo Ogg Opus file held in memory, once through
// the plug-in's decoder interface (module → IStream → opusfile → host
// buffer) and once with opusfile alone, in the same run.
//
//   build/release/bench/vy_bench_decoders --benchmark_repetitions=5
//
// The ratio of the two medians is the cost of the plug-in's path.
#include "RenderToEnd.h"

#include <decoders/BuiltinModules.h>
#include <plugin/ProcessState.h>

#include <host/MemoryStorageProvider.h>
#include <host/TestAudio.h>

#include <opus/opusfile.h>

#include <benchmark/benchmark.h>

#include <vector>

namespace {

constexpr std::uint32_t kBlockFrames = 4096;

const std::vector<std::uint8_t>& SixtySecondsOfStereo()
{
    static const std::vector<std::uint8_t> bytes = [] {
        testaudio::SignalSpec shape;
        shape.frames = 60ull * 48000;
        shape.channels = {{testaudio::Waveform::Noise, 0, 0.2f, 1}, {testaudio::Waveform::Sine, 330.0, 0.3f, 1}};
        return testaudio::EncodeOpus(testaudio::Synthesize(shape), 2, 48000);
    }();
    return bytes;
}

void PluginDecoder(benchmark::State& state)
{
    host::MemoryStorageProvider* provider = host::MemoryStorageProvider::Create();
    provider->Add(u"music.opus", SixtySecondsOfStereo());
    TheProcessState().KeepStorageProvider(provider);
    std::vector<float> block(kBlockFrames * 2);
    std::uint64_t frames = 0;
    for (auto _ : state) {
        IHSSWaveDecoder* decoder = OpenBuiltinDecoder(BuiltinDecoderKind::Opus, u"music.opus");
        frames += RenderToEnd(decoder, block, kBlockFrames);
        decoder->Release();
    }
    state.counters["frames"] = static_cast<double>(frames) / static_cast<double>(state.iterations());
    ReleaseBuiltinModules();
    TheProcessState().ReleaseStorageProvider();
    provider->Release();
}

void OpusfileAlone(benchmark::State& state)
{
    const std::vector<std::uint8_t>& bytes = SixtySecondsOfStereo();
    std::vector<float> block(kBlockFrames * 2);
    std::uint64_t frames = 0;
    for (auto _ : state) {
        int error = 0;
        OggOpusFile* file = op_open_memory(bytes.data(), bytes.size(), &error);
        int room = static_cast<int>(block.size());
        float* out = block.data();
        for (;;) {
            const int n = op_read_float(file, out, room, nullptr);
            if (n <= 0)
                break;
            frames += static_cast<std::uint64_t>(n);
            room -= n * 2;
            out += n * 2;
            if (room == 0) {
                room = static_cast<int>(block.size());
                out = block.data();
            }
        }
        benchmark::DoNotOptimize(block.data());
        op_free(file);
    }
    state.counters["frames"] = static_cast<double>(frames) / static_cast<double>(state.iterations());
}

} // namespace

BENCHMARK(OpusfileAlone)->Unit(benchmark::kMillisecond);
BENCHMARK(PluginDecoder)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
