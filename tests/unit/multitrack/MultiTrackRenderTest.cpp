#include "MultiTrackDecoderTestSupport.h"

#include <multitrack/MultiTrackDecoder16bitImpl.h>

#include <cmath>
#include <limits>

namespace {

const char16_t* const kT0[] = {u"t0"};
const char16_t* const kT1[] = {u"t1"};

// One track at DC 1.0, mono, 48 kHz: every output sample is the gain.
MultiTrackDecoderBaseImpl* OneTrack(std::uint64_t length = 0, RecordingCallback* callback = nullptr,
                                    FakeMixer** mixer = nullptr)
{
    return OpenOverFakeMixer(callback, DcListInfo(1, 1), {1.0f}, length, mixer);
}

void ArmSwitch(MultiTrackDecoder* decoder, const char16_t* const* names, float volume,
               std::vector<std::uint64_t> points)
{
    decoder->BeginDelayedMask();
    decoder->SetTrackMask(names, 1, volume, 0);
    decoder->CommitDelayedMask(points.data(), static_cast<std::uint32_t>(points.size()));
}

} // namespace

TEST(MultiTrackRender, BlocksPastTheEndAreSilentAndReportTheEnd)
{
    MultiTrackDecoderBaseImpl* decoder = OpenOverFakeMixer(nullptr, DcListInfo(1, 2), {0.5f}, 1000);
    Block first = RenderBlock(decoder, 512, 2);
    EXPECT_EQ(first.rendered, 512u);
    EXPECT_EQ(first.status, 1u);
    Block second = RenderBlock(decoder, 512, 2);
    EXPECT_EQ(second.rendered, 488u);
    EXPECT_EQ(second.status, 0u);
    for (std::size_t i = 0; i < 2 * 488; ++i)
        ASSERT_EQ(second.samples[i], 0.5f);
    for (std::size_t i = 2 * 488; i < 2 * 512; ++i)
        ASSERT_EQ(second.samples[i], 0.0f) << "frames past the end are zeros";
    EXPECT_EQ(decoder->Position(), 1024u);

    // No frames asked: nothing written, status 1, position unchanged.
    float untouched = 9.0f;
    std::uint32_t rendered = 77;
    std::uint32_t status = 77;
    EXPECT_EQ(decoder->Render(&untouched, 0, &rendered, &status), S_OK);
    EXPECT_EQ(rendered, 0u);
    EXPECT_EQ(status, 1u);
    EXPECT_EQ(untouched, 9.0f);
    EXPECT_EQ(decoder->Position(), 1024u);
    decoder->Release();
}

TEST(MultiTrackRender, ASwitchPointTakesEffectAtItsFrame)
{
    FakeMixer* mixer = nullptr;
    // At the start of a block: before its first frame, with no first part.
    MultiTrackDecoderBaseImpl* decoder = OneTrack(0, nullptr, &mixer);
    ArmSwitch(decoder, kT0, 0.25f, {0});
    EXPECT_EQ(FirstFrameNotEqual(RenderBlock(decoder, 100).samples, 0.25f), 100u);
    EXPECT_EQ(mixer->renderCalls, (std::vector<std::uint32_t>{100}));
    decoder->Release();

    // At position + frames: not in this block, at the first frame of the next.
    decoder = OneTrack();
    ArmSwitch(decoder, kT0, 0.25f, {512});
    EXPECT_EQ(FirstFrameNotEqual(RenderBlock(decoder, 512).samples, 1.0f), 512u);
    EXPECT_EQ(RenderBlock(decoder, 512).samples[0], 0.25f);
    decoder->Release();

    // Points listed 5000 then 3000 in a block of 4096 starting at 2048: the
    // first listed point inside the block wins and the rest are dropped.
    decoder = OneTrack(0, nullptr, &mixer);
    ASSERT_EQ(decoder->SetPosition(2048), S_OK);
    ArmSwitch(decoder, kT0, 0.25f, {5000, 3000});
    const Block block = RenderBlock(decoder, 4096);
    EXPECT_EQ(block.rendered, 4096u);
    EXPECT_EQ(FirstFrameNotEqual(block.samples, 1.0f), 5000u - 2048u);
    EXPECT_EQ(FirstFrameNotEqual(
                  std::vector<float>(block.samples.begin() + 2952, block.samples.end()), 0.25f),
              4096u - 2952u);
    EXPECT_EQ(mixer->renderCalls, (std::vector<std::uint32_t>{2952, 1144}));
    EXPECT_EQ(decoder->ArmedChangeCount(), 0u);
    decoder->Release();
}

