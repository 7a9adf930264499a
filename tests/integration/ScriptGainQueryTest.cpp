// The gain queries that V2Link sets up, through the shared library: the
// command-line options and the script callbacks reach the built-in
// decoders, heard in the level of a Vorbis source that carries ReplayGain
// tags, and a changed Opus gain is logged as the host formats it.
#include "ScriptTestSupport.h"

#include <host/TestAudio.h>

#include <cmath>

namespace scripttest {
namespace {

constexpr std::uint32_t kFrames = 9600;

class ScriptGainQueryTest : public ScriptFaceTest {
protected:
    void SetUp() override
    {
        ScriptFaceTest::SetUp();
        ASSERT_EQ(Link(), S_OK);
        ASSERT_NE(Module(), nullptr);
        const testaudio::SignalSpec tone = testaudio::DistinctTones(1, kFrames, kRate, 440.0);
        testaudio::VorbisOptions tags;
        tags.replayGainTrack = "-1.00 dB";
        tags.replayGainAlbum = "-9.00 dB";
        storage->Add(u"v.ogg",
                     testaudio::EncodeVorbis(testaudio::Synthesize(tone), 1, kRate, tags));
        storage->Add(u"o.opus", testaudio::EncodeOpus(testaudio::Synthesize(tone), 1, kRate));
        runtime.ClearLog();
    }

    // The source played alone through an inline list, opened now (so that
    // its gain is asked for now).
    Samples Play(const char16_t* list)
    {
        IHSSWaveDecoder* decoder = Open(list);
        if (!decoder)
            return {};
        Samples out = Render(decoder, kFrames, 4096);
        decoder->Release();
        return out;
    }

    // Checks that `played` is `reference` scaled by `db` decibels.
    static void ExpectScaled(const Samples& played, const Samples& reference, double db)
    {
        ASSERT_EQ(played.size(), reference.size());
        const double factor = std::pow(10.0, db / 20.0);
        double peak = 0.0;
        std::size_t wrong = 0;
        for (std::size_t i = 0; i < played.size(); ++i) {
            peak = std::max(peak, std::fabs(static_cast<double>(reference[i])));
            if (std::fabs(played[i] - reference[i] * factor) > 1e-5 && ++wrong < 4)
                ADD_FAILURE() << "sample " << i << ": " << played[i] << " vs "
                              << reference[i] * factor;
        }
        EXPECT_EQ(wrong, 0u) << db << " dB";
        EXPECT_GT(peak, 0.1) << "the tone is there";
    }
};

TEST_F(ScriptGainQueryTest, OptionsAndTheScriptCallbackSetTheVorbisGain)
{
    // Mode "none" without a global gain leaves the source as it is.
    runtime.SetOption(u"-vorbis_rg", u"none");
    const Samples reference = Play(u"v.ogg|plain.mtrk");
    ASSERT_EQ(reference.size(), kFrames);

    runtime.SetOption(u"-vorbis_rg", u"album");
    ExpectScaled(Play(u"v.ogg|album.mtrk"), reference, -9.0);
    runtime.SetOption(u"-vorbis_gain", u"-6");
    runtime.SetOption(u"-vorbis_rg", u"track");
    ExpectScaled(Play(u"v.ogg|track.mtrk"), reference, -7.0);
    runtime.SetOption(u"-vorbis_rg", u"none");
    ExpectScaled(Play(u"v.ogg|global.mtrk"), reference, -6.0);

    std::vector<std::u16string> asked;
    host::Variant answer(2.5);
    const host::Variant callback = host::Function([&](const host::CallArgs& args) {
        asked.push_back(args[0].AsText());
        return answer;
    });
    ASSERT_EQ(script.Call(u"setGainQueryCallback_mtbiVORBIS", {callback}).code, 0);
    ExpectScaled(Play(u"v.ogg|callback.mtrk"), reference, -3.5);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].substr(asked[0].size() - 5), u"v.ogg");
    answer = host::Variant(u"2.5");
    ExpectScaled(Play(u"v.ogg|text.mtrk"), reference, -6.0);

    ASSERT_EQ(script.Call(u"setGainQueryCallback_mtbiVORBIS", {host::Variant()}).code, 0);
    answer = host::Variant(2.5);
    ExpectScaled(Play(u"v.ogg|removed.mtrk"), reference, -6.0);
    EXPECT_EQ(asked.size(), 2u) << "the removed callback is not called";

    // The Opus callback is a different one.
    ASSERT_EQ(script.Call(u"setGainQueryCallback_mtbiOPUS", {callback}).code, 0);
    ExpectScaled(Play(u"v.ogg|opus-only.mtrk"), reference, -6.0);
    EXPECT_EQ(asked.size(), 2u);
}

TEST_F(ScriptGainQueryTest, ACallbackMayReplaceItselfWhileItRuns)
{
    runtime.SetOption(u"-vorbis_rg", u"none");
    const Samples reference = Play(u"v.ogg|plain.mtrk");
    const host::Variant second = host::Function([](const host::CallArgs&) { return -2.0; });
    // The first callback installs the second through the setter, which
    // drops the query's reference on the function that is running.
    host::Variant first = FragileFunction::Make([&] {
        EXPECT_EQ(script.Call(u"setGainQueryCallback_mtbiVORBIS", {second}).code, 0);
        return host::Variant(-1.0);
    });
    ASSERT_EQ(script.Call(u"setGainQueryCallback_mtbiVORBIS", {first}).code, 0);
    first = host::Variant();
    ExpectScaled(Play(u"v.ogg|first.mtrk"), reference, -1.0);
    ExpectScaled(Play(u"v.ogg|second.mtrk"), reference, -2.0);
}

TEST_F(ScriptGainQueryTest, AChangedGlobalGainIsLoggedOncePerCodec)
{
    runtime.SetOption(u"-opus_gain", u"-6");
    runtime.SetOption(u"-opus_rg", u"track");
    ASSERT_EQ(Play(u"o.opus|first.mtrk").size(), kFrames);
    ASSERT_EQ(Play(u"o.opus|second.mtrk").size(), kFrames);
    const auto lines = Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(Lines(0).size(), 1u);
    const std::u16string expected =
        u"opus_gain: Setting global gain to " + host::Variant(-6.0).AsText() + u"dB (";
    EXPECT_EQ(lines[0].substr(0, expected.size()), expected);
    EXPECT_EQ(lines[0].back(), u')');

    // The Vorbis query reads its own options.
    ASSERT_EQ(Play(u"v.ogg|vorbis.mtrk").size(), kFrames);
    EXPECT_EQ(Lines().size(), 1u);
}

} // namespace
} // namespace scripttest
