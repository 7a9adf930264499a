// The gain queries against the reference script runtime: the options, the
// log line of a changed gain, and the script callback with its setter method
// on WaveSoundBuffer.
#include "plugin/LinkedRuntimeTest.h"

#include <decoders/SystemArgumentQueryGain.h>

#include <host/script/Script.h>

#include <cmath>
#include <memory>

namespace {

constexpr const char16_t* kSetter = u"setGainQueryCallback_mtbiOPUS";

// The gain and mode a query answers for `source`; the mode alone without a
// place for the gain.
std::pair<float, std::int32_t> Ask(SystemArgumentQueryGain& query, const char16_t* source = u"a.opus")
{
    float gain = 123.0f;
    const std::int32_t mode = query.QueryGain(source, &gain);
    EXPECT_EQ(query.QueryGain(source, nullptr), mode);
    return {gain, mode};
}

class GainQueryTest : public LinkedRuntimeTest {
protected:
    void SetUp() override
    {
        LinkedRuntimeTest::SetUp();
        opus = std::make_unique<SystemArgumentQueryGain>(u"-opus_gain", u"-opus_rg", kSetter);
    }
    std::unique_ptr<SystemArgumentQueryGain> opus;
    host::Script script{runtime};
};

// Each command line is added to the options before both queries are asked;
// a gain that changed is logged once, by the query that reads it, as the
// host formats it. An empty or unknown mode keeps the one before.
TEST_F(GainQueryTest, CommandLineOptionsSetGainAndMode)
{
    SystemArgumentQueryGain vorbis(u"-vorbis_gain", u"-vorbis_rg", nullptr);
    const auto line = [](const char16_t* option, float db) {
        const float ratio = static_cast<float>(std::pow(10.0, static_cast<double>(db / 20.0f)));
        return option + (u": Setting global gain to " + host::Variant(double{db}).AsText() + u"dB (" +
                         host::Variant(double{ratio}).AsText() + u"%)");
    };
    using Answer = std::pair<float, std::int32_t>;
    const std::tuple<std::vector<std::u16string>, Answer, Answer, std::vector<std::u16string>> rows[] = {
        {{}, {0.0f, 2}, {0.0f, 2}, {}},
        {{u"-opus_gain=-6", u"-opus_rg=track"}, {-6.0f, 1}, {0.0f, 2}, {line(u"opus_gain", -6.0f)}},
        {{u"-opus_gain=-6.0", u"-vorbis_rg=None"}, {-6.0f, 1}, {0.0f, 0}, {}},
        {{u"-vorbis_gain=3.5", u"-opus_rg=x-album"}, {-6.0f, 1}, {3.5f, 0}, {line(u"vorbis_gain", 3.5f)}},
        {{u"-opus_rg=", u"-vorbis_rg=ALBUM"}, {-6.0f, 1}, {3.5f, 2}, {}},
        {{u"-opus_rg=n", u"-vorbis_rg=t"}, {-6.0f, 0}, {3.5f, 1}, {}},
        {{u"-opus_rg=A", u"-vorbis_rg=N"}, {-6.0f, 2}, {3.5f, 0}, {}},
        {{u"-opus_rg=T", u"-vorbis_rg=a"}, {-6.0f, 1}, {3.5f, 2}, {}},
    };
    for (const auto& [commandLine, opusAnswer, vorbisAnswer, log] : rows) {
        SCOPED_TRACE(testing::Message() << commandLine.size() << " options; opus mode " << opusAnswer.second);
        runtime.ClearLog();
        runtime.ParseCommandLine(commandLine);
        EXPECT_EQ(Ask(*opus), opusAnswer);
        EXPECT_EQ(Ask(vorbis), vorbisAnswer);
        EXPECT_EQ(runtime.LogTexts(0), log) << "plain log lines, and no others";
    }
}

// A callback that answers 1 is set first, then the row's value: a new
// callback replaces it, anything but an object removes it. The callback's
// number is added to the global gain of -6 dB.
TEST_F(GainQueryTest, TheCallbackAddsItsNumberForEachSource)
{
    runtime.SetOption(u"-opus_gain", u"-6");
    std::u16string asked;
    const auto answering = [&asked](host::Variant answer, pkq_int code = PKQ_S_OK) {
        return host::Function([&asked, answer, code](const host::CallArgs& args) {
            return asked = args[0].AsText(), args.SetResult(answer), code;
        });
    };
    const std::tuple<const char*, host::Variant, float> rows[] = {
        {"a real", answering(host::Variant(2.5)), -3.5f},
        {"an integer", answering(host::Variant(-1)), -7.0f},
        {"a string adds nothing", answering(host::Variant(u"2.5")), -6.0f},
        {"a failing call adds nothing", answering(host::Variant(2.5), PKQ_E_FAIL), -6.0f},
        {"void removes it", host::Variant(), -6.0f},
        {"a number removes it", host::Variant(5), -6.0f},
        {"a string removes it", host::Variant(u"f"), -6.0f},
    };
    for (const auto& [name, value, gain] : rows) {
        SCOPED_TRACE(name);
        ASSERT_EQ(script.Call(kSetter, {answering(host::Variant(1))}).code, 0);
        ASSERT_EQ(script.Call(kSetter, {value}).code, 0);
        asked.clear();
        EXPECT_EQ(Ask(*opus, u"music/intro.opus").first, gain);
        EXPECT_EQ(asked, value.IsObject() ? u"music/intro.opus" : u"");
    }
}

TEST_F(GainQueryTest, TheSetterChecksItsCallAndGoesWithTheQuery)
{
    const long objectsBefore = host::DispatchObject::LiveObjects();
    ASSERT_EQ(script.Call(kSetter, {host::Function([](const host::CallArgs&) { return 1.5; })}).code, 0);
    EXPECT_EQ(script.Call(kSetter, {}).code, PKQ_E_BADPARAMCOUNT);
    EXPECT_EQ(host::ScriptObject(script.Get(kSetter).value).Call(u"member", {host::Variant()}).code, PKQ_E_MEMBERNOTFOUND);
    EXPECT_EQ(Ask(*opus).first, 1.5f);
    EXPECT_EQ(RefCountChange(), 1) << "the member holds the setter's one reference";
    opus.reset();
    EXPECT_EQ(script.WaveSoundBuffer().Get(kSetter).code, PKQ_E_MEMBERNOTFOUND);
    EXPECT_EQ(RefCountChange(), 0);
    EXPECT_EQ(host::DispatchObject::LiveObjects(), objectsBefore) << "the callback was released";
}

} // namespace