TEST(MultiTrackRender, PointsBehindThePositionWaitForASeekOrAnImmediateChange)
{
    MultiTrackDecoderBaseImpl* decoder =
        OpenOverFakeMixer(nullptr, DcListInfo(2, 1), {1.0f, 0.0f}, 0);
    EXPECT_EQ(RenderBlock(decoder, 1000).rendered, 1000u);
    ArmSwitch(decoder, kT0, 0.25f, {100, 200});
    EXPECT_EQ(FirstFrameNotEqual(RenderBlock(decoder, 500).samples, 1.0f), 500u);
    EXPECT_EQ(decoder->ArmedChangeCount(), 1u) << "the change still waits";
    // A seek back lets it fire at its point.
    ASSERT_EQ(decoder->SetPosition(0), S_OK);
    EXPECT_EQ(FirstFrameNotEqual(RenderBlock(decoder, 300).samples, 1.0f), 100u);

    // An immediate change applies a waiting armed change first.
    ArmSwitch(decoder, kT0, 0.5f, {10});
    EXPECT_EQ(decoder->SetTrackMask(kT1, 1, 2.0f, 0), 1u);
    EXPECT_EQ(decoder->TrackStates()[0].gain, 0.5f);
    EXPECT_EQ(decoder->TrackStates()[1].gain, 2.0f);
    EXPECT_EQ(decoder->ArmedChangeCount(), 0u);

    // A point handed over as -1 is the largest position and never fires.
    ArmSwitch(decoder, kT0, 0.75f, {static_cast<std::uint64_t>(-1)});
    RenderBlock(decoder, 4096);
    EXPECT_EQ(decoder->TrackStates()[0].gain, 0.5f);
    decoder->Release();
}

TEST(MultiTrackRender, GatheringCommitsArmsReplacesOrCancels)
{
    MultiTrackDecoderBaseImpl* decoder =
        OpenOverFakeMixer(nullptr, DcListInfo(2, 1), {1.0f, 0.0f}, 0);
    // Changes gathered between Begin and Commit are not audible yet.
    decoder->BeginDelayedMask();
    decoder->SetTrackMask(kT0, 1, 0.5f, 0);
    decoder->SetTrackMask(kT1, 1, 0.5f, 0);
    EXPECT_EQ(decoder->TrackStates()[0].gain, 1.0f);
    const std::uint64_t point = 50;
    decoder->CommitDelayedMask(&point, 1);
    EXPECT_EQ(decoder->ArmedChangeCount(), 2u);

    // Commit without Begin neither arms nor cancels.
    decoder->CommitDelayedMask(nullptr, 0);
    EXPECT_EQ(decoder->ArmedChangeCount(), 2u);

    // Begin, changes, and a commit without points cancels the armed change.
    decoder->BeginDelayedMask();
    decoder->SetTrackMask(kT0, 1, 0.1f, 0);
    decoder->SetTrackMask(kT1, 1, 0.1f, 0);
    decoder->CommitDelayedMask(nullptr, 0);
    EXPECT_EQ(decoder->ArmedChangeCount(), 0u);
    EXPECT_EQ(FirstFrameNotEqual(RenderBlock(decoder, 200).samples, 1.0f), 200u)
        << "nothing changed";

    // A commit with points but no gathered change cancels as well.
    ArmSwitch(decoder, kT0, 0.3f, {1000});
    decoder->BeginDelayedMask();
    decoder->CommitDelayedMask(&point, 1);
    EXPECT_EQ(decoder->ArmedChangeCount(), 0u);
    decoder->Release();
}

TEST(MultiTrackRender, FadesRampAndImmediateChangesCancelThem)
{
    MultiTrackDecoderBaseImpl* decoder = OneTrack();
    decoder->SetTrackMask(kT0, 1, 0.0f, 500);
    const TrackGainState ramp = decoder->TrackStates()[0];
    EXPECT_EQ(ramp.rampLength, 24000u);
    EXPECT_EQ(ramp.rampFrom, 1.0f);
    EXPECT_EQ(ramp.rampTo, 0.0f);
    EXPECT_EQ(ramp.gain, 1.0f) << "the kernels move the gain, not the change";
    const std::vector<float> faded = RenderBlock(decoder, 1000).samples;
    for (std::size_t i = 1; i < faded.size(); ++i)
        ASSERT_LT(faded[i], faded[i - 1]);
    EXPECT_EQ(faded[0], 1.0f);

    // A change to the gain already reached is applied at once, cancelling the ramp.
    const float reached = decoder->TrackStates()[0].gain;
    decoder->SetTrackMask(kT0, 1, reached, 300);
    EXPECT_EQ(decoder->TrackStates()[0].rampLength, 0u);
    EXPECT_EQ(decoder->TrackStates()[0].gain, reached);

    // A new fade starts from the gain reached; an immediate change jumps.
    decoder->SetTrackMask(kT0, 1, 1.0f, 10);
    EXPECT_EQ(decoder->TrackStates()[0].rampFrom, reached);
    EXPECT_EQ(decoder->TrackStates()[0].rampLength, 480u);
    decoder->SetTrackMask(kT0, 1, 0.7f, 0);
    EXPECT_EQ(decoder->TrackStates()[0].rampLength, 0u);
    EXPECT_EQ(FirstFrameNotEqual(RenderBlock(decoder, 100).samples, 0.7f), 100u);

    // NaN never equals the gain: with a fade it starts a ramp.
    decoder->SetTrackMask(kT0, 1, std::numeric_limits<float>::quiet_NaN(), 10);
    EXPECT_EQ(decoder->TrackStates()[0].rampLength, 480u);
    decoder->Release();
}

