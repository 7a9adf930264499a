#include "Demo.h"

#include "DemoStems.h"
#include "OutputFile.h"
#include "RenderJob.h"
#include "Text.h"

#include <host/TestAudio.h>

#include <cstdio>
#include <exception>
#include <filesystem>

namespace mtrk {
namespace {

constexpr const char* kMtrk =
    "# The demo's four stems: track name, source file, and on the first line the\n"
    "# decoder choice (* = the built-in Opus and Vorbis decoders first).\n"
    "drums\tdrums.opus\t*\n"
    "bass\tbass.opus\n"
    "pad\tpad.ogg\n"
    "lead\tlead.ogg\n";

constexpr const char* kMchx =
    "# Drums, bass and pad of the demo in one 6-channel Ogg Opus file.\n"
    "channel\t2\n"
    "source\tstems6.opus\n"
    "track\tdrums\t0\t2\n"
    "track\tbass\t1\t5\n"
    "track\tpad\t3\t4\n"
    "volume\tpad\t0.5\n";

constexpr const char* kInlineName = "drums.opus|bass.opus|pad.ogg|lead.ogg|demo-inline.mtrk";

constexpr const char* kTimeline =
    "# The demo's timeline: mtrk-render --timeline demo.timeline demo.mtrk\n"
    "bpm    120\n"
    "meter  4/4\n"
    "\n"
    "# Drums and bass from the start; the pad fades in over the first two bars.\n"
    "0      mask   pad,lead  0\n"
    "0      mask   pad       1   4000\n"
    "# Armed in the middle of bar 4: the lead comes in on the next bar line (5:1).\n"
    "4:2.5  delay  next-bar  lead  1\n"
    "# Everything fades out over the last two bars.\n"
    "7:1    mask   *         0   4000\n";

bool WriteText(const std::filesystem::path& path, const std::string& text, std::string& error)
{
    OutputFile file;
    return file.Open(path, error) && file.Write(text.data(), text.size(), error) && file.Commit(error);
}

bool WriteAudio(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes, std::string& error)
{
    if (testaudio::WriteFile(path, bytes))
        return true;
    error = Join("cannot write ", path.string());
    return false;
}

// Six channels in the Opus 5.1 order (L C R Ls Rs LFE): drums on L and R,
// bass on C and LFE, pad on Ls and Rs.
std::vector<float> SixChannels(const std::vector<float>& drums, const std::vector<float>& bass,
                               const std::vector<float>& pad)
{
    std::vector<float> out(demo::kFrames * 6);
    for (std::uint64_t n = 0; n < demo::kFrames; ++n) {
        const float row[6] = {drums[2 * n], bass[2 * n], drums[2 * n + 1], pad[2 * n], pad[2 * n + 1], bass[2 * n]};
        std::copy(row, row + 6, out.begin() + static_cast<std::ptrdiff_t>(n * 6));
    }
    return out;
}

bool WriteDemoSet(const std::filesystem::path& folder, std::string& error)
{
    std::error_code created;
    std::filesystem::create_directories(folder, created);
    if (created) {
        error = Join("cannot create ", folder.string(), ": ", created.message());
        return false;
    }
    const auto drums = demo::Drums();
    const auto bass = demo::Bass();
    const auto pad = demo::Pad();
    return WriteAudio(folder / "drums.opus", testaudio::EncodeOpus(drums, 2, demo::kRate), error) &&
           WriteAudio(folder / "bass.opus", testaudio::EncodeOpus(bass, 2, demo::kRate), error) &&
           WriteAudio(folder / "pad.ogg", testaudio::EncodeVorbis(pad, 2, demo::kRate), error) &&
           WriteAudio(folder / "lead.ogg", testaudio::EncodeVorbis(demo::Lead(), 2, demo::kRate), error) &&
           WriteAudio(folder / "stems6.opus", testaudio::EncodeOpus(SixChannels(drums, bass, pad), 6, demo::kRate), error) &&
           WriteText(folder / "demo.mtrk", kMtrk, error) && WriteText(folder / "demo.mchx", kMchx, error) &&
           WriteText(folder / "inline-name.txt", Join(kInlineName, "\n"), error) &&
           WriteText(folder / "demo.timeline", kTimeline, error);
}

} // namespace

int RunDemo(const Options& options, const std::string& program, const std::atomic<bool>* stop)
{
    const std::filesystem::path folder = options.demoFolder;
    std::string error;
    try {
        if (!WriteDemoSet(folder, error))
            return Fail(kExitFailed, error);
    } catch (const std::exception& e) {
        return Fail(kExitFailed, Join("cannot make the demo's audio: ", e.what()));
    }
    Options render = options;
    render.mode = Mode::Render;
    render.lists = {(folder / "demo.mtrk").string()};
    render.timeline = (folder / "demo.timeline").string();
    render.output = (folder / "demo.wav").string();
    render.plot = (folder / "demo.svg").string();
    const int code = RunRender(render, stop);
    if (code != kExitOk)
        return code;
    const std::string dir = folder.string();
    const char* tool = program.c_str();
    std::printf("\nThe demo is in %s/: listen to demo.wav, look at demo.svg. Then try:\n", dir.c_str());
    std::printf("  %s --check %s/demo.mtrk %s/demo.mchx '%s/%s'\n", tool, dir.c_str(), dir.c_str(), dir.c_str(), kInlineName);
    std::printf("  %s %s/demo.mchx -o mchx.wav --timeline %s/demo.timeline --plot mchx.svg\n", tool, dir.c_str(), dir.c_str());
    std::printf("  %s %s/demo.mtrk -o quieter-opus.wav --opt -opus_gain=-6 --pcm16\n", tool, dir.c_str());
    return kExitOk;
}

} // namespace mtrk
