// The ScriptInterface on its own, against the reference script runtime:
// how it outlives its unlink for the decoders that still hold it, what its
// table hands out, its log lines, the name arrays of the open callbacks,
// and the script members while no interface is published.
#include "plugin/LinkedRuntimeTest.h"

#include "multitrack/MultiTrackDecoderTestSupport.h"

#include <script/ScriptApi.h>
#include <script/ScriptInterface.h>

#include <host/script/Script.h>

#include <plugin/HostFunctions.h>

namespace {

class ScriptInterfaceTest : public LinkedRuntimeTest {
protected:
    void SetUp() override
    {
        LinkedRuntimeTest::SetUp();
        published = TheProcessState().scriptInterface;
    }
    void TearDown() override
    {
        TheProcessState().scriptInterface = published;
        LinkedRuntimeTest::TearDown();
    }

    static ScriptInterface* NewInterface()
    {
        return ScriptInterface::Create(hostapi::PKQCreateDictionaryObject());
    }

    // A decoder opened on a two-track list named `id`, reporting to `callback`.
    static MultiTrackDecoderBaseImpl* OpenDecoder(MultiTrackCallbackIntf* callback,
                                                  const char16_t* id)
    {
        TrackListInfo info;
        info.trackCount = 2;
        info.format.sampleRate = 48000;
        info.format.channelCount = 1;
        info.format.sampleFormat = kSampleFormatFloat32;
        info.bindings = {{u"a", 0}, {u"b", 1}};
        info.listName = id;
        return OpenOverFakeMixer(callback, info, {1.0f, 2.0f}, 0);
    }

    static float Level(MultiTrackDecoderBaseImpl* decoder)
    {
        float sample = -1.0f;
        std::uint32_t rendered = 0;
        EXPECT_TRUE(decoder->DecodeSamples(&sample, 1, rendered));
        return sample;
    }

