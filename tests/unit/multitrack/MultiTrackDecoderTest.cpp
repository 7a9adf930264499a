// The multi-track decoder over a FakeMixer: what it reports on opening,
// rendering to the end, immediate, faded and delayed mask changes, and the
// 16-bit output.
#include "MultiTrackDecoderTestSupport.h"

#include <multitrack/decoder/MultiTrackDecoder16bitImpl.h>

#include <cmath>
#include <limits>

namespace {

using Strings = std::vector<std::u16string>;
using Logs = std::vector<std::pair<std::u16string, std::u16string>>;
const char16_t* const kT0[] = {u"t0"};

// Arms a change of t0 to `volume` at `points`.
void ArmSwitch(MultiTrackDecoder* decoder, float volume, std::vector<std::uint64_t> points)
{
    decoder->BeginDelayedMask();
    decoder->SetTrackMask(kT0, 1, volume, 0);
    decoder->CommitDelayedMask(points.data(), static_cast<std::uint32_t>(points.size()));
}

float Level(MultiTrackDecoder* decoder)
{
    return RenderBlock(decoder, 1).samples[0];
}

TEST(MultiTrackDecoder, OpeningReportsTheNamesAndRegistersTheLowerCasedId)
{
    RecordingCallback callback;
    TrackListInfo info = DcListInfo(3, 1, u"BGM_Main");
    info.bindings = {{u"Drums", 1}, {u"drums.opus", 1}, {u"drums", 1}, {u"X", 0}, {u"x", 2}, {u"out", 3}, {u"neg", -1}};
    info.volumes = {0.5f, 0.25f};
    auto* decoder = OpenOverFakeMixer(&callback, info, {1, 1, 1}, 0);
    // The first name of a track comes with its index, further ones with the
    // complement (~1 = -2); names of no track are dropped.
    const std::u16string open = u"open:bgm_main|list.mtrk|3|1:drums -2:drums.opus -2:drums 0:x 2:x ";
    EXPECT_EQ(callback.calls, (Strings{u"register:bgm_main", open}));
    // Starting volumes cover the tracks they name; a later binding of a name wins.
    EXPECT_EQ(Level(decoder), 0.5f + 0.25f + 1.0f);
    const char16_t* const names[] = {u"X", u"out"};
    EXPECT_EQ(decoder->SetTrackMask(names, 2, 0.0f, 0), 1u);
    EXPECT_EQ(Level(decoder), 0.5f + 0.25f);
    EXPECT_TRUE(decoder->RebindID(u"Other"));
    EXPECT_FALSE(decoder->RebindID(u"")); // refused by the script side: nothing to unregister at the end
    decoder->Release();
    EXPECT_EQ(callback.calls,
              (Strings{u"register:bgm_main", open, u"unregister:bgm_main", u"register:other", u"unregister:other", u"register:"}));
    RecordingCallback anonymous;
    OpenOverFakeMixer(&anonymous, DcListInfo(1, 1), {1}, 0)->Release();
    EXPECT_TRUE(anonymous.calls.empty()) << "without an ID nothing is registered or reported";
}

// 16-bit sources mix to float; any other sample format, or a load that
// fails, is logged with the URL; other extensions open nothing, silently.
TEST(MultiTrackDecoder, FormatsAndLoadFailures)
{
    RecordingCallback callback;
    auto* decoder = new MultiTrackDecoderBaseImpl(nullptr, &callback);
    const auto open = [&](std::uint32_t sampleFormat, bool loads, const char16_t* url) {
        auto mixer = std::make_unique<FakeMixer>(DcListInfo(1, 2), std::vector<float>{1}, 0);
        mixer->info.format.sampleFormat = sampleFormat;
        mixer->info.errorMessage = u"no channel";
        mixer->loadSucceeds = loads;
        return decoder->OpenWithMixer(std::move(mixer), url, decoder->Format());
    };
    EXPECT_FALSE(open(24, true, u"a.mtrk"));
    EXPECT_FALSE(open(kSampleFormatFloat32, false, u"b.mtrk"));
    EXPECT_EQ(callback.logs, (Logs{{u"invalid track format", u"a.mtrk"}, {u"no channel", u"b.mtrk"}}));
    for (const char16_t* url : {u"music.mtrk.bak", u"music", u"a.mtrk/b", u"x.wav"})
        EXPECT_FALSE(decoder->Open(url, decoder->Format())) << vytext::ToUtf8(url);
    EXPECT_EQ(callback.logs.size(), 2u);
    ASSERT_TRUE(open(kSampleFormatInt16, true, u"c.mtrk"));
    EXPECT_EQ(std::pair(decoder->Format().sampleFormat, decoder->Format().channelCount), std::pair(kSampleFormatFloat32, 2u));
    decoder->Release();
}

// Frames past the end are zeros, and the position moves by whole blocks.
TEST(MultiTrackDecoder, BlocksPastTheEndAreSilent)
{
    MultiTrackDecoderBaseImpl* decoder = OpenOverFakeMixer(nullptr, DcListInfo(1, 2), {0.5f}, 1000);
    RenderBlock(decoder, 512, 2);
    const Block last = RenderBlock(decoder, 512, 2);
    EXPECT_EQ(std::tuple(last.rendered, last.status, FirstFrameNotEqual(last.samples, 0.5f)), std::tuple(488u, 0u, 2 * 488u));
    EXPECT_EQ(std::count(last.samples.begin(), last.samples.end(), 0.0f), 2 * 24);
    const Block none = RenderBlock(decoder, 0);
    EXPECT_EQ(std::tuple(none.rendered, none.status, decoder->Position()), std::tuple(0u, 1u, std::uint64_t{1024}));
    decoder->Release();
}

// t0 is a DC 1.0 track; a change to 0.25 is armed at `points` while the
// decoder stands at `armAt`, then blocks are rendered from `playFrom`.
TEST(MultiTrackDecoder, AnArmedChangeTakesEffectAtTheFirstListedPointABlockReaches)
{
    constexpr std::uint64_t kNever = ~0ull;
    const struct {
        const char* name;
        std::uint64_t armAt;
        std::vector<std::uint64_t> points;
        std::uint64_t playFrom;
        std::vector<std::uint32_t> blocks;
        std::uint64_t switchesAt;
        std::vector<std::uint32_t> mixerCalls; // the frames of each Render call on the mixer
    } rows[] = {
        {"at the first frame of a block", 0, {0}, 0, {100}, 0, {100}},
        {"a point one past the block is not in it", 0, {512, 300}, 0, {512, 512}, 300, {300, 212, 512}},
        {"inside a block, which is split there", 0, {1}, 0, {100}, 1, {1, 99}},
        {"the first listed point inside wins", 2048, {5000, 3000}, 2048, {4096, 4096}, 5000, {2952, 1144, 4096}},
        {"behind the position it waits", 1000, {100, 200}, 1000, {500}, kNever, {500}},
        {"until a seek back brings it ahead", 1000, {100, 200}, 0, {300}, 100, {100, 200}},
        {"-1 is the largest position", 0, {kNever}, 0, {4096}, kNever, {4096}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        FakeMixer* mixer = nullptr;
        MultiTrackDecoderBaseImpl* decoder = OpenOverFakeMixer(nullptr, DcListInfo(1, 1), {1.0f}, 0, &mixer);
        ASSERT_EQ(decoder->SetPosition(row.armAt), S_OK);
        ArmSwitch(decoder, 0.25f, row.points);
        ASSERT_EQ(decoder->SetPosition(row.playFrom), S_OK);
        std::vector<float> played;
        for (std::uint32_t frames : row.blocks) {
            const Block block = RenderBlock(decoder, frames);
            EXPECT_EQ(block.rendered, frames);
            played.insert(played.end(), block.samples.begin(), block.samples.end());
        }
        const std::size_t at = row.switchesAt == kNever ? played.size() : row.switchesAt - row.playFrom;
        EXPECT_EQ(FirstFrameNotEqual(played, 1.0f), at);
        EXPECT_EQ(std::count(played.begin(), played.end(), 0.25f), played.size() - at);
        EXPECT_EQ(mixer->renderCalls, row.mixerCalls);
        decoder->Release();
    }
}

// t0 (DC 1.0) may have a change to 0.25 armed at frame 50; then come a
// Begin, a change to 0.5 (immediate without the Begin) and a Commit.
TEST(MultiTrackDecoder, ACommitArmsWhatWasGatheredOrCancelsAndAnImmediateChangeAppliesItFirst)
{
    const struct {
        const char* name;
        bool armedBefore, begin, change, withPoints;
        float before50, from50; // the output
    } rows[] = {
        {"a commit arms the gathered change", false, true, true, true, 1.0f, 0.5f},
        {"a commit without Begin does nothing", true, false, false, true, 1.0f, 0.25f},
        {"an immediate change applies the armed one first", true, false, true, true, 0.5f, 0.5f},
        {"a commit without points cancels", true, true, true, false, 1.0f, 1.0f},
        {"a commit without changes cancels", true, true, false, true, 1.0f, 1.0f},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        MultiTrackDecoderBaseImpl* decoder = OpenOverFakeMixer(nullptr, DcListInfo(1, 1), {1.0f}, 0);
        if (row.armedBefore)
            ArmSwitch(decoder, 0.25f, {50});
        if (row.begin)
            decoder->BeginDelayedMask();
        if (row.change)
            decoder->SetTrackMask(kT0, 1, 0.5f, 0);
        const std::uint64_t point = 50;
        decoder->CommitDelayedMask(row.withPoints ? &point : nullptr, row.withPoints ? 1 : 0);
        const std::vector<float> played = RenderBlock(decoder, 100).samples;
        EXPECT_EQ(std::count(played.begin(), played.begin() + 50, row.before50), 50);
        EXPECT_EQ(std::count(played.begin() + 50, played.end(), row.from50), 50);
        decoder->Release();
    }
}

// Fades at 48 kHz: 10 ms are 480 frames; the output is the gain of t0.
TEST(MultiTrackDecoder, FadesRampFromTheGainReachedAndImmediateChangesEndThem)
{
    MultiTrackDecoderBaseImpl* decoder = OpenOverFakeMixer(nullptr, DcListInfo(1, 1), {1.0f}, 0);
    decoder->SetTrackMask(kT0, 1, 0.0f, 10);
    const std::vector<float> falling = RenderBlock(decoder, 240).samples;
    EXPECT_TRUE(falling[0] == 1.0f && std::is_sorted(falling.rbegin(), falling.rend()) && falling[239] > 0.5f);
    // A change to the gain reached is applied at once, ending the ramp.
    decoder->SetTrackMask(kT0, 1, falling.back(), 300);
    EXPECT_EQ(FirstFrameNotEqual(RenderBlock(decoder, 300).samples, falling.back()), 300u);
    // A new fade starts from there and reaches its target on frame 480.
    decoder->SetTrackMask(kT0, 1, 1.0f, 10);
    const std::vector<float> rising = RenderBlock(decoder, 600).samples;
    EXPECT_EQ(std::tuple(rising[0], FirstFrameNotEqual(rising, falling.back()), FirstFrameNotEqual(rising, 1.0f)),
              std::tuple(falling.back(), 1u, 0u));
    EXPECT_EQ(std::count(rising.begin(), rising.end(), 1.0f), 120);
    // An immediate change jumps; NaN never equals the gain, so with a fade it ramps.
    decoder->SetTrackMask(kT0, 1, 0.0f, 10);
    decoder->SetTrackMask(kT0, 1, 0.7f, 0);
    EXPECT_EQ(FirstFrameNotEqual(RenderBlock(decoder, 100).samples, 0.7f), 100u);
    decoder->SetTrackMask(kT0, 1, std::numeric_limits<float>::quiet_NaN(), 10);
    EXPECT_EQ(decoder->TrackStates()[0].rampLength, 480u);
    decoder->Release();
}

// Below 1000 Hz a 1 ms fade is shorter than one frame: it is an immediate
// change, not a ramp of no frames that never arrives.
TEST(MultiTrackDecoder, AFadeShorterThanOneFrameChangesAtOnce)
{
    TrackListInfo info = DcListInfo(1, 1);
    info.format.sampleRate = 800;
    MultiTrackDecoderBaseImpl* decoder = OpenOverFakeMixer(nullptr, info, {1.0f}, 0);
    decoder->SetTrackMask(kT0, 1, 0.25f, 1);
    EXPECT_EQ(FirstFrameNotEqual(RenderBlock(decoder, 10).samples, 0.25f), 10u);
    decoder->Release();
}

// Names fold case; an unknown one is logged and not counted; no names, or
// a null or empty one, mean every track. A throwing mixer leaves the lock free.
TEST(MultiTrackDecoder, TrackNamesSelectTracks)
{
    RecordingCallback callback;
    TrackListInfo info = DcListInfo(3, 1, u"id");
    info.bindings.emplace_back(u"Drums", 1);
    FakeMixer* mixer = nullptr;
    MultiTrackDecoderBaseImpl* decoder = OpenOverFakeMixer(&callback, info, {1.0f, 10.0f, 100.0f}, 0, &mixer);
    const char16_t* const names[] = {u"DRUMS", u"NoSuch"};
    EXPECT_EQ(decoder->SetTrackMask(names, 2, 0.5f, 0), 1u);
    EXPECT_EQ(callback.logs, (Logs{{u"track not found", u"NoSuch"}}));
    EXPECT_EQ(Level(decoder), 1.0f + 5.0f + 100.0f);
    EXPECT_EQ(decoder->SetTrackMask(nullptr, 0, 0.25f, 0), 1u);
    EXPECT_EQ(Level(decoder), 0.25f * 111.0f);
    const char16_t* const mixed[] = {u"", nullptr, u"t2"};
    EXPECT_EQ(decoder->SetTrackMask(mixed, 3, 0.5f, 0), 3u);
    EXPECT_EQ(Level(decoder), 0.5f * 111.0f);
    mixer->throwOnRender = true;
    float buffer[16];
    EXPECT_EQ(decoder->Render(buffer, 16, nullptr, nullptr), E_FAIL);
    EXPECT_EQ(decoder->SetTrackMask(nullptr, 0, 1.0f, 0), 1u);
    mixer->throwOnRender = false;
    EXPECT_EQ(Level(decoder), 111.0f);
    decoder->Release();
}

TEST(SixteenBitOutput, RoundsHalvesAwayFromZeroAndClamps)
{
    const float in[] = {1.2f, -0.5f / 32768, 0.4f / 32768, 0.5f / 32768, 1.0f, -1.0f, -1.5f, 0.0f, INFINITY, -INFINITY,
                        NAN,  100.4f / 32768, 0.5f};
    const std::int16_t expected[] = {32767, -1, 0, 1, 32767, -32768, -32768, 0, 32767, -32768, 0, 100, -7};
    std::int16_t out[std::size(in)];
    out[std::size(in) - 1] = -7; // not to be converted
    ConvertToInt16(in, out, std::size(in) - 1);
    EXPECT_TRUE(std::equal(out, out + std::size(out), expected)) << testing::PrintToString(out);
    // Through the 16-bit decoder: DC 0.5 with gain 0.5 → 8192, then the end.
    auto* decoder = OpenOverFakeMixer<MultiTrackDecoder16bitImpl>(nullptr, DcListInfo(1, 2), {0.5f}, 10);
    decoder->SetTrackMask(kT0, 1, 0.5f, 0);
    std::int16_t samples[2 * 16];
    std::uint32_t rendered = 0, status = 1;
    ASSERT_EQ(decoder->Render(samples, 16, &rendered, &status), S_OK);
    EXPECT_EQ(std::tuple(rendered, status, samples[0], samples[19], samples[20]), std::tuple(10u, 0u, 8192, 8192, 0));
    EXPECT_EQ(std::pair(decoder->Render(samples, 0, &rendered, &status), status), std::pair(S_OK, 1u)) << "no frames: all came";
    decoder->Release();
}

} // namespace
