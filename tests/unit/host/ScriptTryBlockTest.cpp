// Script exceptions and HMRDoTryBlock: try, catch with the exception's type
// and message, finally; what the catch function throws propagates.
#include "host/script/FunctionObject.h"
#include "host/script/HostCalls.h"
#include "host/script/ScriptException.h"
#include "host/script/ScriptRuntime.h"
#include "host/script/Variant.h"

#include <vymultitrack/HostFunctionTypes.h>

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace {

using namespace host;
using namespace vyhostfn;

// The record the test's block functions share.
struct Record {
    std::vector<std::string> steps;
    std::u16string type;
    std::u16string message;
    std::function<void()> body;
    bool catchAnswer = false;
    bool catchThrows = false;
};

// The strings of a desc, read as the host lays them out (the test may not
// call the plug-in's tPKQString members).
std::u16string TypeOf(const tHMRExceptionDesc& d)
{
    return String::View(d.type).Text();
}

std::u16string MessageOf(const tHMRExceptionDesc& d)
{
    return String::View(d.message).Text();
}

// Thrown by the catch function, as the plug-in's catch throws its copy.
struct CatchThrew {
    std::u16string type;
    std::u16string message;
};

void VY_CDECL TryFn(void* data)
{
    auto* r = static_cast<Record*>(data);
    r->steps.push_back("try");
    if (r->body)
        r->body();
    r->steps.push_back("try end");
}

bool VY_CDECL CatchFn(void* data, const tHMRExceptionDesc& desc)
{
    auto* r = static_cast<Record*>(data);
    r->steps.push_back("catch");
    r->type = TypeOf(desc);
    r->message = MessageOf(desc);
    if (r->catchThrows)
        throw CatchThrew{TypeOf(desc), MessageOf(desc)};
    return r->catchAnswer;
}

void VY_CDECL FinallyFn(void* data)
{
    static_cast<Record*>(data)->steps.push_back("finally");
}

const auto DoTry = [](tHMRTryBlockFunction t, tHMRCatchBlockFunction c, tHMRFinallyBlockFunction f,
                      void* d) { HostFunction<HMRDoTryBlockFn>(kHMRDoTryBlock)(t, c, f, d); };

TEST(ScriptTryBlockTest, WithoutExceptionRunsTryThenFinally)
{
    Record r;
    DoTry(TryFn, CatchFn, FinallyFn, &r);
    EXPECT_EQ(r.steps, (std::vector<std::string>{"try", "try end", "finally"}));
}

TEST(ScriptTryBlockTest, NullFinallyIsAllowed)
{
    Record r;
    r.body = [] { throw ScriptException(u"boom"); };
    DoTry(TryFn, CatchFn, nullptr, &r);
    EXPECT_EQ(r.steps, (std::vector<std::string>{"try", "catch"}));
}

TEST(ScriptTryBlockTest, HostExceptionReachesCatchWithTypeAndMessage)
{
    Record r;
    r.body = [] { throw ScriptException(u"MyType", u"it failed"); };
    DoTry(TryFn, CatchFn, FinallyFn, &r);
    EXPECT_EQ(r.steps, (std::vector<std::string>{"try", "catch", "finally"}));
    EXPECT_EQ(r.type, u"MyType");
    EXPECT_EQ(r.message, u"it failed");
}

TEST(ScriptTryBlockTest, WhatTheCatchFunctionThrowsPropagatesAfterFinally)
{
    Record r;
    r.catchThrows = true;
    r.body = [] { throw ScriptException(u"ScriptError", u"from the script"); };
    try {
        DoTry(TryFn, CatchFn, FinallyFn, &r);
        FAIL() << "the catch function's exception must propagate";
    } catch (const CatchThrew& e) {
        EXPECT_EQ(e.type, u"ScriptError");
        EXPECT_EQ(e.message, u"from the script");
    }
    EXPECT_EQ(r.steps, (std::vector<std::string>{"try", "catch", "finally"}));
}

TEST(ScriptTryBlockTest, CatchAnsweringTrueRethrowsTheHostException)
{
    Record r;
    r.catchAnswer = true;
    r.body = [] { throw ScriptException(u"again"); };
    EXPECT_THROW(DoTry(TryFn, CatchFn, FinallyFn, &r), ScriptException);
    EXPECT_EQ(r.steps, (std::vector<std::string>{"try", "catch", "finally"}));
}

TEST(ScriptTryBlockTest, StandardExceptionsAreHostExceptionsToo)
{
    Record r;
    r.body = [] { throw std::runtime_error("native failure"); };
    DoTry(TryFn, CatchFn, FinallyFn, &r);
    EXPECT_EQ(r.type, u"std::exception");
    EXPECT_EQ(r.message, u"native failure");
}

TEST(ScriptTryBlockTest, OtherExceptionsRunFinallyAndPropagate)
{
    Record r;
    r.body = [] { throw 42; };
    EXPECT_THROW(DoTry(TryFn, CatchFn, FinallyFn, &r), int);
    EXPECT_EQ(r.steps, (std::vector<std::string>{"try", "finally"}));
}

TEST(ScriptTryBlockTest, ScriptFunctionThrowingThroughAnObjectCall)
{
    // The plug-in's wrappers call a host object inside the try block; a
    // script callback that throws ends up in the catch function.
    ScriptRuntime rt;
    Variant fn = Variant::Adopt(FunctionObject::Create(
        [](const CallArgs&) -> pkq_int { throw ScriptException(u"callback threw"); }));
    Record r;
    iPKQDispatch2* object = fn.ObjectPtr();
    r.body = [object] { object->CallMember(0, nullptr, nullptr, nullptr, 0, nullptr, object); };
    DoTry(TryFn, CatchFn, FinallyFn, &r);
    EXPECT_EQ(r.steps, (std::vector<std::string>{"try", "catch", "finally"}));
    EXPECT_EQ(r.type, ScriptException::kScriptError);
    EXPECT_EQ(r.message, u"callback threw");
}

TEST(ScriptTryBlockTest, NestedTryBlocks)
{
    Record outer, inner;
    inner.catchThrows = true;
    inner.body = [] { throw ScriptException(u"T", u"deep"); };
    outer.body = [&inner] { DoTry(TryFn, CatchFn, FinallyFn, &inner); };
    EXPECT_THROW(DoTry(TryFn, CatchFn, FinallyFn, &outer), CatchThrew)
        << "a foreign type passes the outer block";
    EXPECT_EQ(outer.steps, (std::vector<std::string>{"try", "finally"}));
    EXPECT_EQ(inner.steps, (std::vector<std::string>{"try", "catch", "finally"}));
}

TEST(ScriptTryBlockTest, UnboundFunctionErrorNamesTheSignature)
{
    Record r;
    r.body = [] {
        HostFunction<HMRThrowPluginUnboundFunctionErrorFn>(kHMRThrowPluginUnboundFunctionError)(
            "void ::HMRAddLog(const ttstr &)");
    };
    DoTry(TryFn, CatchFn, FinallyFn, &r);
    EXPECT_EQ(r.type, ScriptException::kPluginError);
    EXPECT_EQ(r.message, u"Plug-in unbound function: void ::HMRAddLog(const ttstr &)");
}

TEST(ScriptTryBlockTest, ExceptionCarriesItsTextForMessages)
{
    const ScriptException e(u"Type", u"m\u00E9ssage");
    EXPECT_STREQ(e.what(), "Type: m\xC3\xA9ssage");
    EXPECT_EQ(ScriptException(u"plain").Type(), ScriptException::kScriptError);
}

} // namespace
