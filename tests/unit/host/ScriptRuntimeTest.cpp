// The runtime's engine services (log, command-line options, message
// formatting) and the facade through which tests act as a script.
#include "host/script/ScriptRuntime.h"
#include "host/script/HostCalls.h"
#include "host/script/Script.h"
#include "host/script/ScriptException.h"

#include <vymultitrack/HostFunctionTypes.h>

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

using namespace host;
using namespace vyhostfn;

std::u16string Format(const char16_t* fmt, const char16_t* a, const char16_t* b)
{
    String p1(a), p2(b);
    RawStorage<tPKQString> out;
    HostFunction<HMRFormatMessageFn>(kHMRFormatMessage)(out.get(), fmt, p1.pkqRef(), p2.pkqRef());
    std::u16string text = String::View(*out).Text();
    HostFunction<PKQStringDtor>(kPKQStringDtor)(out.get());
    return text;
}

TEST(ScriptRuntimeTest, LogKeepsEachLineWithItsImportance)
{
    ScriptRuntime rt;
    String a(u"ordinary"), b(u"important\nsecond line");
    HostFunction<HMRAddLogFn>(kHMRAddLog)(a.pkqRef());
    HostFunction<HMRAddImportantLogFn>(kHMRAddImportantLog)(b.pkqRef());
    ASSERT_EQ(rt.Log().size(), 2u);
    EXPECT_EQ(rt.Log()[0].text, u"ordinary");
    EXPECT_EQ(rt.Log()[0].importance, 0);
    EXPECT_EQ(rt.Log()[1].text, u"important\nsecond line");
    EXPECT_EQ(rt.Log()[1].importance, 1);
    EXPECT_EQ(rt.LogTexts(1), std::vector<std::u16string>{u"important\nsecond line"});
    EXPECT_EQ(rt.LogTexts().size(), 2u);
    rt.ClearLog();
    EXPECT_TRUE(rt.Log().empty());
}

TEST(ScriptRuntimeTest, OptionsAndTheirGeneration)
{
    ScriptRuntime rt;
    const auto get = HostFunction<HMRGetCommandLineFn>(kHMRGetCommandLine);
    const auto generation =
        HostFunction<HMRGetCommandLineArgumentGenerationFn>(kHMRGetCommandLineArgumentGeneration);
    EXPECT_EQ(generation(), 0);
    Variant v(7);
    EXPECT_FALSE(get(u"-opus_gain", v.pkq()));
    EXPECT_EQ(v.AsInteger(), 7) << "untouched when absent";

    rt.SetOption(u"-opus_gain", u"-6");
    EXPECT_EQ(generation(), 1);
    EXPECT_TRUE(get(u"-opus_gain", v.pkq()));
    EXPECT_EQ(v.Type(), pvtString);
    EXPECT_EQ(v.AsText(), u"-6");
    EXPECT_EQ(v.AsReal(), -6.0);
    EXPECT_TRUE(get(u"-opus_gain", nullptr)) << "presence alone";
    EXPECT_FALSE(get(u"-OPUS_GAIN", v.pkq())) << "names are exact";
    EXPECT_FALSE(get(nullptr, v.pkq()));

    rt.SetOption(u"-opus_gain", u"-6");
    EXPECT_EQ(generation(), 2) << "every set counts, even with the same value";
    rt.RemoveOption(u"-opus_gain");
    EXPECT_EQ(generation(), 3);
    rt.RemoveOption(u"-opus_gain");
    EXPECT_EQ(generation(), 3) << "removing an absent option changes nothing";
    EXPECT_FALSE(get(u"-opus_gain", v.pkq()));

    rt.ParseCommandLine({u"game.exe", u"-opus_rg=track", u"-vorbis_gain=1.5", u"-debug"});
    EXPECT_EQ(rt.Option(u"-opus_rg"), u"track");
    EXPECT_EQ(rt.Option(u"-vorbis_gain"), u"1.5");
    EXPECT_EQ(rt.Option(u"-debug"), u"yes");
    EXPECT_EQ(generation(), 6);
}

TEST(ScriptRuntimeTest, WithoutARuntimeTheEngineServicesAnswerEmpty)
{
    if (ScriptRuntime::Current())
        GTEST_SKIP() << "another runtime is alive for the whole test program";
    EXPECT_EQ(HostFunction<HMRGetScriptDispatchFn>(kHMRGetScriptDispatch)(), nullptr);
    EXPECT_FALSE(HostFunction<HMRGetCommandLineFn>(kHMRGetCommandLine)(u"-x", nullptr));
    EXPECT_EQ(
        HostFunction<HMRGetCommandLineArgumentGenerationFn>(kHMRGetCommandLineArgumentGeneration)(),
        0);
}

