// Loading ".mchx" lists: statements in any order, every failure message,
// bindings and volumes.
#include "MultiTrackTestSupport.h"

#include <multitrack/RenderMixerGather.h>

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
        setup.channels = 12;
        AddSource(u"lists/wide.fake", setup);
        setup.channels = 300;
        AddSource(u"lists/huge.fake", setup);
        setup.formatResult = E_FAIL;
        AddSource(u"lists/broken.fake", setup);
    }
    // Loads the list `text` saved as "lists/list.mchx".
    bool LoadText(std::string_view text)
    {
        AddFile(u"lists/list.mchx", text);
        info = TrackListInfo{};
        return mixer.Load(provider, u"lists/list.mchx", info);
    }

    RenderMixerGather mixer;
    TrackListInfo info;
};

constexpr std::string_view kValid = "channel\t2\nsource\tsrc.fake\ntrack\tA\t0\t1\n";

TEST_F(MchxLoadTest, ValidListReportsTrackChannelsBindingsAndSourceName)
{
    ASSERT_TRUE(LoadText("# three tracks; statements in any order\n"
                         "track\tDrums\t0\t1\n"
                         "source\tsrc.fake\n"
                         "track\tBass\t2\n"
                         "channel\t2\n"
                         "track\tdrums\t3\t3\n"));
    EXPECT_EQ(info.trackCount, 3u);
    EXPECT_EQ(info.bindings, (Bindings{{u"drums", 0}, {u"bass", 1}, {u"drums", 2}}));
    EXPECT_TRUE(info.volumes.empty());
    EXPECT_EQ(info.listName, u"src.fake");
    // The tracks' channel count, not the source's 4; the source's rate and length; float.
    EXPECT_EQ(std::tuple(info.format.channelCount, info.format.sampleRate, info.format.sampleFormat, info.format.totalSamples),
              std::tuple(2u, 44100u, kSampleFormatFloat32, std::uint64_t{777}));
    EXPECT_EQ(module->requests, std::vector<std::u16string>{u"lists/src.fake"}) << "the source lies beside the list";
}

TEST_F(MchxLoadTest, ListsThatLoad)
{
    const std::pair<const char*, std::uint32_t> lists[] = {
        // Comments, unknown and differently cased keywords are ignored.
        {"#channel\t5\n  # not a keyword either\n\t#\t9\nTrack\tX\t0\ntracks\tY\t0\ngain\tA\t0.5\n\r\n"
         "channel\t2\r\nsource\tsrc.fake\r\ntrack\tA\t0\t1\r\n", 2},
        // The count is parsed like wcstol: blanks, sign and trailing text.
        {"\tchannel\t +2ch\nsource\tsrc.fake\ntrack\tA\t0\t1\n", 2},
        // One bound channel of two is enough; text without digits reads as 0.
        {"channel\t2\nsource\tsrc.fake\ntrack\tA\t-1\t3\n", 2},
        {"channel\t2\nsource\tsrc.fake\ntrack\tA\tleft\t-1\n", 2},
        // Eight slots, and source channels below 255.
        {"channel\t10\nsource\twide.fake\ntrack\tT\t0\t1\t2\t3\t4\t5\t6\t7\t8\t9\n", 10},
        {"channel\t2\nsource\thuge.fake\ntrack\tT\t255\t254\n", 2},
    };
    for (const auto& [text, channels] : lists) {
        EXPECT_TRUE(LoadText(text)) << text << vytext::ToUtf8(info.errorMessage);
        EXPECT_EQ(info.format.channelCount, channels) << text;
    }
}

