// The reference runtime's objects through their iPKQDispatch2 slots:
// dictionaries and their flags, property and function members, arrays,
// the global object, operations.
#include "host/script/ArrayObject.h"
#include "host/script/DictionaryObject.h"
#include "host/script/FunctionObject.h"
#include "host/script/HostCalls.h"
#include "host/script/HostText.h"
#include "host/script/ScriptException.h"
#include "host/script/ScriptRuntime.h"
#include "host/script/VariantOperation.h"

#include <vymultitrack/HostFunctionTypes.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace host;
using namespace vyhostfn;

class ScriptObjectTest : public ::testing::Test {
protected:
    void TearDown() override { EXPECT_TRUE(rt.Faults().empty()) << rt.Faults().front(); }

    ScriptRuntime rt;
    const long liveAtStart = DispatchObject::LiveObjects();
};

Ref<DictionaryObject> NewDictionary()
{
    iPKQDispatch2* d =
        HostFunction<PKQCreateDictionaryObjectFn>(kPKQCreateDictionaryObject)(nullptr);
    return Ref<DictionaryObject>(static_cast<DictionaryObject*>(d));
}

Variant ArrayValue()
{
    return Variant::Adopt(ArrayObject::Create({Variant(1), Variant(2), Variant(3)}));
}

Ref<ArrayObject> NewArray()
{
    iPKQDispatch2* a = HostFunction<PKQCreateArrayObjectFn>(kPKQCreateArrayObject)(nullptr);
    return Ref<ArrayObject>(static_cast<ArrayObject*>(a));
}

TEST_F(ScriptObjectTest, CreatedObjectsComeWithOneReference)
{
    iPKQDispatch2* cls = reinterpret_cast<iPKQDispatch2*>(1);
    iPKQDispatch2* d = HostFunction<PKQCreateDictionaryObjectFn>(kPKQCreateDictionaryObject)(&cls);
    EXPECT_EQ(cls, nullptr);
    EXPECT_EQ(DispatchObject::LiveObjects(), liveAtStart + 1);
    EXPECT_EQ(d->AddRef(), 2u);
    EXPECT_EQ(d->Release(), 1u);
    EXPECT_EQ(d->Release(), 0u);
    EXPECT_EQ(DispatchObject::LiveObjects(), liveAtStart);
    iPKQDispatch2* a = HostFunction<PKQCreateArrayObjectFn>(kPKQCreateArrayObject)(nullptr);
    EXPECT_EQ(a->Release(), 0u);
    EXPECT_EQ(DispatchObject::LiveObjects(), liveAtStart);
}

TEST_F(ScriptObjectTest, DictionarySetNeedsEnsureToCreate)
{
    auto d = NewDictionary();
    Variant v(5);
    EXPECT_EQ(d->SetMember(0, u"key", nullptr, v.pkq(), d.get()), PKQ_E_MEMBERNOTFOUND);
    EXPECT_EQ(d->SetMember(PKQ_MEMBERMUSTEXIST, u"key", nullptr, v.pkq(), d.get()),
              PKQ_E_MEMBERNOTFOUND);
    EXPECT_EQ(
        d->SetMember(PKQ_MEMBERENSURE | PKQ_MEMBERMUSTEXIST, u"key", nullptr, v.pkq(), d.get()),
        PKQ_E_MEMBERNOTFOUND);
    EXPECT_EQ(d->Size(), 0u);
    EXPECT_EQ(d->SetMember(PKQ_MEMBERENSURE, u"key", nullptr, v.pkq(), d.get()), 0);
    Variant w(6);
    EXPECT_EQ(d->SetMember(0, u"key", nullptr, w.pkq(), d.get()), 0)
        << "an existing member needs no flag";
    EXPECT_EQ(d->SetMember(PKQ_MEMBERMUSTEXIST, u"key", nullptr, w.pkq(), d.get()), 0);
    ASSERT_NE(d->Find(u"key"), nullptr);
    EXPECT_EQ(d->Find(u"key")->AsInteger(), 6);
}

