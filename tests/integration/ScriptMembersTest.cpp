// The WaveSoundBuffer members through the shared library, on streams of the
// three-track DC list "BGM.mtrk": what each member refuses, which tracks it
// reaches, where a delayed change lands, renaming and sharing an ID, the
// open callbacks, and a scripted mix checked frame by frame.
#include "ScriptTestSupport.h"

#include <host/script/ScriptException.h>

#include <vymultitrack/Utf16Text.h>

namespace scripttest {
namespace {

const std::u16string kNotFound = u"VyMultiTrack: instance not found:";
const std::u16string kConflict = u"VyMultiTrack: instance conflict:";

// A changes array that reads "drums", 0.0 and then raises a script
// exception where the next tracks value should be.
class ThrowingChanges final : public host::DispatchObject {
public:
    static host::Variant Make() { return host::Variant::Adopt(new ThrowingChanges); }

    pkq_int VY_CDECL CountMembers(pkq_int* result, const pkq_char*, pkq_uint32*,
                                  iPKQDispatch2*) override
    {
        *result = 4;
        return PKQ_S_OK;
    }
    pkq_int VY_CDECL GetMemberByNumber(pkq_uint32, pkq_int number, tPKQVariant* result,
                                       iPKQDispatch2*) override
    {
        if (number >= 2)
            throw host::ScriptException(u"no more changes");
        host::Variant::View(*result) = number == 0 ? host::Variant(u"drums") : host::Variant(0.0);
        return PKQ_S_OK;
    }

private:
    ThrowingChanges() = default;
};

class ScriptMembersTest : public ScriptFaceTest {
protected:
    void SetUp() override
    {
        ScriptFaceTest::SetUp();
        ASSERT_EQ(Link(), S_OK);
        WriteThreeTrackList(u"BGM.mtrk");
        runtime.ClearLog();
    }

