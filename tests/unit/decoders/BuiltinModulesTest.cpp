#include "DecoderTestSupport.h"

using BuiltinModulesTest = BuiltinDecoderTest;

TEST_F(PluginStateTest, OpenBuiltinDecoderWithoutAProviderCreatesNothing)
{
    EXPECT_EQ(OpenBuiltinDecoder(BuiltinDecoderKind::Opus, u"a.opus"), nullptr);
    EXPECT_EQ(OpenBuiltinDecoder(BuiltinDecoderKind::Vorbis, u"a.ogg"), nullptr);
    EXPECT_EQ(TheProcessState().opusModule, nullptr);
    EXPECT_EQ(TheProcessState().vorbisModule, nullptr);
}

TEST_F(BuiltinModulesTest, EachKindOpensThroughItsOwnModuleCreatedOnce)
{
    const auto opus = testaudio::EncodeOpus(testaudio::Synthesize(testaudio::DistinctTones(1, 4800)), 1, 48000);
    const auto vorbis =
        testaudio::EncodeVorbis(testaudio::Synthesize(testaudio::DistinctTones(1, 4410, 44100)), 1, 44100);
    IHSSWaveDecoder* a = Open(BuiltinDecoderKind::Opus, u"a.opus", opus);
    ASSERT_NE(a, nullptr);
    IHSSModule* opusModule = TheProcessState().opusModule;
    EXPECT_EQ(TheProcessState().vorbisModule, nullptr);
    IHSSWaveDecoder* b = Open(BuiltinDecoderKind::Vorbis, u"b.ogg", vorbis);
    ASSERT_NE(b, nullptr);
    IHSSModule* vorbisModule = TheProcessState().vorbisModule;
    ASSERT_NE(vorbisModule, nullptr);
    IHSSWaveDecoder* c = OpenBuiltinDecoder(BuiltinDecoderKind::Opus, u"a.opus");
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(TheProcessState().opusModule, opusModule);
    EXPECT_EQ(TheProcessState().vorbisModule, vorbisModule);

    // Each kind only opens its own format.
    EXPECT_EQ(OpenBuiltinDecoder(BuiltinDecoderKind::Vorbis, u"a.opus"), nullptr);
    EXPECT_EQ(OpenBuiltinDecoder(BuiltinDecoderKind::Opus, u"b.ogg"), nullptr);

    HSSWaveFormat format{};
    ASSERT_EQ(b->GetFormat(&format), S_OK);
    EXPECT_EQ(format.sampleRate, 44100u);
    for (IHSSWaveDecoder* d : {a, b, c})
        EXPECT_EQ(d->Release(), 0u);

    // Releasing the modules lets the next open create them again.
    ReleaseBuiltinModules();
    EXPECT_EQ(TheProcessState().opusModule, nullptr);
    IHSSWaveDecoder* again = OpenBuiltinDecoder(BuiltinDecoderKind::Opus, u"a.opus");
    ASSERT_NE(again, nullptr);
    EXPECT_NE(TheProcessState().opusModule, nullptr);
    again->Release();
}