TEST_F(ScriptObjectTest, DictionaryGetOfAMissingKey)
{
    auto d = NewDictionary();
    Variant out(7);
    EXPECT_EQ(d->GetMember(PKQ_MEMBERMUSTEXIST, u"absent", nullptr, out.pkq(), d.get()),
              PKQ_E_MEMBERNOTFOUND);
    EXPECT_EQ(out.AsInteger(), 7) << "a failed read leaves the result";
    EXPECT_EQ(d->GetMember(0, u"absent", nullptr, out.pkq(), d.get()), 0)
        << "dictionaries read missing keys as void";
    EXPECT_TRUE(out.IsVoid());
    // Plain objects (the global object) answer -1001 either way.
    EXPECT_EQ(rt.Global()->GetMember(0, u"absent", nullptr, out.pkq(), nullptr),
              PKQ_E_MEMBERNOTFOUND);
}

TEST_F(ScriptObjectTest, KeysAreCaseSensitiveAndHintsAreFilled)
{
    auto d = NewDictionary();
    Variant v(1);
    String key(u"BGM");
    ASSERT_EQ(d->SetMember(0x0A00, key.c_str(), key.Hint(), v.pkq(), d.get()), 0);
    EXPECT_EQ(*key.Hint(), HashOf(u"BGM"));
    Variant out;
    EXPECT_EQ(d->GetMember(PKQ_MEMBERMUSTEXIST, u"bgm", nullptr, out.pkq(), d.get()),
              PKQ_E_MEMBERNOTFOUND);
    EXPECT_EQ(d->GetMember(PKQ_MEMBERMUSTEXIST, key.c_str(), key.Hint(), out.pkq(), d.get()), 0);
    EXPECT_EQ(out.AsInteger(), 1);
}

TEST_F(ScriptObjectTest, RemoveMember)
{
    auto d = NewDictionary();
    auto fn = Ref<FunctionObject>(FunctionObject::Create(nullptr));
    Variant v = Variant::Object(fn.get());
    ASSERT_EQ(d->SetMember(PKQ_MEMBERENSURE, u"f", nullptr, v.pkq(), d.get()), 0);
    EXPECT_EQ(fn->RefCount(), 3u);
    EXPECT_EQ(d->RemoveMember(PKQ_MEMBERMUSTEXIST, u"f", nullptr, d.get()), 0);
    EXPECT_EQ(fn->RefCount(), 2u) << "removing releases the value";
    EXPECT_EQ(d->RemoveMember(PKQ_MEMBERMUSTEXIST, u"f", nullptr, d.get()), PKQ_E_MEMBERNOTFOUND);
    EXPECT_EQ(d->RemoveMember(0, u"f", nullptr, d.get()), PKQ_E_MEMBERNOTFOUND);
}

TEST_F(ScriptObjectTest, NullNameSlotsAnswerNotHandled)
{
    auto d = NewDictionary();
    Variant out;
    EXPECT_EQ(d->GetMember(0, nullptr, nullptr, out.pkq(), d.get()), PKQ_E_NOTIMPL);
    EXPECT_EQ(d->SetMember(0, nullptr, nullptr, out.pkq(), d.get()), PKQ_E_NOTIMPL);
    EXPECT_EQ(d->CallMember(0, nullptr, nullptr, out.pkq(), 0, nullptr, d.get()), PKQ_E_NOTIMPL);
    EXPECT_EQ(d->RemoveMember(0, nullptr, nullptr, d.get()), PKQ_E_NOTIMPL);
    EXPECT_EQ(d->Reserved11(0, d.get()), PKQ_E_NOTIMPL);
    EXPECT_EQ(d->Reserved28(0, d.get()), PKQ_E_NOTIMPL);
    EXPECT_EQ(d->CreateNew(0, u"x", nullptr, nullptr, 0, nullptr, d.get()), PKQ_E_MEMBERNOTFOUND);
}

TEST_F(ScriptObjectTest, CountMembers)
{
    auto d = NewDictionary();
    pkq_int n = -1;
    EXPECT_EQ(d->CountMembers(&n, nullptr, nullptr, d.get()), 0);
    EXPECT_EQ(n, 0);
    d->Put(u"a", Variant(1));
    d->Put(u"arr", ArrayValue());
    EXPECT_EQ(d->CountMembers(&n, nullptr, nullptr, d.get()), 0);
    EXPECT_EQ(n, 2);
    EXPECT_EQ(d->CountMembers(&n, u"arr", nullptr, d.get()), 0) << "a named member's own count";
    EXPECT_EQ(n, 3);
    EXPECT_EQ(d->CountMembers(&n, u"a", nullptr, d.get()), PKQ_E_INVALIDTYPE);
    EXPECT_EQ(d->CountMembers(&n, u"zz", nullptr, d.get()), PKQ_E_MEMBERNOTFOUND);
}