    host::Script script{runtime};
    MultiTrackCallbackIntf* published = nullptr;
};

TEST_F(ScriptInterfaceTest, ARetiredInterfaceStaysForItsDecodersAndGoesWithTheLast)
{
    const long objectsBefore = host::DispatchObject::LiveObjects();
    ScriptInterface* linked = NewInterface();
    ASSERT_NE(linked, nullptr);
    ASSERT_TRUE(linked->OpenCallbacks().Object);
    auto* first = OpenDecoder(linked, u"bgm");
    auto* second = OpenDecoder(linked, u"jingle");
    ASSERT_EQ(linked->FindInstance(tPKQString(u"BGM")), first);

    linked->Retire();
    EXPECT_EQ(host::DispatchObject::LiveObjects(), objectsBefore)
        << "the host's objects go at once";
    runtime.ClearLog();
    EXPECT_EQ(Level(first), 3.0f);
    // What reaches the retired interface now is neither logged nor kept.
    EXPECT_EQ(first->SetTrackMask(nullptr, 0, 0.5f, 0), 1u);
    EXPECT_FALSE(linked->RegisterInstance(second, u"other"));
    EXPECT_EQ(first->Release(), 0u);
    EXPECT_EQ(second->Release(), 0u); // the interface goes with this one
    EXPECT_TRUE(runtime.Log().empty());
}

TEST_F(ScriptInterfaceTest, ARetiredInterfaceWithoutDecodersGoesAtOnce)
{
    ScriptInterface* linked = NewInterface();
    ASSERT_NE(linked, nullptr);
    auto* gone = OpenDecoder(linked, u"bgm");
    EXPECT_EQ(gone->Release(), 0u);
    linked->Retire(); // a leak or a later use shows under the sanitizers
}

TEST_F(ScriptInterfaceTest, OnlyRegisteredDecodersAreHandedOut)
{
    ScriptInterface* linked = NewInterface();
    ASSERT_NE(linked, nullptr);
    auto* decoder = OpenDecoder(linked, u"bgm");
    ASSERT_EQ(linked->FindInstance(tPKQString(u"bgm")), decoder);
    // The decoder leaves under another ID: its entry stays in the table
    // but no longer names a decoder that will call back.
    EXPECT_FALSE(linked->UnregisterInstance(decoder, u"elsewhere"));
    EXPECT_EQ(linked->FindInstance(tPKQString(u"bgm")), nullptr);
    EXPECT_EQ(linked->FindInstance(tPKQString(u"")), nullptr);
    EXPECT_EQ(decoder->Release(), 0u);
    linked->Retire();
}

TEST_F(ScriptInterfaceTest, WithoutATableNothingIsFoundAndNothingBreaks)
{
    ScriptInterface* linked = ScriptInterface::Create(nullptr);
    ASSERT_NE(linked, nullptr);
    auto* decoder = OpenDecoder(linked, u"bgm");
    EXPECT_EQ(linked->FindInstance(tPKQString(u"bgm")), nullptr);
    EXPECT_FALSE(linked->RegisterInstance(decoder, u"bgm"));
    EXPECT_FALSE(linked->RegisterInstance(decoder, u""));
    EXPECT_FALSE(linked->RegisterInstance(decoder, nullptr));
    EXPECT_FALSE(linked->UnregisterInstance(nullptr, u"bgm"));
    linked->Retire();
    EXPECT_EQ(decoder->Release(), 0u);
}

TEST_F(ScriptInterfaceTest, LogLinesLeaveOutWhatIsMissing)
{
    ScriptInterface* linked = NewInterface();
    ASSERT_NE(linked, nullptr);
    linked->Log(nullptr, nullptr);
    linked->Log(u"failed to load track list", nullptr);
    linked->Log(nullptr, u"x.mtrk");
    linked->Log(u"track not found", u"Drums");
    EXPECT_EQ(runtime.LogTexts(1),
              (std::vector<std::u16string>{
                  u"VyMultiTrack", u"VyMultiTrack: failed to load track list",
                  u"VyMultiTrack: x.mtrk", u"VyMultiTrack: track not found: Drums"}));
    EXPECT_TRUE(runtime.LogTexts(0).empty());
    linked->Retire();
}

TEST_F(ScriptInterfaceTest, OpenCallbacksGetTheNamesByIndexAndTheOtherNamesWithTheirTracks)
{
    ScriptInterface* linked = NewInterface();
    ASSERT_NE(linked, nullptr);
    const tPKQVariantClosure array = linked->OpenCallbacks();
    ASSERT_NE(array.Object, nullptr);
    EXPECT_EQ(linked->OpenCallbacks().Object, array.Object);
    std::vector<std::vector<host::Variant>> byIndex;
    std::vector<std::vector<host::Variant>> otherNames;
    const host::ScriptObject callbacks(host::Variant::Object(array.Object, array.ObjThis));
    ASSERT_EQ(callbacks.Push(host::Function([&](const host::CallArgs& args) {
        EXPECT_EQ(args.Count(), 5);
        byIndex.push_back(args[3].ObjectPtr()
                              ? host::ScriptObject(args[3]).Elements()
                              : std::vector<host::Variant>{host::Variant(u"absent")});
        otherNames.push_back(args[4].ObjectPtr()
                                 ? host::ScriptObject(args[4]).Elements()
                                 : std::vector<host::Variant>{host::Variant(u"absent")});
        EXPECT_TRUE(args[3].IsObject());
    })),
              0);

    const TrackNameEntry entries[] = {{3, u"d"},   {0, u"a"},    {-1, u"a2"},  {0, u"a-again"},
                                      {-4, u"d2"}, {1, nullptr}, {-2, nullptr}};
    linked->NotifyOpen(u"bgm", u"Bgm.mtrk", 4, entries, 7);
    linked->NotifyOpen(u"bgm", u"Bgm.mtrk", 4, nullptr, 0);
    linked->NotifyOpen(u"bgm", u"Bgm.mtrk", 4, entries, 0);
    const TrackNameEntry unnamed[] = {{0, nullptr}};
    linked->NotifyOpen(u"bgm", u"Bgm.mtrk", 1, unnamed, 1);

    const auto texts = [](const std::vector<host::Variant>& values) {
        std::vector<std::u16string> out;
        for (const host::Variant& v : values)
            out.push_back(v.IsVoid() ? u"<hole>" : v.AsText());
        return out;
    };
    ASSERT_EQ(byIndex.size(), 4u);
    EXPECT_EQ(texts(byIndex[0]),
              (std::vector<std::u16string>{u"a-again", u"<hole>", u"<hole>", u"d"}));
    EXPECT_EQ(texts(otherNames[0]), (std::vector<std::u16string>{u"a2", u"0", u"d2", u"3"}));
    EXPECT_EQ(otherNames[0][1].Type(), pvtInteger);
    for (std::size_t call : {1u, 2u}) {
        EXPECT_EQ(texts(byIndex[call]), std::vector<std::u16string>{u"absent"});
        EXPECT_EQ(texts(otherNames[call]), std::vector<std::u16string>{u"absent"});
    }
    EXPECT_TRUE(byIndex[3].empty()) << "an entry without a name still makes the arrays";
    EXPECT_TRUE(otherNames[3].empty());
    linked->Retire();
}

TEST_F(ScriptInterfaceTest, MembersAnswerMinusOneWhileNoInterfaceIsPublished)
{
    TheProcessState().scriptInterface = nullptr;
    ASSERT_TRUE(RegisterScriptAPI(true));
    const host::Variant marker(77);
    const std::pair<const char16_t*, host::Args> calls[] = {
        {u"setMultiTrackMask", {u"bgm", host::Variant(), 1.0}},
        {u"setDelayMultiTrackMask", {u"bgm", 0, host::Array({u"a", 0.0})}},
        {u"rebindMultiTrackID", {u"bgm", u"new"}},
    };
    for (const auto& [name, args] : calls) {
        const auto answer = script.Call(name, args);
        EXPECT_EQ(answer.code, PKQ_E_FAIL) << host::Variant(name).AsUtf8();
        EXPECT_TRUE(answer.value.IsVoid());
    }
    EXPECT_EQ(script.Get(u"multiTrackOpenCallbacks").code, PKQ_E_FAIL);
    EXPECT_TRUE(runtime.Log().empty());

    ASSERT_TRUE(RegisterScriptAPI(false));
    for (const auto& [name, args] : calls)
        EXPECT_EQ(script.WaveSoundBuffer().Get(name).code, PKQ_E_MEMBERNOTFOUND);
    EXPECT_EQ(RefCountChange(), 0) << "the stores went with their members";
}

TEST_F(ScriptInterfaceTest, WithoutWaveSoundBufferTheMembersAreNeitherBoundNorMissed)
{
    const host::Variant wave = script.Global().Get(u"WaveSoundBuffer").value;
    ASSERT_EQ(script.Global().Remove(u"WaveSoundBuffer"), 0);
    EXPECT_TRUE(RegisterScriptAPI(true));
    EXPECT_TRUE(RegisterScriptAPI(false));
    EXPECT_EQ(RefCountChange(), 0);
    ASSERT_EQ(script.Global().Set(u"WaveSoundBuffer", wave), 0);
}

} // namespace
