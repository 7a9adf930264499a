// V2Link and V2Unlink through the shared library: the registry's name by
// the order of the entry points, the members they add and remove, the
// refusal while a script holds one of the plug-in's objects, what outlives
// an unlink, and the gain queries a link sets up.
#include "ScriptTestSupport.h"

#include <host/TestAudio.h>
#include <host/script/ScriptException.h>

#include <array>
#include <cmath>

namespace scripttest {
namespace {

constexpr std::array<const char16_t*, 6> kMembers = {
    u"setMultiTrackMask",
    u"setDelayMultiTrackMask",
    u"rebindMultiTrackID",
    u"multiTrackOpenCallbacks",
    u"setGainQueryCallback_mtbiOPUS",
    u"setGainQueryCallback_mtbiVORBIS",
};

class ScriptLinkTest : public ScriptFaceTest {
protected:
    // The registry, which GetModuleInstance or V2Link made, whichever came
    // first, reports linking the WAV module as the list opens: to the host's
    // log, once V2Link gave it one.
    void ExpectModuleLinkedBy(const std::u16string& registry)
    {
        WriteThreeTrackList(u"linking.mtrk");
        runtime.ClearLog();
        IHSSWaveDecoder* decoder = Open(u"linking.mtrk");
        ASSERT_NE(decoder, nullptr);
        decoder->Release();
        const auto lines = Lines(0);
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_EQ(lines[0].substr(0, registry.size() + 16), registry + u": module linked:");
    }

    // How many of the plug-in's members WaveSoundBuffer has.
    int MembersPresent() const
    {
        int present = 0;
        for (const char16_t* name : kMembers)
            present += script.WaveSoundBuffer().Get(name, PKQ_IGNOREPROP).Ok() ? 1 : 0;
        return present;
    }