// ---- property members --------------------------------------------------------

TEST_F(ScriptObjectTest, PropertyMemberIsReadThroughItsGetter)
{
    int value = 10;
    auto d = NewDictionary();
    d->Put(u"prop", Variant::Adopt(PropertyObject::Create(
                        [&] { return Variant(value); },
                        [&](const Variant& v) { value = int(v.AsInteger()); })));
    Variant out;
    EXPECT_EQ(d->GetMember(0, u"prop", nullptr, out.pkq(), d.get()), 0);
    EXPECT_EQ(out.AsInteger(), 10);
    value = 11;
    EXPECT_EQ(d->GetMember(PKQ_MEMBERMUSTEXIST, u"prop", nullptr, out.pkq(), d.get()), 0);
    EXPECT_EQ(out.AsInteger(), 11);
    // 0x0800 reads the property object itself.
    EXPECT_EQ(d->GetMember(PKQ_IGNOREPROP, u"prop", nullptr, out.pkq(), d.get()), 0);
    ASSERT_TRUE(out.IsObject());
    EXPECT_EQ(out.ObjectPtr()->IsInstanceOf(0, nullptr, nullptr, u"Property", nullptr), PKQ_S_TRUE);
}

TEST_F(ScriptObjectTest, PropertyMemberIsWrittenThroughItsSetterUnlessStoreOver)
{
    int value = 0;
    auto d = NewDictionary();
    auto prop = Ref<PropertyObject>(PropertyObject::Create(
        [&] { return Variant(value); }, [&](const Variant& v) { value = int(v.AsInteger()); }));
    d->Put(u"prop", Variant::Object(prop.get()));
    Variant v(3);
    EXPECT_EQ(d->SetMember(0, u"prop", nullptr, v.pkq(), d.get()), 0);
    EXPECT_EQ(value, 3);
    EXPECT_EQ(prop->Writes(), 1);
    ASSERT_TRUE(d->Find(u"prop")->IsObject()) << "the property stays the member";
    EXPECT_EQ(d->SetMember(0x0A00, u"prop", nullptr, v.pkq(), d.get()), 0);
    EXPECT_EQ(prop->Writes(), 1) << "0x0800 stores over the property";
    EXPECT_EQ(d->Find(u"prop")->AsInteger(), 3);
    EXPECT_EQ(prop->RefCount(), 1u) << "the replaced property was released";
}

TEST_F(ScriptObjectTest, ReadOnlyPropertyRefusesWrites)
{
    auto d = NewDictionary();
    d->Put(u"ro", Variant::Adopt(PropertyObject::Create([] { return Variant(u"fixed"); })));
    Variant v(1);
    EXPECT_EQ(d->SetMember(0, u"ro", nullptr, v.pkq(), d.get()), PKQ_E_ACCESSDENYED);
    Variant out;
    EXPECT_EQ(d->GetMember(0, u"ro", nullptr, out.pkq(), d.get()), 0);
    EXPECT_EQ(out.AsText(), u"fixed");
}

TEST_F(ScriptObjectTest, PropertyGetsTheClosureThisOrTheObject)
{
    // A property object implemented here to see the `this` it is given.
    struct SeeThis : DispatchObject {
        iPKQDispatch2* seen = nullptr;
        pkq_int VY_CDECL GetMember(pkq_uint32, const pkq_char* name, pkq_uint32*, tPKQVariant*,
                                   iPKQDispatch2* objThis) override
        {
            if (name)
                return PKQ_E_MEMBERNOTFOUND;
            seen = objThis;
            return 0;
        }
        bool IsClass(std::u16string_view c) const override { return c == u"Property"; }
    };
    auto d = NewDictionary();
    auto other = NewDictionary();
    auto* prop = new SeeThis;
    d->Put(u"p", Variant::Object(prop));
    d->Put(u"q", Variant::Object(prop, other.get()));
    Variant out;
    d->GetMember(0, u"p", nullptr, out.pkq(), nullptr);
    EXPECT_EQ(prop->seen, d.get());
    d->GetMember(0, u"q", nullptr, out.pkq(), nullptr);
    EXPECT_EQ(prop->seen, other.get());
    prop->Release();
}

