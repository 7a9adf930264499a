// V2Link and V2Unlink through the shared library: the registry's name by
// the order of the entry points, the licence notices, the members they add
// and remove, the refusal while a script holds one of the plug-in's
// objects, and what outlives an unlink.
#include "ScriptTestSupport.h"

#include <host/script/ScriptException.h>

#include <vymultitrack/Utf16Text.h>

#include <array>
#include <string_view>

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

bool StartsWith(std::u16string_view text, std::u16string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

class ScriptLinkTest : public ScriptFaceTest {
protected:
    // How many of the plug-in's members WaveSoundBuffer has.
    int MembersPresent() const
    {
        int present = 0;
        for (const char16_t* name : kMembers)
            present += script.WaveSoundBuffer().Get(name, PKQ_IGNOREPROP).Ok() ? 1 : 0;
        return present;
    }

    // Checks that opening a three-track list made the registry report the
    // WAV module linked, once, under the name `registryName`.
    void ExpectModuleLinkedBy(std::u16string_view registryName)
    {
        const auto lines = ModuleLinkedLines();
        ASSERT_EQ(lines.size(), 1u) << "the registry logs to the host once linked";
        EXPECT_TRUE(StartsWith(lines[0], std::u16string(registryName) + u": module linked:"))
            << vytext::ToUtf8(lines[0]);
    }

    // The lines with which the registry reported linking the WAV module
    // while opening a three-track list.
    std::vector<std::u16string> ModuleLinkedLines()
    {
        WriteThreeTrackList(u"bgm.mtrk");
        IHSSWaveDecoder* decoder = Open(u"bgm.mtrk");
        if (decoder)
            decoder->Release();
        std::vector<std::u16string> found;
        for (const std::u16string& line : Lines(0))
            if (line.find(u": module linked:") != std::u16string::npos)
                found.push_back(line);
        return found;
    }

    // The provider's reference count.
    ULONG StorageReferences() const
    {
        storage->AddRef();
        return storage->Release();
    }
};

TEST_F(ScriptLinkTest, GetModuleInstanceFirstNamesTheRegistryVyModules)
{
    ASSERT_NE(Module(), nullptr);
    ASSERT_EQ(Link(), S_OK);
    ExpectModuleLinkedBy(u"VyModules");
}

TEST_F(ScriptLinkTest, V2LinkFirstNamesTheRegistryVyMultiTrackForGood)
{
    ASSERT_EQ(Link(), S_OK);
    ASSERT_NE(Module(), nullptr);
    ExpectModuleLinkedBy(u"VyMultiTrack");
}

TEST_F(ScriptLinkTest, BeforeV2LinkTheRegistryDoesNotWriteToTheHostLog)
{
    ASSERT_NE(Module(), nullptr);
    EXPECT_TRUE(ModuleLinkedLines().empty());
}

TEST_F(ScriptLinkTest, EachLinkLogsTheThreeLicenceNoticesUnderTheirTitles)
{
    for (int link = 0; link < 2; ++link) {
        runtime.ClearLog();
        ASSERT_EQ(Link(), S_OK);
        const auto important = Lines(1);
        ASSERT_EQ(important.size(), 3u);
        EXPECT_EQ(Lines().size(), 3u) << "linking logs nothing else";
        const std::u16string_view titles[] = {u"libogg, libvorbis license:\n",
                                              u"libopus license:\n", u"opusfile license:\n"};
        for (std::size_t i = 0; i < 3; ++i) {
            EXPECT_TRUE(StartsWith(important[i], titles[i]))
                << vytext::ToUtf8(important[i].substr(0, 40));
            EXPECT_GT(important[i].size(), titles[i].size() + 100) << "the text follows its title";
            EXPECT_EQ(important[i].find(u'\r'), std::u16string::npos);
        }
        ASSERT_EQ(Unlink(), S_OK);
    }
}

TEST_F(ScriptLinkTest, LinkAddsTheMembersAndUnlinkRemovesThemAndGivesEverythingBack)
{
    const ULONG referencesBefore = StorageReferences();
    ASSERT_NE(Module(), nullptr);
    EXPECT_EQ(StorageReferences(), referencesBefore + 1) << "the plug-in keeps the provider";
    ASSERT_EQ(Link(), S_OK);
    EXPECT_EQ(MembersPresent(), 6);
    EXPECT_EQ(Unlink(), S_OK);
    EXPECT_EQ(MembersPresent(), 0);
    EXPECT_EQ(StorageReferences(), referencesBefore) << "the provider is released at unlink";

    // The registry went too: the next GetModuleInstance makes a new one.
    IHSSModule* second = nullptr;
    ASSERT_EQ(Plugin().getModuleInstance(&second, storage, nullptr, nullptr), S_OK);
    ASSERT_NE(second, nullptr);
    second->Release();
    ASSERT_EQ(Link(), S_OK);
    ExpectModuleLinkedBy(u"VyModules");
}

TEST_F(ScriptLinkTest, LinkingTwiceLeavesOneSetOfMembersThatOneUnlinkRemoves)
{
    ASSERT_EQ(Link(), S_OK);
    ASSERT_EQ(Link(), S_OK);
    EXPECT_EQ(MembersPresent(), 6);
    EXPECT_EQ(script.Call(u"setMultiTrackMask", {u"none", host::Variant(), 1.0}).value.AsInteger(),
              -1);
    EXPECT_EQ(Unlink(), S_OK);
    EXPECT_EQ(MembersPresent(), 0);
}

TEST_F(ScriptLinkTest, UnlinkIsRefusedWhileAScriptHoldsOneOfThePluginsObjects)
{
    ASSERT_EQ(Link(), S_OK);
    for (const char16_t* name : {u"setMultiTrackMask", u"setGainQueryCallback_mtbiVORBIS"}) {
        host::Variant held = script.Get(name).value;
        ASSERT_TRUE(held.IsObject());
        EXPECT_EQ(Unlink(), kUnlinkRefused);
        EXPECT_EQ(Unlink(), kUnlinkRefused) << "refused as often as asked";
        // Everything stays in place and keeps working.
        EXPECT_EQ(MembersPresent(), 6);
        const auto answer = host::ScriptObject(script.Get(u"setMultiTrackMask").value)
                                .Invoke({u"nothing.mtrk", host::Variant(), 0.5});
        EXPECT_EQ(answer.code, 0);
        EXPECT_EQ(answer.value.AsInteger(), -1);
        held = host::Variant();
    }
    // The open-callbacks array belongs to the host: holding it is no reason
    // to refuse.
    const host::Variant callbacks = script.Get(u"multiTrackOpenCallbacks").value;
    ASSERT_TRUE(callbacks.IsObject());
    EXPECT_EQ(Unlink(), S_OK);
    EXPECT_EQ(MembersPresent(), 0);
    EXPECT_EQ(host::ScriptObject(callbacks).Count(), 0);
}

TEST_F(ScriptLinkTest, WithoutAGlobalObjectUnlinkSucceedsAndTearsNothingDown)
{
    ASSERT_EQ(Link(), S_OK);
    const host::Variant held = script.Get(u"rebindMultiTrackID").value; // would refuse
    runtime.SetGlobalAvailable(false);
    EXPECT_EQ(Unlink(), S_OK);
    runtime.SetGlobalAvailable(true);
    EXPECT_EQ(MembersPresent(), 6);
    const auto answer = script.Call(u"setMultiTrackMask", {u"x.mtrk", host::Variant(), 1.0});
    EXPECT_EQ(answer.code, 0) << "the script face is still linked";
    EXPECT_EQ(answer.value.AsInteger(), -1);
    EXPECT_EQ(Unlink(), kUnlinkRefused);
}

TEST_F(ScriptLinkTest, ADecoderThatOutlivesTheUnlinkPlaysOnAndGoesQuietly)
{
    ASSERT_EQ(Link(), S_OK);
    WriteThreeTrackList(u"bgm.mtrk");
    IHSSWaveDecoder* decoder = Open(u"bgm.mtrk");
    ASSERT_NE(decoder, nullptr);
    ASSERT_EQ(script.Call(u"setMultiTrackMask", {u"bgm.mtrk", u"Lead", 0.0}).code, 0);
    EXPECT_EQ(Level(decoder), Mix(1, 1, 0));

    ASSERT_EQ(Unlink(), S_OK) << "decoders are the sound system's, not the script's";
    EXPECT_EQ(Level(decoder), Mix(1, 1, 0));

    // A new link knows nothing of the old stream. The unlink released the
    // storage provider, so the host asks for a module again.
    ASSERT_EQ(Link(), S_OK);
    runtime.ClearLog();
    const auto answer = script.Call(u"setMultiTrackMask", {u"bgm.mtrk", host::Variant(), 0.0});
    EXPECT_EQ(answer.value.AsInteger(), -1);
    EXPECT_EQ(Level(decoder), Mix(1, 1, 0));
    IHSSModule* module = nullptr;
    ASSERT_EQ(Plugin().getModuleInstance(&module, storage, nullptr, nullptr), S_OK);
    IHSSWaveDecoder* fresh = nullptr;
    ASSERT_EQ(module->OpenMediaInstance(u"bgm.mtrk", &fresh), S_OK);
    module->Release();
    runtime.ClearLog();

    // Releasing the old decoder reaches the retired interface, which frees
    // itself; the new one keeps its entry.
    EXPECT_EQ(decoder->Release(), 0u);
    EXPECT_TRUE(Lines().empty());
    EXPECT_EQ(script.Call(u"setMultiTrackMask", {u"bgm.mtrk", u"drums", 0.0}).value.Type(),
              pvtVoid);
    EXPECT_EQ(Level(fresh), Mix(0, 1, 1));
    EXPECT_EQ(fresh->Release(), 0u);
}

TEST_F(ScriptLinkTest, DecodersOutliveAnUnlinkInAnyOrder)
{
    ASSERT_EQ(Link(), S_OK);
    WriteThreeTrackList(u"bgm.mtrk");
    WriteThreeTrackList(u"other.mtrk");
    IHSSWaveDecoder* decoders[] = {Open(u"bgm.mtrk"), Open(u"other.mtrk"), Open(u"bgm.mtrk")};
    ASSERT_EQ(Unlink(), S_OK);
    for (IHSSWaveDecoder* decoder : {decoders[1], decoders[0], decoders[2]}) {
        ASSERT_NE(decoder, nullptr);
        EXPECT_EQ(Level(decoder), Mix(1, 1, 1));
        EXPECT_EQ(decoder->Release(), 0u);
    }
    EXPECT_TRUE(Lines(1).size() == 4u) << "the licences and one conflict, nothing after the unlink";
}

TEST_F(ScriptLinkTest, ALinkWithoutAnExporterIsRefusedAndChangesNothing)
{
    EXPECT_EQ(Plugin().link(nullptr), static_cast<HRESULT>(0x80004005));
    EXPECT_EQ(MembersPresent(), 0);
    EXPECT_TRUE(Lines().empty());
    EXPECT_EQ(Unlink(), S_OK);
    ASSERT_EQ(Link(), S_OK);
    EXPECT_EQ(MembersPresent(), 6);
}

TEST_F(ScriptLinkTest, ScriptExceptionsStopAtTheEntryPoints)
{
    // A WaveSoundBuffer whose reading raises a script exception.
    const host::Variant wave = script.Global().Get(u"WaveSoundBuffer").value;
    const host::Variant throwing =
        host::Property([]() -> host::Variant { throw host::ScriptException(u"no sound today"); });
    ASSERT_EQ(script.Global().Set(u"WaveSoundBuffer", throwing, PKQ_IGNOREPROP), 0);
    EXPECT_EQ(Link(), static_cast<HRESULT>(0x80004005));
    ASSERT_EQ(script.Global().Set(u"WaveSoundBuffer", wave, PKQ_IGNOREPROP), 0);
    EXPECT_EQ(Unlink(), S_OK);
    EXPECT_EQ(MembersPresent(), 0);

    // The same raised while unlinking: the unlink still goes through; the
    // members it could not reach answer as unlinked.
    ASSERT_EQ(Link(), S_OK);
    ASSERT_EQ(script.Global().Set(u"WaveSoundBuffer", throwing, PKQ_IGNOREPROP), 0);
    EXPECT_EQ(Unlink(), S_OK);
    ASSERT_EQ(script.Global().Set(u"WaveSoundBuffer", wave, PKQ_IGNOREPROP), 0);
    const auto mask = script.Call(u"setMultiTrackMask", {u"bgm.mtrk", host::Variant(), 1.0});
    EXPECT_EQ(mask.code, PKQ_E_FAIL);
    EXPECT_EQ(mask.value.Type(), pvtVoid);
    EXPECT_EQ(script.Call(u"rebindMultiTrackID", {u"a", u"b"}).code, PKQ_E_FAIL);
    EXPECT_EQ(script.Get(u"multiTrackOpenCallbacks").code, PKQ_E_FAIL);
    EXPECT_EQ(script.Call(u"setGainQueryCallback_mtbiOPUS", {host::Variant()}).code, PKQ_E_FAIL);
    for (const char16_t* name : kMembers)
        EXPECT_EQ(script.WaveSoundBuffer().Remove(name), 0);
}

} // namespace
} // namespace scripttest