TEST(ScriptRuntimeTest, FormatMessageReplacesThePlaceholders)
{
    EXPECT_EQ(Format(u"Setting global gain to %1dB (%2%%)", u"-6", u"0.5011872053146362"),
              u"Setting global gain to -6dB (0.5011872053146362%)");
    EXPECT_EQ(Format(u"%2 before %1, %1 twice", u"A", u"B"), u"B before A, A twice");
    EXPECT_EQ(Format(u"100% and %3 and trailing %", u"A", u"B"), u"100% and %3 and trailing %");
    EXPECT_EQ(Format(u"%1", u"%2", u"x"), u"%2") << "inserted text is not rescanned";
    EXPECT_EQ(Format(nullptr, u"A", u"B"), u"");
}

TEST(ScriptRuntimeTest, FormatMessageWithNumbersAsTheHostConvertsThem)
{
    // What the gain query does: numbers → tPKQString(variant) → %1 / %2.
    const float gain = -6.0f;
    const float ratio = static_cast<float>(std::pow(10.0, static_cast<double>(gain / 20)));
    RawStorage<tPKQString> g, r;
    Variant vg(static_cast<double>(gain)), vr(static_cast<double>(ratio));
    HostFunction<PKQStringCtorFromVariant>(kPKQStringCtorFromVariant)(g.get(), *vg.pkq());
    HostFunction<PKQStringCtorFromVariant>(kPKQStringCtorFromVariant)(r.get(), *vr.pkq());
    RawStorage<tPKQString> out;
    HostFunction<HMRFormatMessageFn>(kHMRFormatMessage)(
        out.get(), u"Setting global gain to %1dB (%2%%)", *g, *r);
    EXPECT_EQ(String::View(*out).Text(), u"Setting global gain to -6dB (0.5011872053146362%)");
    for (auto* s : {&g, &r, &out})
        HostFunction<PKQStringDtor>(kPKQStringDtor)(s->get());
}

// ---- the facade ----------------------------------------------------------------

class ScriptFacadeTest : public ::testing::Test {
protected:
    void TearDown() override { EXPECT_TRUE(rt.Faults().empty()) << rt.Faults().front(); }

    // Binds a member on WaveSoundBuffer the way the plug-in's binder does:
    // SetMember with 0x0A00 and a null `this`.
    void Bind(const char16_t* name, Variant value)
    {
        iPKQDispatch2* global = HostFunction<HMRGetScriptDispatchFn>(kHMRGetScriptDispatch)();
        ASSERT_NE(global, nullptr);
        global->Release();
        Variant cls;
        ASSERT_EQ(global->GetMember(0, u"WaveSoundBuffer", nullptr, cls.pkq(), global), 0);
        ASSERT_EQ(cls.ObjectPtr()->SetMember(0x0A00, name, nullptr, value.pkq(), cls.ObjectPtr()),
                  0);
    }

    ScriptRuntime rt;
    Script script{rt};
};

TEST_F(ScriptFacadeTest, CallsAMemberWithScriptValues)
{
    std::vector<std::string> seen;
    Bind(u"setMultiTrackMask", Function([&](const CallArgs& a) -> pkq_int {
             for (int i = 0; i < a.Count(); ++i)
                 seen.push_back(a[i].Describe());
             ScriptObject tracks(a[1]);
             EXPECT_EQ(tracks.Count(), 1);
             EXPECT_EQ(tracks.At(0, PKQ_MEMBERMUSTEXIST).value.AsText(), u"drums");
             EXPECT_EQ(tracks.IsInstanceOf(u"Array"), PKQ_S_TRUE);
             a.SetResult(Variant(-1));
             return 0;
         }));
    CallResult r = script.Call(u"setMultiTrackMask", {u"bgm", Array({u"drums"}), 0.0, 500});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.value.AsInteger(), -1);
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ(seen[0], "string \"bgm\"");
    EXPECT_EQ(seen[1].rfind("object", 0), 0u);
    EXPECT_EQ(seen[2], "real 0");
    EXPECT_EQ(seen[3], "int 500");
}

TEST_F(ScriptFacadeTest, ResultCodesComeBackAsTheyAre)
{
    Bind(u"fails", Function([](const CallArgs& a) -> pkq_int {
             return a.Count() < 3 ? PKQ_E_BADPARAMCOUNT : 0;
         }));
    EXPECT_EQ(script.Call(u"fails", {1, 2}).code, PKQ_E_BADPARAMCOUNT);
    EXPECT_EQ(script.Call(u"fails", {1, 2, 3}).code, 0);
    EXPECT_EQ(script.Call(u"absent").code, PKQ_E_MEMBERNOTFOUND);
    EXPECT_TRUE(script.Call(u"fails", {1, 2, 3}).value.IsVoid())
        << "void unless the function set a result";
}