TEST_F(ScriptObjectTest, SetterThatRemovesItsOwnMemberIsSafe)
{
    auto d = NewDictionary();
    DictionaryObject* raw = d.get();
    d->Put(u"self", Variant::Adopt(PropertyObject::Create(
                        [] { return Variant(); }, [raw](const Variant&) { raw->Erase(u"self"); })));
    Variant v(1);
    EXPECT_EQ(d->SetMember(0, u"self", nullptr, v.pkq(), d.get()), 0);
    EXPECT_EQ(d->Find(u"self"), nullptr);
}

// ---- function members --------------------------------------------------------

TEST_F(ScriptObjectTest, CallingAFunctionMemberGoesThroughItsCallMember)
{
    auto d = NewDictionary();
    std::vector<std::u16string> seen;
    iPKQDispatch2* seenThis = nullptr;
    d->Put(u"f", Variant::Adopt(FunctionObject::Create([&](const CallArgs& a) -> pkq_int {
               for (int i = 0; i < a.Count(); ++i)
                   seen.push_back(a[i].AsText());
               seenThis = a.This();
               a.SetResult(Variant(u"done"));
               return 0;
           })));
    Variant a1(u"x"), a2(2);
    tPKQVariant* params[] = {a1.pkq(), a2.pkq()};
    Variant out;
    EXPECT_EQ(d->CallMember(0, u"f", nullptr, out.pkq(), 2, params, nullptr), 0);
    EXPECT_EQ(seen, (std::vector<std::u16string>{u"x", u"2"}));
    EXPECT_EQ(seenThis, d.get()) << "the object called on is `this` when the member has none";
    EXPECT_EQ(out.AsText(), u"done");
    EXPECT_EQ(d->CallMember(0, u"missing", nullptr, out.pkq(), 0, nullptr, nullptr),
              PKQ_E_MEMBERNOTFOUND);
    d->Put(u"n", Variant(1));
    EXPECT_EQ(d->CallMember(0, u"n", nullptr, out.pkq(), 0, nullptr, nullptr), PKQ_E_INVALIDTYPE);
}

TEST_F(ScriptObjectTest, FunctionObjectAnswersOnlyCallsOnItself)
{
    auto fn =
        Ref<FunctionObject>(FunctionObject::Create([](const CallArgs&) { return pkq_int{-7}; }));
    Variant out;
    EXPECT_EQ(fn->CallMember(0, u"name", nullptr, out.pkq(), 0, nullptr, nullptr),
              PKQ_E_MEMBERNOTFOUND);
    EXPECT_EQ(fn->CallMember(0, nullptr, nullptr, out.pkq(), 0, nullptr, nullptr), -7);
    EXPECT_EQ(fn->CallMember(0, nullptr, nullptr, nullptr, 0, nullptr, nullptr), -7)
        << "no result wanted";
    EXPECT_EQ(fn->CallMember(0, nullptr, nullptr, out.pkq(), 2, nullptr, nullptr),
              PKQ_E_INVALIDPARAM);
    EXPECT_EQ(fn->CallCount(), 2);
    EXPECT_EQ(fn->IsInstanceOf(0, nullptr, nullptr, u"Function", nullptr), PKQ_S_TRUE);
    EXPECT_EQ(fn->IsInstanceOf(0, nullptr, nullptr, u"Object", nullptr), PKQ_S_TRUE);
    EXPECT_EQ(fn->IsInstanceOf(0, nullptr, nullptr, u"Property", nullptr), PKQ_S_FALSE);
    EXPECT_EQ(fn->IsInstanceOf(0, u"x", nullptr, u"Function", nullptr), PKQ_E_MEMBERNOTFOUND);
}

TEST_F(ScriptObjectTest, FunctionThatDropsItsLastOutsideReferenceWhileRunning)
{
    auto d = NewDictionary();
    DictionaryObject* raw = d.get();
    d->Put(u"f", Variant::Adopt(FunctionObject::Create([raw](const CallArgs& a) -> pkq_int {
               raw->Erase(u"f"); // the dictionary held the only reference
               a.SetResult(Variant(1));
               return 0;
           })));
    Variant out;
    EXPECT_EQ(d->CallMember(0, u"f", nullptr, out.pkq(), 0, nullptr, nullptr), 0);
    EXPECT_EQ(out.AsInteger(), 1);
}

