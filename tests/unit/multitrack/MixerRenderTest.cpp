// Rendering through both mixers: which tracks and channels they mix with
// which gains, short, failing and overstating sources, seeking and closing.
// What the kernels compute per track is MixKernelsTest's business.
#include "MultiTrackTestSupport.h"

#include <multitrack/MixScratch.h>
#include <multitrack/RenderMixerBunch.h>
#include <multitrack/RenderMixerGather.h>

namespace {

using mttest::Counting;
using mttest::FakeSourceSetup;

TrackGainState Gain(float gain) { return TrackGainState{gain, 0.0f, 0.0f, 0, 0}; }

class MixerRenderTest : public mttest::MultiTrackTest {
protected:
    // Loads a ".mtrk" list of one track per setup, "t0.fake", "t1.fake", ...
    void LoadBunch(const std::vector<FakeSourceSetup>& setups)
    {
        std::string text;
        for (std::size_t i = 0; i < setups.size(); ++i) {
            AddSource(u"t" + vytext::ToUtf16(std::to_string(i)) + u".fake", setups[i]);
            text += "track\tt" + std::to_string(i) + ".fake\n";
        }
        Load(bunch, u"list.mtrk", text);
    }
    // Loads a ".mchx" list over "src.fake"; `statements` are its "channel" and "track" lines.
    void LoadGather(const std::string& statements, const FakeSourceSetup& setup)
    {
        AddSource(u"src.fake", setup);
        Load(gather, u"list.mchx", "source\tsrc.fake\n" + statements);
    }
    void Load(RenderMixerInterface& mixer, const char16_t* list, const std::string& text)
    {
        AddFile(list, text);
        TrackListInfo info;
        ASSERT_TRUE(mixer.Load(provider, list, info)) << vytext::ToUtf8(info.errorMessage);
    }
    // Renders `frames` frames of `channels` into zeros, expecting `produced` of them.
    static std::vector<float> Render(RenderMixerInterface& mixer, std::uint32_t channels, std::uint32_t frames,
                                     std::vector<TrackGainState>& states, std::uint32_t produced)
    {
        std::vector<float> samples(std::size_t{channels} * frames, 0.0f);
        EXPECT_EQ(mixer.Render(samples.data(), frames, states), produced);
        return samples;
    }

