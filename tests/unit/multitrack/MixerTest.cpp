// The two mixers: loading track lists (list text in, the failure message
// or the tracks out, as "tracks x channels: name=track ... | volumes"), what
// the path of a ".mtrk" list means, the decoder choice, and rendering:
// which tracks and channels they mix with which gains, short, failing and
// overstating sources, seeking and closing. What the kernels compute per
// track is MixKernelsTest's business.
#include "MultiTrackTestSupport.h"

#include <multitrack/mixers/MixScratch.h>
#include <multitrack/mixers/RenderMixerBunch.h>
#include <multitrack/lists/TrackListFile.h>
#include <multitrack/mixers/RenderMixerGather.h>

#include <host/TestAudio.h>

#include <cstring>
#include <sstream>

namespace {

using mttest::Counting;
using mttest::FakeSourceSetup;

using States = std::vector<TrackGainState>;

TrackGainState Gain(float gain) { return TrackGainState{gain, 0.0f, 0.0f, 0, 0}; }

class MixerTest : public mttest::MultiTrackTest {
protected:
    void SetUp() override
    {
        MultiTrackTest::SetUp();
        // ".mtrk" sources are used as written, ".mchx" ones lie beside the list.
        const std::pair<const char16_t*, FakeSourceSetup> sources[] = {
            {u"music/bgm_a.fake", {}}, {u"drums.fake", {}}, {u"dir/.fake", {}}, {u"a.fake", {.totalMilliseconds = 100}},
            {u"longerInMs.fake", {.totalMilliseconds = 999}}, {u"longer.fake", {.totalFrames = 1001}},
            {u"faster.fake", {.sampleRate = 44100}}, {u"wider.fake", {.channels = 3}}, {u"integer.fake", {.isFloat = false}},
            {u"failing.fake", {.formatResult = E_FAIL}}, {u"silent.fake", {.channels = 0}}, {u"lists/src.fake", {.channels = 4}},
            {u"lists/wide.fake", {.channels = 12}}, {u"lists/huge.fake", {.channels = 300}},
            {u"lists/broken.fake", {.formatResult = E_FAIL}}};
        for (const auto& [name, setup] : sources)
            AddSource(name, setup);
    }
    // Loads `path` (the list `text` saved as "lists/list.<ext>" when given) and describes the outcome.
    std::string Load(RenderMixerInterface& mixer, const char16_t* path, const char* text = nullptr)
    {
        if (text)
            AddFile(path, text);
        info = TrackListInfo{};
        if (!mixer.Load(ReadTrackListFile(provider, path), info))
            return "error: " + vytext::ToUtf8(info.errorMessage);
        std::ostringstream out;
        out << info.trackCount << "x" << info.format.channelCount << ":";
        for (const auto& [name, track] : info.bindings)
            out << " " << vytext::ToUtf8(name) << "=" << track;
        out << (info.volumes.empty() ? "" : " |");
        for (float volume : info.volumes)
            out << " " << volume;
        return out.str();
    }

    // Loads a ".mtrk" list of one track per setup, "t0.fake", "t1.fake", ...
    void LoadBunch(const std::vector<FakeSourceSetup>& setups)
    {
        std::string text;
        for (std::size_t i = 0; i < setups.size(); ++i) {
            AddSource(u"t" + vytext::ToUtf16(std::to_string(i)) + u".fake", setups[i]);
            text += "track\tt" + std::to_string(i) + ".fake\n";
        }
        ASSERT_EQ(Load(bunch, u"list.mtrk", text.c_str()).find("error"), std::string::npos) << text;
    }
    // Loads a ".mchx" list over "src.fake"; `statements` are its "channel" and "track" lines.
    void LoadGather(const std::string& statements, const FakeSourceSetup& setup)
    {
        AddSource(u"src.fake", setup);
        ASSERT_EQ(Load(gather, u"list.mchx", ("source\tsrc.fake\n" + statements).c_str()).find("error"), std::string::npos);
    }
    // Renders `frames` frames of `channels` into zeros, expecting `produced` of them.
    static std::vector<float> Render(RenderMixerInterface& mixer, std::uint32_t channels, std::uint32_t frames, States& states,
                                     std::uint32_t produced)
    {
        std::vector<float> samples(std::size_t{channels} * frames, 0.0f);
        EXPECT_EQ(mixer.Render(samples.data(), frames, states), produced);
        return samples;
    }

