// Rendering through both mixers: exact mixed values from scripted sources,
// short and failing sources, ramps across calls, seeking and closing.
#include "MultiTrackTestSupport.h"

#include "decoders/DecoderTestSupport.h"

#include <multitrack/MixScratch.h>
#include <multitrack/RenderMixerBunch.h>
#include <multitrack/RenderMixerGather.h>

#include <host/TestAudio.h>

namespace {

using mttest::FakeSource;
using mttest::FakeSourceSetup;

// A constant signal.
std::function<float(std::uint64_t, std::uint32_t)> Dc(float value)
{
    return [value](std::uint64_t, std::uint32_t) { return value; };
}

// Sample (frame, channel) = base + 10 × channel + 1000 × frame: every value
// tells where it came from, and all stay exact in float.
std::function<float(std::uint64_t, std::uint32_t)> Counting(float base)
{
    return [base](std::uint64_t frame, std::uint32_t channel) {
        return base + 10.0f * static_cast<float>(channel) + 1000.0f * static_cast<float>(frame);
    };
}

TrackGainState Gain(float gain)
{
    TrackGainState state;
    state.gain = gain;
    return state;
}

TrackGainState Ramp(float from, float to, std::uint32_t length)
{
    TrackGainState state;
    state.gain = from;
    state.rampFrom = from;
    state.rampTo = to;
    state.rampLength = length;
    return state;
}

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
    // Loads a ".mtrk" list of one track per setup, "t0.fake", "t1.fake", ...
    void LoadBunch(const std::vector<FakeSourceSetup>& setups)
    {
        std::string text;
        for (std::size_t i = 0; i < setups.size(); ++i) {
            const std::string name = SourceName(i);
            AddSource(vytext::ToUtf16(name), setups[i]);
            text.append("track\t").append(name).append("\n");
        }
        AddFile(u"list.mtrk", text);
        TrackListInfo info;
        ASSERT_TRUE(bunch.Load(provider, u"list.mtrk", info)) << vytext::ToUtf8(info.errorMessage);
    }
    static std::string SourceName(std::size_t i)
    {
        return std::string("t").append(std::to_string(i)).append(".fake");
    }
    FakeSource* Track(std::size_t i) const
    {
        return module->Opened(vytext::ToUtf16(SourceName(i)));
    }

    // Loads a ".mchx" list over one source with `setup`; `statements` are
    // the "channel" and "track" lines.
    void LoadGather(const FakeSourceSetup& setup, std::string_view statements)
    {
        AddSource(u"src.fake", setup);
        AddFile(u"list.mchx", std::string("source\tsrc.fake\n").append(statements));
        TrackListInfo info;
        ASSERT_TRUE(gather.Load(provider, u"list.mchx", info)) << vytext::ToUtf8(info.errorMessage);
    }
    FakeSource* Source() const { return module->Opened(u"src.fake"); }

    RenderMixerBunch bunch;
    RenderMixerGather gather;
};

// --- layered mix (".mtrk") -------------------------------------------------

TEST_F(MixerRenderTest, FloatTracksAddWithTheirGains)
{
    FakeSourceSetup setup;
    setup.signal = Dc(1.0f);
    LoadBunch({setup, setup});
    std::vector<TrackGainState> states{Gain(0.5f), Gain(1.0f)};
    const Block block = RenderBlock(bunch, 2, 64, states);
    EXPECT_EQ(block.frames, 64u);
    EXPECT_EQ(block.samples, std::vector<float>(2 * 64, 1.5f));
}

TEST_F(MixerRenderTest, SixteenBitSamplesAreScaledByTwoToTheMinusFifteen)
{
    FakeSourceSetup low;
    low.isFloat = false;
    low.channels = 1;
    low.signal = Dc(-32768.0f);
    FakeSourceSetup high = low;
    high.signal = Dc(32767.0f);
    LoadBunch({low, high});
    const auto mixWith = [&](float lowGain, float highGain) {
        std::vector<TrackGainState> states{Gain(lowGain), Gain(highGain)};
        const Block block = RenderBlock(bunch, 1, 8, states);
        EXPECT_EQ(block.frames, 8u);
        return block.samples;
    };
    EXPECT_EQ(mixWith(1.0f, 0.0f), std::vector<float>(8, -1.0f));
    EXPECT_EQ(mixWith(0.0f, 1.0f), std::vector<float>(8, 0.999969482421875f));
    EXPECT_EQ(mixWith(1.0f, 1.0f), std::vector<float>(8, -3.0517578125e-05f));
    EXPECT_EQ(mixWith(0.5f, 0.0f), std::vector<float>(8, -0.5f));
}

