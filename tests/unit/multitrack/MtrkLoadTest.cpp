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

    RenderMixerBunch mixer;
    TrackListInfo info;
};

// Each track binds its name, its file's stem and its file name; lines without
// a source, comments and sources that cannot be opened add nothing; the
// sources are used as written, not joined to the list's directory.
TEST_F(MtrkLoadTest, FileFormBindsTrackNameStemAndFileName)
{
    FakeSourceSetup setup;
    setup.sampleRate = 44100;
    setup.totalFrames = 12345;
    setup.totalMilliseconds = 280;
    AddSource(u"music/bgm_a.fake", setup);
    AddSource(u"drums.fake", setup);
    AddSource(u"lists/drums.fake", setup);
    AddSource(u"dir/.fake", setup);
    ASSERT_TRUE(LoadText("# a comment line\r\n\r\nlonely\r\n"
                         "\t\tonly.fake\r\n"      // one non-empty field
                         "gone\tmissing.fake\r\n" // cannot be opened
                         "bgm\tmusic/bgm_a.fake\r\n"
                         "\t\tdrums\t\tdrums.fake\t*\textra\tfields\r\n"
                         "t\tdir/.fake\n")); // an empty stem is left out
    EXPECT_EQ(info.trackCount, 3u);
    EXPECT_EQ(info.bindings, (Bindings{{u"bgm", 0}, {u"bgm_a", 0}, {u"bgm_a.fake", 0}, {u"drums", 1}, {u"drums", 1},
                                       {u"drums.fake", 1}, {u"t", 2}, {u".fake", 2}}));
    EXPECT_EQ(module->requests, (std::vector<std::u16string>{u"missing.fake", u"music/bgm_a.fake", u"drums.fake", u"dir/.fake"}));
    EXPECT_EQ(info.listName, u"list.mtrk");
    EXPECT_TRUE(info.errorMessage.empty());
    EXPECT_TRUE(info.volumes.empty());
    HSSWaveFormat expected{};
    ASSERT_EQ(module->Opened(u"drums.fake")->GetFormat(&expected), S_OK);
    EXPECT_EQ(std::memcmp(&info.format, &expected, sizeof expected), 0);
}

