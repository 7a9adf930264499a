#include "DecoderTestSupport.h"

using BuiltinModulesTest = BuiltinDecoderTest;
using enum BuiltinDecoderKind;

TEST_F(PluginStateTest, OpenBuiltinDecoderWithoutAProviderCreatesNothing)
{
    EXPECT_EQ(OpenBuiltinDecoder(Opus, u"a.opus"), nullptr);
    EXPECT_EQ(OpenBuiltinDecoder(Vorbis, u"a.ogg"), nullptr);
    EXPECT_FALSE(TheProcessState().opusModule || TheProcessState().vorbisModule);
}

// Each kind opens through its own module, made on first use and kept until
// the modules are released.
TEST_F(BuiltinModulesTest, EachKindOpensThroughItsOwnModuleMadeOnce)
{
    IHSSModule*& opusModule = TheProcessState().opusModule;
    EXPECT_TRUE(Open(Opus, u"a.opus", TonesFile(1, 4800)));
    IHSSModule* const first = opusModule;
    EXPECT_TRUE(first && !TheProcessState().vorbisModule);
    EXPECT_FALSE(Decoder(OpenBuiltinDecoder(Vorbis, u"a.opus")));
    EXPECT_NE(TheProcessState().vorbisModule, nullptr);
    EXPECT_TRUE(Decoder(OpenBuiltinDecoder(Opus, u"a.opus")));
    EXPECT_EQ(opusModule, first);
    ReleaseBuiltinModules();
    EXPECT_FALSE(opusModule || TheProcessState().vorbisModule);
    EXPECT_TRUE(Decoder(OpenBuiltinDecoder(Opus, u"a.opus")));
    EXPECT_NE(opusModule, nullptr);
}
