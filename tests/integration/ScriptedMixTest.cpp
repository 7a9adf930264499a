// A scripted mix end to end, as a game would drive it: the host renders a
// three-track list block by block; when the stream opens, the script's open
// callback mutes the lead and arms a change for the next bar line (lead in,
// drums out); later the script fades drums and bass to half. Every rendered
// frame is checked against the mix the kernels define.
#include "ScriptTestSupport.h"

namespace scripttest {
namespace {

// Half-second bars at 48 kHz; the stems last four bars.
constexpr std::uint32_t kBarFrames = kRate / 2;
constexpr std::uint32_t kStemFrames = 4 * kBarFrames;
// Blocks that never line up with a bar line.
constexpr std::uint32_t kBlock = 1234;
// The fade: 250 ms, so 12000 frames at 48 kHz.
constexpr int kFadeMs = 250;
constexpr std::uint32_t kFadeFrames = kRate / 4;

// Gain of a ramp from `from` to `to` over `length` frames at frame k of it,
// as the kernels work it out: ((to − from) × k) ÷ length + from, then `to`.
float Ramp(float from, float to, std::uint32_t length, std::uint32_t k)
{
    if (k >= length)
        return to;
    return ((to - from) * static_cast<float>(k)) / static_cast<float>(length) + from;
}

class ScriptedMixTest : public ScriptFaceTest {};

TEST_F(ScriptedMixTest, ABarLineSwitchAndAFadeLandOnTheirFrames)
{
    ASSERT_EQ(Link(), S_OK);
    WriteThreeTrackList(u"Battle.mtrk", kStemFrames);

    // The script's open callback: the lead waits for the next bar line.
    const host::ScriptObject callbacks(script.Get(u"multiTrackOpenCallbacks").value);
    int opened = 0;
    ASSERT_EQ(callbacks.Push(host::Function([&](const host::CallArgs& args) {
        ++opened;
        EXPECT_EQ(args[2].AsInteger(), 3);
        const host::Variant id = args[0];
        EXPECT_EQ(script.Call(u"setMultiTrackMask", {id, u"lead", 0.0}).code, 0);
        const host::Variant barLines =
            host::Array({static_cast<int>(kBarFrames), static_cast<int>(2 * kBarFrames)});
        const auto armed = script.Call(u"setDelayMultiTrackMask",
                                       {id, barLines, host::Array({u"lead", 1.0, u"drums", 0.0})});
        EXPECT_EQ(armed.code, 0);
        return true;
    })),
              0);
    IHSSWaveDecoder* decoder = Open(u"Battle.mtrk");
    ASSERT_NE(decoder, nullptr);
    ASSERT_EQ(opened, 1);

    // Render up to the first block past 1.5 bars, then the script fades.
    Samples out;
    while (out.size() < kBarFrames + kBarFrames / 2) {
        const Samples block = Render(decoder, kBlock, kBlock);
        ASSERT_EQ(block.size(), kBlock);
        out.insert(out.end(), block.begin(), block.end());
    }
    const std::uint32_t fadeStart = static_cast<std::uint32_t>(out.size());
    ASSERT_EQ(script
                  .Call(u"setMultiTrackMask",
                        {u"battle.mtrk", host::Array({u"Drums", u"Bass"}), 0.5, kFadeMs})
                  .code,
              0);
    while (out.size() < kStemFrames) {
        const Samples block = Render(decoder, kBlock, kBlock);
        ASSERT_FALSE(block.empty());
        out.insert(out.end(), block.begin(), block.end());
    }
    ASSERT_EQ(out.size(), kStemFrames);

    std::size_t wrong = 0;
    for (std::uint32_t f = 0; f < kStemFrames; ++f) {
        float drums = 1.0f;
        float bass = 1.0f;
        float lead = 0.0f;
        if (f >= kBarFrames) {
            drums = 0.0f;
            lead = 1.0f;
        }
        if (f >= fadeStart) {
            drums = Ramp(0.0f, 0.5f, kFadeFrames, f - fadeStart);
            bass = Ramp(1.0f, 0.5f, kFadeFrames, f - fadeStart);
        }
        if (out[f] != Mix(drums, bass, lead) && ++wrong < 5)
            ADD_FAILURE() << "frame " << f << ": " << out[f] << ", expected "
                          << Mix(drums, bass, lead);
    }
    EXPECT_EQ(wrong, 0u);
    EXPECT_EQ(decoder->Release(), 0u);
}

} // namespace
} // namespace scripttest
