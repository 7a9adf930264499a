#include "DecoderTestSupport.h"

using BuiltinModulesTest = BuiltinDecoderTest;

TEST_F(PluginStateTest, OpenBuiltinDecoderWithoutAProviderCreatesNothing)
{
    EXPECT_EQ(OpenBuiltinDecoder(BuiltinDecoderKind::Opus, u"a.opus"), nullptr);
    EXPECT_EQ(OpenBuiltinDecoder(BuiltinDecoderKind::Vorbis, u"a.ogg"), nullptr);
    EXPECT_FALSE(TheProcessState().opusModule || TheProcessState().vorbisModule);
}

TEST_F(BuiltinModulesTest, EachKindOpensOnlyItsOwnFormatThroughItsOwnModuleCreatedOnce)
{
    const Decoder opus = Open(BuiltinDecoderKind::Opus, u"a.opus", TonesFile(1, 4800));
    ASSERT_TRUE(opus);
    IHSSModule* opusModule = TheProcessState().opusModule;
    EXPECT_EQ(TheProcessState().vorbisModule, nullptr);
    const Decoder vorbis = Open(BuiltinDecoderKind::Vorbis, u"b.ogg",
                                testaudio::EncodeVorbis(testaudio::Synthesize(TonesShape(1, 4410, 44100)), 1, 44100));
    ASSERT_TRUE(vorbis);
    IHSSModule* vorbisModule = TheProcessState().vorbisModule;
    ASSERT_NE(vorbisModule, nullptr);
    EXPECT_TRUE(Decoder(OpenBuiltinDecoder(BuiltinDecoderKind::Opus, u"a.opus")));
    EXPECT_EQ(std::pair(TheProcessState().opusModule, TheProcessState().vorbisModule), std::pair(opusModule, vorbisModule));
    EXPECT_FALSE(Decoder(OpenBuiltinDecoder(BuiltinDecoderKind::Vorbis, u"a.opus")));
    EXPECT_FALSE(Decoder(OpenBuiltinDecoder(BuiltinDecoderKind::Opus, u"b.ogg")));

    // Releasing the modules lets the next open create them again.
    ReleaseBuiltinModules();
    EXPECT_EQ(TheProcessState().opusModule, nullptr);
    EXPECT_TRUE(Decoder(OpenBuiltinDecoder(BuiltinDecoderKind::Opus, u"a.opus")));
    EXPECT_NE(TheProcessState().opusModule, nullptr);
}