    // WaveSoundBuffer.name(args) with a result variant that starts as 77,
    // as the engine passes one.
    host::CallResult Call77(const char16_t* name, host::Args args)
    {
        host::CallResult r;
        r.value = host::Variant(77);
        std::vector<tPKQVariant*> params;
        for (host::Variant& arg : args)
            params.push_back(arg.pkq());
        const host::ScriptObject function(script.Get(name).value);
        r.code = function.Object()->CallMember(0, nullptr, nullptr, r.value.pkq(),
                                               static_cast<pkq_int>(params.size()), params.data(),
                                               function.This());
        return r;
    }
};

TEST_F(ScriptMembersTest, BadArgumentsAreRefusedBeforeAnIdIsLookedUpAndLeaveTheResultAlone)
{
    const char16_t* const mask = u"setMultiTrackMask";
    const char16_t* const delay = u"setDelayMultiTrackMask";
    const char16_t* const rebind = u"rebindMultiTrackID";
    const host::Variant none;
    const host::Variant drums0 = host::Array({u"drums", 0.0});
    const struct {
        const char16_t* member;
        pkq_int code;
        host::Args args;
    } rows[] = {
        {mask, PKQ_E_BADPARAMCOUNT, {u"bgm.mtrk", none}},
        {delay, PKQ_E_BADPARAMCOUNT, {u"bgm.mtrk", 0}},
        {rebind, PKQ_E_BADPARAMCOUNT, {u"bgm.mtrk"}},
        {mask, PKQ_E_INVALIDPARAM, {5, none, 1.0}},
        {mask, PKQ_E_INVALIDPARAM, {host::Array({}), none, 1.0}},
        {mask, PKQ_E_INVALIDPARAM, {u"", none, 1.0}},
        {delay, PKQ_E_INVALIDPARAM, {none, 0, drums0}},
        {delay, PKQ_E_INVALIDPARAM, {u"", 0, drums0}},
        {delay, PKQ_E_INVALIDPARAM, {u"no.mtrk", 0, none}}, // changes that are no array
        {delay, PKQ_E_INVALIDPARAM, {u"no.mtrk", 0, u"drums"}},
        {rebind, PKQ_E_INVALIDPARAM, {2.5, u"new"}},
        {rebind, PKQ_E_INVALIDPARAM, {u"bgm.mtrk", none}},
        {rebind, 0, {u"", u"x"}}, // empty IDs: nothing to do
        {rebind, 0, {u"bgm.mtrk", u""}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(vytext::ToUtf8(row.member) + "(" + row.args[0].Describe() + ", ...)");
        const auto r = Call77(row.member, row.args);
        EXPECT_EQ(r.code, row.code);
        EXPECT_EQ(r.value.AsInteger(), 77);
    }
    EXPECT_TRUE(Lines().empty());
}

TEST_F(ScriptMembersTest, AnUnknownIdIsLoggedAsWrittenAndGivesMinusOne)
{
    const auto mask = Call77(u"setMultiTrackMask", {u"No.Such", host::Variant(), 1.0});
    EXPECT_EQ(mask.code, 0);
    EXPECT_EQ(mask.value.Type(), pvtInteger);
    EXPECT_EQ(mask.value.AsInteger(), -1);
    const auto delay = Call77(u"setDelayMultiTrackMask", {u"AlsoMissing", 0, host::Array({})});
    EXPECT_EQ(delay.code, 0);
    EXPECT_EQ(delay.value.AsInteger(), -1);
    const auto rebind = Call77(u"rebindMultiTrackID", {u"Gone", u"new"});
    EXPECT_EQ(rebind.code, 0);
    EXPECT_EQ(rebind.value.AsInteger(), 77) << "rebind leaves the result as it was";
    EXPECT_EQ(Lines(1),
              (std::vector<std::u16string>{kNotFound + u"No.Such", kNotFound + u"AlsoMissing",
                                           kNotFound + u"Gone"}));
    EXPECT_TRUE(Lines(0).empty());
}

TEST_F(ScriptMembersTest, TracksAreAllOneNameOrTheNamesOfAnArrayUnderAnIdInAnyCase)
{
    IHSSWaveDecoder* decoder = Open(u"BGM.mtrk");
    ASSERT_NE(decoder, nullptr);
    const struct {
        const char* name;
        const char16_t* id;
        host::Variant tracks;
        double volume;
        pkq_int code;
        float mix;
    } rows[] = {
        {"void: every track", u"bgm.mtrk", host::Variant(), 0.5, 0, Mix(0.5f, 0.5f, 0.5f)},
        {"names ignore case", u"BGM.MTRK", u"LEAD", 0.0, 0, Mix(0.5f, 0.5f, 0)},
        {"a file name names its track", u"Bgm.Mtrk", u"d.wav", 1.0, 0, Mix(1, 0.5f, 0)},
        {"an array of names", u"bgm.mtrk", host::Array({u"bass", u"l"}), 0.25, 0,
         Mix(1, 0.25f, 0.25f)},
        {"an empty array", u"bgm.mtrk", host::Array({}), 0.0, 0, Mix(1, 0.25f, 0.25f)},
        {"holes are skipped", u"bgm.mtrk",
         host::ArrayWithHoles({std::nullopt, host::Variant(u"drums"), std::nullopt}), 0.0, 0,
         Mix(0, 0.25f, 0.25f)},
        {"an unknown name", u"bgm.mtrk", host::Array({u"nothing"}), 0.0, 0, Mix(0, 0.25f, 0.25f)},
        {"integer tracks", u"bgm.mtrk", 3, 1.0, PKQ_E_INVALIDPARAM, Mix(0, 0.25f, 0.25f)},
        {"real tracks", u"bgm.mtrk", 0.5, 1.0, PKQ_E_INVALIDPARAM, Mix(0, 0.25f, 0.25f)},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const auto r = Call77(u"setMultiTrackMask", {row.id, row.tracks, row.volume});
        EXPECT_EQ(r.code, row.code);
        EXPECT_EQ(r.value.Type(), pvtVoid) << "a known ID clears the result";
        EXPECT_EQ(Level(decoder), row.mix);
    }
    EXPECT_EQ(Lines(1), std::vector<std::u16string>{u"VyMultiTrack: track not found: nothing"});
    decoder->Release();
}

TEST_F(ScriptMembersTest, ADelayedChangeLandsOnTheFirstSwitchPointReachedOrIsDropped)
{
    using host::Array;
    constexpr std::uint32_t kNever = 3000; // the frames rendered
    const host::Variant lead0 = Array({u"lead", 0.0});
    const host::Variant holes =
        host::ArrayWithHoles({host::Variant(5000), std::nullopt, host::Variant(700)});
    const struct {
        const char* name;
        bool armed; // a change of the lead to 0 at frame 1000 comes first
        host::Variant points;
        host::Variant changes;
        std::uint32_t at;
        float after;
        float then; // after an immediate "drums" 0, which ends any gathering
    } rows[] = {
        {"pairs", false, 1000, Array({u"drums", 0.0, Array({u"bass", u"lead"}), 0.5}), 1000,
         Mix(0, 0.5f, 0.5f), Mix(0, 0.5f, 0.5f)},
        {"a trailing tracks value", false, 1000, Array({u"drums", 0.0, u"bass"}), 1000,
         Mix(0, 1, 1), Mix(0, 1, 1)},
        {"holes in the points", false, holes, lead0, 700, Mix(1, 1, 0), Mix(0, 1, 0)},
        {"void points: frame 0", false, host::Variant(), lead0, 0, Mix(1, 1, 0), Mix(0, 1, 0)},
        {"a negative point: applied by the next immediate change", false, -48, lead0, kNever, 0,
         Mix(0, 1, 0)},
        {"a later change replaces it", true, 2000, Array({u"bass", 0.0}), 2000, Mix(1, 0, 1),
         Mix(0, 0, 1)},
        {"empty changes cancel", true, 500, Array({}), kNever, 0, Mix(0, 1, 1)},
        {"empty points cancel", true, Array({}), Array({u"bass", 0.0}), kNever, 0, Mix(0, 1, 1)},
        {"a tracks value of a wrong type", true, 500, Array({u"drums", 0.0, 5, 1.0, u"bass", 0.0}),
         kNever, 0, Mix(0, 1, 1)},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        IHSSWaveDecoder* decoder = Open(u"BGM.mtrk");
        ASSERT_NE(decoder, nullptr);
        const std::pair<host::Variant, host::Variant> calls[] = {{1000, lead0},
                                                                 {row.points, row.changes}};
        for (std::size_t c = row.armed ? 0 : 1; c < 2; ++c) {
            const auto r =
                Call77(u"setDelayMultiTrackMask", {u"bgm.mtrk", calls[c].first, calls[c].second});
            EXPECT_EQ(r.code, 0);
            EXPECT_EQ(r.value.Type(), pvtVoid);
        }
        Samples expected(kNever, Mix(1, 1, 1));
        std::fill(expected.begin() + row.at, expected.end(), row.after);
        ExpectSameSamples(Render(decoder, kNever), expected);
        Mask(u"bgm.mtrk", u"drums", 0.0);
        EXPECT_EQ(Level(decoder), row.then);
        EXPECT_EQ(decoder->Release(), 0u);
    }
    EXPECT_TRUE(Lines(1).empty()) << "no track or stream went missing";

    // A script exception while the changes are read drops what was read.
    IHSSWaveDecoder* decoder = Open(u"BGM.mtrk");
    ASSERT_NE(decoder, nullptr);
    EXPECT_THROW(script.Call(u"setDelayMultiTrackMask", {u"bgm.mtrk", 0, ThrowingChanges::Make()}),
                 host::ScriptException);
    Mask(u"bgm.mtrk", u"bass", 0.0);
    EXPECT_EQ(Level(decoder), Mix(1, 0, 1));
    EXPECT_EQ(decoder->Release(), 0u);
}

TEST_F(ScriptMembersTest, RebindMovesAStreamToANewIdAndTakesTheEntryOfAnother)
{
    IHSSWaveDecoder* decoder = Open(u"BGM.mtrk");
    ASSERT_NE(decoder, nullptr);
    const auto rebound = Call77(u"rebindMultiTrackID", {u"Bgm.mtrk", u"Title/Theme", u"ignored"});
    EXPECT_EQ(rebound.code, 0);
    EXPECT_EQ(rebound.value.Type(), pvtInteger);
    EXPECT_EQ(rebound.value.AsInteger(), 1);
    ASSERT_EQ(Mask(u"title/THEME", u"drums", 0.0).Type(), pvtVoid);
    EXPECT_EQ(Level(decoder), Mix(0, 1, 1));
    EXPECT_EQ(Mask(u"bgm.mtrk", u"drums", 1.0).AsInteger(), -1);

    IHSSWaveDecoder* other = Open(u"BGM.mtrk");
    ASSERT_NE(other, nullptr);
    runtime.ClearLog();
    EXPECT_EQ(script.Call(u"rebindMultiTrackID", {u"title/theme", u"BGM.mtrk"}).value.AsBool(),
              true);
    EXPECT_EQ(Lines(1), std::vector<std::u16string>{kConflict + u"bgm.mtrk"});
    ASSERT_EQ(Mask(u"bgm.mtrk", u"lead", 0.0).Type(), pvtVoid);
    EXPECT_EQ(Level(decoder), Mix(0, 1, 0));
    EXPECT_EQ(Level(other), Mix(1, 1, 1));
    decoder->Release();
    other->Release();
}

TEST_F(ScriptMembersTest, TheLaterOfTwoStreamsUnderOneIdTakesTheEntryUntilItGoes)
{
    IHSSWaveDecoder* first = Open(u"BGM.mtrk");
    IHSSWaveDecoder* second = Open(u"BGM.mtrk");
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(Lines(1), std::vector<std::u16string>{kConflict + u"bgm.mtrk"});
    ASSERT_EQ(Mask(u"BGM.mtrk", u"bass", 0.0).Type(), pvtVoid);
    EXPECT_EQ(Level(first), Mix(1, 1, 1));
    EXPECT_EQ(Level(second), Mix(1, 0, 1));

    // The first one goes: it is not the entry, so the entry stays.
    runtime.ClearLog();
    EXPECT_EQ(first->Release(), 0u);
    EXPECT_EQ(Lines(1), std::vector<std::u16string>{kNotFound + u"bgm.mtrk"});
    ASSERT_EQ(Mask(u"bgm.mtrk", u"lead", 0.0).Type(), pvtVoid);
    EXPECT_EQ(Level(second), Mix(1, 0, 0));

    // The second one goes and takes the entry with it.
    runtime.ClearLog();
    EXPECT_EQ(second->Release(), 0u);
    EXPECT_TRUE(Lines().empty());
    EXPECT_EQ(Mask(u"bgm.mtrk", host::Variant(), 1.0).AsInteger(), -1);
}

// The open callbacks run in index order until one answers true; each sees
// the ID, the URL, the track count and the track names.
TEST_F(ScriptMembersTest, OpenCallbacksRunInIndexOrderUntilOneAnswersTrue)
{
    const host::ScriptObject callbacks(script.Get(u"multiTrackOpenCallbacks").value);
    ASSERT_TRUE(callbacks);
    std::vector<int> order;
    const auto recorder = [&](int n, host::Variant answer) {
        return host::Function([&, n, answer](const host::CallArgs& args) {
            order.push_back(n);
            EXPECT_EQ(args.Count(), 5);
            EXPECT_EQ(args[0].AsText(), u"bgm.mtrk");
            EXPECT_EQ(args[1].AsText(), u"BGM.mtrk");
            EXPECT_EQ(args[2].AsInteger(), 3);
            std::vector<std::u16string> names;
            for (const auto* array : {&args[3], &args[4]})
                for (const host::Variant& name : host::ScriptObject(*array).Elements())
                    names.push_back(name.AsText());
            EXPECT_EQ(names, (std::vector<std::u16string>{u"drums", u"bass", u"lead", u"d", u"0",
                                                          u"d.wav", u"0", u"b", u"1", u"b.wav",
                                                          u"1", u"l", u"2", u"l.wav", u"2"}));
            return answer;
        });
    };
    ASSERT_EQ(callbacks.Push(recorder(0, host::Variant(false))), 0);
    ASSERT_EQ(callbacks.Push(host::Variant(5)), 0); // not an object: skipped
    ASSERT_EQ(callbacks.Push(host::Function([](const host::CallArgs& args) -> pkq_int {
        args.SetResult(host::Variant(true));
        return PKQ_E_FAIL; // a failed call does not stop the chain
    })),
              0);
    ASSERT_EQ(callbacks.SetAt(4, recorder(1, host::Variant())), 0); // leaves a hole at 3
    ASSERT_EQ(callbacks.Push(recorder(2, host::Variant(1))), 0);
    ASSERT_EQ(callbacks.Push(recorder(3, host::Variant(true))), 0);
    IHSSWaveDecoder* decoder = Open(u"BGM.mtrk");
    ASSERT_NE(decoder, nullptr);
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2}));
    decoder->Release();