TEST_F(MixerRenderTest, ShorterSourceLeavesTheRestToTheOthers)
{
    FakeSourceSetup first;
    first.signal = Counting(1.0f);
    first.endsAt = 100;
    FakeSourceSetup second = first;
    second.signal = Counting(0.25f);
    second.endsAt = 60;
    LoadBunch({first, second});
    std::vector<TrackGainState> states{Gain(1.0f), Gain(1.0f)};
    constexpr float kSentinel = 0.5f; // shows the samples nobody touched
    const Block block = RenderBlock(bunch, 2, 128, states, kSentinel);
    ASSERT_EQ(block.frames, 100u);
    for (std::uint32_t f = 0; f < 128; ++f) {
        for (std::uint32_t c = 0; c < 2; ++c) {
            float expected = kSentinel;
            if (f < 100)
                expected += first.signal(f, c);
            if (f < 60)
                expected += second.signal(f, c);
            ASSERT_EQ(block.samples[f * 2 + c], expected) << "frame " << f << " channel " << c;
        }
    }
    // Both at their end: nothing more.
    EXPECT_EQ(RenderBlock(bunch, 2, 128, states).frames, 0u);
}

TEST_F(MixerRenderTest, RampOfAFailingSourceResumesAtItsNextSuccessfulCall)
{
    FakeSourceSetup ramped;
    ramped.channels = 1;
    ramped.signal = Dc(1.0f);
    ramped.failingCalls = {1};
    FakeSourceSetup steady = ramped;
    steady.failingCalls = {};
    LoadBunch({ramped, steady});
    std::vector<TrackGainState> states{Ramp(0.0f, 1.0f, 8), Gain(0.0f)};
    const auto block = [&]() {
        const Block rendered = RenderBlock(bunch, 1, 4, states);
        EXPECT_EQ(rendered.frames, 4u); // the steady track
        return rendered.samples;
    };
    EXPECT_EQ(block(), (std::vector<float>{0.0f, 0.125f, 0.25f, 0.375f}));
    EXPECT_EQ(block(), (std::vector<float>{0.0f, 0.0f, 0.0f, 0.0f})); // failed: silent, ramp stands
    EXPECT_EQ(states[0].rampPosition, 4u);
    EXPECT_EQ(block(), (std::vector<float>{0.5f, 0.625f, 0.75f, 0.875f}));
    EXPECT_EQ(block(), (std::vector<float>{1.0f, 1.0f, 1.0f, 1.0f}));
    EXPECT_EQ(states[0].rampLength, 0u);
    EXPECT_EQ(Track(0)->renderCalls, 4u);
}

TEST_F(MixerRenderTest, FailingSourceIsNotCounted)
{
    FakeSourceSetup failing;
    failing.signal = Dc(1.0f);
    failing.failingCalls = {0};
    LoadBunch({failing});
    std::vector<TrackGainState> states{Gain(1.0f)};
    const Block block = RenderBlock(bunch, 2, 16, states);
    EXPECT_EQ(block.frames, 0u);
    EXPECT_EQ(block.samples, std::vector<float>(2 * 16, 0.0f));
}

TEST_F(MixerRenderTest, RampFromABlockBoundary)
{
    FakeSourceSetup setup;
    setup.channels = 2;
    setup.signal = Dc(1.0f);
    LoadBunch({setup});
    std::vector<TrackGainState> states{Ramp(0.0f, 1.0f, 4)};
    const Block block = RenderBlock(bunch, 2, 8, states);
    EXPECT_EQ(block.frames, 8u);
    EXPECT_EQ(block.samples, (std::vector<float>{0, 0, 0.25f, 0.25f, 0.5f, 0.5f, 0.75f, 0.75f, 1, 1,
                                                 1, 1, 1, 1, 1, 1}));
    EXPECT_EQ(states[0].gain, 1.0f);
    EXPECT_EQ(states[0].rampFrom, 0.0f);
    EXPECT_EQ(states[0].rampTo, 0.0f);
    EXPECT_EQ(states[0].rampPosition, 0u);
    EXPECT_EQ(states[0].rampLength, 0u);
}