TEST_F(MchxLoadTest, FailureMessages)
{
    const struct {
        std::string_view text;
        std::u16string_view message;
    } cases[] = {
        // Nothing to read, or only empty lines: no message. A line of a
        // carriage return alone is one (empty) line, so that list lacks its statements.
        {"", u""},
        {"\n\n\n", u""},
        {"\n\r\n", u"no channel"},
        {"Channel\t2\nsource\tsrc.fake\ntrack\tA\t0\n", u"no channel"},
        {"channel\nsource\tsrc.fake\ntrack\tA\t0\n", u"invalid channel count"},
        {"channel\t0\n", u"invalid channel count"},
        {"channel\t-2\n", u"invalid channel count"},
        {"channel\tstereo\n", u"invalid channel count"},
        {"channel\t2\nchannel\t2\n", u"duplicated channel found"},
        {"channel\t2\nchannel\t0\n", u"invalid channel count"}, // the count is checked before the duplicate
        {"source\n", u"invalid source"},
        {"source\tmissing.fake\n", u"source not found"},
        {"source\tsrc.fake\nsource\tsrc.fake\n", u"multi source found"},
        // A second source line links its library (and logs the failure) before failing.
        {"source\tsrc.fake\nsource\tother.fake\tno_such_module_library.so\n", u"multi source found"},
        {"channel\t2\ntrack\n", u"no track name"},
        {"volume\n", u"no volume name"},
        {"volume\ntrack\n", u"no volume name"}, // the first failing line decides
        {"channel\t2\nchannel\t2\ntrack\n", u"duplicated channel found"},
        // Checks after the last line, in their order.
        {"source\tsrc.fake\n", u"no channel"},
        {"channel\t2\nsource\tsrc.fake\n", u"no track"},
        {"channel\t2\ntrack\tA\t0\n", u"no source"},
        {"channel\t2\nsource\tbroken.fake\ntrack\tA\t0\n", u"invalid source format"},
        // A track that binds nothing; fields past its channel count are not looked at.
        {"channel\t2\nsource\tsrc.fake\ntrack\tDrums\t-1\t4\n", u"track empty bind:drums"},
        {"channel\t2\nsource\tsrc.fake\ntrack\tDrums\t4x\t-7\t1\n", u"track empty bind:drums"},
        {"channel\t2\nsource\tsrc.fake\ntrack\tDrums\n", u"track empty bind:drums"},
        {"channel\t1\nsource\tsrc.fake\ntrack\tDrums\t9\t0\n", u"track empty bind:drums"},
        // The first such track is reported, after the tracks before it bound.
        {"channel\t2\nsource\tsrc.fake\ntrack\tA\t0\ntrack\tB\t7\ntrack\tC\t8\n", u"track empty bind:b"},
        // Only a track's first eight channels can be bound, and source channels below 255.
        {"channel\t10\nsource\twide.fake\ntrack\tT\t-1\t-1\t-1\t-1\t-1\t-1\t-1\t-1\t8\t9\n", u"track empty bind:t"},
        {"channel\t2\nsource\thuge.fake\ntrack\tT\t255\t256\n", u"track empty bind:t"},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(LoadText(c.text)) << c.text;
        EXPECT_EQ(info.errorMessage, c.message) << c.text;
    }
    EXPECT_EQ(logger.lines, (std::vector<std::pair<std::int32_t, std::u16string>>{
                                {kLogLevelImportant, u"VyModules: module not found/cannot linked:NO_SUCH_MODULE_LIBRARY.SO"}}));
    EXPECT_EQ(std::count(module->requests.begin(), module->requests.end(), u"lists/other.fake"), 0);
    // The list name is the file field even when the source cannot open.
    EXPECT_FALSE(LoadText("source\tmissing.fake\nchannel\t2\n"));
    EXPECT_EQ(info.listName, u"missing.fake");
    // An unreadable list, or none, fails without a message.
    info = TrackListInfo{};
    EXPECT_FALSE(mixer.Load(provider, u"lists/none.mchx", info) || mixer.Load(nullptr, u"lists/list.mchx", info) ||
                 mixer.Load(provider, nullptr, info));
    EXPECT_TRUE(info.errorMessage.empty());
}

TEST_F(MchxLoadTest, SourceDecoderChoiceStartsFromBuiltinEachTime)
{
    // With a module linked by the choice, ".ogg" goes to the registry; a
    // line without a choice tries the built-in decoder first.
    SetModuleEntry(*TheProcessState().registry, u".ogg", module);
    AddSource(u"lists/x.ogg");
    provider->Add(u"lists/x.ogg", {}); // the built-in decoder cannot read it
    // Opened: the list, and without a choice the built-in attempt before it.
    for (const auto& [text, opened] : {std::pair{"channel\t2\nsource\tx.ogg\tfake.dll\ntrack\tA\t0\n", 1u},
                                       std::pair{"channel\t2\nsource\tx.ogg\ntrack\tA\t0\n", 2u}}) {
        module->requests.clear();
        const std::size_t before = provider->OpenRequests();
        ASSERT_TRUE(LoadText(text));
        EXPECT_EQ(provider->OpenRequests() - before, opened) << text;
        EXPECT_EQ(module->requests, std::vector<std::u16string>{u"lists/x.ogg"});
    }
}

TEST_F(MchxLoadTest, Volumes)
{
    ASSERT_TRUE(LoadText("volume\tdrums\t0.25\nchannel\t2\nsource\tsrc.fake\n"
                         "track\tDrums\t0\t1\ntrack\tBass\t2\t3\ntrack\tKeys\t1\t2\ntrack\tDRUMS\t3\t0\n"
                         "volume\tDRUMS\t0.75\n" // the first line for a track wins
                         "volume\tkeys\n"        // no value: 1.0
                         "volume\tnobody\t0.1\n" // names no track
                         "volume\tbass\t 5e-1dB\n"));
    EXPECT_EQ(info.volumes, (std::vector<float>{0.25f, 0.5f, 1.0f, 1.0f}));
    ASSERT_TRUE(LoadText(std::string(kValid).append("volume\tnobody\t0.1\n")));
    EXPECT_EQ(info.volumes, std::vector<float>{1.0f});
    ASSERT_TRUE(LoadText(kValid));
    EXPECT_TRUE(info.volumes.empty());
    // A volume that is no finite number counts as missing.
    ASSERT_TRUE(LoadText("channel\t1\nsource\tsrc.fake\ntrack\tA\t0\ntrack\tB\t1\ntrack\tC\t2\ntrack\tD\t3\ntrack\tE\t0\n"
                         "volume\tA\tnan\nvolume\tB\tinf\nvolume\tC\t-1e999\nvolume\tD\t1e38\nvolume\tE\tloud\n"));
    EXPECT_EQ(info.volumes, (std::vector<float>{1.0f, 1.0f, 1.0f, 1e38f, 0.0f}));
}

TEST_F(MchxLoadTest, SourceIsHeldUntilCloseOrTheNextLoad)
{
    EXPECT_FALSE(LoadText("channel\t2\nsource\tsrc.fake\ntrack\tA\t9\n"));
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
