// The flat multiply-add of the layered mix on stereo float blocks of 256 to
// 8192 frames, three ways over the same data:
//   Layered   - LayeredMix without a ramp: the vectorised kernel as the
//               mixer calls it;
//   PlainLoop - out[i] += in[i] * g written out below and compiled with the
//               same flags, which the compiler may vectorise on its own;
//   Reference - AddScaledReference, compiled with -fno-tree-vectorize
//               (src/CMakeLists.txt), so it really is one sample at a time.
// The 16-bit layered mix and its reference run as well. After the runs a
// table gives, per size, Layered's throughput over PlainLoop's (goal ≥ 0.9)
// and over Reference's (goal ≥ 2), and the kernels' heap allocations per
// block once warmed up (goal 0).
//
//   cmake --preset release && cmake --build --preset release -j2 --target vy_bench_mix_kernels
//   build/release/bench/vy_bench_mix_kernels
//
// Add --benchmark_repetitions=5 for medians.
#include <multitrack/kernels/MixKernels.h>

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <iomanip>
#include <map>
#include <new>
#include <ostream>
#include <random>
#include <sstream>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace {

// Every operator new of this program counts here: the benchmarks read it
// around their timed loops.
std::atomic<std::uint64_t>& Allocations()
{
    static std::atomic<std::uint64_t> count{0};
    return count;
}

constexpr std::uint32_t kChannels = 2;
constexpr float kGain = 0.5f;

// The comparison loop: the obvious way to write the flat mix.
__attribute__((noinline)) void PlainStreamingAdd(float* out, const float* in, std::size_t count,
                                                 float g)
{
    for (std::size_t i = 0; i < count; ++i)
        out[i] += in[i] * g;
}

template <typename Sample> std::vector<Sample> Noise(std::size_t count)
{
    std::mt19937 engine(12345);
    std::vector<Sample> samples(count);
    for (Sample& s : samples) {
        if constexpr (std::is_same_v<Sample, float>)
            s = std::uniform_real_distribution<float>(-1.0f, 1.0f)(engine);
        else
            s = static_cast<Sample>(std::uniform_int_distribution<int>(-32768, 32767)(engine));
    }
    return samples;
}

// Runs mix(out, in, frames) once to warm up, then in the timed loop; counts
// the samples and the allocations made per block.
template <typename Sample, typename Mix> void RunBlocks(benchmark::State& state, Mix&& mix)
{
    const auto frames = static_cast<std::uint32_t>(state.range(0));
    const std::size_t samples = std::size_t{frames} * kChannels;
    const std::vector<Sample> in = Noise<Sample>(samples);
    std::vector<float> out(samples, 0.0f);
    mix(out.data(), in.data(), frames);
    const std::uint64_t allocationsBefore = Allocations().load();
    for (auto _ : state) {
        mix(out.data(), in.data(), frames);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    const std::uint64_t allocations = Allocations().load() - allocationsBefore;
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * samples));
    state.counters["allocs/block"] =
        static_cast<double>(allocations) / static_cast<double>(state.iterations());
}

template <typename Sample> void Layered(benchmark::State& state)
{
    TrackGainState gain;
    gain.gain = kGain;
    RunBlocks<Sample>(state, [&](float* out, const Sample* in, std::uint32_t frames) {
        MixKernels::LayeredMix(out, in, frames, kChannels, gain);
    });
}

template <typename Sample> void Reference(benchmark::State& state)
{
    RunBlocks<Sample>(state, [](float* out, const Sample* in, std::uint32_t frames) {
        MixKernels::AddScaledReference(out, in, std::size_t{frames} * kChannels, kGain);
    });
}

void PlainLoop(benchmark::State& state)
{
    RunBlocks<float>(state, [](float* out, const float* in, std::uint32_t frames) {
        PlainStreamingAdd(out, in, std::size_t{frames} * kChannels, kGain);
    });
}

void Sizes(benchmark::internal::Benchmark* benchmark)
{
    benchmark->RangeMultiplier(2)->Range(256, 8192);
}

BENCHMARK(Layered<float>)->Name("Layered")->Apply(Sizes);
BENCHMARK(PlainLoop)->Apply(Sizes);
BENCHMARK(Reference<float>)->Name("Reference")->Apply(Sizes);
BENCHMARK(Layered<std::int16_t>)->Name("Layered16")->Apply(Sizes);
BENCHMARK(Reference<std::int16_t>)->Name("Reference16")->Apply(Sizes);

// The console report, followed by the ratio table. Times are CPU time per
// block, steadier than wall time on a shared machine; a median (with
// repetitions) wins over single runs.
class RatioReporter final : public benchmark::ConsoleReporter {
public:
    RatioReporter() : ConsoleReporter(OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (run.error_occurred || (run.run_type == Run::RT_Aggregate && !median))
                continue;
            Measure& measure = measures_[{run.run_name.function_name, run.run_name.args}];
            if (median || !measure.median) {
                measure = {run.GetAdjustedCPUTime(), median};
                const auto allocations = run.counters.find("allocs/block");
                double& most = allocations_[run.run_name.function_name];
                if (allocations != run.counters.end() && allocations->second.value > most)
                    most = allocations->second.value;
            }
        }
    }

    void Finalize() override
    {
        std::ostream& out = GetOutputStream();
        out << "\nframes  Layered/PlainLoop  Layered/Reference  Layered16/Reference16\n";
        for (const char* frames : {"256", "512", "1024", "2048", "4096", "8192"}) {
            out << std::setw(6) << frames << std::setw(19) << Ratio("PlainLoop", "Layered", frames)
                << std::setw(19) << Ratio("Reference", "Layered", frames) << std::setw(23)
                << Ratio("Reference16", "Layered16", frames) << '\n';
        }
        out << "goals: Layered/PlainLoop >= 0.90, Layered/Reference >= 2.00\n";
        for (const auto& [name, allocations] : allocations_)
            out << name << ": at most " << allocations << " allocations per block\n";
        ConsoleReporter::Finalize();
    }

private:
    struct Measure {
        double time = 0.0;
        bool median = false;
    };

    // Throughput of `fast` over throughput of `slow` (slow's time over
    // fast's) as text, "-" when one of them did not run.
    std::string Ratio(const std::string& slow, const std::string& fast,
                      const std::string& frames) const
    {
        const auto s = measures_.find({slow, frames});
        const auto f = measures_.find({fast, frames});
        if (s == measures_.end() || f == measures_.end() || f->second.time <= 0.0)
            return "-";
        std::ostringstream text;
        text << std::fixed << std::setprecision(2) << s->second.time / f->second.time;
        return text.str();
    }

    std::map<std::pair<std::string, std::string>, Measure> measures_;
    std::map<std::string, double> allocations_;
};

} // namespace

// The replacements stay out of line: inlined, GCC would see a free() of
// memory that an operator new returned and call the pair mismatched.
__attribute__((noinline)) void* operator new(std::size_t size)
{
    Allocations().fetch_add(1, std::memory_order_relaxed);
    if (void* memory = std::malloc(size == 0 ? 1 : size))
        return memory;
    throw std::bad_alloc();
}

__attribute__((noinline)) void operator delete(void* memory) noexcept
{
    std::free(memory);
}

__attribute__((noinline)) void operator delete(void* memory, std::size_t) noexcept
{
    std::free(memory);
}

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
