// Loading ".mchx" lists: statements in any order, every failure message,
// bindings and volumes.
#include "MultiTrackTestSupport.h"

#include <multitrack/RenderMixerGather.h>

#include <cstring>

namespace {

using mttest::FakeSourceSetup;
using mttest::References;
using Bindings = std::vector<std::pair<std::u16string, std::int32_t>>;

class MchxLoadTest : public mttest::MultiTrackTest {
protected:
    void SetUp() override
    {
        MultiTrackTest::SetUp();
        FakeSourceSetup setup;
        setup.channels = 4;
        setup.sampleRate = 44100;
        setup.totalFrames = 777;
        AddSource(u"lists/src.fake", setup);
    }
    // Loads the list `text` saved as "lists/list.mchx".
    bool LoadText(std::string_view text)
    {
        AddFile(u"lists/list.mchx", text);
        info = TrackListInfo{};
        return mixer.Load(provider, u"lists/list.mchx", info);
    }
    // Loads `text` and expects it to fail with `message`.
    void ExpectMessage(std::string_view text, std::u16string_view message)
    {
        EXPECT_FALSE(LoadText(text)) << text;
        EXPECT_EQ(info.errorMessage, message) << text;
    }

    RenderMixerGather mixer;
    TrackListInfo info;
};

constexpr std::string_view kValid = "channel\t2\nsource\tsrc.fake\ntrack\tA\t0\t1\n";

TEST_F(MchxLoadTest, ValidListReportsTrackChannelsBindingsAndSourceName)
{
    ASSERT_TRUE(LoadText("# a stream of three tracks\n"
                         "channel\t2\n"
                         "source\tsrc.fake\n"
                         "track\tDrums\t0\t1\n"
                         "track\tBass\t2\n"
                         "track\tdrums\t3\t3\n"));
    EXPECT_TRUE(info.errorMessage.empty());
    EXPECT_EQ(info.trackCount, 3u);
    EXPECT_EQ(info.bindings, (Bindings{{u"drums", 0}, {u"bass", 1}, {u"drums", 2}}));
    EXPECT_TRUE(info.volumes.empty());
    EXPECT_EQ(info.listName, u"src.fake");
    EXPECT_EQ(info.format.channelCount, 2u); // the tracks', not the source's 4
    EXPECT_EQ(info.format.sampleRate, 44100u);
    EXPECT_EQ(info.format.sampleFormat, kSampleFormatFloat32);
    EXPECT_EQ(info.format.totalSamples, 777u);
    // The source lies beside the list.
    EXPECT_EQ(module->requests, std::vector<std::u16string>{u"lists/src.fake"});
}

TEST_F(MchxLoadTest, StatementsMayComeInAnyOrder)
{
    ASSERT_TRUE(LoadText("track\tA\t0\t1\nsource\tsrc.fake\nchannel\t2\n"));
    EXPECT_EQ(info.bindings, (Bindings{{u"a", 0}}));
}

TEST_F(MchxLoadTest, CommentsUnknownKeywordsAndCaseSensitiveKeywordsAreIgnored)
{
    ASSERT_TRUE(LoadText("#channel\t5\n"
                         "  # not a keyword either\n"
                         "\t#\t9\n"
                         "Track\tX\t0\n"
                         "tracks\tY\t0\n"
                         "gain\tA\t0.5\n"
                         "\r\n"
                         "channel\t2\r\n"
                         "source\tsrc.fake\r\n"
                         "track\tA\t0\t1\r\n"));
    EXPECT_EQ(info.bindings, (Bindings{{u"a", 0}}));
    ExpectMessage("Channel\t2\nsource\tsrc.fake\ntrack\tA\t0\n", u"no channel");
}

TEST_F(MchxLoadTest, ChannelLineMessages)
{
    ExpectMessage("channel\nsource\tsrc.fake\ntrack\tA\t0\n", u"invalid channel count");
    ExpectMessage("channel\t0\n", u"invalid channel count");
    ExpectMessage("channel\t-2\n", u"invalid channel count");
    ExpectMessage("channel\tstereo\n", u"invalid channel count");
    ExpectMessage("channel\t2\nchannel\t2\n", u"duplicated channel found");
    ExpectMessage("channel\t2\nchannel\t3\n", u"duplicated channel found");
    // The count is checked before the duplicate.
    ExpectMessage("channel\t2\nchannel\t0\n", u"invalid channel count");
    // Parsed like wcstol: blanks, sign and trailing text.
    ASSERT_TRUE(LoadText("\tchannel\t +2ch\nsource\tsrc.fake\ntrack\tA\t0\t1\n"));
    EXPECT_EQ(info.format.channelCount, 2u);
}

TEST_F(MchxLoadTest, SourceLineMessages)
{
    ExpectMessage("source\n", u"invalid source");
    ExpectMessage("source\tmissing.fake\n", u"source not found");
    ExpectMessage("source\tsrc.fake\nsource\tsrc.fake\n", u"multi source found");
    // The list name is the file field even when the source cannot open.
    EXPECT_EQ(info.listName, u"src.fake");
    ExpectMessage("source\tmissing.fake\nchannel\t2\n", u"source not found");
    EXPECT_EQ(info.listName, u"missing.fake");
}

TEST_F(MchxLoadTest, SecondSourceLineLinksItsLibraryBeforeFailing)
{
    ExpectMessage("source\tsrc.fake\nsource\tother.fake\tno_such_module_library.so\n",
                  u"multi source found");
    const std::vector<std::pair<std::int32_t, std::u16string>> expected{
        {kLogLevelImportant,
         u"VyModules: module not found/cannot linked:NO_SUCH_MODULE_LIBRARY.SO"}};
    EXPECT_EQ(logger.lines, expected);
    EXPECT_EQ(module->requests, std::vector<std::u16string>{u"lists/src.fake"});
}

TEST_F(MchxLoadTest, SourceDecoderChoiceStartsFromBuiltinEachTime)
{
    // With a module linked by the choice, ".ogg" goes to the registry; a
    // line without a choice tries the built-in decoder first.
    SetModuleEntry(*TheProcessState().registry, u".ogg", module);
    AddSource(u"lists/x.ogg");
    provider->Add(u"lists/x.ogg", {}); // the built-in decoder cannot read it
    std::size_t before = provider->OpenRequests();
    ASSERT_TRUE(LoadText("channel\t2\nsource\tx.ogg\tfake.dll\ntrack\tA\t0\n"));
    EXPECT_EQ(provider->OpenRequests() - before, 1u); // the list only
    EXPECT_EQ(module->requests.back(), u"lists/x.ogg");

    module->requests.clear();
    before = provider->OpenRequests();
    ASSERT_TRUE(LoadText("channel\t2\nsource\tx.ogg\ntrack\tA\t0\n"));
    EXPECT_EQ(provider->OpenRequests() - before, 2u); // the list, then the built-in attempt
    EXPECT_EQ(module->requests, std::vector<std::u16string>{u"lists/x.ogg"});
}

TEST_F(MchxLoadTest, TrackAndVolumeLineMessages)
{
    ExpectMessage("channel\t2\ntrack\n", u"no track name");
    ExpectMessage("channel\t2\ntrack\t\t\n", u"no track name");
    ExpectMessage("volume\n", u"no volume name");
    // The first failing line decides.
    ExpectMessage("volume\ntrack\n", u"no volume name");
    ExpectMessage("channel\t2\nchannel\t2\ntrack\n", u"duplicated channel found");
}

TEST_F(MchxLoadTest, ChecksAfterTheLastLineInTheirOrder)
{
    ExpectMessage("source\tsrc.fake\n", u"no channel");
    ExpectMessage("track\tA\t0\n", u"no channel");
    ExpectMessage("channel\t2\nsource\tsrc.fake\n", u"no track");
    ExpectMessage("channel\t2\n", u"no track");
    ExpectMessage("channel\t2\ntrack\tA\t0\n", u"no source");

    FakeSourceSetup broken;
    broken.formatResult = E_FAIL;
    AddSource(u"lists/broken.fake", broken);
    ExpectMessage("channel\t2\nsource\tbroken.fake\ntrack\tA\t0\n", u"invalid source format");
}

TEST_F(MchxLoadTest, TrackThatBindsNothing)
{
    ExpectMessage("channel\t2\nsource\tsrc.fake\ntrack\tDrums\t-1\t4\n", u"track empty bind:drums");
    ExpectMessage("channel\t2\nsource\tsrc.fake\ntrack\tDrums\t4x\t-7\t1\n",
                  u"track empty bind:drums");
    ExpectMessage("channel\t2\nsource\tsrc.fake\ntrack\tDrums\n", u"track empty bind:drums");
    // Fields past the track's channel count are not looked at.
    ExpectMessage("channel\t1\nsource\tsrc.fake\ntrack\tDrums\t9\t0\n", u"track empty bind:drums");
    // The first such track is reported, after the tracks before it bound.
    ExpectMessage("channel\t2\nsource\tsrc.fake\ntrack\tA\t0\ntrack\tB\t7\ntrack\tC\t8\n",
                  u"track empty bind:b");
    // One bound channel of two is enough; text without digits reads as 0,
    // so it binds the first source channel.
    EXPECT_TRUE(LoadText("channel\t2\nsource\tsrc.fake\ntrack\tA\t-1\t3\n"));
    EXPECT_TRUE(LoadText("channel\t2\nsource\tsrc.fake\ntrack\tA\tleft\t-1\n"));
}

TEST_F(MchxLoadTest, OnlyTheFirstEightChannelsOfATrackCanBeBound)
{
    FakeSourceSetup wide;
    wide.channels = 12;
    AddSource(u"lists/wide.fake", wide);
    ExpectMessage(
        "channel\t10\nsource\twide.fake\ntrack\tT\t-1\t-1\t-1\t-1\t-1\t-1\t-1\t-1\t8\t9\n",
        u"track empty bind:t");
    EXPECT_TRUE(
        LoadText("channel\t10\nsource\twide.fake\ntrack\tT\t0\t1\t2\t3\t4\t5\t6\t7\t8\t9\n"));
    EXPECT_EQ(info.format.channelCount, 10u);
}

TEST_F(MchxLoadTest, SourceChannelsFrom255OnCannotBeBound)
{
    FakeSourceSetup huge;
    huge.channels = 300;
    AddSource(u"lists/huge.fake", huge);
    ExpectMessage("channel\t2\nsource\thuge.fake\ntrack\tT\t255\t256\n", u"track empty bind:t");
    EXPECT_TRUE(LoadText("channel\t2\nsource\thuge.fake\ntrack\tT\t255\t254\n"));
}

TEST_F(MchxLoadTest, Volumes)
{
    ASSERT_TRUE(LoadText("volume\tdrums\t0.25\n"
                         "channel\t2\n"
                         "source\tsrc.fake\n"
                         "track\tDrums\t0\t1\n"
                         "track\tBass\t2\t3\n"
                         "track\tKeys\t1\t2\n"
                         "track\tDRUMS\t3\t0\n"
                         "volume\tDRUMS\t0.75\n" // the first line for a track wins
                         "volume\tkeys\n"        // no value: 1.0
                         "volume\tnobody\t0.1\n" // names no track
                         "volume\tbass\t 5e-1dB\n"));
    EXPECT_EQ(info.volumes, (std::vector<float>{0.25f, 0.5f, 1.0f, 1.0f}));

    ASSERT_TRUE(LoadText(std::string(kValid).append("volume\tnobody\t0.1\n")));
    EXPECT_EQ(info.volumes, std::vector<float>{1.0f});
    ASSERT_TRUE(LoadText(kValid));
    EXPECT_TRUE(info.volumes.empty());
}

TEST_F(MchxLoadTest, VolumeThatIsNoFiniteNumberCountsAsMissing)
{
    ASSERT_TRUE(LoadText(
        "channel\t1\nsource\tsrc.fake\n"
        "track\tA\t0\ntrack\tB\t1\ntrack\tC\t2\ntrack\tD\t3\ntrack\tE\t0\n"
        "volume\tA\tnan\nvolume\tB\tinf\nvolume\tC\t-1e999\nvolume\tD\t1e38\nvolume\tE\tloud\n"));
    EXPECT_EQ(info.volumes, (std::vector<float>{1.0f, 1.0f, 1.0f, 1e38f, 0.0f}));
}

TEST_F(MchxLoadTest, UnreadableOrEmptyListFailsWithoutMessage)
{
    ExpectMessage("", u"");
    ExpectMessage("\n\n\n", u"");
    // A line of a carriage return alone is one (empty) line, so the list
    // is not empty: it lacks its statements.
    ExpectMessage("\n\r\n", u"no channel");
}

TEST_F(MchxLoadTest, UnreadableListFailsWithoutMessage)
{
    info = TrackListInfo{};
    EXPECT_FALSE(mixer.Load(provider, u"lists/none.mchx", info));
    EXPECT_TRUE(info.errorMessage.empty());
    EXPECT_FALSE(mixer.Load(nullptr, u"lists/list.mchx", info));
    EXPECT_FALSE(mixer.Load(provider, nullptr, info));
    EXPECT_TRUE(info.errorMessage.empty());
}

TEST_F(MchxLoadTest, SourceIsHeldUntilCloseOrTheNextLoad)
{
    ExpectMessage("channel\t2\nsource\tsrc.fake\ntrack\tA\t9\n", u"track empty bind:a");
    mttest::FakeSource* first = module->Opened(u"lists/src.fake");
    EXPECT_EQ(References(first), 2u);
    mixer.Close();
    EXPECT_EQ(References(first), 1u);
    ASSERT_TRUE(LoadText(kValid));
    mttest::FakeSource* second = module->Opened(u"lists/src.fake");
    ASSERT_TRUE(LoadText(kValid));
    EXPECT_EQ(References(second), 1u);
    EXPECT_EQ(References(module->Opened(u"lists/src.fake")), 2u);
}

} // namespace