    ULONG StorageReferences() const
    {
        storage->AddRef();
        return storage->Release();
    }
};

TEST_F(ScriptLinkTest, LinkAddsTheMembersAndUnlinkTakesThemAndTheProviderAway)
{
    const ULONG referencesBefore = StorageReferences();
    ASSERT_NE(Module(), nullptr);
    EXPECT_EQ(StorageReferences(), referencesBefore + 1) << "the plug-in keeps the provider";
    EXPECT_EQ(Plugin().link(nullptr), kFail) << "without an exporter nothing is linked";
    EXPECT_EQ(MembersPresent(), 0);
    EXPECT_TRUE(Lines().empty());
    ASSERT_EQ(Link(), S_OK);
    ASSERT_EQ(Link(), S_OK);
    EXPECT_EQ(MembersPresent(), 6);
    ExpectModuleLinkedBy(u"VyModules");
    EXPECT_EQ(Unlink(), S_OK) << "one unlink after two links";
    EXPECT_EQ(MembersPresent(), 0);
    EXPECT_EQ(StorageReferences(), referencesBefore);
}

TEST_F(ScriptLinkTest, UnlinkIsRefusedWhileAScriptHoldsOneOfThePluginsObjects)
{
    ASSERT_EQ(Link(), S_OK);
    for (const char16_t* name : {u"setMultiTrackMask", u"setGainQueryCallback_mtbiVORBIS"}) {
        const host::Variant held = script.Get(name).value;
        ASSERT_TRUE(held.IsObject());
        EXPECT_EQ(Unlink(), kFail);
        EXPECT_EQ(Unlink(), kFail) << "refused as often as asked";
        // Without a global object there is no script to ask: the unlink
        // succeeds and tears nothing down.
        runtime.SetGlobalAvailable(false);
        EXPECT_EQ(Unlink(), S_OK);
        runtime.SetGlobalAvailable(true);
        EXPECT_EQ(MembersPresent(), 6);
        EXPECT_EQ(Mask(u"x.mtrk", host::Variant(), 0.5).AsInteger(), -1);
    }
    // The open-callbacks array belongs to the host: holding it is no reason
    // to refuse.
    const host::Variant callbacks = script.Get(u"multiTrackOpenCallbacks").value;
    ASSERT_TRUE(callbacks.IsObject());
    EXPECT_EQ(Unlink(), S_OK);
    EXPECT_EQ(MembersPresent(), 0);
    EXPECT_EQ(host::ScriptObject(callbacks).Count(), 0);
}

TEST_F(ScriptLinkTest, ADecoderThatOutlivesTheUnlinkPlaysOnAndGoesQuietly)
{
    ASSERT_EQ(Link(), S_OK);
    ExpectModuleLinkedBy(u"VyMultiTrack");
    WriteThreeTrackList(u"bgm.mtrk");
    IHSSWaveDecoder* decoder = Open(u"bgm.mtrk");
    ASSERT_NE(decoder, nullptr);
    Mask(u"bgm.mtrk", u"Lead", 0.0);
    ASSERT_EQ(Unlink(), S_OK) << "decoders are the sound system's, not the script's";
    EXPECT_EQ(Level(decoder), Mix(1, 1, 0));

    // A new link knows nothing of the old stream; the unlink released the
    // storage provider, so the host asks for a module again.
    ASSERT_EQ(Link(), S_OK);
    EXPECT_EQ(Mask(u"bgm.mtrk", host::Variant(), 0.0).AsInteger(), -1);
    IHSSModule* module = nullptr;
    ASSERT_EQ(Plugin().getModuleInstance(&module, storage, nullptr, nullptr), S_OK);
    IHSSWaveDecoder* fresh = nullptr;
    ASSERT_EQ(module->OpenMediaInstance(u"bgm.mtrk", &fresh), S_OK);
    module->Release();
    runtime.ClearLog();
    // The old decoder's release reaches only the retired interface.
    EXPECT_EQ(decoder->Release(), 0u);
    EXPECT_TRUE(Lines().empty());
    EXPECT_EQ(Mask(u"bgm.mtrk", u"drums", 0.0).Type(), pvtVoid);
    EXPECT_EQ(Level(fresh), Mix(0, 1, 1));
    EXPECT_EQ(fresh->Release(), 0u);
}

TEST_F(ScriptLinkTest, AScriptExceptionStopsAtV2Link)
{
    const host::Variant wave = script.Global().Get(u"WaveSoundBuffer").value;
    const host::Variant throwing =
        host::Property([]() -> host::Variant { throw host::ScriptException(u"no sound today"); });
    ASSERT_EQ(script.Global().Set(u"WaveSoundBuffer", throwing, PKQ_IGNOREPROP), 0);
    EXPECT_EQ(Link(), kFail);
    ASSERT_EQ(script.Global().Set(u"WaveSoundBuffer", wave, PKQ_IGNOREPROP), 0);
    EXPECT_EQ(MembersPresent(), 0);

    // Failing after the gain setters were added (the third read of the class
    // throws, once): the link takes back what it added, so nothing is left
    // to refuse the unlink and the next link starts clean.
    int reads = 0;
    const host::Variant failingOnce = host::Property([&]() -> host::Variant {
        if (++reads == 3)
            throw host::ScriptException(u"no sound today");
        return wave;
    });
    ASSERT_EQ(script.Global().Set(u"WaveSoundBuffer", failingOnce, PKQ_IGNOREPROP), 0);
    EXPECT_EQ(Link(), kFail);
    EXPECT_EQ(MembersPresent(), 0);
    EXPECT_EQ(Unlink(), S_OK);
    EXPECT_EQ(Link(), S_OK);
    EXPECT_EQ(MembersPresent(), 6);
    EXPECT_EQ(Unlink(), S_OK);
    ASSERT_EQ(script.Global().Set(u"WaveSoundBuffer", wave, PKQ_IGNOREPROP), 0);
}

// The options and the script callback reach the built-in Vorbis decoder,
// heard in the level of a source that carries ReplayGain tags.
TEST_F(ScriptLinkTest, GainOptionsAndTheGainCallbackSetTheLevelOfAVorbisSource)
{
    ASSERT_EQ(Link(), S_OK);
    constexpr std::uint32_t kFrames = 9600;
    testaudio::VorbisOptions tags;
    tags.replayGainTrack = "-1.00 dB";
    tags.replayGainAlbum = "-9.00 dB";
    storage->Add(u"v.ogg", testaudio::EncodeVorbis(testaudio::Synthesize(testaudio::DistinctTones(
                                                       1, kFrames, kRate, 440.0)),
                                                   1, kRate, tags));
    int list = 0; // each play opens a new inline list, so that the gain is asked for now
    const auto play = [&] {
        IHSSWaveDecoder* decoder = Open(u"v.ogg|" + std::u16string(1, u'a' + list++) + u".mtrk");
        Samples out = decoder ? Render(decoder, kFrames, 4096) : Samples();
        if (decoder)
            decoder->Release();
        return out;
    };
    runtime.SetOption(u"-vorbis_rg", u"none");
    const Samples reference = play();
    ASSERT_EQ(reference.size(), kFrames);
    std::vector<std::u16string> asked;
    const host::Variant callback = host::Function([&](const host::CallArgs& args) {
        asked.push_back(args[0].AsText());
        return 2.5;
    });
    const struct {
        const char* name;
        const char16_t* option;
        const char16_t* value;
        const char16_t* setter;
        host::Variant callback;
        double db;
    } steps[] = {
        {"album mode", u"-vorbis_rg", u"album", nullptr, {}, -9.0},
        {"a global gain", u"-vorbis_gain", u"-6", nullptr, {}, -15.0},
        {"track mode", u"-vorbis_rg", u"track", nullptr, {}, -7.0},
        {"no mode", u"-vorbis_rg", u"none", nullptr, {}, -6.0},
        {"the callback adds", nullptr, nullptr, u"setGainQueryCallback_mtbiVORBIS", callback, -3.5},
        {"the callback removed", nullptr, nullptr, u"setGainQueryCallback_mtbiVORBIS", {}, -6.0},
        {"the Opus callback", nullptr, nullptr, u"setGainQueryCallback_mtbiOPUS", callback, -6.0},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        if (step.option)
            runtime.SetOption(step.option, step.value);
        if (step.setter) {
            ASSERT_EQ(script.Call(step.setter, {step.callback}).code, 0);
        }
        const Samples played = play();
        ASSERT_EQ(played.size(), reference.size());
        const double factor = std::pow(10.0, step.db / 20.0);
        std::size_t wrong = 0;
        for (std::size_t i = 0; i < played.size(); ++i)
            if (std::fabs(played[i] - reference[i] * factor) > 1e-5 && ++wrong < 4)
                ADD_FAILURE() << "sample " << i << ": " << played[i] << " vs "
                              << reference[i] * factor;
        EXPECT_EQ(wrong, 0u);
    }
    ASSERT_EQ(asked.size(), 1u) << "only the Vorbis callback while it was set";
    EXPECT_EQ(asked[0].substr(asked[0].size() - 5), u"v.ogg");
}

} // namespace
} // namespace scripttest
