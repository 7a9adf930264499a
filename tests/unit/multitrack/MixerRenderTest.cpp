// Rendering through both mixers: exact mixed values from scripted sources,
// short and failing sources, ramps across calls, seeking and closing.
#include "MultiTrackTestSupport.h"

#include <multitrack/MixScratch.h>
#include <multitrack/RenderMixerBunch.h>
#include <multitrack/RenderMixerGather.h>

#include <tuple>

namespace {

using mttest::FakeSourceSetup;

// A constant signal.
std::function<float(std::uint64_t, std::uint32_t)> Dc(float value)
{
    return [value](std::uint64_t, std::uint32_t) { return value; };
}

// Sample (frame, channel) = 1 + 10 × channel + 1000 × frame: every value
// tells where it came from, and all stay exact in float.
float Counting(std::uint64_t frame, std::uint32_t channel)
{
    return 1.0f + 10.0f * static_cast<float>(channel) + 1000.0f * static_cast<float>(frame);
}

TrackGainState Gain(float gain) { return TrackGainState{gain, 0.0f, 0.0f, 0, 0}; }
TrackGainState Ramp(float from, float to, std::uint32_t length) { return TrackGainState{from, from, to, 0, length}; }

// One rendered block: the frames the mixer reported and the output, which
// started as `channels` × `frames` copies of `sentinel` (the sized output
// shows overruns under the sanitizers).
struct Block {
    std::uint32_t frames;
    std::vector<float> samples;
};

Block RenderBlock(RenderMixerInterface& mixer, std::uint32_t channels, std::uint32_t frames,
                  std::vector<TrackGainState>& states, float sentinel = 0.0f)
{
    Block block{0, std::vector<float>(std::size_t{channels} * frames, sentinel)};
    block.frames = mixer.Render(block.samples.data(), frames, states);
    return block;
}

class MixerRenderTest : public mttest::MultiTrackTest {
protected:
    void Load(RenderMixerInterface& mixer, const std::u16string& list, std::string_view text)
    {
        AddFile(list, text);
        TrackListInfo info;
        ASSERT_TRUE(mixer.Load(provider, list.c_str(), info)) << vytext::ToUtf8(info.errorMessage);
    }
    // Loads a ".mtrk" list of one track per setup, "t0.fake", "t1.fake", ...
    void LoadBunch(const std::vector<FakeSourceSetup>& setups)
    {
        std::string text;
        for (std::size_t i = 0; i < setups.size(); ++i) {
            AddSource(u"t" + vytext::ToUtf16(std::to_string(i)) + u".fake", setups[i]);
            text.append("track\tt").append(std::to_string(i)).append(".fake\n");
        }
        Load(bunch, u"list.mtrk", text);
    }
    // Loads a ".mchx" list over one source with `setup` (by default four
    // channels counting); `statements` are the "channel" and "track" lines.
    void LoadGather(std::string_view statements, FakeSourceSetup setup = CountingSource(4))
    {
        AddSource(u"src.fake", setup);
        Load(gather, u"list.mchx", std::string("source\tsrc.fake\n").append(statements));
    }
    static FakeSourceSetup CountingSource(std::uint32_t channels)
    {
        FakeSourceSetup setup;
        setup.channels = channels;
        setup.signal = Counting;
        return setup;
    }
    mttest::FakeSource* Source() const { return module->Opened(u"src.fake"); }