TEST_F(ScriptObjectTest, ArgumentsBeyondTheCountReadAsVoid)
{
    Variant a(1);
    tPKQVariant* params[] = {a.pkq(), nullptr};
    CallArgs args(0, 2, params, nullptr, nullptr);
    EXPECT_EQ(args[0].AsInteger(), 1);
    EXPECT_TRUE(args[1].IsVoid()) << "a null argument pointer";
    EXPECT_TRUE(args[2].IsVoid());
    EXPECT_TRUE(args[-1].IsVoid());
    EXPECT_EQ(args.Result(), nullptr);
    args.SetResult(Variant(1)); // no result: nothing happens
}

// ---- IsInstanceOf ------------------------------------------------------------

TEST_F(ScriptObjectTest, IsInstanceOfAnswers)
{
    auto d = NewDictionary();
    auto a = NewArray();
    EXPECT_EQ(d->IsInstanceOf(0, nullptr, nullptr, u"Dictionary", nullptr), PKQ_S_TRUE);
    EXPECT_EQ(d->IsInstanceOf(0, nullptr, nullptr, u"Object", nullptr), PKQ_S_TRUE);
    EXPECT_EQ(d->IsInstanceOf(0, nullptr, nullptr, u"Array", nullptr), PKQ_S_FALSE);
    EXPECT_EQ(a->IsInstanceOf(0, nullptr, nullptr, u"Array", nullptr), PKQ_S_TRUE);
    EXPECT_EQ(rt.WaveSoundBufferClass()->IsInstanceOf(0, nullptr, nullptr, u"Class", nullptr),
              PKQ_S_TRUE);
    EXPECT_EQ(
        rt.WaveSoundBufferClass()->IsInstanceOf(0, nullptr, nullptr, u"WaveSoundBuffer", nullptr),
        PKQ_S_TRUE);
    EXPECT_EQ(rt.Global()->IsInstanceOf(0, u"WaveSoundBuffer", nullptr, u"Class", nullptr),
              PKQ_S_TRUE)
        << "by name: the member's answer";
    EXPECT_EQ(rt.Global()->IsInstanceOf(0, u"nothing", nullptr, u"Class", nullptr),
              PKQ_E_MEMBERNOTFOUND);
}

// ---- arrays ------------------------------------------------------------------

TEST_F(ScriptObjectTest, ArrayGrowsOnWriteAndCounts)
{
    auto a = NewArray();
    pkq_int n = -1;
    EXPECT_EQ(a->CountMembers(&n, nullptr, nullptr, a.get()), 0);
    EXPECT_EQ(n, 0);
    Variant v(u"x");
    EXPECT_EQ(a->SetMemberByNumber(PKQ_MEMBERENSURE, 3, v.pkq(), a.get()), 0);
    EXPECT_EQ(a->CountMembers(&n, nullptr, nullptr, a.get()), 0);
    EXPECT_EQ(n, 4);
    Variant out(9);
    EXPECT_EQ(a->GetMemberByNumber(PKQ_MEMBERMUSTEXIST, 1, out.pkq(), a.get()),
              PKQ_E_MEMBERNOTFOUND)
        << "a hole cannot be read with 0x0400";
    EXPECT_EQ(out.AsInteger(), 9);
    EXPECT_EQ(a->GetMemberByNumber(0, 1, out.pkq(), a.get()), 0);
    EXPECT_TRUE(out.IsVoid());
    EXPECT_EQ(a->GetMemberByNumber(PKQ_MEMBERMUSTEXIST, 3, out.pkq(), a.get()), 0);
    EXPECT_EQ(out.AsText(), u"x");
    EXPECT_EQ(a->GetMemberByNumber(PKQ_MEMBERMUSTEXIST, -1, out.pkq(), a.get()), 0)
        << "-1 is the last";
    EXPECT_EQ(out.AsText(), u"x");
    EXPECT_EQ(a->GetMemberByNumber(PKQ_MEMBERMUSTEXIST, 4, out.pkq(), a.get()),
              PKQ_E_MEMBERNOTFOUND);
    EXPECT_EQ(a->GetMemberByNumber(PKQ_MEMBERMUSTEXIST, -5, out.pkq(), a.get()),
              PKQ_E_MEMBERNOTFOUND);
    EXPECT_EQ(a->SetMemberByNumber(0, -9, v.pkq(), a.get()), PKQ_E_INVALIDPARAM);
    EXPECT_EQ(a->SetMemberByNumber(PKQ_MEMBERMUSTEXIST, 7, v.pkq(), a.get()), PKQ_E_MEMBERNOTFOUND);
    EXPECT_EQ(a->SetMemberByNumber(0, 0x7FFFFFFF, v.pkq(), a.get()), PKQ_E_INVALIDPARAM)
        << "a script cannot make the host allocate 2^31 elements";
    EXPECT_EQ(a->Size(), 4u);
}