    // A callback that raises a script exception ends the chain and the open,
    // and the stream leaves the table again; without it the list opens.
    ASSERT_EQ(callbacks.SetAt(1, host::Function([](const host::CallArgs&) -> pkq_int {
                                  throw host::ScriptException(u"bad callback");
                              })),
              0);
    order.clear();
    decoder = reinterpret_cast<IHSSWaveDecoder*>(1);
    EXPECT_EQ(Module()->OpenMediaInstance(u"BGM.mtrk", &decoder), kFail);
    EXPECT_EQ(decoder, nullptr);
    EXPECT_EQ(order, std::vector<int>{0});
    EXPECT_EQ(Mask(u"bgm.mtrk", host::Variant(), 0.0).AsInteger(), -1);

    // A callback may take itself out of the array, which holds the last
    // reference but the call's, while it runs.
    ASSERT_EQ(callbacks.SetAt(1, FragileFunction::Make([&] {
                                  EXPECT_EQ(callbacks.SetAt(1, host::Variant()), 0);
                                  order.push_back(7);
                                  return host::Variant(true);
                              })),
              0);
    order.clear();
    decoder = Open(u"BGM.mtrk");
    ASSERT_NE(decoder, nullptr);
    EXPECT_EQ(order, (std::vector<int>{0, 7}));
    decoder->Release();
}

