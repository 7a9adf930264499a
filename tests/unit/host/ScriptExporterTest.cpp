// The reference runtime's function exporter: every signature the plug-in binds is
// answered, with a function of the type HostFunctionTypes.h gives it.
#include "host/script/HostCalls.h"
#include "host/script/ScriptException.h"
#include "host/script/ScriptRuntime.h"
#include "host/script/Variant.h"

#include <vymultitrack/HostFunctionTypes.h>

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace {

using namespace host;

TEST(ScriptExporterTest, AnswersAllFiftyTwoSignaturesInOneQuery)
{
    ScriptRuntime rt;
    std::vector<const char*> names(std::begin(vyhostfn::kAllSignatures),
                                   std::end(vyhostfn::kAllSignatures));
    std::vector<void*> functions(names.size(), nullptr);
    ASSERT_EQ(names.size(), 52u);
    EXPECT_TRUE(rt.Exporter()->QueryFunctionsByNarrowString(names.data(), functions.data(),
                                                            static_cast<pkq_uint32>(names.size())));
    std::set<void*> distinct;
    for (std::size_t i = 0; i < names.size(); ++i) {
        EXPECT_NE(functions[i], nullptr) << names[i];
        distinct.insert(functions[i]);
    }
    EXPECT_EQ(distinct.size(), names.size()) << "each signature has its own function";
}

TEST(ScriptExporterTest, AnswersOneAtATimeAsThePluginAsks)
{
    ScriptRuntime rt;
    for (const char* name : vyhostfn::kAllSignatures) {
        void* slot = nullptr;
        EXPECT_TRUE(rt.Exporter()->QueryFunctionsByNarrowString(&name, &slot, 1)) << name;
        EXPECT_EQ(slot, ScriptExporter::Lookup(name)) << name;
        EXPECT_EQ(rt.Functions().QueryCount(name), 1) << name;
    }
    EXPECT_EQ(rt.Functions().TotalQueries(), 52);
}

TEST(ScriptExporterTest, SignaturesMustMatchExactly)
{
    ScriptRuntime rt;
    const char* near[] = {
        "tPKQVariant::~tPKQVariant()",               // the space after '~' is part of the key
        "tPKQString::tPKQString(const pkq_char*)",   // the space before '*' too
        "iPKQDispatch2 * ::HMRGetScriptDispatch() ", // trailing space
        "",
    };
    for (const char* name : near) {
        void* slot = reinterpret_cast<void*>(1);
        EXPECT_FALSE(rt.Exporter()->QueryFunctionsByNarrowString(&name, &slot, 1)) << name;
        EXPECT_EQ(slot, nullptr) << name;
    }
}

TEST(ScriptExporterTest, UnknownNameFailsTheQueryButFillsTheKnownSlots)
{
    ScriptRuntime rt;
    const char* names[] = {vyhostfn::kHMRAddLog, "void ::NoSuchFunction()", vyhostfn::kPKQStricmp,
                           nullptr};
    void* slots[4] = {nullptr, reinterpret_cast<void*>(1), nullptr, reinterpret_cast<void*>(1)};
    EXPECT_FALSE(rt.Exporter()->QueryFunctionsByNarrowString(names, slots, 4));
    EXPECT_NE(slots[0], nullptr);
    EXPECT_EQ(slots[1], nullptr);
    EXPECT_NE(slots[2], nullptr);
    EXPECT_EQ(slots[3], nullptr);
}

TEST(ScriptExporterTest, HiddenSignatureIsMissingUntilUnhidden)
{
    ScriptRuntime rt;
    rt.Functions().Hide(vyhostfn::kHMRFormatMessage);
    const char* name = vyhostfn::kHMRFormatMessage;
    void* slot = nullptr;
    EXPECT_FALSE(rt.Exporter()->QueryFunctionsByNarrowString(&name, &slot, 1));
    EXPECT_EQ(slot, nullptr);
    // The error function the plug-in falls back to is still there.
    const char* error = vyhostfn::kHMRThrowPluginUnboundFunctionError;
    EXPECT_TRUE(rt.Exporter()->QueryFunctionsByNarrowString(&error, &slot, 1));
    rt.Functions().Unhide(vyhostfn::kHMRFormatMessage);
    EXPECT_TRUE(rt.Exporter()->QueryFunctionsByNarrowString(&name, &slot, 1));
    EXPECT_NE(slot, nullptr);
    EXPECT_EQ(rt.Functions().QueryCount(vyhostfn::kHMRFormatMessage), 2);
}

TEST(ScriptExporterTest, WideNameQueryFindsTheSameFunctions)
{
    ScriptRuntime rt;
    const std::u16string wide(vyhostfn::kPKQStringCStr,
                              vyhostfn::kPKQStringCStr + std::strlen(vyhostfn::kPKQStringCStr));
    const pkq_char* names[] = {wide.c_str()};
    void* slot = nullptr;
    EXPECT_TRUE(rt.Exporter()->QueryFunctions(names, &slot, 1));
    EXPECT_EQ(slot, ScriptExporter::Lookup(vyhostfn::kPKQStringCStr));
}

TEST(ScriptExporterTest, EveryBoundFunctionIsCallable)
{
    // One call of each of the 52 through its bound pointer, as the plug-in
    // makes them, on storage the constructor thunks fill.
    ScriptRuntime rt;
    rt.SetOption(u"-x", u"1");
    std::set<std::string> used;
    auto F = [&](const char* sig) {
        used.insert(sig);
        void* slot = nullptr;
        EXPECT_TRUE(rt.Exporter()->QueryFunctionsByNarrowString(&sig, &slot, 1)) << sig;
        return slot;
    };
    using namespace vyhostfn;

    // Strings.
    RawStorage<tPKQString> s1, s2, s3, s4, s5, s6, s7, s8, s9;
    reinterpret_cast<PKQStringCtor>(F(kPKQStringCtor))(s1.get());
    reinterpret_cast<PKQStringCtorFromChars>(F(kPKQStringCtorFromChars))(s2.get(), u"Ab");
    reinterpret_cast<PKQStringCtorCopy>(F(kPKQStringCtorCopy))(s3.get(), *s2);
    reinterpret_cast<PKQStringCtorFromCharsLength>(F(kPKQStringCtorFromCharsLength))(s4.get(),
                                                                                     u"xyz", 2);
    reinterpret_cast<PKQStringCtorFromNarrow>(F(kPKQStringCtorFromNarrow))(s5.get(), "nar");
    reinterpret_cast<PKQStringCtorPrefix>(F(kPKQStringCtorPrefix))(s6.get(), *s5, 1);
    Variant v7(42);
    reinterpret_cast<PKQStringCtorFromVariant>(F(kPKQStringCtorFromVariant))(s7.get(), *v7.pkq());
    reinterpret_cast<PKQStringAppendChars>(F(kPKQStringAppendChars))(s1.get(), u"q");
    EXPECT_EQ(&reinterpret_cast<PKQStringAssignChars>(F(kPKQStringAssignChars))(s3.get(), u"AB"),
              s3.get());
    reinterpret_cast<PKQStringConcat>(F(kPKQStringConcat))(s8.get(), s2.get(), *s4);
    reinterpret_cast<PKQStringCtor>(F(kPKQStringCtor))(s9.get());
    reinterpret_cast<PKQStringAsLowerCase>(F(kPKQStringAsLowerCase))(s3.get(), *s9);
    reinterpret_cast<PKQStringReplace>(F(kPKQStringReplace))(s8.get(), *s2, *s5, true);
    EXPECT_NE(reinterpret_cast<PKQStringGetHint>(F(kPKQStringGetHint))(s8.get()), nullptr);
    const auto cstr = reinterpret_cast<PKQStringCStr>(F(kPKQStringCStr));
    EXPECT_EQ(std::u16string(cstr(s1.get())), u"q");
    EXPECT_EQ(std::u16string(cstr(s2.get())), u"Ab");
    EXPECT_EQ(std::u16string(cstr(s3.get())), u"AB");
    EXPECT_EQ(std::u16string(cstr(s4.get())), u"xy");
    EXPECT_EQ(std::u16string(cstr(s5.get())), u"nar");
    EXPECT_EQ(std::u16string(cstr(s6.get())), u"n");
    EXPECT_EQ(std::u16string(cstr(s7.get())), u"42");
    EXPECT_EQ(std::u16string(cstr(s8.get())), u"narxy");
    EXPECT_EQ(std::u16string(cstr(s9.get())), u"ab");
    EXPECT_FALSE(reinterpret_cast<PKQStringIsEmpty>(F(kPKQStringIsEmpty))(s9.get()));

    // Variants.
    RawStorage<tPKQVariant> v[9];
    reinterpret_cast<PKQVariantCtor>(F(kPKQVariantCtor))(v[0].get());
    reinterpret_cast<PKQVariantCtorChars>(F(kPKQVariantCtorChars))(v[1].get(), u"7");
    reinterpret_cast<PKQVariantCtorString>(F(kPKQVariantCtorString))(v[2].get(), *s2);
    reinterpret_cast<PKQVariantCtorInt32>(F(kPKQVariantCtorInt32))(v[3].get(), -3);
    reinterpret_cast<PKQVariantCtorInt64>(F(kPKQVariantCtorInt64))(v[4].get(), pkq_int64{1} << 40);
    reinterpret_cast<PKQVariantCtorReal>(F(kPKQVariantCtorReal))(v[5].get(), 2.5);
    iPKQDispatch2* global = reinterpret_cast<HMRGetScriptDispatchFn>(F(kHMRGetScriptDispatch))();
    ASSERT_NE(global, nullptr);
    reinterpret_cast<PKQVariantCtorObject>(F(kPKQVariantCtorObject))(v[6].get(), global, nullptr);
    global->Release();
    reinterpret_cast<PKQVariantCtorCopy>(F(kPKQVariantCtorCopy))(v[7].get(), *v[3]);
    reinterpret_cast<PKQVariantCtor>(F(kPKQVariantCtor))(v[8].get());
    reinterpret_cast<PKQVariantCopyRef>(F(kPKQVariantCopyRef))(v[8].get(), *v[5]);
    EXPECT_EQ(reinterpret_cast<PKQVariantType>(F(kPKQVariantType))(v[8].get()), pvtReal);
    EXPECT_EQ(reinterpret_cast<PKQVariantTypeConst>(F(kPKQVariantTypeConst))(v[6].get()),
              pvtObject);
    EXPECT_EQ(&reinterpret_cast<PKQVariantAssign>(F(kPKQVariantAssign))(v[0].get(), *v[2]),
              v[0].get());
    reinterpret_cast<PKQVariantAssignBool>(F(kPKQVariantAssignBool))(v[7].get(), true);
    reinterpret_cast<PKQVariantAssignInt32>(F(kPKQVariantAssignInt32))(v[3].get(), 9);
    EXPECT_EQ(
        reinterpret_cast<PKQVariantAsObjectNoAddRef>(F(kPKQVariantAsObjectNoAddRef))(v[6].get()),
        rt.Global());
    EXPECT_EQ(reinterpret_cast<PKQVariantAsObjectClosureNoAddRef>(
                  F(kPKQVariantAsObjectClosureNoAddRef))(v[6].get())
                  .Object,
              rt.Global());
    tPKQVariantClosure& c =
        reinterpret_cast<PKQVariantAsObjectClosure>(F(kPKQVariantAsObjectClosure))(v[6].get());
    c.Object->Release();
    EXPECT_EQ(
        std::u16string(reinterpret_cast<PKQVariantGetString>(F(kPKQVariantGetString))(v[0].get())),
        u"Ab");
    EXPECT_EQ(reinterpret_cast<PKQVariantAsInteger>(F(kPKQVariantAsInteger))(v[1].get()), 7);
    EXPECT_TRUE(reinterpret_cast<PKQVariantToBool>(F(kPKQVariantToBool))(v[7].get()));
    EXPECT_EQ(reinterpret_cast<PKQVariantAsReal>(F(kPKQVariantAsReal))(v[4].get()),
              1099511627776.0);
    reinterpret_cast<PKQDoVariantOperationFn>(F(kPKQDoVariantOperation))(5, *v[3], v[5].get());
    EXPECT_EQ(Variant::View(*v[3]).AsReal(), 11.5);
    reinterpret_cast<PKQVariantClear>(F(kPKQVariantClear))(v[6].get());

    // Global functions.
    pkq_char buffer[16];
    EXPECT_EQ(reinterpret_cast<PKQIntToStrFn>(F(kPKQIntToStr))(-12, buffer), buffer);
    EXPECT_EQ(std::u16string(buffer), u"-12");
    EXPECT_EQ(reinterpret_cast<PKQStricmpFn>(F(kPKQStricmp))(u"abc", u"ABC"), 0);
    iPKQDispatch2* array =
        reinterpret_cast<PKQCreateArrayObjectFn>(F(kPKQCreateArrayObject))(nullptr);
    iPKQDispatch2* dict =
        reinterpret_cast<PKQCreateDictionaryObjectFn>(F(kPKQCreateDictionaryObject))(nullptr);
    ASSERT_NE(array, nullptr);
    ASSERT_NE(dict, nullptr);
    EXPECT_EQ(array->Release(), 0u);
    EXPECT_EQ(dict->Release(), 0u);
    reinterpret_cast<HMRAddLogFn>(F(kHMRAddLog))(*s2);
    reinterpret_cast<HMRAddImportantLogFn>(F(kHMRAddImportantLog))(*s3);
    EXPECT_TRUE(reinterpret_cast<HMRGetCommandLineFn>(F(kHMRGetCommandLine))(u"-x", v[0].get()));
    EXPECT_EQ(reinterpret_cast<HMRGetCommandLineArgumentGenerationFn>(
                  F(kHMRGetCommandLineArgumentGeneration))(),
              1);
    RawStorage<tPKQString> formatted;
    reinterpret_cast<HMRFormatMessageFn>(F(kHMRFormatMessage))(formatted.get(), u"%1-%2", *s2, *s3);
    EXPECT_EQ(std::u16string(cstr(formatted.get())), u"Ab-AB");
    bool tried = false;
    reinterpret_cast<HMRDoTryBlockFn>(F(kHMRDoTryBlock))(
        [](void* d) { *static_cast<bool*>(d) = true; }, nullptr, nullptr, &tried);
    EXPECT_TRUE(tried);
    EXPECT_THROW(reinterpret_cast<HMRThrowPluginUnboundFunctionErrorFn>(
                     F(kHMRThrowPluginUnboundFunctionError))("x"),
                 ScriptException);

    // Destruction.
    const auto sdtor = reinterpret_cast<PKQStringDtor>(F(kPKQStringDtor));
    for (auto* s : {&s1, &s2, &s3, &s4, &s5, &s6, &s7, &s8, &s9, &formatted})
        sdtor(s->get());
    const auto vdtor = reinterpret_cast<PKQVariantDtor>(F(kPKQVariantDtor));
    for (auto& x : v)
        vdtor(x.get());

    EXPECT_EQ(used.size(), 52u);
    EXPECT_EQ(rt.LogTexts(0), std::vector<std::u16string>{u"Ab"});
    EXPECT_EQ(rt.LogTexts(1), std::vector<std::u16string>{u"AB"});
    EXPECT_TRUE(rt.Faults().empty());
}

} // namespace