TEST_F(MtrkLoadTest, FailuresAndTheirMessages)
{
    const std::u16string failed = u"failed to load track list";
    const std::u16string empty = u"empty tracks";
    const std::u16string mismatched = u"track format mismatched";
    FakeSourceSetup base;
    base.totalMilliseconds = 100;
    const auto variant = [&](const char16_t* name, auto change) { FakeSourceSetup s = base; change(s); AddSource(name, s); };
    variant(u"a.fake", [](FakeSourceSetup&) {});
    variant(u"longer.fake", [](FakeSourceSetup& s) { s.totalFrames += 1; });
    variant(u"faster.fake", [](FakeSourceSetup& s) { s.sampleRate = 44100; });
    variant(u"wider.fake", [](FakeSourceSetup& s) { s.channels = 3; });
    variant(u"integer.fake", [](FakeSourceSetup& s) { s.isFloat = false; });
    variant(u"failing.fake", [](FakeSourceSetup& s) { s.formatResult = E_FAIL; });
    variant(u"positive.fake", [](FakeSourceSetup& s) { s.formatResult = S_FALSE; }); // anything but S_OK fails
    variant(u"silent.fake", [](FakeSourceSetup& s) { s.channels = 0; });
    variant(u"longerInMilliseconds.fake", [](FakeSourceSetup& s) { s.totalMilliseconds = 999; });
    host::StreamFaults unreadable;
    unreadable.failReadsAt = 0;
    provider->Add(u"unreadable.mtrk", mttest::Bytes("a\ta.fake\n"), unreadable);
    SetModuleEntry(*TheProcessState().registry, u".mtrk", module); // a list naming itself is still no source
    const struct {
        const char16_t* path; // "lists/list.mtrk" holds `text` when there is one
        const char* text;
        std::u16string message;
    } cases[] = {
        {u"lists/none.mtrk", nullptr, failed},
        {u"unreadable.mtrk", nullptr, failed},
        {u"lists/list.mtrk", "", failed},
        {u"lists/list.mtrk", "\n\r\n\n", failed},
        {u"lists/list.mtrk", "# only a comment\nand\n", failed},
        {u"lists/list.mtrk", "a\tmissing.fake\nb\talso-missing.fake\n", failed},
        {u"lists/list.mtrk", "me\tlists/list.mtrk\n", failed},
        {u"lists/list.mtrk|self.mtrk", nullptr, empty},
        {u"music/a.fake|b.fake|bgm.mtrk", nullptr, empty},
        {u"music/||a.fake||x", nullptr, empty}, // empty parts are dropped; the last part need not be a list
        {u"lists/list.mtrk", "a\ta.fake\nb\tlonger.fake\n", mismatched},
        {u"lists/list.mtrk", "a\ta.fake\nb\tfaster.fake\n", mismatched},
        {u"lists/list.mtrk", "a\ta.fake\nb\twider.fake\n", mismatched},
        {u"lists/list.mtrk", "a\ta.fake\nb\tinteger.fake\n", mismatched},
        {u"lists/list.mtrk", "a\ta.fake\nb\tfailing.fake\n", mismatched},
        {u"lists/list.mtrk", "a\ta.fake\nb\tpositive.fake\n", mismatched},
        {u"lists/list.mtrk", "a\tfailing.fake\n", mismatched}, // the first source's format is checked too
        {u"lists/list.mtrk", "a\tsilent.fake\n", u"no channels"},
        // No file name: nothing is read and there is no message.
        {u"lists/", nullptr, u""},
        {u"lists\\", nullptr, u""},
        {u"pack.arc>", nullptr, u""},
        {u"", nullptr, u""},
        {nullptr, nullptr, u""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text ? c.text : c.path ? vytext::ToUtf8(c.path) : "null");
        if (c.text)
            AddFile(u"lists/list.mtrk", c.text);
        const std::size_t opened = provider->OpenRequests();
        EXPECT_FALSE(Load(c.path));
        EXPECT_EQ(info.errorMessage, c.message);
        if (c.message == failed || c.message == empty || c.message.empty()) {
            EXPECT_EQ(info.trackCount, 0u);
        }
        EXPECT_EQ(provider->OpenRequests() > opened, !c.message.empty() && c.message != empty);
    }
    EXPECT_EQ(std::count(module->requests.begin(), module->requests.end(), u"lists/list.mtrk"), 0);
    // The list is read through the storage the decoder passes in.
    AddFile(u"ok.mtrk", "a\ta.fake\n");
    EXPECT_FALSE(mixer.Load(nullptr, u"ok.mtrk", info));
    EXPECT_EQ(info.errorMessage, failed);
    // The length in milliseconds is not compared.
    EXPECT_TRUE(LoadText("a\ta.fake\nb\tlongerInMilliseconds.fake\n"));
    EXPECT_EQ(info.format.totalMilliseconds, 100u);
}

TEST_F(MtrkLoadTest, InlineFormOpensItsPartsFromTheListDirectory)
{
    AddSource(u"music/intro.fake");
    AddSource(u"music/loop.fake");
    ASSERT_TRUE(Load(u"music/intro.fake|missing.fake|loop.fake|bgm.mtrk"));
    EXPECT_EQ(module->requests,
              (std::vector<std::u16string>{u"music/intro.fake", u"music/missing.fake", u"music/loop.fake"}));
    EXPECT_EQ(info.bindings, (Bindings{{u"intro", 0}, {u"intro.fake", 0}, {u"loop", 1}, {u"loop.fake", 1}}));
    EXPECT_EQ(info.listName, u"bgm.mtrk");
    EXPECT_EQ(provider->OpenRequests(), 0u); // the name is never read as a file

    // A single bar at either end reads the file.
    AddSource(u"a.fake");
    for (const char16_t* name : {u"|start.mtrk", u"end.mtrk|"}) {
        AddFile(u"lists/" + std::u16string(name), "a\ta.fake\n");
        ASSERT_TRUE(Load((u"lists/" + std::u16string(name)).c_str()));
        EXPECT_EQ(info.listName, name);
    }
}