TEST_F(ScriptFacadeTest, ReadsAPropertyAndPushesAFunctionIntoItsArray)
{
    Variant callbacks = Array({});
    Bind(u"multiTrackOpenCallbacks", Property([callbacks] { return callbacks; }));
    CallResult got = script.Get(u"multiTrackOpenCallbacks");
    ASSERT_EQ(got.code, 0);
    ASSERT_TRUE(got.value.IsObject());
    EXPECT_EQ(got.value.ObjectPtr(), callbacks.ObjectPtr()) << "read through the property's getter";
    EXPECT_EQ(script.Set(u"multiTrackOpenCallbacks", Variant(1)), PKQ_E_ACCESSDENYED);

    std::vector<std::u16string> opened;
    ScriptObject array(got.value);
    EXPECT_EQ(array.Push(Function([&](const CallArgs& a) {
        opened.push_back(a[0].AsText());
        return Variant(true);
    })),
              0);
    EXPECT_EQ(array.Push(Variant(u"not a function")), 0);
    EXPECT_EQ(array.Count(), 2);

    // What the plug-in's NotifyOpen does with it: read each member, call it.
    Variant member;
    ASSERT_EQ(callbacks.ObjectPtr()->GetMemberByNumber(PKQ_MEMBERMUSTEXIST, 0, member.pkq(),
                                                       callbacks.ObjectPtr()),
              0);
    Variant id(u"bgm");
    tPKQVariant* params[] = {id.pkq()};
    Variant result;
    ASSERT_EQ(member.ObjectPtr()->CallMember(0, nullptr, nullptr, result.pkq(), 1, params,
                                             member.CallThis()),
              0);
    EXPECT_TRUE(result.AsBool());
    EXPECT_EQ(opened, std::vector<std::u16string>{u"bgm"});

    // And the facade calls a function value directly.
    CallResult direct = ScriptObject(member).Invoke({u"other"});
    EXPECT_EQ(direct.code, 0);
    EXPECT_EQ(opened.back(), u"other");
}

TEST_F(ScriptFacadeTest, FunctionFormsAndExceptions)
{
    int calls = 0;
    Variant counted = Function([&](const CallArgs&) { ++calls; });
    Variant raw = Function([](const CallArgs&) -> pkq_int { return -1003; });
    Variant thrower =
        Function([](const CallArgs&) -> Variant { throw ScriptException(u"bad call"); });
    EXPECT_EQ(ScriptObject(counted).Invoke().code, 0);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(ScriptObject(raw).Invoke().code, -1003);
    EXPECT_EQ(ScriptObject(counted).IsInstanceOf(u"Function"), PKQ_S_TRUE);
    try {
        ScriptObject(thrower).Invoke();
        FAIL() << "expected a script exception";
    } catch (const ScriptException& e) {
        EXPECT_EQ(e.Message(), u"bad call");
    }
}

TEST_F(ScriptFacadeTest, GlobalAndDictionaryValues)
{
    ScriptObject global = script.Global();
    EXPECT_EQ(global.Get(u"WaveSoundBuffer").value.ObjectPtr(), rt.WaveSoundBufferClass());
    EXPECT_EQ(global.Set(u"answer", Variant(42)), 0);
    EXPECT_EQ(global.Get(u"answer").value.AsInteger(), 42);
    EXPECT_EQ(global.Remove(u"answer"), 0);
    EXPECT_EQ(global.Get(u"answer").code, PKQ_E_MEMBERNOTFOUND);

    ScriptObject dict(Dictionary({{u"a", Variant(1)}, {u"b", Array({1, 2.5, u"x"})}}));
    EXPECT_EQ(dict.Get(u"a").value.AsInteger(), 1);
    std::vector<Variant> elements = ScriptObject(dict.Get(u"b").value).Elements();
    ASSERT_EQ(elements.size(), 3u);
    EXPECT_EQ(elements[1].AsReal(), 2.5);
    EXPECT_EQ(elements[2].AsText(), u"x");
    EXPECT_EQ(dict.Get(u"missing").code, 0) << "a dictionary reads missing keys as void";
    EXPECT_EQ(dict.Get(u"missing", PKQ_MEMBERMUSTEXIST).code, PKQ_E_MEMBERNOTFOUND);

    ScriptObject holes(ArrayWithHoles({Variant(u"a"), std::nullopt, Variant(u"c")}));
    EXPECT_EQ(holes.Count(), 3);
    EXPECT_EQ(holes.At(1, PKQ_MEMBERMUSTEXIST).code, PKQ_E_MEMBERNOTFOUND);
    EXPECT_EQ(holes.At(2, PKQ_MEMBERMUSTEXIST).value.AsText(), u"c");

    ScriptObject none;
    EXPECT_EQ(none.Call(u"x").code, PKQ_E_INVALIDOBJECT);
    EXPECT_EQ(none.Count(), PKQ_E_INVALIDOBJECT);
}

TEST_F(ScriptFacadeTest, WithoutTheGlobalObjectTheClassIsStillReachableByTheFacade)
{
    rt.SetGlobalAvailable(false);
    EXPECT_EQ(HostFunction<HMRGetScriptDispatchFn>(kHMRGetScriptDispatch)(), nullptr);
    EXPECT_TRUE(script.WaveSoundBuffer()) << "the switch only hides it from HMRGetScriptDispatch";
}

} // namespace
