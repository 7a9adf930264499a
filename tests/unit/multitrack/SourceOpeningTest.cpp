// Opening sources through the built-in decoders or a registered module, and
// the decoder-choice field of the lists.
#include "MultiTrackTestSupport.h"

#include <multitrack/SourceOpening.h>

#include <host/TestAudio.h>

namespace {

using mttest::FakeSource;
using mttest::FakeSourceSetup;
using mttest::References;

class SourceOpeningTest : public mttest::MultiTrackTest {
protected:
    void AddOpus(const std::u16string& name, std::uint32_t channels = 2)
    {
        provider->Add(name, testaudio::EncodeOpus(
                                testaudio::Synthesize(testaudio::DistinctTones(channels, 960)),
                                channels, 48000));
    }
    void AddVorbis(const std::u16string& name, std::uint32_t channels = 1)
    {
        provider->Add(name, testaudio::EncodeVorbis(testaudio::Synthesize(testaudio::DistinctTones(
                                                        channels, 441, 44100)),
                                                    channels, 44100));
    }
    static HSSWaveFormat FormatOf(IHSSWaveDecoder* decoder)
    {
        HSSWaveFormat format{};
        EXPECT_EQ(decoder->GetFormat(&format), S_OK);
        return format;
    }
};

TEST_F(SourceOpeningTest, BuiltinDecodersTakeOpusAndOggInAnyCase)
{
    AddOpus(u"music/a.opus", 2);
    AddOpus(u"music/b.OPUS", 3);
    AddVorbis(u"music/c.Ogg", 1);
    const std::pair<std::u16string, std::uint32_t> sources[] = {
        {u"music/a.opus", 2}, {u"music/b.OPUS", 3}, {u"music/c.Ogg", 1}};
    for (const auto& [path, channels] : sources) {
        IHSSWaveDecoder* decoder = OpenSource(path, true);
        ASSERT_NE(decoder, nullptr);
        EXPECT_EQ(FormatOf(decoder).channelCount, channels);
        EXPECT_EQ(decoder->Release(), 0u);
    }
    EXPECT_TRUE(module->requests.empty());
    EXPECT_TRUE(logger.lines.empty());

    // Each built-in decoder takes only its own extension.
    AddOpus(u"opus-in.ogg");
    EXPECT_EQ(OpenSource(u"opus-in.ogg", true), nullptr);
}

TEST_F(SourceOpeningTest, WithoutPreferenceOrWhenBuiltinFailsTheRegistryDecides)
{
    AddOpus(u"a.opus");
    EXPECT_EQ(OpenSource(u"a.opus", false), nullptr);
    EXPECT_EQ(OpenSource(u"missing.ogg", true), nullptr);
    const std::vector<std::pair<std::int32_t, std::u16string>> expected{
        {kLogLevelImportant, u"VyModules: unknown file exts:a.opus"},
        {kLogLevelImportant, u"VyModules: unknown file exts:missing.ogg"}};
    EXPECT_EQ(logger.lines, expected);

    // A module registered for ".ogg" serves it when the built-in decoder
    // is not asked first, or cannot open it.
    SetModuleEntry(*TheProcessState().registry, u".ogg", module);
    AddVorbis(u"real.ogg");
    AddSource(u"real.ogg", FakeSourceSetup{});
    AddSource(u"fake-only.ogg", FakeSourceSetup{});
    IHSSWaveDecoder* builtin = OpenSource(u"real.ogg", true);
    ASSERT_NE(builtin, nullptr);
    EXPECT_TRUE(module->requests.empty());
    IHSSWaveDecoder* viaModule = OpenSource(u"real.ogg", false);
    EXPECT_EQ(viaModule, module->Opened(u"real.ogg"));
    IHSSWaveDecoder* fallback = OpenSource(u"fake-only.ogg", true);
    EXPECT_EQ(fallback, module->Opened(u"fake-only.ogg"));
    for (IHSSWaveDecoder* decoder : {builtin, viaModule, fallback}) {
        ASSERT_NE(decoder, nullptr);
        decoder->Release();
    }
}

TEST_F(SourceOpeningTest, ModuleOpensWithTheWholePath)
{
    AddSource(u"dir/x.fake", FakeSourceSetup{});
    for (bool preferBuiltin : {true, false}) {
        IHSSWaveDecoder* decoder = OpenSource(u"dir/x.fake", preferBuiltin);
        ASSERT_NE(decoder, nullptr);
        EXPECT_EQ(decoder, module->Opened(u"dir/x.fake"));
        EXPECT_EQ(decoder->Release(), 1u); // the module keeps its own
    }
    EXPECT_EQ(module->requests, (std::vector<std::u16string>{u"dir/x.fake", u"dir/x.fake"}));
    EXPECT_EQ(OpenSource(u"dir/missing.fake", true), nullptr);
    EXPECT_EQ(OpenSource(u"no-extension", false), nullptr);
    EXPECT_TRUE(logger.lines.empty());
}

TEST_F(SourceOpeningTest, DecoderThatComesBackWithAFailureIsReleased)
{
    AddSource(u"bad.fake", FakeSourceSetup{});
    module->failing.insert(u"bad.fake");
    EXPECT_EQ(OpenSource(u"bad.fake", true), nullptr);
    FakeSource* handedBack = module->Opened(u"bad.fake");
    ASSERT_NE(handedBack, nullptr);
    EXPECT_EQ(References(handedBack), 1u); // only the module's own is left
}

TEST_F(SourceOpeningTest, TrackListsAreNeverSources)
{
    // Even a module that claims track lists is not asked: a list could
    // otherwise open itself again and again.
    SetModuleEntry(*TheProcessState().registry, u".mtrk", module);
    SetModuleEntry(*TheProcessState().registry, u".mchx", module);
    AddSource(u"a.mtrk", FakeSourceSetup{});
    AddSource(u"b.MCHX", FakeSourceSetup{});
    EXPECT_EQ(OpenSource(u"a.mtrk", false), nullptr);
    EXPECT_EQ(OpenSource(u"b.MCHX", true), nullptr);
    EXPECT_TRUE(module->requests.empty());
}

TEST_F(SourceOpeningTest, WithoutRegistryOnlyBuiltinDecodersOpen)
{
    AddOpus(u"a.opus");
    AddSource(u"x.fake", FakeSourceSetup{});
    TheProcessState().DestroyRegistry();
    EXPECT_EQ(OpenSource(u"x.fake", true), nullptr);
    EXPECT_EQ(OpenSource(u"a.opus", false), nullptr);
    IHSSWaveDecoder* decoder = OpenSource(u"a.opus", true);
    ASSERT_NE(decoder, nullptr);
    decoder->Release();
    EXPECT_TRUE(module->requests.empty());
}

TEST_F(SourceOpeningTest, ChooseDecodersField)
{
    for (bool flag : {true, false}) {
        EXPECT_EQ(ChooseDecoders(u"", flag), flag);
        EXPECT_TRUE(ChooseDecoders(u"*", flag));
        EXPECT_TRUE(ChooseDecoders(u"*builtin", flag));
        // A library linked already: sources go through the modules.
        EXPECT_FALSE(ChooseDecoders(u"fake.DLL", flag));
    }
    EXPECT_TRUE(logger.lines.empty());
}

TEST_F(SourceOpeningTest, LibraryThatCannotBeLinkedLeavesTheFlagAndIsLoggedOnce)
{
    const std::u16string library = u"no_such_decoder_module.so";
    EXPECT_TRUE(ChooseDecoders(library, true));
    EXPECT_FALSE(ChooseDecoders(library, false));
    EXPECT_TRUE(ChooseDecoders(u"No_Such_Decoder_Module.SO", true));
    const std::vector<std::pair<std::int32_t, std::u16string>> expected{
        {kLogLevelImportant,
         u"VyModules: module not found/cannot linked:NO_SUCH_DECODER_MODULE.SO"}};
    EXPECT_EQ(logger.lines, expected);

    TheProcessState().DestroyRegistry();
    EXPECT_TRUE(ChooseDecoders(u"fake.dll", true));
    EXPECT_FALSE(ChooseDecoders(u"fake.dll", false));
}

} // namespace
