// The gain query against the reference script runtime: options read per
// command-line generation, the log line of a changed gain, and the script
// callback with its setter method on WaveSoundBuffer.
#include "plugin/LinkedRuntimeTest.h"

#include <decoders/SystemArgumentQueryGain.h>

#include <host/script/Script.h>
#include <host/script/ScriptException.h>

#include <cmath>
#include <memory>
#include <string>

namespace {

constexpr const char16_t* kSetter = u"setGainQueryCallback_mtbiOPUS";

class GainQueryTest : public LinkedRuntimeTest {
protected:
    std::unique_ptr<SystemArgumentQueryGain> MakeQuery()
    {
        return std::make_unique<SystemArgumentQueryGain>(u"-opus_gain", u"-opus_rg", kSetter);
    }

    // The gain and mode one query answers for `source`.
    static std::pair<float, std::int32_t> Ask(SystemArgumentQueryGain& query,
                                              const char16_t* source = u"a.opus")
    {
        float gain = 123.0f;
        const std::int32_t mode = query.QueryGain(source, &gain);
        return {gain, mode};
    }

    // The line the host formats for a new global gain of `gainDb`.
    static std::u16string GainLine(float gainDb)
    {
        const float ratio = static_cast<float>(std::pow(10.0, static_cast<double>(gainDb / 20.0f)));
        std::u16string line = u"opus_gain: Setting global gain to ";
        line.append(host::Variant(static_cast<double>(gainDb)).AsText())
            .append(u"dB (")
            .append(host::Variant(static_cast<double>(ratio)).AsText())
            .append(u"%)");
        return line;
    }

