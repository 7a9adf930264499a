// vy_make_demo <folder>: writes the demo's stems into <folder>: three
// seconds of drums (noise bursts), bass and pads as Ogg Opus and Ogg Vorbis.
// Existing files are replaced; on failure nothing partial is left behind.
#include <host/TestAudio.h>

#include <cstdio>
#include <exception>
#include <filesystem>

namespace {

constexpr std::uint32_t kRate = 48000;
constexpr std::uint64_t kFrames = 3 * kRate;

testaudio::SignalSpec Stereo(testaudio::ChannelSignal left, testaudio::ChannelSignal right)
{
    testaudio::SignalSpec shape;
    shape.sampleRate = kRate;
    shape.frames = kFrames;
    shape.channels = {left, right};
    return shape;
}

bool Write(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes)
{
    if (testaudio::WriteFile(path, bytes))
        return true;
    std::fprintf(stderr, "vy_make_demo: cannot write %s\n", path.string().c_str());
    return false;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: vy_make_demo <output folder>\n");
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    try {
        std::filesystem::create_directories(folder);
        testaudio::SignalSpec drums = Stereo({testaudio::Waveform::Noise, 0, 0.05f, 3},
                                             {testaudio::Waveform::Noise, 0, 0.05f, 4});
        for (std::uint64_t beat = 0; beat < kFrames; beat += kRate / 2)
            drums.clicks.push_back({beat, 0.8f});
        const auto bass = Stereo({testaudio::Waveform::Sine, 55.0, 0.4f, 1}, {testaudio::Waveform::Sine, 55.0, 0.4f, 1});
        const auto pads = Stereo({testaudio::Waveform::Sine, 440.0, 0.2f, 1}, {testaudio::Waveform::Sine, 554.37, 0.2f, 1});
        const bool ok = Write(folder / "drums.opus", testaudio::EncodeOpus(testaudio::Synthesize(drums), 2, kRate)) &&
                        Write(folder / "bass.opus", testaudio::EncodeOpus(testaudio::Synthesize(bass), 2, kRate)) &&
                        Write(folder / "pads.ogg", testaudio::EncodeVorbis(testaudio::Synthesize(pads), 2, kRate));
        return ok ? 0 : 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "vy_make_demo: %s\n", e.what());
        return 1;
    }
}