TEST_F(ScriptObjectTest, ArrayOverwriteReleasesTheOldElement)
{
    auto a = NewArray();
    auto fn = Ref<FunctionObject>(FunctionObject::Create(nullptr));
    Variant f = Variant::Object(fn.get());
    ASSERT_EQ(a->SetMemberByNumber(0, 0, f.pkq(), a.get()), 0);
    EXPECT_EQ(fn->RefCount(), 3u);
    Variant x(1);
    ASSERT_EQ(a->SetMemberByNumber(0, 0, x.pkq(), a.get()), 0);
    EXPECT_EQ(fn->RefCount(), 2u);
    ASSERT_EQ(a->SetMemberByNumber(0, 1, f.pkq(), a.get()), 0);
    EXPECT_EQ(a->RemoveMemberByNumber(0, 0, a.get()), 0);
    EXPECT_EQ(a->Size(), 1u);
    EXPECT_EQ(a->At(0)->ObjectPtr(), fn.get()) << "later elements move down";
    EXPECT_EQ(a->RemoveMemberByNumber(0, 5, a.get()), PKQ_E_MEMBERNOTFOUND);
    a = Ref<ArrayObject>();
    EXPECT_EQ(fn->RefCount(), 2u) << "only `f` and `fn` are left";
}

TEST_F(ScriptObjectTest, ArrayNamedMembers)
{
    auto a = NewArray();
    Variant v(u"e");
    tPKQVariant* params[] = {v.pkq()};
    Variant out;
    EXPECT_EQ(a->CallMember(0, u"add", nullptr, out.pkq(), 1, params, a.get()), 0);
    EXPECT_EQ(out.AsInteger(), 0);
    EXPECT_EQ(a->GetMember(0, u"count", nullptr, out.pkq(), a.get()), 0);
    EXPECT_EQ(out.AsInteger(), 1);
    EXPECT_EQ(a->GetMember(PKQ_MEMBERMUSTEXIST, u"0", nullptr, out.pkq(), a.get()), 0)
        << "numeric names";
    EXPECT_EQ(out.AsText(), u"e");
    Variant three(3);
    EXPECT_EQ(a->SetMember(0, u"count", nullptr, three.pkq(), a.get()), 0);
    EXPECT_EQ(a->Size(), 3u);
    EXPECT_EQ(a->At(2), nullptr);
    EXPECT_EQ(a->GetMember(0, u"other", nullptr, out.pkq(), a.get()), PKQ_E_MEMBERNOTFOUND);
}

TEST_F(ScriptObjectTest, ArrayElementsAreCallable)
{
    auto a = NewArray();
    a->Push(Variant::Adopt(FunctionObject::Create([](const CallArgs& args) {
        args.SetResult(Variant(args.Count()));
        return pkq_int{0};
    })));
    a->Push(Variant(1));
    Variant out;
    Variant arg;
    tPKQVariant* params[] = {arg.pkq()};
    EXPECT_EQ(a->CallMemberByNumber(0, 0, out.pkq(), 1, params, a.get()), 0);
    EXPECT_EQ(out.AsInteger(), 1);
    EXPECT_EQ(a->CallMemberByNumber(0, 1, out.pkq(), 0, nullptr, a.get()), PKQ_E_INVALIDTYPE);
    EXPECT_EQ(a->CallMemberByNumber(0, 2, out.pkq(), 0, nullptr, a.get()), PKQ_E_MEMBERNOTFOUND);
}

// ---- the global object -------------------------------------------------------

TEST_F(ScriptObjectTest, GlobalObjectHoldsTheWaveSoundBufferClass)
{
    iPKQDispatch2* global = HostFunction<HMRGetScriptDispatchFn>(kHMRGetScriptDispatch)();
    ASSERT_EQ(global, rt.Global());
    EXPECT_EQ(rt.Global()->RefCount(), 2u) << "a reference for the caller";
    Variant cls;
    EXPECT_EQ(global->GetMember(0, u"WaveSoundBuffer", nullptr, cls.pkq(), global), 0);
    EXPECT_EQ(cls.ObjectPtr(), rt.WaveSoundBufferClass());
    global->Release();

    rt.SetGlobalAvailable(false);
    EXPECT_EQ(HostFunction<HMRGetScriptDispatchFn>(kHMRGetScriptDispatch)(), nullptr);
    EXPECT_EQ(rt.Global()->RefCount(), 1u);
}

