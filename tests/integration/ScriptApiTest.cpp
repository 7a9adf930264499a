// The WaveSoundBuffer members through the shared library: every refusal a
// script can meet, streams found by ID whatever the letter case, two
// streams under one ID, and renaming a stream. Gains are read from the mix
// of three DC tracks (Drums 1, Bass 2, Lead 4).
#include "ScriptTestSupport.h"

namespace scripttest {
namespace {

constexpr const char16_t* kNotFound = u"VyMultiTrack: instance not found:";
constexpr const char16_t* kConflict = u"VyMultiTrack: instance conflict:";

class ScriptApiTest : public ScriptFaceTest {
protected:
    void SetUp() override
    {
        ScriptFaceTest::SetUp();
        ASSERT_EQ(Link(), S_OK);
        WriteThreeTrackList(u"BGM.mtrk");
        runtime.ClearLog();
    }

    // Calls WaveSoundBuffer.name(args) with a result variant that starts as
    // `before`, as the engine passes one.
    host::CallResult CallWithResult(const char16_t* name, host::Args args,
                                    const host::Variant& before)
    {
        host::CallResult r;
        r.value = before;
        std::vector<tPKQVariant*> params;
        for (host::Variant& arg : args)
            params.push_back(arg.pkq());
        const host::ScriptObject function(script.Get(name).value);
        r.code = function.Object()->CallMember(
            0, nullptr, nullptr, r.value.pkq(), static_cast<pkq_int>(params.size()),
            params.empty() ? nullptr : params.data(), function.This());
        return r;
    }
};

TEST_F(ScriptApiTest, TooFewArgumentsAreRefusedBeforeAnythingRuns)
{
    EXPECT_EQ(script.Call(u"setMultiTrackMask", {u"bgm.mtrk", host::Variant()}).code,
              PKQ_E_BADPARAMCOUNT);
    EXPECT_EQ(script.Call(u"setDelayMultiTrackMask", {u"bgm.mtrk", 0}).code, PKQ_E_BADPARAMCOUNT);
    EXPECT_EQ(script.Call(u"rebindMultiTrackID", {u"bgm.mtrk"}).code, PKQ_E_BADPARAMCOUNT);
    EXPECT_TRUE(Lines().empty());
}

TEST_F(ScriptApiTest, BadIdsAreRefusedAndLeaveTheResultAlone)
{
    const host::Variant marker(77);
    const host::Variant emptyArray = host::Array({});
    for (const host::Variant& id :
         {host::Variant(), host::Variant(5), host::Variant(2.5), emptyArray, host::Variant(u"")}) {
        SCOPED_TRACE(id.Describe());
        auto r = CallWithResult(u"setMultiTrackMask", {id, host::Variant(), 1.0}, marker);
        EXPECT_EQ(r.code, PKQ_E_INVALIDPARAM);
        EXPECT_EQ(r.value.AsInteger(), 77);
        r = CallWithResult(u"setDelayMultiTrackMask", {id, 0, host::Array({u"drums", 0.0})},
                           marker);
        EXPECT_EQ(r.code, PKQ_E_INVALIDPARAM);
        EXPECT_EQ(r.value.AsInteger(), 77);
    }
    for (const host::Variant& id : {host::Variant(), host::Variant(5), emptyArray}) {
        SCOPED_TRACE(id.Describe());
        EXPECT_EQ(CallWithResult(u"rebindMultiTrackID", {id, u"new"}, marker).code,
                  PKQ_E_INVALIDPARAM);
        EXPECT_EQ(CallWithResult(u"rebindMultiTrackID", {u"bgm.mtrk", id}, marker).code,
                  PKQ_E_INVALIDPARAM);
    }
    EXPECT_TRUE(Lines().empty());
}

TEST_F(ScriptApiTest, ChangesThatAreNoArrayAreRefusedBeforeTheIdIsLookedUp)
{
    for (const host::Variant& changes :
         {host::Variant(), host::Variant(u"drums"), host::Variant(0.5)}) {
        SCOPED_TRACE(changes.Describe());
        const auto r = CallWithResult(u"setDelayMultiTrackMask", {u"unknown.mtrk", 0, changes},
                                      host::Variant(77));
        EXPECT_EQ(r.code, PKQ_E_INVALIDPARAM);
        EXPECT_EQ(r.value.AsInteger(), 77);
    }
    EXPECT_TRUE(Lines().empty()) << "nothing was looked up";
}

TEST_F(ScriptApiTest, AnUnknownIdIsLoggedAsWrittenAndGivesMinusOne)
{
    const auto mask =
        CallWithResult(u"setMultiTrackMask", {u"No.Such", host::Variant(), 1.0}, host::Variant(77));
    EXPECT_EQ(mask.code, 0);
    EXPECT_EQ(mask.value.Type(), pvtInteger);
    EXPECT_EQ(mask.value.AsInteger(), -1);
    const auto delay = CallWithResult(u"setDelayMultiTrackMask",
                                      {u"AlsoMissing", 0, host::Array({})}, host::Variant(77));
    EXPECT_EQ(delay.code, 0);
    EXPECT_EQ(delay.value.AsInteger(), -1);
    const auto rebind = CallWithResult(u"rebindMultiTrackID", {u"Gone", u"new"}, host::Variant(77));
    EXPECT_EQ(rebind.code, 0);
    EXPECT_EQ(rebind.value.AsInteger(), 77) << "rebind leaves the result as it was";
    EXPECT_EQ(Lines(1), (std::vector<std::u16string>{std::u16string(kNotFound) + u"No.Such",
                                                     std::u16string(kNotFound) + u"AlsoMissing",
                                                     std::u16string(kNotFound) + u"Gone"}));
    EXPECT_TRUE(Lines(0).empty());
}

TEST_F(ScriptApiTest, TracksOfAWrongTypeAreRefusedAfterTheResultWasCleared)
{
    IHSSWaveDecoder* decoder = Open(u"BGM.mtrk");
    ASSERT_NE(decoder, nullptr);
    for (const host::Variant& tracks : {host::Variant(3), host::Variant(0.5)}) {
        const auto r =
            CallWithResult(u"setMultiTrackMask", {u"bgm.mtrk", tracks, 0.0}, host::Variant(77));
        EXPECT_EQ(r.code, PKQ_E_INVALIDPARAM);
        EXPECT_EQ(r.value.Type(), pvtVoid);
    }
    EXPECT_EQ(Level(decoder), Mix(1, 1, 1)) << "nothing changed";
    decoder->Release();
}

TEST_F(ScriptApiTest, TracksAreAllOneNameOrTheReadableNamesOfAnArray)
{
    IHSSWaveDecoder* decoder = Open(u"BGM.mtrk");
    ASSERT_NE(decoder, nullptr);
    const auto mask = [&](const host::Variant& tracks, double volume) {
        const auto r =
            CallWithResult(u"setMultiTrackMask", {u"bgm.mtrk", tracks, volume}, host::Variant(77));
        EXPECT_EQ(r.code, 0);
        EXPECT_EQ(r.value.Type(), pvtVoid) << "a known ID clears the result";
        return Level(decoder);
    };
    EXPECT_EQ(mask(host::Variant(), 0.5), Mix(0.5f, 0.5f, 0.5f)) << "void: every track";
    EXPECT_EQ(mask(u"LEAD", 0.0), Mix(0.5f, 0.5f, 0)) << "track names ignore case";
    EXPECT_EQ(mask(u"d.wav", 1.0), Mix(1, 0.5f, 0)) << "a file name names its track";
    EXPECT_EQ(mask(host::Array({u"bass", u"l"}), 0.25), Mix(1, 0.25f, 0.25f));
    EXPECT_EQ(mask(host::Array({}), 0.0), Mix(1, 0.25f, 0.25f)) << "an empty array changes nothing";
    EXPECT_EQ(
        mask(host::ArrayWithHoles({std::nullopt, host::Variant(u"drums"), std::nullopt}), 0.0),
        Mix(0, 0.25f, 0.25f))
        << "holes are skipped";
    EXPECT_EQ(mask(host::Array({u"nothing"}), 0.0), Mix(0, 0.25f, 0.25f));
    EXPECT_EQ(Lines(1), std::vector<std::u16string>{u"VyMultiTrack: track not found: nothing"});
    decoder->Release();
}

TEST_F(ScriptApiTest, AFourthArgumentIsTheFadeTimeAndFurtherOnesAreIgnored)
{
    IHSSWaveDecoder* decoder = Open(u"BGM.mtrk");
    ASSERT_NE(decoder, nullptr);
    // 1 ms at 48 kHz: 48 frames of ramp on the drums, from 1 to 0.
    ASSERT_EQ(
        script.Call(u"setMultiTrackMask", {u"bgm.mtrk", u"drums", 0.0, 1, u"ignored", 9}).code, 0);
    const Samples out = Render(decoder, 50, 7);
    ASSERT_EQ(out.size(), 50u);
    for (std::uint32_t k = 0; k < 48; ++k) {
        const float gain = ((0.0f - 1.0f) * static_cast<float>(k)) / 48.0f + 1.0f;
        EXPECT_EQ(out[k], Mix(gain, 1, 1)) << "frame " << k;
    }
    EXPECT_EQ(out[48], Mix(0, 1, 1));
    EXPECT_EQ(out[49], Mix(0, 1, 1));
    decoder->Release();
}

TEST_F(ScriptApiTest, IdsThatDifferOnlyInCaseReachTheSameStream)
{
    IHSSWaveDecoder* decoder = Open(u"BGM.mtrk");
    ASSERT_NE(decoder, nullptr);
    for (const char16_t* id : {u"bgm.mtrk", u"BGM.MTRK", u"Bgm.Mtrk"}) {
        ASSERT_EQ(script.Call(u"setMultiTrackMask", {id, host::Variant(), 0.0}).value.Type(),
                  pvtVoid);
        EXPECT_EQ(Level(decoder), 0.0f);
        ASSERT_EQ(script.Call(u"setMultiTrackMask", {id, host::Variant(), 1.0}).value.Type(),
                  pvtVoid);
        EXPECT_EQ(Level(decoder), Mix(1, 1, 1));
    }
    EXPECT_TRUE(Lines(1).empty());
    decoder->Release();
}

TEST_F(ScriptApiTest, TheLaterOfTwoStreamsUnderOneIdTakesTheEntryUntilItGoes)
{
    IHSSWaveDecoder* first = Open(u"BGM.mtrk");
    IHSSWaveDecoder* second = Open(u"BGM.mtrk");
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(Lines(1), std::vector<std::u16string>{std::u16string(kConflict) + u"bgm.mtrk"});

    ASSERT_EQ(script.Call(u"setMultiTrackMask", {u"BGM.mtrk", u"bass", 0.0}).value.Type(), pvtVoid);
    EXPECT_EQ(Level(first), Mix(1, 1, 1));
    EXPECT_EQ(Level(second), Mix(1, 0, 1));

    // The first one goes: it is not the entry, so the entry stays.
    runtime.ClearLog();
    EXPECT_EQ(first->Release(), 0u);
    EXPECT_EQ(Lines(1), std::vector<std::u16string>{std::u16string(kNotFound) + u"bgm.mtrk"});
    ASSERT_EQ(script.Call(u"setMultiTrackMask", {u"bgm.mtrk", u"lead", 0.0}).value.Type(), pvtVoid);
    EXPECT_EQ(Level(second), Mix(1, 0, 0));

    // The second one goes and takes the entry with it.
    runtime.ClearLog();
    EXPECT_EQ(second->Release(), 0u);
    EXPECT_TRUE(Lines().empty());
    EXPECT_EQ(
        script.Call(u"setMultiTrackMask", {u"bgm.mtrk", host::Variant(), 1.0}).value.AsInteger(),
        -1);
}

TEST_F(ScriptApiTest, RebindMovesAStreamToANewId)
{
    IHSSWaveDecoder* decoder = Open(u"BGM.mtrk");
    ASSERT_NE(decoder, nullptr);
    const auto rebound = CallWithResult(
        u"rebindMultiTrackID", {u"Bgm.mtrk", u"Title/Theme", u"ignored"}, host::Variant(77));
    EXPECT_EQ(rebound.code, 0);
    EXPECT_EQ(rebound.value.AsBool(), true);
    EXPECT_EQ(rebound.value.AsInteger(), 1);

    ASSERT_EQ(script.Call(u"setMultiTrackMask", {u"title/THEME", u"drums", 0.0}).value.Type(),
              pvtVoid);
    EXPECT_EQ(Level(decoder), Mix(0, 1, 1));
    EXPECT_EQ(script.Call(u"setMultiTrackMask", {u"bgm.mtrk", u"drums", 1.0}).value.AsInteger(),
              -1);

    // Empty IDs change nothing and log nothing.
    runtime.ClearLog();
    for (const auto& [from, to] : {std::pair{u"", u"x"}, std::pair{u"title/theme", u""}}) {
        const auto r = CallWithResult(u"rebindMultiTrackID", {from, to}, host::Variant(77));
        EXPECT_EQ(r.code, 0);
        EXPECT_EQ(r.value.AsInteger(), 77);
    }
    EXPECT_TRUE(Lines().empty());
    ASSERT_EQ(script.Call(u"setMultiTrackMask", {u"title/theme", u"drums", 1.0}).value.Type(),
              pvtVoid);

    // Rebinding onto the ID of another stream takes that stream's entry.
    IHSSWaveDecoder* other = Open(u"BGM.mtrk");
    ASSERT_NE(other, nullptr);
    runtime.ClearLog();
    EXPECT_EQ(script.Call(u"rebindMultiTrackID", {u"title/theme", u"BGM.mtrk"}).value.AsBool(),
              true);
    EXPECT_EQ(Lines(1), std::vector<std::u16string>{std::u16string(kConflict) + u"bgm.mtrk"});
    ASSERT_EQ(script.Call(u"setMultiTrackMask", {u"bgm.mtrk", u"lead", 0.0}).value.Type(), pvtVoid);
    EXPECT_EQ(Level(decoder), Mix(1, 1, 0));
    EXPECT_EQ(Level(other), Mix(1, 1, 1));
    decoder->Release();
    other->Release();
}

} // namespace
} // namespace scripttest