TEST_F(MixerRenderTest, SourceClaimingMoreFramesThanAskedIsHeldToTheBlock)
{
    FakeSourceSetup setup;
    setup.signal = Dc(1.0f);
    setup.overstatedFrames = 5000;
    LoadBunch({setup});
    std::vector<TrackGainState> states{Gain(1.0f)};
    const Block block = RenderBlock(bunch, 2, 10, states);
    EXPECT_EQ(block.frames, 10u);
    EXPECT_EQ(block.samples, std::vector<float>(2 * 10, 1.0f));
}

TEST_F(MixerRenderTest, BunchSeeksEverySourceInTrackOrder)
{
    std::vector<std::pair<int, std::uint64_t>> seeks;
    std::vector<FakeSourceSetup> setups(3);
    for (int i = 0; i < 3; ++i)
        setups[i].onSetPosition = [&seeks, i](std::uint64_t sample) {
            seeks.emplace_back(i, sample);
        };
    LoadBunch(setups);
    EXPECT_TRUE(bunch.SetPosition(480));
    EXPECT_TRUE(bunch.SetPosition(1u << 20)); // past their end: refused, still true
    const std::vector<std::pair<int, std::uint64_t>> expected{
        {0, 480}, {1, 480}, {2, 480}, {0, 1u << 20}, {1, 1u << 20}, {2, 1u << 20}};
    EXPECT_EQ(seeks, expected);
}

TEST_F(MixerRenderTest, BunchRendersNothingAfterClose)
{
    LoadBunch({FakeSourceSetup{}});
    bunch.Close();
    std::vector<TrackGainState> states{Gain(1.0f)};
    EXPECT_EQ(RenderBlock(bunch, 2, 4, states).frames, 0u);
    EXPECT_TRUE(bunch.SetPosition(0));
    EXPECT_EQ(Track(0)->renderCalls, 0u);
    EXPECT_TRUE(Track(0)->positions.empty());
}