TEST_F(MtrkLoadTest, DecoderChoiceLastsForLaterLinesAndLaterLoads)
{
    // "x.ogg" is a real Vorbis file for the built-in decoder and a fake
    // source for the module, so the requests show which decoder was asked.
    provider->Add(u"x.ogg", testaudio::EncodeVorbis(testaudio::Synthesize(testaudio::DistinctTones(1, 441, 44100)), 1, 44100));
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
    EXPECT_EQ(module->requests, (std::vector<std::u16string>{u"y.fake", u"x.ogg", u"y.fake", u"y.fake"}));

    // A later list of the same mixer starts where this one left off.
    module->requests.clear();
    EXPECT_TRUE(LoadText("b\ty.fake\tfake.dll\n"));
    EXPECT_TRUE(LoadText("c\tx.ogg\n"));
    EXPECT_EQ(module->requests, (std::vector<std::u16string>{u"y.fake", u"x.ogg"}));
}

// UTF-8 with or without its mark, UTF-16 little-endian with its mark, LF or
// CR LF: the same list.
TEST_F(MtrkLoadTest, EveryEncodingAndLineEndingReadsTheSame)
{
    AddSource(u"music/\u00E9t\u00E9.fake");
    AddSource(u"b.fake");
    const std::u16string text = u"\u00C9t\u00E9\tmusic/\u00E9t\u00E9.fake\nb\tb.fake\n";
    std::u16string crlf;
    for (char16_t c : text)
        crlf.append(c == u'\n' ? u"\r\n" : std::u16string(1, c));
    const std::string utf8 = vytext::ToUtf8(text);
    const Bindings expected{{u"\u00C9t\u00E9", 0}, {u"\u00E9t\u00E9", 0}, {u"\u00E9t\u00E9.fake", 0},
                            {u"b", 1},          {u"b", 1},          {u"b.fake", 1}};
    for (const auto& bytes : {mttest::Bytes(utf8), mttest::Bytes("\xEF\xBB\xBF" + utf8), mttest::Bytes(vytext::ToUtf8(crlf)),
                              mttest::Utf16LeBytes(text), mttest::Utf16LeBytes(crlf)}) {
        provider->Add(u"list.mtrk", bytes);
        EXPECT_TRUE(Load(u"list.mtrk"));
        EXPECT_EQ(info.bindings, expected);
    }
}

// A load holds its sources (a failed one too) until Close, the next load or
// the mixer's end.
TEST_F(MtrkLoadTest, SourcesAreHeldUntilCloseTheNextLoadOrTheEnd)
{
    FakeSourceSetup other;
    other.channels = 1;
    AddSource(u"a.fake");
    AddSource(u"b.fake", other);
    EXPECT_FALSE(LoadText("a\ta.fake\nb\tb.fake\n"));
    mttest::FakeSource* a = module->Opened(u"a.fake");
    mttest::FakeSource* b = module->Opened(u"b.fake");
    EXPECT_EQ(std::pair(References(a), References(b)), std::pair(2u, 2u));
    mixer.Close();
    EXPECT_EQ(std::pair(References(a), References(b)), std::pair(1u, 1u));
    ASSERT_TRUE(LoadText("a\ta.fake\n"));
    a = module->Opened(u"a.fake");
    ASSERT_TRUE(LoadText("a\ta.fake\n")); // starts by closing
    EXPECT_EQ(References(a), 1u);
    EXPECT_EQ(References(module->Opened(u"a.fake")), 2u);
    {
        RenderMixerBunch local;
        ASSERT_TRUE(local.Load(provider, u"lists/list.mtrk", info));
        EXPECT_EQ(References(module->Opened(u"a.fake")), 2u);
    }
    EXPECT_EQ(References(module->Opened(u"a.fake")), 1u);
}

} // namespace