// A scripted mix as a game drives it: when the stream opens, the open
// callback mutes the lead and arms a change for the next bar line (lead in,
// drums out, with a short fade); later the script fades drums and bass to
// half. Every rendered frame is checked against the mix the kernels define.
TEST_F(ScriptMembersTest, ABarLineSwitchAndAFadeLandOnTheirFrames)
{
    constexpr std::uint32_t kBar = kRate / 2;
    constexpr std::uint32_t kStemFrames = 4 * kBar;
    constexpr std::uint32_t kBlock = 1234;             // never lines up with a bar line
    constexpr std::uint32_t kSwitchFade = kRate / 100; // 10 ms
    constexpr std::uint32_t kFade = kRate / 4;         // 250 ms
    WriteThreeTrackList(u"Battle.mtrk", kStemFrames);
    const host::ScriptObject callbacks(script.Get(u"multiTrackOpenCallbacks").value);
    ASSERT_EQ(callbacks.Push(host::Function([&](const host::CallArgs& args) {
        Mask(args[0], u"lead", 0.0);
        const host::Variant barLines =
            host::Array({static_cast<int>(kBar), static_cast<int>(2 * kBar)});
        EXPECT_EQ(script
                      .Call(u"setDelayMultiTrackMask",
                            {args[0], barLines, host::Array({u"lead", 1.0, u"drums", 0.0}), 10})
                      .code,
                  0);
        return true;
    })),
              0);
    IHSSWaveDecoder* decoder = Open(u"Battle.mtrk");
    ASSERT_NE(decoder, nullptr);

    // Render up to the first block past 1.5 bars, then the script fades.
    Samples out;
    while (out.size() < kBar + kBar / 2) {
        const Samples block = Render(decoder, kBlock, kBlock);
        ASSERT_EQ(block.size(), kBlock);
        out.insert(out.end(), block.begin(), block.end());
    }
    const auto fadeStart = static_cast<std::uint32_t>(out.size());
    ASSERT_EQ(script
                  .Call(u"setMultiTrackMask",
                        {u"battle.mtrk", host::Array({u"Drums", u"Bass"}), 0.5, 250, u"ignored"})
                  .code,
              0);
    const Samples rest = Render(decoder, kStemFrames, kBlock);
    out.insert(out.end(), rest.begin(), rest.end());

    // A ramp from `from` to `to` over `length` frames at frame k of it, as
    // the kernels work it out.
    const auto ramp = [](float from, float to, std::uint32_t length, std::uint32_t k) {
        return k >= length
                   ? to
                   : ((to - from) * static_cast<float>(k)) / static_cast<float>(length) + from;
    };
    Samples expected(kStemFrames, Mix(1, 1, 0));
    for (std::uint32_t f = kBar; f < kStemFrames; ++f) {
        const bool faded = f >= fadeStart;
        expected[f] = Mix(
            faded ? ramp(0, 0.5f, kFade, f - fadeStart) : ramp(1, 0, kSwitchFade, f - kBar),
            faded ? ramp(1, 0.5f, kFade, f - fadeStart) : 1.0f, ramp(0, 1, kSwitchFade, f - kBar));
    }
    ExpectSameSamples(out, expected);
    EXPECT_EQ(decoder->Release(), 0u);
}

} // namespace
} // namespace scripttest
