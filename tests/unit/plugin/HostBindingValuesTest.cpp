// The plug-in's tPKQString and tPKQVariant and its host-function wrappers,
// each reaching the host function of its own signature.
#include "LinkedRuntimeTest.h"

#include <plugin/HostFunctions.h>
#include <plugin/tPKQDispatch.h>

#include <host/script/ScriptException.h>

#include <string>

namespace {

using HostValuesTest = LinkedRuntimeTest;

std::u16string Text(const tPKQString& s)
{
    return s.c_str();
}

TEST_F(HostValuesTest, StringsConstructCombineAndChange)
{
    EXPECT_TRUE(tPKQString().IsEmpty());
    EXPECT_TRUE(tPKQString(static_cast<const pkq_char*>(nullptr)).IsEmpty());
    EXPECT_EQ(Text(tPKQString(u"Drums")), u"Drums");
    EXPECT_EQ(Text(tPKQString(u"Drums", 3)), u"Dru");
    EXPECT_EQ(Text(tPKQString("narrow")), u"narrow");
    const tPKQString whole(u"Strings");
    EXPECT_EQ(Text(tPKQString(whole, 3)), u"Str");
    EXPECT_EQ(Text(tPKQString(whole)), u"Strings");
    EXPECT_EQ(Text(tPKQString(tPKQVariant(static_cast<pkq_int32>(42)))), u"42");

    tPKQString s(u"a");
    s += u"b";
    s = u"x";
    s += u"y";
    EXPECT_EQ(Text(s), u"xy");
    EXPECT_EQ(Text(s + whole), u"xyStrings");
    EXPECT_EQ(Text(s), u"xy") << "operator + leaves its operands";

    tPKQString lower;
    tPKQString(u"BGM Intro").AsLowerCase(lower);
    EXPECT_EQ(Text(lower), u"bgm intro");
    tPKQString self(u"MiXeD");
    self.AsLowerCase(self);
    EXPECT_EQ(Text(self), u"mixed");

    tPKQString lines(u"a\r\nb\r\nc");
    tPKQString first(lines);
    first.Replace(tPKQString(u"\r\n"), tPKQString(u"\n"), false);
    EXPECT_EQ(Text(first), u"a\nb\r\nc");
    lines.Replace(tPKQString(u"\r\n"), tPKQString(u"\n"), true);
    EXPECT_EQ(Text(lines), u"a\nb\nc");

    tPKQString name(u"member");
    pkq_uint32* hint = name.GetHint();
    ASSERT_NE(hint, nullptr);
    EXPECT_EQ(name.GetHint(), hint) << "a string keeps its hint";
}

TEST_F(HostValuesTest, VariantsHoldEachTypeAndConvert)
{
    const tPKQVariant none;
    EXPECT_EQ(none.Type(), pvtVoid);
    EXPECT_FALSE(static_cast<bool>(none));
    EXPECT_EQ(none.GetString(), nullptr);

    const tPKQVariant small(static_cast<pkq_int32>(-7));
    EXPECT_EQ(small.Type(), pvtInteger);
    EXPECT_EQ(small.AsInteger(), -7);
    const tPKQVariant large(static_cast<pkq_int64>(1) << 40);
    EXPECT_EQ(large.AsInteger(), static_cast<tQXInteger>(1) << 40);
    const tPKQVariant real(2.5);
    EXPECT_EQ(real.Type(), pvtReal);
    EXPECT_EQ(real.AsReal(), 2.5);
    EXPECT_EQ(real.AsInteger(), 2);

    const tPKQVariant chars(u"text");
    EXPECT_EQ(chars.Type(), pvtString);
    EXPECT_EQ(std::u16string(chars.GetString()), u"text");
    const tPKQVariant fromString(tPKQString(u"17"));
    EXPECT_EQ(fromString.AsInteger(), 17);

    tPKQVariant v(small);
    EXPECT_EQ(v.AsInteger(), -7);
    v = true;
    EXPECT_EQ(v.AsInteger(), 1);
    v = static_cast<pkq_int32>(9);
    EXPECT_EQ(v.Type(), pvtInteger);
    EXPECT_TRUE(static_cast<bool>(v));
    v = chars;
    EXPECT_EQ(std::u16string(v.GetString()), u"text");
    v.CopyRef(real);
    EXPECT_EQ(v.AsReal(), 2.5);
    v.Clear();
    EXPECT_EQ(v.Type(), pvtVoid);
}

TEST_F(HostValuesTest, ObjectVariantsCountTheirReferences)
{
    auto* object = new tPKQDispatch;
    auto* objThis = new tPKQDispatch;
    const std::int32_t start = TheProcessState().dispatchRefCount;
    {
        tPKQVariant holder(object, objThis);
        EXPECT_EQ(RefCountChange(start), 2) << "one reference on the object and one on its this";
        EXPECT_EQ(holder.Type(), pvtObject);
        EXPECT_EQ(holder.AsObjectNoAddRef(), object);
        const tPKQVariantClosure& peek = holder.AsObjectClosureNoAddRef();
        EXPECT_EQ(peek.Object, object);
        EXPECT_EQ(peek.ObjThis, objThis);
        EXPECT_EQ(RefCountChange(start), 2);

        const tPKQVariantClosure taken = holder.AsObjectClosure();
        EXPECT_EQ(taken.Object, object);
        EXPECT_EQ(RefCountChange(start), 4) << "AsObjectClosure adds one to each";
        taken.Object->Release();
        taken.ObjThis->Release();

        tPKQVariant copy(holder);
        EXPECT_EQ(RefCountChange(start), 4);
    }
    EXPECT_EQ(RefCountChange(start), 0);
    object->Release();
    objThis->Release();
}

TEST_F(HostValuesTest, FreeFunctionsReachTheHost)
{
    hostapi::HMRAddLog(tPKQString(u"plain"));
    hostapi::HMRAddImportantLog(tPKQString(u"marked"));
    ASSERT_EQ(runtime.Log().size(), 2u);
    EXPECT_EQ(runtime.Log()[0].text, u"plain");
    EXPECT_EQ(runtime.Log()[0].importance, 0);
    EXPECT_EQ(runtime.Log()[1].text, u"marked");
    EXPECT_EQ(runtime.Log()[1].importance, 1);

    EXPECT_EQ(
        Text(hostapi::HMRFormatMessage(u"%2 then %1", tPKQString(u"one"), tPKQString(u"two"))),
        u"two then one");

    pkq_char digits[12] = {};
    EXPECT_EQ(hostapi::PKQ_int_to_str(INT32_MIN, digits), digits);
    EXPECT_EQ(std::u16string(digits), u"-2147483648");
    EXPECT_EQ(hostapi::PKQ_stricmp(u"Function", u"fUNCTION"), 0);
    EXPECT_NE(hostapi::PKQ_stricmp(u"Function", u"Functions"), 0);

    iPKQDispatch2* array = hostapi::PKQCreateArrayObject();
    iPKQDispatch2* dictionary = hostapi::PKQCreateDictionaryObject();
    ASSERT_NE(array, nullptr);
    ASSERT_NE(dictionary, nullptr);
    EXPECT_EQ(array->Release(), 0u) << "created with one reference";
    EXPECT_EQ(dictionary->Release(), 0u);

    iPKQDispatch2* global = hostapi::HMRGetScriptDispatch();
    EXPECT_EQ(global, runtime.Global());
    if (global)
        global->Release();
    runtime.SetGlobalAvailable(false);
    EXPECT_EQ(hostapi::HMRGetScriptDispatch(), nullptr);

    const pkq_int generation = hostapi::HMRGetCommandLineArgumentGeneration();
    runtime.SetOption(u"-opus_gain", u"-6");
    EXPECT_NE(hostapi::HMRGetCommandLineArgumentGeneration(), generation);
    tPKQVariant value;
    EXPECT_TRUE(hostapi::HMRGetCommandLine(u"-opus_gain", &value));
    EXPECT_EQ(value.AsReal(), -6.0);
    EXPECT_FALSE(hostapi::HMRGetCommandLine(u"-vorbis_gain", &value));

    tPKQVariant target(static_cast<pkq_int32>(5));
    const tPKQVariant operand(static_cast<pkq_int32>(3));
    hostapi::PKQDoVariantOperation(4, target, &operand); // subtract
    EXPECT_EQ(target.AsInteger(), 2);
}

TEST_F(HostValuesTest, TryBlockRunsTryCatchAndFinally)
{
    struct Trace {
        bool raise;
        std::u16string steps;
    };
    const tHMRTryBlockFunction tryBlock = [](void* data) {
        auto* trace = static_cast<Trace*>(data);
        trace->steps += u"try ";
        if (trace->raise)
            throw host::ScriptException(u"bad");
    };
    const tHMRCatchBlockFunction catchBlock = [](void* data, const tHMRExceptionDesc& desc) {
        static_cast<Trace*>(data)->steps += u"catch " + std::u16string(desc.message.c_str()) + u" ";
        return false;
    };
    const tHMRFinallyBlockFunction finallyBlock = [](void* data) {
        static_cast<Trace*>(data)->steps += u"finally";
    };

    Trace calm{false, {}};
    hostapi::HMRDoTryBlock(tryBlock, catchBlock, finallyBlock, &calm);
    EXPECT_EQ(calm.steps, u"try finally");
    Trace stormy{true, {}};
    hostapi::HMRDoTryBlock(tryBlock, catchBlock, finallyBlock, &stormy);
    EXPECT_EQ(stormy.steps, u"try catch bad finally");
}

} // namespace
