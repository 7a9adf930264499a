// "multiTrackOpenCallbacks" through the shared library: the functions a
// script puts into the array run when a multi-track stream opens, in index
// order, until one answers true.
#include "ScriptTestSupport.h"

#include <host/script/ScriptException.h>

#include <string>

namespace scripttest {
namespace {

// What one callback saw.
struct OpenCall {
    int callback;
    std::u16string id;
    std::u16string url;
    pkq_int64 trackCount;
    std::vector<host::Variant> byIndex;
    std::vector<host::Variant> otherNames;
};

class ScriptOpenCallbacksTest : public ScriptFaceTest {
protected:
    void SetUp() override
    {
        ScriptFaceTest::SetUp();
        ASSERT_EQ(Link(), S_OK);
        WriteThreeTrackList(u"Title.mtrk");
        callbacks = host::ScriptObject(script.Get(u"multiTrackOpenCallbacks").value);
        ASSERT_TRUE(callbacks);
        runtime.ClearLog();
    }

    void TearDown() override
    {
        callbacks = host::ScriptObject();
        ScriptFaceTest::TearDown();
    }

    // A callback that records its call as number `n` and answers `answer`.
    host::Variant Recorder(int n, host::Variant answer)
    {
        return host::Function([this, n, answer](const host::CallArgs& args) {
            OpenCall call{n, args[0].AsText(), args[1].AsText(), args[2].AsInteger(), {}, {}};
            if (args[3].IsObject())
                call.byIndex = host::ScriptObject(args[3]).Elements();
            if (args[4].IsObject())
                call.otherNames = host::ScriptObject(args[4]).Elements();
            EXPECT_EQ(args.Count(), 5);
            calls.push_back(std::move(call));
            return answer;
        });
    }

    std::vector<int> CallOrder() const
    {
        std::vector<int> order;
        for (const OpenCall& call : calls)
            order.push_back(call.callback);
        return order;
    }