TEST_F(MixerRenderTest, NothingRendersAfterAFailedLoad)
{
    // The sources stay held, but their formats never passed the check:
    // the wider one would not fit a scratch buffer sized for the first.
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

TEST_F(MixerRenderTest, BuiltinOpusTracksMixToTheSumOfTheirDecodes)
{
    const auto encode = [](double frequency) {
        testaudio::SignalSpec tone;
        tone.frames = 9600;
        tone.channels.assign(2, testaudio::ChannelSignal{});
        for (auto& channel : tone.channels)
            channel.frequency = frequency;
        return testaudio::EncodeOpus(testaudio::Synthesize(tone), 2, 48000);
    };
    provider->Add(u"a.opus", encode(440.0));
    provider->Add(u"b.opus", encode(660.0));
    const auto decode = [](const char16_t* name) {
        IHSSWaveDecoder* decoder = OpenBuiltinDecoder(BuiltinDecoderKind::Opus, name);
        EXPECT_NE(decoder, nullptr);
        Decoded decoded = DecodeAll(decoder, 2, 1000);
        decoder->Release();
        return decoded.samples;
    };
    const std::vector<float> a = decode(u"a.opus");
    const std::vector<float> b = decode(u"b.opus");
    ASSERT_EQ(a.size(), 2u * 9600);
    ASSERT_EQ(b.size(), a.size());

    AddFile(u"song.mtrk", "a\ta.opus\nb\tb.opus\n");
    TrackListInfo info;
    ASSERT_TRUE(bunch.Load(provider, u"song.mtrk", info));
    std::vector<TrackGainState> states{Gain(1.0f), Gain(0.5f)};
    std::vector<float> mixed;
    std::vector<float> block(2 * 1000);
    for (;;) {
        std::fill(block.begin(), block.end(), 0.0f);
        const std::uint32_t frames = bunch.Render(block.data(), 1000, states);
        mixed.insert(mixed.end(), block.begin(), block.begin() + 2 * frames);
        if (frames == 0)
            break;
    }
    ASSERT_EQ(mixed.size(), a.size());
    for (std::size_t i = 0; i < a.size(); ++i) {
        const float expected = (0.0f + a[i] * 1.0f) + b[i] * 0.5f;
        ASSERT_EQ(mixed[i], expected) << "sample " << i;
    }
}

// --- gathered mix (".mchx") -------------------------------------------------

// A float source of `channels` channels with Counting(1) samples.
FakeSourceSetup CountingSource(std::uint32_t channels)
{
    FakeSourceSetup setup;
    setup.channels = channels;
    setup.signal = Counting(1.0f);
    return setup;
}

TEST_F(MixerRenderTest, TrackTakesItsSourceChannelsInOrder)
{
    LoadGather(CountingSource(4), "channel\t2\ntrack\tt\t3\t1\n");
    std::vector<TrackGainState> states{Gain(1.0f)};
    const Block block = RenderBlock(gather, 2, 16, states);
    ASSERT_EQ(block.frames, 16u);
    for (std::uint32_t f = 0; f < 16; ++f) {
        EXPECT_EQ(block.samples[2 * f], 31.0f + 1000.0f * f);     // source channel 3
        EXPECT_EQ(block.samples[2 * f + 1], 11.0f + 1000.0f * f); // source channel 1
    }
}

TEST_F(MixerRenderTest, UnboundOutputChannelAddsNothing)
{
    LoadGather(CountingSource(4), "channel\t2\ntrack\tt\t2\t-1\n");
    std::vector<TrackGainState> states{Gain(1.0f)};
    constexpr float kSentinel = 0.5f;
    const Block block = RenderBlock(gather, 2, 8, states, kSentinel);
    ASSERT_EQ(block.frames, 8u);
    for (std::uint32_t f = 0; f < 8; ++f) {
        EXPECT_EQ(block.samples[2 * f], kSentinel + 21.0f + 1000.0f * f);
        EXPECT_EQ(block.samples[2 * f + 1], kSentinel);
    }
}

TEST_F(MixerRenderTest, TracksSumIntoTheSameOutputChannels)
{
    LoadGather(CountingSource(4), "channel\t2\ntrack\ta\t0\t1\ntrack\tb\t2\t3\ntrack\tc\t1\t2\n");
    const auto sample = [](std::uint32_t f, std::uint32_t c) {
        return 1.0f + 10.0f * c + 1000.0f * f;
    };
    const auto render = [&](std::vector<TrackGainState> states) {
        const Block block = RenderBlock(gather, 2, 8, states);
        EXPECT_EQ(block.frames, 8u);
        return block.samples;
    };
    const std::vector<float> all = render({Gain(1.0f), Gain(1.0f), Gain(0.5f)});
    const std::vector<float> muted = render({Gain(1.0f), Gain(0.0f), Gain(0.5f)});
    const std::vector<float> silent = render({Gain(0.0f), Gain(0.0f), Gain(0.0f)});
    for (std::uint32_t f = 0; f < 8; ++f) {
        const std::uint32_t at = f + 8; // the first render consumed 8 frames
        EXPECT_EQ(all[2 * f], sample(f, 0) + sample(f, 2) + sample(f, 1) * 0.5f);
        EXPECT_EQ(all[2 * f + 1], sample(f, 1) + sample(f, 3) + sample(f, 2) * 0.5f);
        EXPECT_EQ(muted[2 * f], sample(at, 0) + sample(at, 1) * 0.5f);
        EXPECT_EQ(muted[2 * f + 1], sample(at, 1) + sample(at, 2) * 0.5f);
    }
    EXPECT_EQ(silent, std::vector<float>(16, 0.0f));
}

TEST_F(MixerRenderTest, GatherWithoutFramesOrSourceCallsNothing)
{
    LoadGather(CountingSource(4), "channel\t2\ntrack\tt\t0\t1\n");
    std::vector<TrackGainState> states{Ramp(0.0f, 1.0f, 4)};
    EXPECT_EQ(RenderBlock(gather, 2, 0, states).frames, 0u);
    EXPECT_EQ(Source()->renderCalls, 0u);
    EXPECT_EQ(states[0].rampPosition, 0u);
    gather.Close();
    EXPECT_EQ(RenderBlock(gather, 2, 1, states).frames, 0u);
    EXPECT_EQ(Source()->renderCalls, 0u);
    EXPECT_TRUE(gather.SetPosition(5));
    EXPECT_TRUE(Source()->positions.empty());
}

TEST_F(MixerRenderTest, GatherReturnsWhatTheSourceDelivered)
{
    FakeSourceSetup setup = CountingSource(4);
    setup.endsAt = 5;
    setup.failingCalls = {0};
    LoadGather(setup, "channel\t1\ntrack\tt\t0\n");
    std::vector<TrackGainState> states{Ramp(0.0f, 1.0f, 2)};
    const Block failed = RenderBlock(gather, 1, 8, states);
    EXPECT_EQ(failed.frames, 0u);
    EXPECT_EQ(failed.samples, std::vector<float>(8, 0.0f)); // nothing mixed
    EXPECT_EQ(states[0].rampPosition, 0u);
    const Block last = RenderBlock(gather, 1, 8, states);
    EXPECT_EQ(last.frames, 5u);
    EXPECT_EQ(last.samples,
              (std::vector<float>{0.0f, 1001.0f * 0.5f, 2001.0f, 3001.0f, 4001.0f, 0, 0, 0}));
}

TEST_F(MixerRenderTest, GatherHoldsAnOverstatingSourceToTheBlock)
{
    FakeSourceSetup setup = CountingSource(4);
    setup.overstatedFrames = 10000;
    LoadGather(setup, "channel\t3\ntrack\tt\t0\t1\t2\n");
    std::vector<TrackGainState> states{Gain(1.0f)};
    const Block block = RenderBlock(gather, 3, 4, states);
    EXPECT_EQ(block.frames, 4u);
    EXPECT_EQ(block.samples[3 * 3 + 2], 3021.0f);
}

TEST_F(MixerRenderTest, GatherSixteenBitSource)
{
    FakeSourceSetup setup;
    setup.channels = 2;
    setup.isFloat = false;
    setup.signal = [](std::uint64_t, std::uint32_t channel) {
        return channel == 0 ? -32768.0f : 16384.0f;
    };
    LoadGather(setup, "channel\t3\ntrack\tt\t1\t0\t1\n");
    std::vector<TrackGainState> states{Gain(1.0f)};
    const Block block = RenderBlock(gather, 3, 2, states);
    EXPECT_EQ(block.frames, 2u);
    EXPECT_EQ(block.samples, (std::vector<float>{0.5f, -1.0f, 0.5f, 0.5f, -1.0f, 0.5f}));
}

TEST_F(MixerRenderTest, OutputChannelsPastTheEighthStaySilent)
{
    LoadGather(CountingSource(12), "channel\t10\ntrack\tt\t11\t10\t9\t8\t7\t6\t5\t4\t3\t2\n");
    std::vector<TrackGainState> states{Gain(1.0f)};
    const Block block = RenderBlock(gather, 10, 2, states);
    ASSERT_EQ(block.frames, 2u);
    for (std::uint32_t f = 0; f < 2; ++f)
        for (std::uint32_t i = 0; i < 10; ++i)
            EXPECT_EQ(block.samples[f * 10 + i],
                      i < 8 ? 1.0f + 10.0f * (11 - i) + 1000.0f * f : 0.0f)
                << i;
}

TEST_F(MixerRenderTest, SourceChannel255IsUnboundButBelowItIsTaken)
{
    LoadGather(CountingSource(300), "channel\t3\ntrack\tt\t255\t254\t256\n");
    std::vector<TrackGainState> states{Gain(1.0f)};
    const Block block = RenderBlock(gather, 3, 1, states);
    EXPECT_EQ(block.frames, 1u);
    EXPECT_EQ(block.samples, (std::vector<float>{0.0f, 2541.0f, 0.0f}));
}

TEST_F(MixerRenderTest, GatherSeeksItsSource)
{
    LoadGather(CountingSource(4), "channel\t1\ntrack\tt\t0\n");
    EXPECT_TRUE(gather.SetPosition(123));
    EXPECT_TRUE(gather.SetPosition(1u << 30)); // refused by the source
    EXPECT_EQ(Source()->positions, (std::vector<std::uint64_t>{123, 1u << 30}));
}

TEST(MixScratchTest, GrowsOnlyAndRefusesWhatCannotBeHeld)
{
    std::vector<std::uint32_t> scratch(1);
    ASSERT_TRUE(GrowScratch(scratch, 64));
    EXPECT_EQ(scratch.size(), 64u);
    ASSERT_TRUE(GrowScratch(scratch, 8));
    EXPECT_EQ(scratch.size(), 64u);
    // Channel × frame counts beyond 32 bits are not wrapped: they are
    // refused when no vector can hold them, leaving the buffer as it was.
    EXPECT_FALSE(GrowScratch(scratch, std::uint64_t{0xFFFFFFFF} * 0xFFFFFFFF));
    EXPECT_FALSE(GrowScratch(scratch, ~std::uint64_t{0}));
    EXPECT_EQ(scratch.size(), 64u);
}

} // namespace