    RenderMixerBunch bunch;
    RenderMixerGather gather;
};

// Tracks add with their gains; a shorter source leaves the rest to the
// others, and the block counts as long as the longest; 16-bit sources are
// read as such.
TEST_F(MixerRenderTest, BunchAddsItsTracksWithTheirGains)
{
    LoadBunch({{.endsAt = 100, .dc = 0}, {.endsAt = 60, .dc = 0}});
    std::vector<TrackGainState> states{Gain(1.0f), Gain(0.5f)};
    const std::vector<float> mixed = Render(bunch, 2, 128, states, 100);
    for (std::uint32_t i = 0; i < mixed.size(); ++i) {
        const float one = i < 2 * 100 ? Counting(i / 2, i % 2) : 0.0f;
        ASSERT_EQ(mixed[i], one + (i < 2 * 60 ? one * 0.5f : 0.0f)) << i;
    }
    EXPECT_EQ(Render(bunch, 2, 128, states, 0), std::vector<float>(2 * 128, 0.0f)) << "both at their end";
    LoadBunch({{.channels = 1, .isFloat = false, .dc = -16384}, {.channels = 1, .isFloat = false, .dc = 8192}});
    EXPECT_EQ(Render(bunch, 1, 4, states, 4), std::vector<float>(4, -0.5f + 0.125f));
}

// A failing source adds nothing and is not counted; its ramp stands still
// and resumes at its next successful call.
TEST_F(MixerRenderTest, RampOfAFailingSourceResumesAtItsNextSuccessfulCall)
{
    LoadBunch({{.channels = 1, .failingCalls = {1, 4}}, {.channels = 1, .failingCalls = {4}}});
    std::vector<TrackGainState> states{TrackGainState{0.0f, 0.0f, 1.0f, 0, 8}, Gain(0.0f)};
    for (const std::vector<float>& expected : std::vector<std::vector<float>>{
             {0.0f, 0.125f, 0.25f, 0.375f}, {0, 0, 0, 0}, {0.5f, 0.625f, 0.75f, 0.875f}, {1, 1, 1, 1}})
        EXPECT_EQ(Render(bunch, 1, 4, states, 4), expected);
    EXPECT_EQ(Render(bunch, 1, 4, states, 0), std::vector<float>(4, 0.0f)) << "both failing";
}

// Tracks take their source channels in order, -1 adds nothing, and tracks
// sum into the same output channels with their gains; 16-bit sources are
// read as such.
TEST_F(MixerRenderTest, GatherTakesEachTracksChannelsFromTheSource)
{
    LoadGather("channel\t2\ntrack\ta\t3\t1\ntrack\tb\t2\t-1\ntrack\tc\t0\t2\n", {.channels = 4, .dc = 0});
    std::vector<TrackGainState> states{Gain(1.0f), Gain(1.0f), Gain(0.5f)};
    const std::vector<float> mixed = Render(gather, 2, 8, states, 8);
    for (std::uint32_t f = 0; f < 8; ++f) {
        EXPECT_EQ(mixed[2 * f], Counting(f, 3) + Counting(f, 2) + Counting(f, 0) * 0.5f) << f;
        EXPECT_EQ(mixed[2 * f + 1], Counting(f, 1) + Counting(f, 2) * 0.5f) << f;
    }
    LoadGather("channel\t3\ntrack\tt\t1\t0\t1\n", {.isFloat = false, .dc = -16384});
    EXPECT_EQ(Render(gather, 3, 1, states, 1), std::vector<float>(3, -0.5f));
}

// A failing render mixes nothing and moves no ramp; at the end the frames
// delivered count; no frames ask nothing of the source. A source claiming
// more frames than asked is held to the block, in both mixers.
TEST_F(MixerRenderTest, MixersCountWhatTheSourcesDelivered)
{
    LoadGather("channel\t1\ntrack\tt\t0\n", {.channels = 4, .endsAt = 5, .dc = 0, .failingCalls = {0}});
    std::vector<TrackGainState> states{TrackGainState{0.0f, 0.0f, 1.0f, 0, 2}};
    EXPECT_EQ(Render(gather, 1, 0, states, 0), std::vector<float>{});
    EXPECT_EQ(Render(gather, 1, 8, states, 0), std::vector<float>(8, 0.0f));
    EXPECT_EQ(Render(gather, 1, 8, states, 5), (std::vector<float>{0.0f, 1001.0f * 0.5f, 2001.0f, 3001.0f, 4001.0f, 0, 0, 0}));
    EXPECT_EQ(module->Opened(u"src.fake")->renderCalls, 2u);

    const FakeSourceSetup setup{.overstatedFrames = 5000};
    LoadBunch({setup});
    EXPECT_EQ(Render(bunch, 2, 10, states, 10), std::vector<float>(2 * 10, 1.0f));
    LoadGather("channel\t2\ntrack\tt\t0\t1\n", setup);
    EXPECT_EQ(Render(gather, 2, 10, states, 10), std::vector<float>(2 * 10, 1.0f));
}

// Both mixers seek every source (a refusal still answers true); after
// Close they render and seek nothing.
TEST_F(MixerRenderTest, SeekingReachesEverySourceAndNothingAfterClose)
{
    LoadBunch({{}, {}});
    LoadGather("channel\t2\ntrack\tt\t0\t1\n", {});
    for (RenderMixerInterface* mixer : std::initializer_list<RenderMixerInterface*>{&bunch, &gather}) {
        EXPECT_TRUE(mixer->SetPosition(480));
        EXPECT_TRUE(mixer->SetPosition(1u << 20));
        mixer->Close();
        std::vector<TrackGainState> states(2);
        Render(*mixer, 2, 4, states, 0);
        EXPECT_TRUE(mixer->SetPosition(0));
    }
    for (const char16_t* name : {u"t0.fake", u"t1.fake", u"src.fake"}) {
        EXPECT_EQ(module->Opened(name)->positions, (std::vector<std::uint64_t>{480, 1u << 20})) << vytext::ToUtf8(name);
        EXPECT_EQ(module->Opened(name)->renderCalls, 0u);
    }
}

TEST_F(MixerRenderTest, NothingRendersAfterAFailedLoad)
{
    // The sources stay held, but their formats never passed the check: the
    // wider one would not fit a scratch buffer sized for the first.
    AddSource(u"wide.fake", {.channels = 64});
    LoadBunch({{.channels = 1}}); // a good load before: one channel
    AddFile(u"bad.mtrk", "n\tt0.fake\nw\twide.fake\n");
    TrackListInfo info;
    ASSERT_FALSE(bunch.Load(provider, u"bad.mtrk", info));
    std::vector<TrackGainState> states(2);
    Render(bunch, 64, 4, states, 0);
    EXPECT_EQ(module->Opened(u"wide.fake")->renderCalls, 0u);
}

// Channel × frame counts beyond 32 bits are not wrapped: they are refused
// when no vector can hold them, leaving the buffer as it was.
TEST(MixScratchTest, GrowsOnlyAndRefusesWhatCannotBeHeld)
{
    std::vector<std::uint32_t> scratch(1);
    ASSERT_TRUE(GrowScratch(scratch, 64) && GrowScratch(scratch, 8));
    EXPECT_FALSE(GrowScratch(scratch, std::uint64_t{0xFFFFFFFF} * 0xFFFFFFFF));
    EXPECT_FALSE(GrowScratch(scratch, ~std::uint64_t{0}));
    EXPECT_EQ(scratch.size(), 64u);
}

} // namespace
