// The ScriptInterface on its own, against the reference script runtime: its
// instance table, how it retires, its log lines, the name arrays of the
// open callbacks, and the script members while no interface is published.
// The interface only keeps and compares decoder pointers, so the decoders
// here are addresses that stand for them.
#include "plugin/LinkedRuntimeTest.h"

#include <script/ScriptApi.h>
#include <script/ScriptInterface.h>

#include <host/script/Script.h>

#include <plugin/HostFunctions.h>

#include <utility>

namespace {

using Texts = std::vector<std::u16string>;

class ScriptInterfaceTest : public LinkedRuntimeTest {
protected:
    void SetUp() override
    {
        LinkedRuntimeTest::SetUp();
        linked = ScriptInterface::Create(hostapi::PKQCreateDictionaryObject());
        ASSERT_NE(linked, nullptr);
    }
    void TearDown() override
    {
        if (linked)
            linked->Retire();
        LinkedRuntimeTest::TearDown();
    }

    MultiTrackDecoder* Decoder(int n) { return reinterpret_cast<MultiTrackDecoder*>(&decoders[n]); }
    MultiTrackDecoder* Find(const char16_t* id) { return linked->FindInstance(tPKQString(id)); }

    ScriptInterface* linked = nullptr;
    char decoders[3] = {};
};

// IDs are found in any case; only a decoder that is still registered is
// handed out; a conflict and a mismatched unregistration are logged (as
// important lines).
TEST_F(ScriptInterfaceTest, TheTableHandsOutRegisteredDecodersByIdInAnyCase)
{
    EXPECT_TRUE(linked->RegisterInstance(Decoder(0), u"Bgm"));
    EXPECT_TRUE(linked->RegisterInstance(Decoder(1), u"jingle"));
    EXPECT_EQ(std::tuple(Find(u"BGM"), Find(u"Jingle"), Find(u""), Find(u"other")),
              std::tuple(Decoder(0), Decoder(1), nullptr, nullptr));
    EXPECT_FALSE(linked->RegisterInstance(Decoder(2), u""));
    EXPECT_TRUE(linked->RegisterInstance(Decoder(2), u"BGM"));
    // Decoder 1 leaves under another ID: its entry stays but is no longer handed out.
    EXPECT_FALSE(linked->UnregisterInstance(Decoder(1), u"elsewhere"));
    EXPECT_EQ(Find(u"jingle"), nullptr);
    EXPECT_FALSE(linked->UnregisterInstance(Decoder(0), u"bgm")) << "the entry is decoder 2's";
    EXPECT_EQ(Find(u"bgm"), Decoder(2));
    EXPECT_TRUE(linked->UnregisterInstance(nullptr, u"JINGLE")) << "without a decoder, whatever the entry holds";
    EXPECT_FALSE(linked->UnregisterInstance(nullptr, u"JINGLE"));
    EXPECT_TRUE(linked->UnregisterInstance(Decoder(2), u"bgm"));
    EXPECT_EQ(runtime.LogTexts(1), (Texts{u"VyMultiTrack: instance conflict:BGM",
                                          u"VyMultiTrack: instance not found:elsewhere",
                                          u"VyMultiTrack: instance not found:bgm"}));
    linked->Retire();
    linked = ScriptInterface::Create(nullptr); // without a table nothing is found
    EXPECT_FALSE(linked->RegisterInstance(nullptr, u"bgm"));
    EXPECT_EQ(Find(u"bgm"), nullptr);
    EXPECT_FALSE(linked->UnregisterInstance(nullptr, u"bgm"));
}

// Retired, it gives the host's objects back at once and stays, silent,
// until the last registered decoder has unregistered.
TEST_F(ScriptInterfaceTest, ARetiredInterfaceLetsGoOfTheHostAtOnceAndGoesSilent)
{
    ASSERT_TRUE(linked->OpenCallbacks().Object);
    ASSERT_TRUE(linked->RegisterInstance(Decoder(0), u"bgm"));
    const long objectsBefore = host::DispatchObject::LiveObjects();
    ScriptInterface* const retired = std::exchange(linked, nullptr);
    retired->Retire();
    EXPECT_EQ(host::DispatchObject::LiveObjects(), objectsBefore - 2) << "the table and the callbacks array";
    EXPECT_FALSE(retired->RegisterInstance(Decoder(1), u"other"));
    EXPECT_EQ(retired->OpenCallbacks().Object, nullptr);
    retired->Log(u"message", u"detail");
    retired->LogInstanceNotFound(tPKQString(u"bgm"));
    EXPECT_FALSE(retired->UnregisterInstance(Decoder(1), u"other"));
    EXPECT_FALSE(retired->UnregisterInstance(Decoder(0), u"bgm")); // the interface goes with this one
    EXPECT_TRUE(runtime.Log().empty());
}

TEST_F(ScriptInterfaceTest, LogLinesLeaveOutWhatIsMissing)
{
    linked->Log(nullptr, nullptr);
    linked->Log(u"failed to load track list", nullptr);
    linked->Log(nullptr, u"x.mtrk");
    linked->Log(u"track not found", u"Drums");
    EXPECT_EQ(runtime.LogTexts(1), (Texts{u"VyMultiTrack", u"VyMultiTrack: failed to load track list",
                                          u"VyMultiTrack: x.mtrk", u"VyMultiTrack: track not found: Drums"}));
    EXPECT_TRUE(runtime.LogTexts(0).empty());
}

// A later entry for a track index replaces the earlier one, entries without
// a name are skipped, and negative indices ~k go to the other names with
// their track k; without entries neither array exists.
TEST_F(ScriptInterfaceTest, OpenCallbacksGetTheNamesByIndexAndTheOtherNamesWithTheirTracks)
{
    const tPKQVariantClosure array = linked->OpenCallbacks();
    ASSERT_NE(array.Object, nullptr);
    std::vector<Texts> byIndex, otherNames;
    const auto texts = [](const host::Variant& names) { // "#": an integer
        Texts out = names.ObjectPtr() ? Texts{} : Texts{u"absent"};
        for (const host::Variant& v : host::ScriptObject(names).Elements())
            out.push_back(v.IsVoid() ? u"<hole>" : v.Type() == pvtInteger ? u"#" + v.AsText() : v.AsText());
        return out;
    };
    const host::ScriptObject callbacks(host::Variant::Object(array.Object, array.ObjThis));
    ASSERT_EQ(callbacks.Push(host::Function([&](const host::CallArgs& args) {
        byIndex.push_back(texts(args[3]));
        otherNames.push_back(texts(args[4]));
    })), 0);
    const TrackNameEntry entries[] = {{3, u"d"},   {0, u"a"},    {-1, u"a2"},  {0, u"a-again"},
                                      {-4, u"d2"}, {1, nullptr}, {-2, nullptr}};
    const TrackNameEntry unnamed[] = {{0, nullptr}};
    linked->NotifyOpen(u"bgm", u"Bgm.mtrk", 4, entries, 7);
    linked->NotifyOpen(u"bgm", u"Bgm.mtrk", 4, nullptr, 0);
    linked->NotifyOpen(u"bgm", u"Bgm.mtrk", 4, entries, 0);
    linked->NotifyOpen(u"bgm", u"Bgm.mtrk", 1, unnamed, 1);
    EXPECT_EQ(byIndex, (std::vector<Texts>{{u"a-again", u"<hole>", u"<hole>", u"d"}, {u"absent"}, {u"absent"}, {}}));
    EXPECT_EQ(otherNames, (std::vector<Texts>{{u"a2", u"#0", u"d2", u"#3"}, {u"absent"}, {u"absent"}, {}}));
}

// An array the host could not make is asked for again on the next read.
TEST_F(ScriptInterfaceTest, AFailedCallbackArrayIsTriedAgainOnTheNextRead)
{
    runtime.FailArrayCreations(1);
    EXPECT_EQ(linked->OpenCallbacks().Object, nullptr);
    const tPKQVariantClosure callbacks = linked->OpenCallbacks();
    EXPECT_NE(callbacks.Object, nullptr);
    EXPECT_EQ(linked->OpenCallbacks().Object, callbacks.Object) << "and kept once made";
}

TEST_F(ScriptInterfaceTest, MembersAnswerMinusOneWhileNoInterfaceIsPublished)
{
    MultiTrackCallbackIntf* const published = std::exchange(TheProcessState().scriptInterface, nullptr);
    ASSERT_TRUE(RegisterScriptAPI(true));
    const host::Script script(runtime);
    for (const char16_t* name : {u"setMultiTrackMask", u"setDelayMultiTrackMask", u"rebindMultiTrackID"}) {
        const auto answer = script.Call(name, {host::Variant(), host::Variant(), host::Variant()});
        EXPECT_EQ(std::tuple(answer.code, answer.value.IsVoid()), std::tuple(PKQ_E_FAIL, true)) << host::Variant(name).AsUtf8();
    }
    EXPECT_EQ(script.Get(u"multiTrackOpenCallbacks").code, PKQ_E_FAIL);
    ASSERT_TRUE(RegisterScriptAPI(false));
    EXPECT_EQ(RefCountChange(), 0) << "the stores went with their members";
    TheProcessState().scriptInterface = published;
}

} // namespace