TEST(MultiTrackRender, FadeLengthsAreFormedIn64BitsAndClamped)
{
    EXPECT_EQ(FadeFrames(500, 48000), 24000u);
    EXPECT_EQ(FadeFrames(1, 44100), 44u) << "rounded down";
    EXPECT_EQ(FadeFrames(100000, 48000), 4800000u) << "past 2^32 in 32-bit arithmetic";
    EXPECT_EQ(FadeFrames(0xFFFFFFFFu, 48000), 0xFFFFFFFFu);
    EXPECT_EQ(FadeFrames(0xFFFFFFFFu, 0xFFFFFFFFu), 0xFFFFFFFFu);
}

TEST(MultiTrackRender, TrackNamesSelectTracksAndUnknownNamesAreLogged)
{
    RecordingCallback callback;
    TrackListInfo info = DcListInfo(3, 1, u"id");
    info.bindings.emplace_back(u"Drums", 1);
    MultiTrackDecoderBaseImpl* decoder = OpenOverFakeMixer(&callback, info, {1.0f, 1.0f, 1.0f}, 0);

    const char16_t* const names[] = {u"DRUMS", u"NoSuch"};
    EXPECT_EQ(decoder->SetTrackMask(names, 2, 0.5f, 0), 1u);
    ASSERT_EQ(callback.logs.size(), 1u);
    EXPECT_EQ(callback.logs[0],
              std::make_pair(std::u16string(u"track not found"), std::u16string(u"NoSuch")));
    EXPECT_EQ(decoder->TrackStates()[1].gain, 0.5f);
    EXPECT_EQ(decoder->TrackStates()[0].gain, 1.0f);

    // No names: every track, counted once.
    EXPECT_EQ(decoder->SetTrackMask(nullptr, 0, 0.25f, 0), 1u);
    for (const TrackGainState& state : decoder->TrackStates())
        EXPECT_EQ(state.gain, 0.25f);
    // A null or empty name inside the list also means every track.
    const char16_t* const mixed[] = {u"", nullptr, u"t2"};
    EXPECT_EQ(decoder->SetTrackMask(mixed, 3, 0.75f, 0), 3u);
    for (const TrackGainState& state : decoder->TrackStates())
        EXPECT_EQ(state.gain, 0.75f);
    decoder->Release();
}

TEST(MultiTrackRender, AThrowingMixerNeverLeavesTheLockHeld)
{
    FakeMixer* mixer = nullptr;
    MultiTrackDecoderBaseImpl* decoder = OneTrack(0, nullptr, &mixer);
    mixer->throwOnRender = true;
    float buffer[16];
    EXPECT_EQ(decoder->Render(buffer, 16, nullptr, nullptr), E_FAIL);
    // Both sides can take the lock again.
    EXPECT_EQ(decoder->SetTrackMask(kT0, 1, 0.5f, 0), 1u);
    mixer->throwOnRender = false;
    EXPECT_EQ(RenderBlock(decoder, 16).samples[0], 0.5f);
    decoder->Release();
}

TEST(SixteenBitOutput, RoundsHalvesAwayFromZeroAndClamps)
{
    const float in[] = {1.2f,
                        -0.5f / 32768,
                        0.4f / 32768,
                        0.5f / 32768,
                        1.0f,
                        -1.0f,
                        -1.5f,
                        0.0f,
                        std::numeric_limits<float>::infinity(),
                        -std::numeric_limits<float>::infinity(),
                        std::numeric_limits<float>::quiet_NaN(),
                        1e30f,
                        100.4f / 32768};
    const std::int16_t expected[] = {32767, -1,    0,      1, 32767, -32768, -32768,
                                     0,     32767, -32768, 0, 32767, 100};
    std::int16_t out[std::size(in)];
    ConvertToInt16(in, out, std::size(in));
    for (std::size_t i = 0; i < std::size(in); ++i)
        EXPECT_EQ(out[i], expected[i]) << "input " << in[i];

    // Through the 16-bit decoder: DC 0.5 with gain 0.5 → 8192.
    auto* decoder =
        OpenOverFakeMixer<MultiTrackDecoder16bitImpl>(nullptr, DcListInfo(1, 2), {0.5f}, 10);
    decoder->SetTrackMask(kT0, 1, 0.5f, 0);
    std::int16_t samples[2 * 16];
    std::uint32_t rendered = 0;
    std::uint32_t status = 1;
    ASSERT_EQ(decoder->Render(samples, 16, &rendered, &status), S_OK);
    EXPECT_EQ(rendered, 10u);
    EXPECT_EQ(status, 0u);
    EXPECT_EQ(samples[0], 8192);
    EXPECT_EQ(samples[19], 8192);
    EXPECT_EQ(samples[20], 0);
    decoder->Release();
}
