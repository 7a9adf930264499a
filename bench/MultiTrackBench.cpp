// Eight stereo 60-second stems (Ogg Opus, and Ogg Vorbis) held in memory,
// played as one ".mtrk" through the multi-track decoder in 4096-frame
// blocks, against decoding the same eight stems in the same 4096-frame
// lockstep with opusfile or vorbisfile alone (no mixing, no copying). All
// run in one process, interleaved so that drift weighs on both sides:
//
//   build/release/bench/vy_bench_multitrack --benchmark_repetitions=9
//       --benchmark_enable_random_interleaving=true --benchmark_report_aggregates_only=true
//   (one command line)
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
#include <vorbis/vorbisfile.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

constexpr std::uint32_t kBlockFrames = 4096;
using bench::kStems;

enum class Format { Opus, Vorbis };

const std::vector<std::vector<std::uint8_t>>& Stems(Format format)
{
    static const auto encode = [](Format f) {
        std::vector<std::vector<std::uint8_t>> out;
        for (int s = 0; s < kStems; ++s) {
            const std::vector<float> samples = testaudio::Synthesize(bench::StemShape(s));
            out.push_back(f == Format::Opus ? testaudio::EncodeOpus(samples, 2, 48000)
                                            : testaudio::EncodeVorbis(samples, 2, 48000));
        }
        return out;
    };
    static const std::vector<std::vector<std::uint8_t>> opus = encode(Format::Opus);
    static const std::vector<std::vector<std::uint8_t>> vorbis = encode(Format::Vorbis);
    return format == Format::Opus ? opus : vorbis;
}

std::u16string StemName(int stem, Format format)
{
    std::u16string name = u"stem";
    name.push_back(static_cast<char16_t>(u'0' + stem));
    return name.append(format == Format::Opus ? u".opus" : u".ogg");
}

std::u16string InlineList(Format format)
{
    std::u16string url;
    for (int s = 0; s < kStems; ++s)
        url.append(StemName(s, format)).append(u"|");
    return url.append(u"bench.mtrk");
}

void MultiTrackList(benchmark::State& state, Format format)
{
    host::MemoryStorageProvider* provider = host::MemoryStorageProvider::Create();
    for (int s = 0; s < kStems; ++s)
        provider->Add(StemName(s, format), Stems(format)[s]);
    TheProcessState().KeepStorageProvider(provider);
    IHSSModule* module = new MultiTrackModule(provider, false);
    const std::u16string url = InlineList(format);
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

int ReadBlock(OggVorbis_File* file, float* block)
{
    int done = 0;
    int section = 0;
    while (done < static_cast<int>(kBlockFrames)) {
        float** planes = nullptr;
        const long n = ov_read_float(file, &planes, static_cast<int>(kBlockFrames) - done, &section);
        if (n <= 0)
            break;
        benchmark::DoNotOptimize(planes);
        done += static_cast<int>(n);
    }
    benchmark::DoNotOptimize(block);
    return done;
}

// Decodes all stems block by block until the longest ends.
template <typename File> std::uint64_t Lockstep(const std::vector<File*>& files, float* block)
{
    std::uint64_t frames = 0;
    for (;;) {
        int longest = 0;
        for (File* file : files)
            longest = std::max(longest, ReadBlock(file, block));
        benchmark::DoNotOptimize(block);
        frames += static_cast<std::uint64_t>(longest);
        if (longest < static_cast<int>(kBlockFrames))
            return frames;
    }
}

void OpusfileLockstep(benchmark::State& state)
{
    std::vector<float> block(kBlockFrames * 2);
    std::uint64_t frames = 0;
    for (auto _ : state) {
        std::vector<OggOpusFile*> files;
        for (const auto& stem : Stems(Format::Opus))
            files.push_back(op_open_memory(stem.data(), stem.size(), nullptr));
        frames += Lockstep(files, block.data());
        for (OggOpusFile* file : files)
            op_free(file);
    }
    state.counters["frames"] = static_cast<double>(frames) / static_cast<double>(state.iterations());
}

// vorbisfile reads from memory through callbacks over this cursor.
struct MemoryCursor {
    const std::vector<std::uint8_t>* bytes;
    std::size_t at = 0;
};

std::size_t ReadMemory(void* into, std::size_t size, std::size_t count, void* source)
{
    auto* cursor = static_cast<MemoryCursor*>(source);
    const std::size_t n = std::min(size * count, cursor->bytes->size() - cursor->at);
    std::copy_n(cursor->bytes->data() + cursor->at, n, static_cast<std::uint8_t*>(into));
    cursor->at += n;
    return size == 0 ? 0 : n / size;
}

void VorbisfileLockstep(benchmark::State& state)
{
    std::vector<float> block(kBlockFrames * 2);
    std::uint64_t frames = 0;
    const ov_callbacks callbacks{ReadMemory, nullptr, nullptr, nullptr};
    for (auto _ : state) {
        std::vector<MemoryCursor> cursors;
        for (const auto& stem : Stems(Format::Vorbis))
            cursors.push_back({&stem});
        std::vector<OggVorbis_File> states(cursors.size());
        std::vector<OggVorbis_File*> files;
        for (std::size_t s = 0; s < cursors.size(); ++s)
            if (ov_open_callbacks(&cursors[s], &states[s], nullptr, 0, callbacks) == 0)
                files.push_back(&states[s]);
        frames += Lockstep(files, block.data());
        for (OggVorbis_File* file : files)
            ov_clear(file);
    }
    state.counters["frames"] = static_cast<double>(frames) / static_cast<double>(state.iterations());
}

} // namespace

BENCHMARK(OpusfileLockstep)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(MultiTrackList, opus, Format::Opus)->Unit(benchmark::kMillisecond);
BENCHMARK(VorbisfileLockstep)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(MultiTrackList, vorbis, Format::Vorbis)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    Stems(Format::Opus); // encode before anything is timed
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
