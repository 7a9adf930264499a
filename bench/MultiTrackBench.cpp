// Eight stereo 60-second Ogg Opus stems held in memory, played as one
// ".mtrk" through the multi-track decoder in 4096-frame blocks, against
// decoding the same eight stems in the same 4096-frame lockstep with
// opusfile alone (no mixing, no copying). Both run in one process:
//
//   build/release/bench/vy_bench_multitrack --benchmark_repetitions=5
//
// The ratio of the medians is what the decoder's mixing, copying and
// locking add to the decoding itself.
#include <multitrack/decoder/MultiTrackModule.h>
#include <plugin/ProcessState.h>
#include <decoders/BuiltinModules.h>

#include <host/MemoryStorageProvider.h>
#include <host/TestAudio.h>

#include "BenchStems.h"

#include <opus/opusfile.h>

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace {

constexpr std::uint32_t kBlockFrames = 4096;
using bench::kStems;

const std::vector<std::vector<std::uint8_t>>& Stems()
{
    static const std::vector<std::vector<std::uint8_t>> stems = [] {
        std::vector<std::vector<std::uint8_t>> out;
        for (int s = 0; s < kStems; ++s)
            out.push_back(testaudio::EncodeOpus(testaudio::Synthesize(bench::StemShape(s)), 2, 48000));
        return out;
    }();
    return stems;
}

std::u16string InlineList()
{
    std::u16string url;
    for (int s = 0; s < kStems; ++s) {
        url.append(u"stem").push_back(static_cast<char16_t>(u'0' + s));
        url.append(u".opus|");
    }
    return url.append(u"bench.mtrk");
}

void MultiTrackList(benchmark::State& state)
{
    host::MemoryStorageProvider* provider = host::MemoryStorageProvider::Create();
    for (int s = 0; s < kStems; ++s) {
        std::u16string name = u"stem";
        name.push_back(static_cast<char16_t>(u'0' + s));
        provider->Add(name.append(u".opus"), Stems()[s]);
    }
    TheProcessState().KeepStorageProvider(provider);
    IHSSModule* module = new MultiTrackModule(provider, false);
    const std::u16string url = InlineList();
    std::vector<float> block(kBlockFrames * 2);
    std::uint64_t frames = 0;
    for (auto _ : state) {
        IHSSWaveDecoder* decoder = nullptr;
        if (module->OpenMediaInstance(url.c_str(), &decoder) != S_OK) {
            state.SkipWithError("the list does not open");
            break;
        }
        std::uint32_t rendered = 0;
        std::uint32_t status = 1;
        while (status == 1 && decoder->Render(block.data(), kBlockFrames, &rendered, &status) == S_OK)
            frames += rendered;
        benchmark::DoNotOptimize(block.data());
        decoder->Release();
    }
    state.counters["frames"] = static_cast<double>(frames) / static_cast<double>(state.iterations());
    module->Release();
    ReleaseBuiltinModules();
    TheProcessState().ReleaseStorageProvider();
    provider->Release();
}

// Fills one 4096-frame block of one stem, as a source does for the mixer.
int ReadBlock(OggOpusFile* file, float* block)
{
    int done = 0;
    while (done < static_cast<int>(kBlockFrames)) {
        const int n = op_read_float(file, block + done * 2, static_cast<int>(kBlockFrames - done) * 2, nullptr);
        if (n <= 0)
            break;
        done += n;
    }
    return done;
}

void OpusfileLockstep(benchmark::State& state)
{
    std::vector<float> block(kBlockFrames * 2);
    std::uint64_t frames = 0;
    for (auto _ : state) {
        std::vector<OggOpusFile*> files;
        for (const auto& stem : Stems())
            files.push_back(op_open_memory(stem.data(), stem.size(), nullptr));
        for (;;) {
            int longest = 0;
            for (OggOpusFile* file : files)
                longest = std::max(longest, ReadBlock(file, block.data()));
            benchmark::DoNotOptimize(block.data());
            frames += static_cast<std::uint64_t>(longest);
            if (longest < static_cast<int>(kBlockFrames))
                break;
        }
        for (OggOpusFile* file : files)
            op_free(file);
    }
    state.counters["frames"] = static_cast<double>(frames) / static_cast<double>(state.iterations());
}

} // namespace

BENCHMARK(OpusfileLockstep)->Unit(benchmark::kMillisecond);
BENCHMARK(MultiTrackList)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    Stems(); // encode before anything is timed
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