TEST_F(ScriptObjectTest, NoRuntimeNoGlobalObject)
{
    ScriptRuntime* current = ScriptRuntime::Current();
    EXPECT_EQ(current, &rt);
    {
        ScriptRuntime inner;
        EXPECT_EQ(ScriptRuntime::Current(), &inner);
        iPKQDispatch2* g = HostFunction<HMRGetScriptDispatchFn>(kHMRGetScriptDispatch)();
        EXPECT_EQ(g, inner.Global());
        g->Release();
    }
    EXPECT_EQ(ScriptRuntime::Current(), &rt) << "runtimes nest";
}

// ---- operations --------------------------------------------------------------

TEST_F(ScriptObjectTest, ApplyOperationReadsOperatesAndWritesBack)
{
    auto d = NewDictionary();
    d->Put(u"n", Variant(10));
    Variant two(2);
    Variant out;
    EXPECT_EQ(d->ApplyOperation(kOpAdd, u"n", nullptr, out.pkq(), two.pkq(), d.get()), 0);
    EXPECT_EQ(out.AsInteger(), 12);
    EXPECT_EQ(d->Find(u"n")->AsInteger(), 12);
    EXPECT_EQ(d->ApplyOperation(kOpInc, u"n", nullptr, nullptr, nullptr, d.get()), 0)
        << "inc needs no operand";
    EXPECT_EQ(d->Find(u"n")->AsInteger(), 13);
    EXPECT_EQ(d->ApplyOperation(kOpSub, u"n", nullptr, nullptr, nullptr, d.get()),
              PKQ_E_INVALIDPARAM);
    EXPECT_EQ(d->ApplyOperation(0, u"n", nullptr, nullptr, two.pkq(), d.get()), PKQ_E_INVALIDPARAM);
    EXPECT_EQ(d->ApplyOperation(17, u"n", nullptr, nullptr, two.pkq(), d.get()),
              PKQ_E_INVALIDPARAM);
    EXPECT_EQ(rt.Global()->ApplyOperation(kOpAdd, u"zz", nullptr, nullptr, two.pkq(), nullptr),
              PKQ_E_MEMBERNOTFOUND);
}

TEST_F(ScriptObjectTest, VariantOperations)
{
    const auto op = HostFunction<PKQDoVariantOperationFn>(kPKQDoVariantOperation);
    auto run = [&](pkq_int code, Variant a, const Variant& b) {
        op(code, *a.pkq(), b.pkq());
        return a;
    };
    EXPECT_EQ(run(kOpAssign, Variant(1), Variant(u"s")).AsText(), u"s");
    EXPECT_EQ(run(kOpAdd, Variant(1), Variant(2)).Type(), pvtInteger);
    EXPECT_EQ(run(kOpAdd, Variant(1), Variant(2)).AsInteger(), 3);
    EXPECT_EQ(run(kOpAdd, Variant(1), Variant(0.5)).AsReal(), 1.5);
    EXPECT_EQ(run(kOpAdd, Variant(u"a"), Variant(1)).AsText(), u"a1");
    EXPECT_EQ(run(kOpAdd, Variant(), Variant(4)).AsInteger(), 4);
    EXPECT_EQ(run(kOpSub, Variant(1), Variant(3)).AsInteger(), -2);
    EXPECT_EQ(run(kOpSub, Variant(1.0), Variant(3)).AsReal(), -2.0);
    EXPECT_EQ(run(kOpMul, Variant(3), Variant(4)).AsInteger(), 12);
    EXPECT_EQ(run(kOpDiv, Variant(1), Variant(4)).AsReal(), 0.25);
    EXPECT_EQ(run(kOpIntDiv, Variant(7), Variant(2)).AsInteger(), 3);
    EXPECT_EQ(run(kOpMod, Variant(7), Variant(-2)).AsInteger(), 1);
    EXPECT_EQ(run(kOpIntDiv, Variant(pkq_int64{INT64_MIN}), Variant(-1)).AsInteger(), INT64_MIN)
        << "wraps";
    EXPECT_EQ(run(kOpBitAnd, Variant(6), Variant(3)).AsInteger(), 2);
    EXPECT_EQ(run(kOpBitOr, Variant(6), Variant(3)).AsInteger(), 7);
    EXPECT_EQ(run(kOpBitXor, Variant(6), Variant(3)).AsInteger(), 5);
    EXPECT_EQ(run(kOpLogOr, Variant(0), Variant(3)).AsInteger(), 1);
    EXPECT_EQ(run(kOpLogAnd, Variant(0), Variant(3)).AsInteger(), 0);
    EXPECT_EQ(run(kOpSar, Variant(-8), Variant(1)).AsInteger(), -4);
    EXPECT_EQ(run(kOpSal, Variant(1), Variant(4)).AsInteger(), 16);
    EXPECT_EQ(run(kOpShr, Variant(-1), Variant(60)).AsInteger(), 15);
    Variant r(1.5);
    op(kOpDec, *r.pkq(), nullptr);
    EXPECT_EQ(r.AsReal(), 0.5);
    Variant self(3);
    op(kOpAdd, *self.pkq(), self.pkq());
    EXPECT_EQ(self.AsInteger(), 6) << "the operand may be the target";
    Variant x(1);
    EXPECT_THROW(op(kOpIntDiv, *x.pkq(), Variant(0).pkq()), ScriptException);
    EXPECT_THROW(op(kOpMod, *x.pkq(), Variant(0).pkq()), ScriptException);
    EXPECT_THROW(op(kOpAdd, *x.pkq(), nullptr), ScriptException);
    EXPECT_THROW(op(17, *x.pkq(), x.pkq()), ScriptException);
    EXPECT_THROW(op(-1, *x.pkq(), x.pkq()), ScriptException);
    EXPECT_EQ(x.AsInteger(), 1);
}

