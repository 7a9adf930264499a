// Writes the benchmark stems into a folder for tools outside this build:
// stem1.opus .. stem8.opus and stem1.ogg .. stem8.ogg, and the lists
// opus.mtrk and vorbis.mtrk that play each set with every track at full
// gain through the built-in decoders; and in DIR/variety a few files that
// take other paths through the codecs (SILK and hybrid Opus, surround,
// Vorbis at other rates and qualities, hence other block sizes).
//
//   vy_bench_stems DIR [SECONDS]     (stems of 60 s unless SECONDS says)
#include "BenchStems.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

void Write(const std::filesystem::path& path, const void* data, std::size_t size)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
    out.close();
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
}

void WriteSet(const std::filesystem::path& folder, std::uint64_t frames, const char* extension, const char* list,
              std::vector<std::uint8_t> (*encode)(const std::vector<float>&))
{
    std::string text = "# The benchmark stems, every track at full gain.\n";
    for (int s = 0; s < bench::kStems; ++s) {
        const std::string name = "stem" + std::to_string(s + 1);
        const std::string file = name + extension;
        testaudio::SignalSpec shape = bench::StemShape(s);
        shape.frames = frames;
        const std::vector<std::uint8_t> bytes = encode(testaudio::Synthesize(shape));
        Write(folder / file, bytes.data(), bytes.size());
        text.append(name).append("\t").append(file).append(s == 0 ? "\t*\n" : "\n");
    }
    Write(folder / list, text.data(), text.size());
}

// 4 s at `rate`, `channels` wide: noise on the first channel, tones that
// tell the others apart.
std::vector<float> VarietySignal(std::uint32_t channels, std::uint32_t rate)
{
    testaudio::SignalSpec shape = testaudio::DistinctTones(channels, 4ull * rate, rate);
    shape.channels[0] = {testaudio::Waveform::Noise, 0, 0.2f, 7};
    return testaudio::Synthesize(shape);
}

void WriteVariety(const std::filesystem::path& folder)
{
    std::filesystem::create_directories(folder);
    struct OpusCase {
        const char* name;
        std::uint32_t channels;
        int bitrate;
    };
    for (const OpusCase& c : {OpusCase{"silk-mono.opus", 1, 8000}, OpusCase{"hybrid-stereo.opus", 2, 24000},
                              OpusCase{"surround.opus", 6, 0}}) {
        testaudio::OpusOptions options;
        options.bitrate = c.bitrate;
        const auto bytes = testaudio::EncodeOpus(VarietySignal(c.channels, 48000), c.channels, 48000, options);
        Write(folder / c.name, bytes.data(), bytes.size());
    }
    struct VorbisCase {
        const char* name;
        std::uint32_t channels;
        std::uint32_t rate;
        float quality;
    };
    for (const VorbisCase& c : {VorbisCase{"low-mono-22k.ogg", 1, 22050, -0.1f},
                                VorbisCase{"narrow-8k.ogg", 1, 8000, 0.0f},
                                VorbisCase{"surround-44k.ogg", 6, 44100, 0.9f}}) {
        testaudio::VorbisOptions options;
        options.quality = c.quality;
        const auto bytes = testaudio::EncodeVorbis(VarietySignal(c.channels, c.rate), c.channels, c.rate, options);
        Write(folder / c.name, bytes.data(), bytes.size());
    }
}

} // namespace

int main(int argc, char** argv)
{
    const long seconds = argc == 3 ? std::strtol(argv[2], nullptr, 10) : 60;
    if (argc < 2 || argc > 3 || seconds < 1 || seconds > 3600) {
        std::fprintf(stderr, "usage: vy_bench_stems DIR [SECONDS (1..3600)]\n");
        return 2;
    }
    try {
        const std::filesystem::path folder = argv[1];
        const std::uint64_t frames = static_cast<std::uint64_t>(seconds) * 48000;
        std::filesystem::create_directories(folder);
        WriteSet(folder, frames, ".opus", "opus.mtrk",
                 [](const std::vector<float>& samples) { return testaudio::EncodeOpus(samples, 2, 48000); });
        WriteSet(folder, frames, ".ogg", "vorbis.mtrk",
                 [](const std::vector<float>& samples) { return testaudio::EncodeVorbis(samples, 2, 48000); });
        WriteVariety(folder / "variety");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "vy_bench_stems: %s\n", e.what());
        return 1;
    }
    return 0;
}