    RenderMixerBunch bunch;
    RenderMixerGather gather;
    TrackListInfo info;
};

using Row = std::pair<const char*, const char*>; // list text, outcome

TEST_F(MixerTest, MtrkLists)
{
    const Row rows[] = {
        // A track binds its name, its file's stem (unless empty) and its file name; comments, lines
        // without a source and sources that do not open add nothing; fields past the third are ignored.
        {"# a comment line\r\n\r\nlonely\r\n\t\tonly.fake\r\ngone\tmissing.fake\r\nbgm\tmusic/bgm_a.fake\r\n"
         "\t\tdrums\t\tdrums.fake\t*\textra\tfields\r\nt\tdir/.fake\n",
         "3x2: bgm=0 bgm_a=0 bgm_a.fake=0 drums=1 drums=1 drums.fake=1 t=2 .fake=2"},
        {"a\ta.fake\nb\tlongerInMs.fake\n", "2x2: a=0 a=0 a.fake=0 b=1 longerInMs=1 longerInMs.fake=1"}, // ms not compared
        {"", "error: failed to load track list"},
        {"a\tmissing.fake\nb\talso-missing.fake\n", "error: failed to load track list"},
        {"me\tlists/list.mtrk\n", "error: failed to load track list"}, // a list is never a source
        {"a\tfailing.fake\n", "error: track format mismatched"}, {"a\tsilent.fake\n", "error: no channels"},
    };
    SetModuleEntry(*TheProcessState().registry, u".mtrk", module); // a list naming itself is still no source
    for (const auto& [text, outcome] : rows)
        EXPECT_EQ(Load(bunch, u"lists/list.mtrk", text), outcome) << text;
    // Every source shares the rate, channels, sample format, seek code and length of the first.
    for (const std::string other : {"longer", "faster", "wider", "integer", "failing"})
        EXPECT_EQ(Load(bunch, u"lists/list.mtrk", ("a\ta.fake\nb\t" + other + ".fake\n").c_str()), "error: track format mismatched");
    EXPECT_EQ(std::count(module->requests.begin(), module->requests.end(), u"lists/list.mtrk"), 0);
    // The format is the first source's; the name the list's file name.
    ASSERT_EQ(Load(bunch, u"lists/list.mtrk", "a\ta.fake\n"), "1x2: a=0 a=0 a.fake=0");
    HSSWaveFormat expected{};
    ASSERT_EQ(module->Opened(u"a.fake")->GetFormat(&expected), S_OK);
    EXPECT_EQ(std::memcmp(&info.format, &expected, sizeof expected), 0);
    EXPECT_EQ(info.listName, u"list.mtrk");
    // After a failed load nothing renders: the wider source would not fit a
    // scratch buffer sized for the good load before.
    EXPECT_EQ(Load(bunch, u"lists/list.mtrk", "a\ta.fake\nb\twider.fake\n"), "error: track format mismatched");
    States states(2);
    Render(bunch, 3, 4, states, 0);
    EXPECT_EQ(module->Opened(u"wider.fake")->renderCalls, 0u);
}

TEST_F(MixerTest, MchxLists)
{
    const Row rows[] = {
        // Statements in any order; names lower-cased; the tracks' channel count (not the source's).
        {"# three tracks\ntrack\tDrums\t0\t1\nsource\tsrc.fake\ntrack\tBass\t2\nchannel\t2\ntrack\tdrums\t3\t3\n",
         "3x2: drums=0 bass=1 drums=2"},
        // Comments, unknown and differently cased keywords ("Track") are ignored.
        {"#channel\t5\n  # not a keyword either\n\t#\t9\nTrack\tX\t0\ntracks\tY\t0\ngain\tA\t0.5\n\r\n"
         "channel\t2\r\nsource\tsrc.fake\r\ntrack\tA\t0\t1\r\n", "1x2: a=0"},
        // The count is read like wcstol; one bound channel of two is enough; text without digits is 0.
        {"\tchannel\t +2ch\nsource\tsrc.fake\ntrack\tA\t-1\t3\n", "1x2: a=0"},
        {"channel\t2\nsource\tsrc.fake\ntrack\tA\tleft\t-1\n", "1x2: a=0"},
        // Eight slots, and source channels below 255.
        {"channel\t10\nsource\twide.fake\ntrack\tT\t-1\t-1\t-1\t-1\t-1\t-1\t-1\t7\t8\n", "1x10: t=0"},
        {"channel\t10\nsource\twide.fake\ntrack\tT\t-1\t-1\t-1\t-1\t-1\t-1\t-1\t-1\t8\t9\n", "error: track empty bind:t"},
        {"channel\t2\nsource\thuge.fake\ntrack\tT\t255\t254\n", "1x2: t=0"},
        {"channel\t2\nsource\thuge.fake\ntrack\tT\t255\t256\n", "error: track empty bind:t"},
        // Volumes: the first line for a track wins, no value is 1.0, a name of no track does nothing,
        // numbers are read like wcstod, and what is no finite number counts as missing.
        {"volume\tdrums\t0.25\nchannel\t2\nsource\tsrc.fake\ntrack\tDrums\t0\t1\ntrack\tBass\t2\t3\ntrack\tKeys\t1\t2\n"
         "volume\tDRUMS\t0.75\nvolume\tkeys\nvolume\tnobody\t0.1\nvolume\tbass\t 5e-1dB\n",
         "3x2: drums=0 bass=1 keys=2 | 0.25 0.5 1"},
        {"channel\t2\nsource\tsrc.fake\ntrack\tA\t0\nvolume\tnobody\t0.1\n", "1x2: a=0 | 1"},
        {"channel\t1\nsource\tsrc.fake\ntrack\tA\t0\ntrack\tB\t1\ntrack\tC\t2\ntrack\tD\t3\ntrack\tE\t0\n"
         "volume\tA\tnan\nvolume\tB\tinf\nvolume\tC\t-1e999\nvolume\tD\t1e38\nvolume\tE\tloud\n",
         "5x1: a=0 b=1 c=2 d=3 e=4 | 1 1 1 1e+38 0"},
        // Nothing to read: no message. A line of a carriage return alone is
        // one (empty) line, so that list lacks its statements.
        {"", "error: "}, {"\n\r\n", "error: no channel"},
        {"channel\nsource\tsrc.fake\ntrack\tA\t0\n", "error: invalid channel count"},
        {"channel\t0\n", "error: invalid channel count"},
        {"channel\t2\nchannel\t2\n", "error: duplicated channel found"},
        {"channel\t2\nchannel\t0\n", "error: invalid channel count"}, // the count is checked before the duplicate
        {"source\n", "error: invalid source"}, {"source\tmissing.fake\n", "error: source not found"},
        {"source\tsrc.fake\nsource\tsrc.fake\n", "error: multi source found"},
        // A second source line links its library (and logs the failure) before failing.
        {"source\tsrc.fake\nsource\tother.fake\tno_such_module_library.so\n", "error: multi source found"},
        {"channel\t2\ntrack\n", "error: no track name"},
        {"volume\ntrack\n", "error: no volume name"}, // the first failing line decides
        // Checks after the last line, in their order.
        {"source\tsrc.fake\n", "error: no channel"}, {"channel\t2\nsource\tsrc.fake\n", "error: no track"},
        {"channel\t2\ntrack\tA\t0\n", "error: no source"},
        {"channel\t2\nsource\tbroken.fake\ntrack\tA\t0\n", "error: invalid source format"},
        // A track that binds nothing; fields past its channel count are not looked at;
        // the first such track is reported.
        {"channel\t2\nsource\tsrc.fake\ntrack\tDrums\t-1\t4\n", "error: track empty bind:drums"},
        {"channel\t1\nsource\tsrc.fake\ntrack\tDrums\t9\t0\n", "error: track empty bind:drums"},
        {"channel\t2\nsource\tsrc.fake\ntrack\tA\t0\ntrack\tB\t7\ntrack\tC\t8\n", "error: track empty bind:b"},
    };
    for (const auto& [text, outcome] : rows)
        EXPECT_EQ(Load(gather, u"lists/list.mchx", text), outcome) << text;
    EXPECT_EQ(logger.lines, (std::vector<std::pair<std::int32_t, std::u16string>>{
                                {kLogLevelImportant, u"VyModules: module not found/cannot linked:NO_SUCH_MODULE_LIBRARY.SO"}}));
    EXPECT_EQ(std::count(module->requests.begin(), module->requests.end(), u"lists/other.fake"), 0);
    // The list name is the source field, even when the source cannot open.
    EXPECT_EQ(Load(gather, u"lists/list.mchx", "source\tmissing.fake\nchannel\t2\n"), "error: source not found");
    EXPECT_EQ(info.listName, u"missing.fake");
    // The format is the source's, with the tracks' channel count, as float.
    EXPECT_EQ(Load(gather, u"lists/list.mchx", "channel\t2\nsource\tsrc.fake\ntrack\tA\t0\n"), "1x2: a=0");
    EXPECT_EQ(std::tuple(info.format.sampleRate, info.format.sampleFormat, info.format.totalSamples),
              std::tuple(48000u, kSampleFormatFloat32, std::uint64_t{1000}));
    // An unreadable list, or none, fails without a message.
    EXPECT_EQ(Load(gather, u"lists/none.mchx"), "error: ");
    EXPECT_FALSE(gather.Load(ReadTrackListFile(nullptr, u"lists/list.mchx"), info) ||
                 gather.Load(ReadTrackListFile(provider, nullptr), info));
}

// A ".mtrk" path with bars names its sources ("inline" form, relative to its
// directory) and the list; with none, or a bar only at either end, it is a file.
TEST_F(MixerTest, MtrkPaths)
{
    AddFile(u"lists/|start.mtrk", "a\ta.fake\n");
    AddSource(u"music/intro.fake");
    AddSource(u"music/loop.fake");
    const struct {
        const char16_t* path;
        const char* outcome;
        std::u16string listName;
        bool read; // whether a file was opened
    } rows[] = {
        {u"music/intro.fake|missing.fake|loop.fake|bgm.mtrk", "2x2: intro=0 intro.fake=0 loop=1 loop.fake=1", u"bgm.mtrk",
         false},
        {u"lists/|start.mtrk", "1x2: a=0 a=0 a.fake=0", u"|start.mtrk", true},
        {u"lists/none.mtrk", "error: failed to load track list", u"", true},
        {u"lists/list.mtrk|self.mtrk", "error: empty tracks", u"self.mtrk", false},
        {u"music/||a.fake||x.mtrk", "error: empty tracks", u"x.mtrk", false}, // empty parts are dropped
        // No file name: nothing is read and there is no message.
        {u"lists/", "error: ", u"", false}, {nullptr, "error: ", u"", false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.path ? vytext::ToUtf8(row.path) : "null");
        const std::size_t opened = provider->OpenRequests();
        EXPECT_EQ(Load(bunch, row.path), row.outcome);
        EXPECT_EQ(info.listName, row.listName);
        EXPECT_EQ(provider->OpenRequests() > opened, row.read);
    }
    EXPECT_EQ(std::count(module->requests.begin(), module->requests.end(), u"music/missing.fake"), 1);
    // The list is read through the storage the decoder passes in.
    EXPECT_FALSE(bunch.Load(ReadTrackListFile(nullptr, u"lists/|start.mtrk"), info));
}

TEST_F(MixerTest, DecoderChoiceLastsForLaterLinesAndLoadsOfMtrkButNotOfMchx)
{
    // "x.ogg" is a real Vorbis file for the built-in decoder and a fake
    // source for the module, so the requests show which decoder was asked.
    provider->Add(u"x.ogg", testaudio::EncodeVorbis(testaudio::Synthesize(testaudio::DistinctTones(1, 441, 44100)), 1, 44100));
    provider->Add(u"lists/x.ogg", {}); // the built-in decoder cannot read it
    SetModuleEntry(*TheProcessState().registry, u".ogg", module);
    AddSource(u"x.ogg");
    AddSource(u"lists/x.ogg");
    // x.ogg: built-in first (the default); a library that links (already
    // linked): modules from now on, for x.ogg too; "*": built-in first again;
    // a library that cannot link leaves that. Vorbis and fake sources differ.
    EXPECT_EQ(Load(bunch, u"lists/list.mtrk", "a\tx.ogg\nb\ta.fake\tfake.dll\nc\tx.ogg\nd\ta.fake\t*\ne\tx.ogg\n"
                                              "f\ta.fake\tmissing.dll\ng\tx.ogg\n"),
              "error: track format mismatched");
    EXPECT_EQ(module->requests, (std::vector<std::u16string>{u"a.fake", u"x.ogg", u"a.fake", u"a.fake"}));
    module->requests.clear();
    EXPECT_EQ(Load(bunch, u"lists/list.mtrk", "b\ta.fake\tfake.dll\n"), "1x2: b=0 a=0 a.fake=0");
    EXPECT_EQ(Load(bunch, u"lists/list.mtrk", "c\tx.ogg\n"), "1x2: c=0 x=0 x.ogg=0"); // where the last list left off
    EXPECT_EQ(module->requests, (std::vector<std::u16string>{u"a.fake", u"x.ogg"}));

    // A ".mchx" source without a choice tries the built-in decoder first, every time.
    for (const auto& [choice, opened] : {std::pair{"\tfake.dll", 1u}, std::pair{"", 2u}}) {
        const std::size_t before = provider->OpenRequests();
        EXPECT_EQ(Load(gather, u"lists/list.mchx", ("channel\t2\ntrack\tA\t0\nsource\tx.ogg" + std::string(choice)).c_str()),
                  "1x2: a=0");
        EXPECT_EQ(provider->OpenRequests() - before, opened) << "the list, and the built-in attempt";
    }
}

// Tracks add with their gains; a shorter source leaves the rest to the
// others, and the block counts as long as the longest; every source seeks;
// 16-bit sources are read as such. A failing source adds nothing and is not
// counted; its ramp stands still and resumes at its next successful call.
TEST_F(MixerTest, BunchAddsItsTracksWithTheirGains)
{
    LoadBunch({{.endsAt = 100, .dc = 0}, {.endsAt = 60, .dc = 0}});
    States states{Gain(1.0f), Gain(0.5f)};
    const std::vector<float> mixed = Render(bunch, 2, 128, states, 100);
    for (std::uint32_t i = 0; i < mixed.size(); ++i) {
        const float one = i < 2 * 100 ? Counting(i / 2, i % 2) : 0.0f;
        ASSERT_EQ(mixed[i], one + (i < 2 * 60 ? one * 0.5f : 0.0f)) << i;
    }
    EXPECT_EQ(Render(bunch, 2, 128, states, 0), std::vector<float>(2 * 128, 0.0f)) << "both at their end";
    EXPECT_TRUE(bunch.SetPosition(480));
    EXPECT_EQ(module->Opened(u"t0.fake")->positions, module->Opened(u"t1.fake")->positions);
    EXPECT_EQ(module->Opened(u"t1.fake")->positions, std::vector<std::uint64_t>{480});
    LoadBunch({{.channels = 1, .isFloat = false, .dc = -16384}, {.channels = 1, .isFloat = false, .dc = 8192}});
    EXPECT_EQ(Render(bunch, 1, 4, states, 4), std::vector<float>(4, -0.5f + 0.125f));

    LoadBunch({{.channels = 1, .failingCalls = {1, 4}}, {.channels = 1, .failingCalls = {4}}});
    states = {TrackGainState{0.0f, 0.0f, 1.0f, 0, 8}, Gain(0.0f)};
    for (const std::vector<float>& expected : std::vector<std::vector<float>>{
             {0.0f, 0.125f, 0.25f, 0.375f}, {0, 0, 0, 0}, {0.5f, 0.625f, 0.75f, 0.875f}, {1, 1, 1, 1}})
        EXPECT_EQ(Render(bunch, 1, 4, states, 4), expected);
    EXPECT_EQ(Render(bunch, 1, 4, states, 0), std::vector<float>(4, 0.0f)) << "both failing";
}

// Tracks take their source channels in order, -1 adds nothing, and tracks
// sum into the same output channels with their gains; 16-bit sources are
// read as such.
TEST_F(MixerTest, GatherTakesEachTracksChannelsFromTheSource)
{
    LoadGather("channel\t2\ntrack\ta\t3\t1\ntrack\tb\t2\t-1\ntrack\tc\t0\t2\n", {.channels = 4, .dc = 0});
    States states{Gain(1.0f), Gain(1.0f), Gain(0.5f)};
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
TEST_F(MixerTest, MixersCountWhatTheSourcesDelivered)
{
    LoadGather("channel\t1\ntrack\tt\t0\n", {.channels = 4, .endsAt = 5, .dc = 0, .failingCalls = {0}});
    States states{TrackGainState{0.0f, 0.0f, 1.0f, 0, 2}};
    EXPECT_EQ(Render(gather, 1, 0, states, 0), std::vector<float>{});
    EXPECT_EQ(Render(gather, 1, 8, states, 0), std::vector<float>(8, 0.0f));
    EXPECT_EQ(Render(gather, 1, 8, states, 5), (std::vector<float>{0.0f, 1001.0f * 0.5f, 2001.0f, 3001.0f, 4001.0f, 0, 0, 0}));
    EXPECT_EQ(module->Opened(u"src.fake")->renderCalls, 2u);
    EXPECT_TRUE(gather.SetPosition(480));
    EXPECT_EQ(module->Opened(u"src.fake")->positions, std::vector<std::uint64_t>{480});

    const FakeSourceSetup setup{.overstatedFrames = 5000};
    LoadBunch({setup});
    EXPECT_EQ(Render(bunch, 2, 10, states, 10), std::vector<float>(2 * 10, 1.0f));
    LoadGather("channel\t2\ntrack\tt\t0\t1\n", setup);
    EXPECT_EQ(Render(gather, 2, 10, states, 10), std::vector<float>(2 * 10, 1.0f));
}

// Channel × frame counts beyond 32 bits are not wrapped: they are refused
// when no vector can hold them, leaving the buffer as it was.
TEST(MixScratchTest, GrowsOnlyAndRefusesWhatCannotBeHeld)
{
    MixScratch scratch;
    ASSERT_TRUE(scratch.Grow(64) && scratch.Grow(8));
    const void* grown = scratch.Data();
    EXPECT_FALSE(scratch.Grow(std::uint64_t{0xFFFFFFFF} * 0xFFFFFFFF));
    EXPECT_FALSE(scratch.Grow(~std::uint64_t{0}));
    EXPECT_TRUE(scratch.Grow(64));
    EXPECT_EQ(scratch.Data(), grown) << "refusals and sizes it holds already leave the buffer as it was";
}

} // namespace