    host::Script script{runtime};
};

TEST_F(GainQueryTest, WithoutOptionsTheGainIsZeroInAlbumModeAndNothingIsLogged)
{
    auto query = MakeQuery();
    EXPECT_EQ(Ask(*query), std::make_pair(0.0f, std::int32_t{2}));
    EXPECT_TRUE(runtime.Log().empty());
}

TEST_F(GainQueryTest, OptionsSetGainAndModeAndAChangedGainIsLoggedOnce)
{
    auto query = MakeQuery();
    runtime.SetOption(u"-opus_gain", u"-6");
    runtime.SetOption(u"-opus_rg", u"track");
    EXPECT_EQ(Ask(*query), std::make_pair(-6.0f, std::int32_t{1}));
    ASSERT_EQ(runtime.Log().size(), 1u);
    EXPECT_EQ(runtime.Log()[0].text, GainLine(-6.0f));
    EXPECT_EQ(runtime.Log()[0].importance, 0);

    // The same value after a new generation: read again, nothing logged.
    runtime.SetOption(u"-opus_gain", u"-6.0");
    EXPECT_EQ(Ask(*query).first, -6.0f);
    EXPECT_EQ(runtime.Log().size(), 1u);

    runtime.SetOption(u"-opus_gain", u"3.5");
    EXPECT_EQ(Ask(*query).first, 3.5f);
    ASSERT_EQ(runtime.Log().size(), 2u);
    EXPECT_EQ(runtime.Log()[1].text, GainLine(3.5f));
}

TEST_F(GainQueryTest, OptionsAreNotReadAgainWithoutANewGeneration)
{
    auto query = MakeQuery();
    runtime.SetOption(u"-opus_gain", u"-6");
    runtime.SetOption(u"-opus_rg", u"none");
    ASSERT_EQ(Ask(*query), std::make_pair(-6.0f, std::int32_t{0}));
    {
        // Other values at the same generation number: a host whose options
        // changed without telling.
        host::ScriptRuntime other;
        other.SetOption(u"-opus_gain", u"-20");
        other.SetOption(u"-opus_rg", u"album");
        ASSERT_EQ(other.Generation(), runtime.Generation());
        EXPECT_EQ(Ask(*query), std::make_pair(-6.0f, std::int32_t{0}));
        EXPECT_TRUE(other.Log().empty());
        // One more change, and they are read.
        other.SetOption(u"-opus_rg", u"album");
        EXPECT_EQ(Ask(*query), std::make_pair(-20.0f, std::int32_t{2}));
        EXPECT_EQ(other.Log().size(), 1u);
    }
}

TEST_F(GainQueryTest, TheModeFollowsTheFirstLetterAndUnknownValuesKeepIt)
{
    auto query = MakeQuery();
    const std::pair<const char16_t*, std::int32_t> cases[] = {
        {u"Track", 1}, {u"none", 0},    {u"ALBUM", 2}, {u"n", 0},
        {u"", 0},      {u"x-album", 0}, {u"t", 1},     {u"a", 2},
    };
    for (const auto& [value, mode] : cases) {
        runtime.SetOption(u"-opus_rg", value);
        EXPECT_EQ(Ask(*query).second, mode) << host::Variant(value).AsUtf8();
    }
    runtime.RemoveOption(u"-opus_rg");
    EXPECT_EQ(Ask(*query).second, 2) << "a missing option keeps the mode";
}

TEST_F(GainQueryTest, TheCallbackAddsItsNumberForEachSource)
{
    auto query = MakeQuery();
    runtime.SetOption(u"-opus_gain", u"-6");
    std::u16string asked;
    host::Variant answer(2.5);
    const host::Variant callback = host::Function([&](const host::CallArgs& args) {
        asked = args[0].AsText();
        return answer;
    });
    ASSERT_EQ(script.Call(kSetter, {callback}).code, 0);
    EXPECT_EQ(Ask(*query, u"music/intro.opus").first, -3.5f);
    EXPECT_EQ(asked, u"music/intro.opus");

    answer = host::Variant(-1); // integers count too
    EXPECT_EQ(Ask(*query).first, -7.0f);
    answer = host::Variant(u"2.5");
    EXPECT_EQ(Ask(*query).first, -6.0f) << "a string adds nothing";
    answer = host::Variant();
    EXPECT_EQ(Ask(*query).first, -6.0f) << "void adds nothing";
}

TEST_F(GainQueryTest, AFailingCallbackAddsNothingAndAThrowingOneLeavesTheQuery)
{
    auto query = MakeQuery();
    const host::Variant failing = host::Function([](const host::CallArgs& args) -> pkq_int {
        args.SetResult(host::Variant(2.5));
        return PKQ_E_FAIL;
    });
    ASSERT_EQ(script.Call(kSetter, {failing}).code, 0);
    EXPECT_EQ(Ask(*query).first, 0.0f);

    const host::Variant throwing = host::Function(
        [](const host::CallArgs&) -> pkq_int { throw host::ScriptException(u"no gain here"); });
    ASSERT_EQ(script.Call(kSetter, {throwing}).code, 0);
    float gain = 0.0f;
    try {
        query->QueryGain(u"a.opus", &gain);
        ADD_FAILURE() << "the script exception did not come through";
    } catch (const tHMRExceptionDesc& desc) {
        EXPECT_EQ(host::String::View(desc.message).Text(), u"no gain here");
    }
}

TEST_F(GainQueryTest, TheSetterReplacesOrRemovesTheCallbackAndChecksItsCall)
{
    const std::int32_t before = TheProcessState().dispatchRefCount;
    auto query = MakeQuery();
    int calls = 0;
    const host::Variant callback = host::Function([&](const host::CallArgs&) {
        ++calls;
        return host::Variant(1.0);
    });
    ASSERT_EQ(script.Call(kSetter, {callback}).code, 0);
    EXPECT_EQ(Ask(*query).first, 1.0f);

    for (const host::Variant& notAnObject :
         {host::Variant(), host::Variant(5), host::Variant(u"f")}) {
        ASSERT_EQ(script.Call(kSetter, {callback}).code, 0);
        ASSERT_EQ(script.Call(kSetter, {notAnObject}).code, 0);
        const int callsBefore = calls;
        EXPECT_EQ(Ask(*query).first, 0.0f) << notAnObject.Describe();
        EXPECT_EQ(calls, callsBefore) << notAnObject.Describe();
    }

    EXPECT_EQ(script.Call(kSetter, {}).code, PKQ_E_BADPARAMCOUNT);
    const host::ScriptObject setter(script.Get(kSetter).value);
    ASSERT_TRUE(setter);
    EXPECT_EQ(setter.Call(u"member", {callback}).code, PKQ_E_MEMBERNOTFOUND);

    // The member holds the setter's one reference; the script's copy one more.
    EXPECT_EQ(TheProcessState().dispatchRefCount - before, 2);
}

TEST_F(GainQueryTest, DestructionRemovesTheSetterAndReleasesTheCallback)
{
    const std::int32_t refCountBefore = TheProcessState().dispatchRefCount;
    const long objectsBefore = host::DispatchObject::LiveObjects();
    {
        auto query = MakeQuery();
        ASSERT_TRUE(script.WaveSoundBuffer().Get(kSetter).Ok());
        ASSERT_EQ(
            script.Call(kSetter, {host::Function([](const host::CallArgs&) { return 1.5; })}).code,
            0);
        EXPECT_EQ(Ask(*query).first, 1.5f);
    }
    EXPECT_EQ(script.WaveSoundBuffer().Get(kSetter).code, PKQ_E_MEMBERNOTFOUND);
    EXPECT_EQ(TheProcessState().dispatchRefCount, refCountBefore);
    EXPECT_EQ(host::DispatchObject::LiveObjects(), objectsBefore);
}

TEST_F(GainQueryTest, ASetterKeptByTheScriptNoLongerReachesADestroyedQuery)
{
    auto query = MakeQuery();
    const host::Variant kept = script.Get(kSetter).value;
    ASSERT_TRUE(kept.IsObject());
    query.reset();
    const host::Variant callback = host::Function([](const host::CallArgs&) { return 1.0; });
    EXPECT_EQ(host::ScriptObject(kept).Invoke({callback}).code, PKQ_E_FAIL);
}

TEST_F(GainQueryTest, WithoutTheGlobalObjectOrTheClassThereIsNoSetter)
{
    runtime.SetGlobalAvailable(false);
    auto withoutGlobal = MakeQuery();
    runtime.SetGlobalAvailable(true);
    EXPECT_EQ(script.WaveSoundBuffer().Get(kSetter).code, PKQ_E_MEMBERNOTFOUND);
    EXPECT_EQ(Ask(*withoutGlobal), std::make_pair(0.0f, std::int32_t{2}));
    withoutGlobal.reset();

    const host::Variant wave = script.Global().Get(u"WaveSoundBuffer").value;
    ASSERT_EQ(script.Global().Remove(u"WaveSoundBuffer"), 0);
    auto withoutClass = MakeQuery();
    EXPECT_EQ(Ask(*withoutClass), std::make_pair(0.0f, std::int32_t{2}));
    withoutClass.reset();
    ASSERT_EQ(script.Global().Set(u"WaveSoundBuffer", wave), 0);
    EXPECT_EQ(script.WaveSoundBuffer().Get(kSetter).code, PKQ_E_MEMBERNOTFOUND);
}

TEST_F(GainQueryTest, ANullGainOnlyAnswersTheMode)
{
    auto query = MakeQuery();
    runtime.SetOption(u"-opus_rg", u"track");
    EXPECT_EQ(query->QueryGain(u"a.opus", nullptr), 1);
}

} // namespace
