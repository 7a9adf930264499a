// Loading ".mtrk" lists: the file and inline forms, bindings, decoder
// choices, format checks and every failure message.
#include "MultiTrackTestSupport.h"

#include <multitrack/RenderMixerBunch.h>

#include <host/TestAudio.h>

#include <cstring>

namespace {

using mttest::FakeSourceSetup;
using mttest::References;
using Bindings = std::vector<std::pair<std::u16string, std::int32_t>>;

class MtrkLoadTest : public mttest::MultiTrackTest {
protected:
    bool Load(const char16_t* path)
    {
        info = TrackListInfo{};
        return mixer.Load(provider, path, info);
    }
    // Loads the list `text` saved as "lists/list.mtrk".
    bool LoadText(std::string_view text)
    {
        AddFile(u"lists/list.mtrk", text);
        return Load(u"lists/list.mtrk");
    }
    void ExpectFailure(std::u16string_view message)
    {
        EXPECT_EQ(info.errorMessage, message);
        EXPECT_EQ(info.trackCount, 0u);
    }

    RenderMixerBunch mixer;
    TrackListInfo info;
};

TEST_F(MtrkLoadTest, FileFormBindsTrackNameStemAndFileName)
{
    FakeSourceSetup setup;
    setup.channels = 2;
    setup.sampleRate = 44100;
    setup.totalFrames = 12345;
    setup.totalMilliseconds = 280;
    AddSource(u"music/bgm_a.fake", setup);
    AddSource(u"drums.fake", setup);
    ASSERT_TRUE(LoadText("bgm\tmusic/bgm_a.fake\ndrums\tdrums.fake\n"));
    EXPECT_EQ(info.trackCount, 2u);
    EXPECT_EQ(info.bindings, (Bindings{{u"bgm", 0},
                                       {u"bgm_a", 0},
                                       {u"bgm_a.fake", 0},
                                       {u"drums", 1},
                                       {u"drums", 1},
                                       {u"drums.fake", 1}}));
    EXPECT_EQ(info.listName, u"list.mtrk");
    EXPECT_TRUE(info.errorMessage.empty());
    EXPECT_TRUE(info.volumes.empty());
    HSSWaveFormat expected{};
    ASSERT_EQ(module->Opened(u"drums.fake")->GetFormat(&expected), S_OK);
    EXPECT_EQ(std::memcmp(&info.format, &expected, sizeof expected), 0);
}

TEST_F(MtrkLoadTest, FileFormSourcesAreUsedAsWrittenNotJoinedToTheListDirectory)
{
    AddSource(u"x.fake");
    AddSource(u"lists/x.fake");
    ASSERT_TRUE(LoadText("t\tx.fake"));
    EXPECT_EQ(module->requests, std::vector<std::u16string>{u"x.fake"});
}

TEST_F(MtrkLoadTest, LinesWithoutSourceCommentsAndMissingSourcesAddNothing)
{
    AddSource(u"a.fake");
    AddSource(u"c.fake");
    ASSERT_TRUE(LoadText("# a comment line\r\n"
                         "\r\n"
                         "lonely\r\n"
                         "\t\tonly.fake\r\n"      // one non-empty field
                         "gone\tmissing.fake\r\n" // cannot be opened
                         "\t\ta\t\ta.fake\t\t\t\r\n"
                         "c\tc.fake\t*\textra\tfields\r\n"));
    EXPECT_EQ(info.trackCount, 2u);
    EXPECT_EQ(
        info.bindings,
        (Bindings{{u"a", 0}, {u"a", 0}, {u"a.fake", 0}, {u"c", 1}, {u"c", 1}, {u"c.fake", 1}}));
    EXPECT_EQ(module->requests,
              (std::vector<std::u16string>{u"missing.fake", u"a.fake", u"c.fake"}));
}

TEST_F(MtrkLoadTest, EmptyBindingNamesAreLeftOut)
{
    AddSource(u"dir/.fake");
    ASSERT_TRUE(LoadText("t\tdir/.fake"));
    EXPECT_EQ(info.bindings, (Bindings{{u"t", 0}, {u".fake", 0}}));
}

TEST_F(MtrkLoadTest, FailedToLoadTrackList)
{
    AddSource(u"a.fake");
    // Missing, empty, unreadable, without lines that add a track, or with
    // none of its sources opening.
    EXPECT_FALSE(Load(u"lists/none.mtrk"));
    ExpectFailure(u"failed to load track list");
    EXPECT_FALSE(LoadText(""));
    ExpectFailure(u"failed to load track list");
    EXPECT_FALSE(LoadText("\n\r\n\n"));
    ExpectFailure(u"failed to load track list");
    EXPECT_FALSE(LoadText("# only a comment\nand\n"));
    ExpectFailure(u"failed to load track list");
    EXPECT_FALSE(LoadText("a\tmissing.fake\nb\talso-missing.fake\n"));
    ExpectFailure(u"failed to load track list");
    host::StreamFaults unreadable;
    unreadable.failReadsAt = 0;
    provider->Add(u"bad.mtrk", mttest::Bytes("a\ta.fake\n"), unreadable);
    EXPECT_FALSE(Load(u"bad.mtrk"));
    ExpectFailure(u"failed to load track list");
    // The list is read through the storage the decoder passes in.
    info = TrackListInfo{};
    AddFile(u"ok.mtrk", "a\ta.fake\n");
    EXPECT_FALSE(mixer.Load(nullptr, u"ok.mtrk", info));
    ExpectFailure(u"failed to load track list");
}

TEST_F(MtrkLoadTest, PathWithoutFileNameFailsWithoutMessage)
{
    for (const char16_t* path :
         {u"lists/", u"lists\\", u"pack.arc>", u"", static_cast<const char16_t*>(nullptr)}) {
        EXPECT_FALSE(Load(path));
        ExpectFailure(u"");
    }
    EXPECT_EQ(provider->OpenRequests(), 0u);
}

TEST_F(MtrkLoadTest, InlineFormOpensItsPartsFromTheListDirectory)
{
    AddSource(u"music/intro.fake");
    AddSource(u"music/loop.fake");
    ASSERT_TRUE(Load(u"music/intro.fake|missing.fake|loop.fake|bgm.mtrk"));
    EXPECT_EQ(module->requests,
              (std::vector<std::u16string>{u"music/intro.fake", u"music/missing.fake",
                                           u"music/loop.fake"}));
    EXPECT_EQ(info.trackCount, 2u);
    EXPECT_EQ(info.bindings,
              (Bindings{{u"intro", 0}, {u"intro.fake", 0}, {u"loop", 1}, {u"loop.fake", 1}}));
    EXPECT_EQ(info.listName, u"bgm.mtrk");
    EXPECT_EQ(provider->OpenRequests(), 0u); // the name is never read as a file
}

TEST_F(MtrkLoadTest, InlineFormWithoutSourcesGivesEmptyTracks)
{
    EXPECT_FALSE(Load(u"music/a.fake|b.fake|bgm.mtrk"));
    ExpectFailure(u"empty tracks");
    EXPECT_EQ(info.listName, u"bgm.mtrk");
    // Empty parts are dropped; the last part alone need not be a list.
    EXPECT_FALSE(Load(u"music/||a.fake||x"));
    ExpectFailure(u"empty tracks");
}

TEST_F(MtrkLoadTest, SingleBarAtEitherEndReadsTheFile)
{
    AddSource(u"a.fake");
    AddFile(u"lists/|start.mtrk", "a\ta.fake\n");
    AddFile(u"lists/end.mtrk|", "a\ta.fake\n");
    ASSERT_TRUE(Load(u"lists/|start.mtrk"));
    EXPECT_EQ(info.listName, u"|start.mtrk");
    ASSERT_TRUE(Load(u"lists/end.mtrk|"));
    EXPECT_EQ(info.listName, u"end.mtrk|");
}

TEST_F(MtrkLoadTest, TrackFormatMismatched)
{
    FakeSourceSetup base;
    base.totalMilliseconds = 100;
    const auto expectMismatch = [&](FakeSourceSetup second) {
        AddSource(u"a.fake", base);
        AddSource(u"b.fake", second);
        EXPECT_FALSE(LoadText("a\ta.fake\nb\tb.fake\n"));
        EXPECT_EQ(info.errorMessage, u"track format mismatched");
    };
    FakeSourceSetup longer = base;
    longer.totalFrames += 1;
    expectMismatch(longer);
    FakeSourceSetup faster = base;
    faster.sampleRate = 44100;
    expectMismatch(faster);
    FakeSourceSetup wider = base;
    wider.channels = 3;
    expectMismatch(wider);
    FakeSourceSetup integer = base;
    integer.isFloat = false;
    expectMismatch(integer);
    FakeSourceSetup failing = base;
    failing.formatResult = E_FAIL;
    expectMismatch(failing);
    FakeSourceSetup positiveCode = base;
    positiveCode.formatResult = S_FALSE; // anything but S_OK fails
    expectMismatch(positiveCode);

    // The first source's format is checked too.
    AddSource(u"a.fake", failing);
    EXPECT_FALSE(LoadText("a\ta.fake\n"));
    EXPECT_EQ(info.errorMessage, u"track format mismatched");

    // The length in milliseconds is not compared.
    FakeSourceSetup otherMilliseconds = base;
    otherMilliseconds.totalMilliseconds = 999;
    AddSource(u"a.fake", base);
    AddSource(u"b.fake", otherMilliseconds);
    EXPECT_TRUE(LoadText("a\ta.fake\nb\tb.fake\n"));
    EXPECT_EQ(info.format.totalMilliseconds, 100u);
}

TEST_F(MtrkLoadTest, NoChannels)
{
    FakeSourceSetup silent;
    silent.channels = 0;
    AddSource(u"a.fake", silent);
    EXPECT_FALSE(LoadText("a\ta.fake\n"));
    EXPECT_EQ(info.errorMessage, u"no channels");
}

TEST_F(MtrkLoadTest, DecoderChoiceLastsForLaterLinesAndLaterLoads)
{
    // "x.ogg" is a real Vorbis file for the built-in decoder and a fake
    // source for the module, so the requests show which decoder was asked.
    provider->Add(u"x.ogg",
                  testaudio::EncodeVorbis(
                      testaudio::Synthesize(testaudio::DistinctTones(1, 441, 44100)), 1, 44100));
    SetModuleEntry(*TheProcessState().registry, u".ogg", module);
    AddSource(u"x.ogg");
    AddSource(u"y.fake");
    EXPECT_FALSE(LoadText("a\tx.ogg\n"               // built-in first (the default)
                          "b\ty.fake\tfake.dll\n"    // links (already linked): modules from now on
                          "c\tx.ogg\n"               // module
                          "d\ty.fake\t*\n"           // built-in first again
                          "e\tx.ogg\n"               // built-in
                          "f\ty.fake\tmissing.dll\n" // cannot link: unchanged
                          "g\tx.ogg\n"));            // built-in
    EXPECT_EQ(info.errorMessage, u"track format mismatched"); // Vorbis and fake sources differ
    EXPECT_EQ(module->requests,
              (std::vector<std::u16string>{u"y.fake", u"x.ogg", u"y.fake", u"y.fake"}));

    // A later list of the same mixer starts where this one left off.
    module->requests.clear();
    EXPECT_TRUE(LoadText("b\ty.fake\tfake.dll\n"));
    EXPECT_TRUE(LoadText("c\tx.ogg\n"));
    EXPECT_EQ(module->requests, (std::vector<std::u16string>{u"y.fake", u"x.ogg"}));
}

TEST_F(MtrkLoadTest, EveryEncodingAndLineEndingReadsTheSame)
{
    AddSource(u"music/\u00E9t\u00E9.fake");
    AddSource(u"b.fake");
    const std::u16string text = u"\u00C9t\u00E9\tmusic/\u00E9t\u00E9.fake\nb\tb.fake\n";
    std::u16string crlf;
    for (char16_t c : text) {
        if (c == u'\n')
            crlf.push_back(u'\r');
        crlf.push_back(c);
    }
    const std::string utf8 = vytext::ToUtf8(text);
    const std::vector<std::vector<std::uint8_t>> files{
        mttest::Bytes(utf8),
        mttest::Bytes(std::string("\xEF\xBB\xBF").append(utf8)),
        mttest::Bytes(vytext::ToUtf8(crlf)),
        mttest::Utf16LeBytes(text),
        mttest::Utf16LeBytes(crlf),
    };
    const Bindings expected{{u"\u00C9t\u00E9", 0},
                            {u"\u00E9t\u00E9", 0},
                            {u"\u00E9t\u00E9.fake", 0},
                            {u"b", 1},
                            {u"b", 1},
                            {u"b.fake", 1}};
    for (const auto& bytes : files) {
        provider->Add(u"list.mtrk", bytes);
        ASSERT_TRUE(Load(u"list.mtrk"));
        EXPECT_EQ(info.bindings, expected);
    }

    // UTF-16 big-endian, or little-endian without its mark, ends at the
    // first zero byte.
    std::vector<std::uint8_t> bigEndian{0xFE, 0xFF};
    std::vector<std::uint8_t> noMark;
    for (char16_t c : text) {
        bigEndian.insert(bigEndian.end(),
                         {static_cast<std::uint8_t>(c >> 8), static_cast<std::uint8_t>(c)});
        noMark.insert(noMark.end(),
                      {static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(c >> 8)});
    }
    for (const auto& bytes : {bigEndian, noMark}) {
        provider->Add(u"list.mtrk", bytes);
        EXPECT_FALSE(Load(u"list.mtrk"));
        ExpectFailure(u"failed to load track list");
    }
}

TEST_F(MtrkLoadTest, ListNamingItselfFailsCleanly)
{
    SetModuleEntry(*TheProcessState().registry, u".mtrk", module);
    EXPECT_FALSE(LoadText("me\tlists/list.mtrk\n"));
    ExpectFailure(u"failed to load track list");
    EXPECT_FALSE(Load(u"lists/list.mtrk|self.mtrk"));
    ExpectFailure(u"empty tracks");
    EXPECT_TRUE(module->requests.empty());
}

TEST_F(MtrkLoadTest, SourcesAreHeldUntilCloseOrTheNextLoad)
{
    FakeSourceSetup other;
    other.channels = 1;
    AddSource(u"a.fake");
    AddSource(u"b.fake", other);
    // A failed load keeps what it opened until Close.
    EXPECT_FALSE(LoadText("a\ta.fake\nb\tb.fake\n"));
    mttest::FakeSource* a = module->Opened(u"a.fake");
    mttest::FakeSource* b = module->Opened(u"b.fake");
    EXPECT_EQ(References(a), 2u);
    EXPECT_EQ(References(b), 2u);
    mixer.Close();
    EXPECT_EQ(References(a), 1u);
    EXPECT_EQ(References(b), 1u);

    ASSERT_TRUE(LoadText("a\ta.fake\n"));
    a = module->Opened(u"a.fake");
    EXPECT_EQ(References(a), 2u);
    ASSERT_TRUE(LoadText("a\ta.fake\n")); // starts by closing
    EXPECT_EQ(References(a), 1u);
    EXPECT_EQ(References(module->Opened(u"a.fake")), 2u);
}

TEST_F(MtrkLoadTest, DestructionReleasesTheSources)
{
    AddSource(u"a.fake");
    AddFile(u"l.mtrk", "a\ta.fake\n");
    {
        RenderMixerBunch local;
        TrackListInfo localInfo;
        ASSERT_TRUE(local.Load(provider, u"l.mtrk", localInfo));
        EXPECT_EQ(References(module->Opened(u"a.fake")), 2u);
    }
    EXPECT_EQ(References(module->Opened(u"a.fake")), 1u);
}

TEST_F(MtrkLoadTest, BuiltinOpusSources)
{
    const auto encode = [](float level) {
        testaudio::SignalSpec tone;
        tone.frames = 4800;
        tone.channels.resize(2);
        for (auto& channel : tone.channels)
            channel.amplitude = level;
        return testaudio::EncodeOpus(testaudio::Synthesize(tone), 2, 48000);
    };
    provider->Add(u"stems/melody.opus", encode(0.5f));
    provider->Add(u"stems/bass.opus", encode(0.25f));
    ASSERT_TRUE(LoadText("melody\tstems/melody.opus\nbass\tstems/bass.opus\n"));
    EXPECT_EQ(info.trackCount, 2u);
    EXPECT_EQ(info.format.sampleRate, 48000u);
    EXPECT_EQ(info.format.channelCount, 2u);
    EXPECT_EQ(info.format.sampleFormat, kSampleFormatFloat32);
    EXPECT_EQ(info.format.totalSamples, 4800u);
    EXPECT_TRUE(module->requests.empty());

    ASSERT_TRUE(Load(u"stems/melody.opus|bass.opus|song.mtrk"));
    EXPECT_EQ(info.trackCount, 2u);
    EXPECT_EQ(info.listName, u"song.mtrk");
}

} // namespace