    host::ScriptObject callbacks;
    std::vector<OpenCall> calls;
};

std::vector<std::u16string> Texts(const std::vector<host::Variant>& values)
{
    std::vector<std::u16string> texts;
    for (const host::Variant& value : values)
        texts.push_back(value.AsText());
    return texts;
}

TEST_F(ScriptOpenCallbacksTest, ThePropertyIsOneReadOnlyArray)
{
    const host::Variant again = script.Get(u"multiTrackOpenCallbacks").value;
    EXPECT_EQ(again.ObjectPtr(), callbacks.Object());
    EXPECT_EQ(script.Set(u"multiTrackOpenCallbacks", host::Array({})), PKQ_E_ACCESSDENYED);
    EXPECT_EQ(script.Get(u"multiTrackOpenCallbacks").value.ObjectPtr(), callbacks.Object());
}

TEST_F(ScriptOpenCallbacksTest, CallbacksRunInIndexOrderWithTheNamesUntilOneAnswersTrue)
{
    ASSERT_EQ(callbacks.Push(Recorder(0, host::Variant(false))), 0);
    ASSERT_EQ(callbacks.Push(host::Variant(5)), 0); // not an object: skipped
    ASSERT_EQ(callbacks.Push(host::Function([](const host::CallArgs& args) -> pkq_int {
        args.SetResult(host::Variant(true));
        return PKQ_E_FAIL; // a failed call does not stop the chain
    })),
              0);
    ASSERT_EQ(callbacks.SetAt(4, Recorder(1, host::Variant())), 0); // leaves a hole at 3
    ASSERT_EQ(callbacks.Push(Recorder(2, host::Variant(1))), 0);
    ASSERT_EQ(callbacks.Push(Recorder(3, host::Variant(true))), 0);

    IHSSWaveDecoder* decoder = Open(u"Title.mtrk");
    ASSERT_NE(decoder, nullptr);
    EXPECT_EQ(CallOrder(), (std::vector<int>{0, 1, 2}));
    for (const OpenCall& call : calls) {
        SCOPED_TRACE(call.callback);
        EXPECT_EQ(call.id, u"title.mtrk");
        EXPECT_EQ(call.url, u"Title.mtrk");
        EXPECT_EQ(call.trackCount, 3);
        EXPECT_EQ(Texts(call.byIndex), (std::vector<std::u16string>{u"drums", u"bass", u"lead"}));
        EXPECT_EQ(Texts(call.otherNames),
                  (std::vector<std::u16string>{u"d", u"0", u"d.wav", u"0", u"b", u"1", u"b.wav",
                                               u"1", u"l", u"2", u"l.wav", u"2"}));
        ASSERT_EQ(call.otherNames.size(), 12u);
        EXPECT_EQ(call.otherNames[1].Type(), pvtInteger);
        EXPECT_EQ(call.otherNames[0].Type(), pvtString);
    }
    // The stream is registered while the callbacks run: a callback can
    // steer it at once.
    decoder->Release();
}

TEST_F(ScriptOpenCallbacksTest, ACallbackCanSteerTheStreamThatOpens)
{
    ASSERT_EQ(callbacks.Push(host::Function([this](const host::CallArgs& args) {
        EXPECT_EQ(script.Call(u"setMultiTrackMask", {args[0], u"bass", 0.0}).code, 0);
    })),
              0);
    IHSSWaveDecoder* decoder = Open(u"Title.mtrk");
    ASSERT_NE(decoder, nullptr);
    EXPECT_EQ(Level(decoder), Mix(1, 0, 1));
    decoder->Release();
}

TEST_F(ScriptOpenCallbacksTest, OnlyTheCallbacksInTheArrayWhenAStreamOpensRun)
{
    IHSSWaveDecoder* first = Open(u"Title.mtrk");
    ASSERT_NE(first, nullptr);
    first->Release();
    EXPECT_TRUE(Lines(1).empty());

    ASSERT_EQ(callbacks.Push(Recorder(0, host::Variant())), 0);
    IHSSWaveDecoder* second = Open(u"Title.mtrk");
    ASSERT_NE(second, nullptr);
    ASSERT_EQ(callbacks.SetAt(0, Recorder(1, host::Variant())), 0);
    second->Release();
    EXPECT_EQ(CallOrder(), std::vector<int>{0});
}

TEST_F(ScriptOpenCallbacksTest, AThrowingCallbackEndsTheChainAndTheOpen)
{
    ASSERT_EQ(callbacks.Push(Recorder(0, host::Variant())), 0);
    ASSERT_EQ(callbacks.Push(host::Function([](const host::CallArgs&) -> pkq_int {
        throw host::ScriptException(u"bad callback");
    })),
              0);
    ASSERT_EQ(callbacks.Push(Recorder(2, host::Variant())), 0);
    IHSSWaveDecoder* decoder = reinterpret_cast<IHSSWaveDecoder*>(1);
    EXPECT_EQ(Module()->OpenMediaInstance(u"Title.mtrk", &decoder),
              static_cast<HRESULT>(0x80004005));
    EXPECT_EQ(decoder, nullptr);
    EXPECT_EQ(CallOrder(), std::vector<int>{0});
    // The stream that failed to open left the table again.
    runtime.ClearLog();
    EXPECT_EQ(
        script.Call(u"setMultiTrackMask", {u"title.mtrk", host::Variant(), 0.0}).value.AsInteger(),
        -1);

    // Once the callback is gone the list opens again.
    ASSERT_EQ(callbacks.SetAt(1, host::Variant()), 0);
    decoder = Open(u"Title.mtrk");
    ASSERT_NE(decoder, nullptr);
    EXPECT_EQ(CallOrder(), (std::vector<int>{0, 0, 2}));
    decoder->Release();
}

TEST_F(ScriptOpenCallbacksTest, ACallbackMayTakeItselfOutOfTheArrayWhileItRuns)
{
    ASSERT_EQ(callbacks.Push(FragileFunction::Make([this] {
        // Drops the array's reference, the last one but the call's.
        EXPECT_EQ(callbacks.SetAt(0, host::Variant()), 0);
        calls.push_back(OpenCall{7, {}, {}, 0, {}, {}});
        return host::Variant(true);
    })),
              0);
    IHSSWaveDecoder* decoder = Open(u"Title.mtrk");
    ASSERT_NE(decoder, nullptr);
    EXPECT_EQ(CallOrder(), std::vector<int>{7});
    decoder->Release();
}

} // namespace
} // namespace scripttest