TEST_F(ScriptObjectTest, ByNumberSlotsOfPlainObjectsUseDecimalNames)
{
    auto d = NewDictionary();
    d->Put(u"12", Variant(u"twelve"));
    Variant out;
    EXPECT_EQ(d->GetMemberByNumber(PKQ_MEMBERMUSTEXIST, 12, out.pkq(), d.get()), 0);
    EXPECT_EQ(out.AsText(), u"twelve");
    EXPECT_EQ(d->RemoveMemberByNumber(0, 12, d.get()), 0);
    EXPECT_EQ(d->Size(), 0u);
}

TEST_F(ScriptObjectTest, EverythingIsReleased)
{
    {
        auto d = NewDictionary();
        auto a = NewArray();
        a->Push(Variant::Object(d.get()));
        d->Put(u"f", Variant::Adopt(FunctionObject::Create(nullptr)));
        d->Put(u"p", Variant::Adopt(PropertyObject::Create(nullptr)));
        EXPECT_EQ(DispatchObject::LiveObjects(), liveAtStart + 4);
    }
    EXPECT_EQ(DispatchObject::LiveObjects(), liveAtStart);
}

TEST(ScriptRuntimeLifetimeTest, ObjectsReleasedWithTheRuntimeGetNoGlobalObject)
{
    // A plug-in store left on WaveSoundBuffer asks for the global object in
    // its destructor (as the gain query's destructor does) while the runtime goes.
    struct AsksOnDestruction : DispatchObject {
        iPKQDispatch2** seen;
        explicit AsksOnDestruction(iPKQDispatch2** s) : seen(s) {}
        ~AsksOnDestruction() override
        {
            *seen = HostFunction<HMRGetScriptDispatchFn>(kHMRGetScriptDispatch)();
            if (*seen)
                (*seen)->Release();
        }
    };
    iPKQDispatch2* seen = reinterpret_cast<iPKQDispatch2*>(1);
    const long before = DispatchObject::LiveObjects();
    {
        ScriptRuntime rt;
        auto* store = new AsksOnDestruction(&seen);
        rt.WaveSoundBufferClass()->Put(u"left", Variant::Object(store));
        store->Release();
    }
    EXPECT_EQ(seen, nullptr);
    EXPECT_EQ(DispatchObject::LiveObjects(), before);
}

TEST(ScriptRuntimeLifetimeTest, ReferencesTakenDuringDestructionDoNotDeleteTwice)
{
    struct Reentrant : DispatchObject {
        ~Reentrant() override
        {
            AddRef();
            Release();
        }
    };
    const long before = DispatchObject::LiveObjects();
    (new Reentrant)->Release(); // ASan reports a double delete
    EXPECT_EQ(DispatchObject::LiveObjects(), before);
}

} // namespace