    RenderMixerBunch bunch;
    RenderMixerGather gather;
};

// --- layered mix (".mtrk") -------------------------------------------------

TEST_F(MixerRenderTest, TracksAddWithTheirGainsSixteenBitScalesAndShorterSourcesLeaveTheRest)
{
    FakeSourceSetup ones;
    ones.signal = Dc(1.0f);
    LoadBunch({ones, ones});
    std::vector<TrackGainState> states{Gain(0.5f), Gain(1.0f)};
    const Block block = RenderBlock(bunch, 2, 64, states);
    EXPECT_EQ(block.frames, 64u);
    EXPECT_EQ(block.samples, std::vector<float>(2 * 64, 1.5f));

    FakeSourceSetup low;
    low.isFloat = false;
    low.channels = 1;
    low.signal = Dc(-32768.0f);
    FakeSourceSetup high = low;
    high.signal = Dc(32767.0f);
    LoadBunch({low, high});
    const std::tuple<float, float, float> gainsAndSums[] = {
        {1.0f, 0.0f, -1.0f}, {0.0f, 1.0f, 0.999969482421875f}, {1.0f, 1.0f, -3.0517578125e-05f}, {0.5f, 0.0f, -0.5f}};
    for (const auto& [lowGain, highGain, expected] : gainsAndSums) {
        states = {Gain(lowGain), Gain(highGain)};
        const Block mixed = RenderBlock(bunch, 1, 8, states);
        EXPECT_EQ(mixed.frames, 8u);
        EXPECT_EQ(mixed.samples, std::vector<float>(8, expected)) << lowGain << " and " << highGain;
    }

    // A shorter source leaves the rest to the others.
    FakeSourceSetup first;
    first.signal = Counting;
    first.endsAt = 100;
    FakeSourceSetup second;
    second.signal = [](std::uint64_t frame, std::uint32_t channel) { return Counting(frame, channel) - 0.75f; };
    second.endsAt = 60;
    LoadBunch({first, second});
    states = {Gain(1.0f), Gain(1.0f)};
    const Block shorter = RenderBlock(bunch, 2, 128, states, 0.5f); // 0.5: what nobody touched
    EXPECT_EQ(shorter.frames, 100u);
    std::vector<float> expected(2 * 128, 0.5f);
    for (std::uint32_t i = 0; i < 2 * 100; ++i)
        expected[i] += first.signal(i / 2, i % 2) + (i < 2 * 60 ? second.signal(i / 2, i % 2) : 0.0f);
    EXPECT_EQ(shorter.samples, expected);
    EXPECT_EQ(RenderBlock(bunch, 2, 128, states).frames, 0u) << "both at their end";
}

// A failing source adds nothing and is not counted; its ramp stands still
// and resumes at its next successful call.
TEST_F(MixerRenderTest, RampOfAFailingSourceResumesAtItsNextSuccessfulCall)
{
    FakeSourceSetup ramped;
    ramped.channels = 1;
    ramped.signal = Dc(1.0f);
    ramped.failingCalls = {1, 4};
    FakeSourceSetup steady = ramped;
    steady.failingCalls = {4};
    LoadBunch({ramped, steady});
    std::vector<TrackGainState> states{Ramp(0.0f, 1.0f, 8), Gain(0.0f)};
    const std::vector<std::vector<float>> expected = {
        {0.0f, 0.125f, 0.25f, 0.375f}, {0.0f, 0.0f, 0.0f, 0.0f}, {0.5f, 0.625f, 0.75f, 0.875f}, {1.0f, 1.0f, 1.0f, 1.0f}};
    for (const std::vector<float>& samples : expected) {
        const Block block = RenderBlock(bunch, 1, 4, states);
        EXPECT_EQ(block.frames, 4u) << "the steady track";
        EXPECT_EQ(block.samples, samples);
    }
    EXPECT_EQ(states[0].rampLength, 0u);
    const Block failed = RenderBlock(bunch, 1, 4, states);
    EXPECT_EQ(failed.frames, 0u) << "both failing";
    EXPECT_EQ(failed.samples, std::vector<float>(4, 0.0f));
}

TEST_F(MixerRenderTest, SourceClaimingMoreFramesThanAskedIsHeldToTheBlock)
{
    FakeSourceSetup bunchSetup;
    bunchSetup.signal = Dc(1.0f);
    bunchSetup.overstatedFrames = 5000;
    LoadBunch({bunchSetup});
    std::vector<TrackGainState> states{Gain(1.0f)};
    const Block block = RenderBlock(bunch, 2, 10, states);
    EXPECT_EQ(block.frames, 10u);
    EXPECT_EQ(block.samples, std::vector<float>(2 * 10, 1.0f));

    FakeSourceSetup gatherSetup = CountingSource(4);
    gatherSetup.overstatedFrames = 10000;
    LoadGather("channel\t3\ntrack\tt\t0\t1\t2\n", gatherSetup);
    const Block gathered = RenderBlock(gather, 3, 4, states);
    EXPECT_EQ(gathered.frames, 4u);
    EXPECT_EQ(gathered.samples[3 * 3 + 2], 3021.0f);
}

TEST_F(MixerRenderTest, BunchSeeksEverySourceInTrackOrderAndNothingAfterClose)
{
    std::vector<std::pair<int, std::uint64_t>> seeks;
    std::vector<FakeSourceSetup> setups(3);
    for (int i = 0; i < 3; ++i)
        setups[i].onSetPosition = [&seeks, i](std::uint64_t sample) { seeks.emplace_back(i, sample); };
    LoadBunch(setups);
    EXPECT_TRUE(bunch.SetPosition(480));
    EXPECT_TRUE(bunch.SetPosition(1u << 20)); // past their end: refused, still true
    EXPECT_EQ(seeks, (std::vector<std::pair<int, std::uint64_t>>{{0, 480}, {1, 480}, {2, 480}, {0, 1u << 20},
                                                                   {1, 1u << 20}, {2, 1u << 20}}));
    bunch.Close();
    std::vector<TrackGainState> states(3);
    EXPECT_EQ(RenderBlock(bunch, 2, 4, states).frames, 0u);
    EXPECT_TRUE(bunch.SetPosition(0));
    EXPECT_EQ(module->Opened(u"t0.fake")->renderCalls, 0u);
    EXPECT_EQ(seeks.size(), 6u);
}

TEST_F(MixerRenderTest, NothingRendersAfterAFailedLoad)
{
    // The sources stay held, but their formats never passed the check: the
    // wider one would not fit a scratch buffer sized for the first.
    FakeSourceSetup narrow;
    narrow.channels = 1;
    FakeSourceSetup wide;
    wide.channels = 64;
    AddSource(u"narrow.fake", narrow);
    AddSource(u"wide.fake", wide);
    AddFile(u"bad.mtrk", "n\tnarrow.fake\nw\twide.fake\n");
    LoadBunch({narrow}); // a good load before: one channel
    TrackListInfo info;
    ASSERT_FALSE(bunch.Load(provider, u"bad.mtrk", info));
    std::vector<TrackGainState> states(2);
    EXPECT_EQ(RenderBlock(bunch, 64, 4, states).frames, 0u);
    EXPECT_EQ(module->Opened(u"wide.fake")->renderCalls, 0u);
}

// --- gathered mix (".mchx") -------------------------------------------------

// Tracks take their source channels in order, -1 adds nothing, and tracks
// sum into the same output channels with their gains.
TEST_F(MixerRenderTest, TracksTakeTheirSourceChannelsAndSum)
{
    LoadGather("channel\t2\ntrack\ta\t3\t1\ntrack\tb\t2\t-1\ntrack\tc\t0\t2\n");
    const auto render = [&](std::vector<TrackGainState> states) {
        const Block block = RenderBlock(gather, 2, 8, states, 0.5f);
        EXPECT_EQ(block.frames, 8u);
        return block.samples;
    };
    const std::vector<float> all = render({Gain(1.0f), Gain(1.0f), Gain(0.5f)});
    const std::vector<float> muted = render({Gain(0.0f), Gain(1.0f), Gain(0.0f)});
    for (std::uint32_t f = 0; f < 8; ++f) {
        const std::uint32_t at = f + 8; // the first render consumed 8 frames
        EXPECT_EQ(all[2 * f], 0.5f + Counting(f, 3) + Counting(f, 2) + Counting(f, 0) * 0.5f) << f;
        EXPECT_EQ(all[2 * f + 1], 0.5f + Counting(f, 1) + Counting(f, 2) * 0.5f) << f;
        EXPECT_EQ(muted[2 * f], 0.5f + Counting(at, 2)) << f;
        EXPECT_EQ(muted[2 * f + 1], 0.5f) << f;
    }
}

TEST_F(MixerRenderTest, GatherWithoutFramesOrSourceCallsNothingAndSeeksItsSource)
{
    LoadGather("channel\t2\ntrack\tt\t0\t1\n");
    std::vector<TrackGainState> states{Ramp(0.0f, 1.0f, 4)};
    EXPECT_EQ(RenderBlock(gather, 2, 0, states).frames, 0u);
    EXPECT_EQ(Source()->renderCalls, 0u);
    EXPECT_EQ(states[0].rampPosition, 0u);
    EXPECT_TRUE(gather.SetPosition(123));
    EXPECT_TRUE(gather.SetPosition(1u << 30)); // refused by the source
    EXPECT_EQ(Source()->positions, (std::vector<std::uint64_t>{123, 1u << 30}));
    gather.Close();
    EXPECT_EQ(RenderBlock(gather, 2, 1, states).frames, 0u);
    EXPECT_TRUE(gather.SetPosition(5));
    EXPECT_EQ(Source()->renderCalls, 0u);
    EXPECT_EQ(Source()->positions.size(), 2u);
}

TEST_F(MixerRenderTest, GatherReturnsWhatTheSourceDelivered)
{
    FakeSourceSetup setup = CountingSource(4);
    setup.endsAt = 5;
    setup.failingCalls = {0};
    LoadGather("channel\t1\ntrack\tt\t0\n", setup);
    std::vector<TrackGainState> states{Ramp(0.0f, 1.0f, 2)};
    const Block failed = RenderBlock(gather, 1, 8, states);
    EXPECT_EQ(failed.frames, 0u);
    EXPECT_EQ(failed.samples, std::vector<float>(8, 0.0f)); // nothing mixed
    EXPECT_EQ(states[0].rampPosition, 0u);
    const Block last = RenderBlock(gather, 1, 8, states);
    EXPECT_EQ(last.frames, 5u);
    EXPECT_EQ(last.samples, (std::vector<float>{0.0f, 1001.0f * 0.5f, 2001.0f, 3001.0f, 4001.0f, 0, 0, 0}));
}

// Output channels past the eighth stay silent; source channel 255 and above
// is unbound, 254 is taken; 16-bit sources are scaled by 2^-15.
TEST_F(MixerRenderTest, OnlyEightSlotsAndSourceChannelsBelow255AreBoundAndSixteenBitIsScaled)
{
    std::vector<TrackGainState> states{Gain(1.0f)};
    LoadGather("channel\t10\ntrack\tt\t11\t10\t9\t8\t7\t6\t5\t4\t3\t2\n", CountingSource(12));
    const Block block = RenderBlock(gather, 10, 1, states);
    ASSERT_EQ(block.frames, 1u);
    for (std::uint32_t i = 0; i < 10; ++i)
        EXPECT_EQ(block.samples[i], i < 8 ? Counting(0, 11 - i) : 0.0f) << i;
    LoadGather("channel\t3\ntrack\tt\t255\t254\t256\n", CountingSource(300));
    EXPECT_EQ(RenderBlock(gather, 3, 1, states).samples, (std::vector<float>{0.0f, Counting(0, 254), 0.0f}));
    FakeSourceSetup sixteen;
    sixteen.isFloat = false;
    sixteen.signal = [](std::uint64_t, std::uint32_t channel) { return channel == 0 ? -32768.0f : 16384.0f; };
    LoadGather("channel\t3\ntrack\tt\t1\t0\t1\n", sixteen);
    EXPECT_EQ(RenderBlock(gather, 3, 2, states).samples, (std::vector<float>{0.5f, -1.0f, 0.5f, 0.5f, -1.0f, 0.5f}));
}

TEST(MixScratchTest, GrowsOnlyAndRefusesWhatCannotBeHeld)
{
    std::vector<std::uint32_t> scratch(1);
    ASSERT_TRUE(GrowScratch(scratch, 64));
    ASSERT_TRUE(GrowScratch(scratch, 8));
    EXPECT_EQ(scratch.size(), 64u);
    // Channel × frame counts beyond 32 bits are not wrapped: they are refused
    // when no vector can hold them, leaving the buffer as it was.
    EXPECT_FALSE(GrowScratch(scratch, std::uint64_t{0xFFFFFFFF} * 0xFFFFFFFF));
    EXPECT_FALSE(GrowScratch(scratch, ~std::uint64_t{0}));
    EXPECT_EQ(scratch.size(), 64u);
}

} // namespace
