// Host variants through the exported thunks: reference counts of objects
// (COM rules on copy, assignment, clear and destruction), the closure
// accessors, and the conversions.
#include "host/script/DictionaryObject.h"
#include "host/script/DispatchObject.h"
#include "host/script/FunctionObject.h"
#include "host/script/HostCalls.h"
#include "host/script/ScriptException.h"
#include "host/script/ScriptRuntime.h"
#include "host/script/Variant.h"

#include <vymultitrack/HostFunctionTypes.h>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace {

using namespace host;
using namespace vyhostfn;

// A plug-in-side variant: raw storage the constructor thunks fill.
class PVariant {
public:
    PVariant() { HostFunction<PKQVariantCtor>(kPKQVariantCtor)(raw_.get()); }
    ~PVariant() { HostFunction<PKQVariantDtor>(kPKQVariantDtor)(raw_.get()); }
    PVariant(const PVariant&) = delete;
    tPKQVariant* get() { return raw_.get(); }
    tPKQVariant& operator*() { return *raw_.get(); }
    const Variant& View() { return Variant::View(*raw_.get()); }

    // Re-constructs in place with `ctor` (destroying the current value).
    template <typename Ctor, typename... A> void Remake(Ctor ctor, A&&... a)
    {
        HostFunction<PKQVariantDtor>(kPKQVariantDtor)(raw_.get());
        ctor(raw_.get(), a...);
    }

private:
    RawStorage<tPKQVariant> raw_;
};

Ref<FunctionObject> NewObject()
{
    return Ref<FunctionObject>(FunctionObject::Create(nullptr));
}

TEST(ScriptVariantTest, DefaultIsVoid)
{
    PVariant v;
    EXPECT_EQ(HostFunction<PKQVariantType>(kPKQVariantType)(v.get()), pvtVoid);
    EXPECT_EQ(HostFunction<PKQVariantTypeConst>(kPKQVariantTypeConst)(v.get()), pvtVoid);
    EXPECT_EQ(HostFunction<PKQVariantAsObjectNoAddRef>(kPKQVariantAsObjectNoAddRef)(v.get()),
              nullptr);
    EXPECT_EQ(HostFunction<PKQVariantGetString>(kPKQVariantGetString)(v.get()), nullptr);
    EXPECT_EQ(HostFunction<PKQVariantAsInteger>(kPKQVariantAsInteger)(v.get()), 0);
    EXPECT_EQ(HostFunction<PKQVariantAsReal>(kPKQVariantAsReal)(v.get()), 0.0);
    EXPECT_FALSE(HostFunction<PKQVariantToBool>(kPKQVariantToBool)(v.get()));
}

TEST(ScriptVariantTest, ObjectConstructorAddsAReferenceToEachPointer)
{
    auto obj = NewObject();
    auto self = NewObject();
    {
        PVariant v;
        v.Remake(HostFunction<PKQVariantCtorObject>(kPKQVariantCtorObject), obj.get(), self.get());
        EXPECT_EQ(obj->RefCount(), 2u);
        EXPECT_EQ(self->RefCount(), 2u);
        EXPECT_EQ(HostFunction<PKQVariantType>(kPKQVariantType)(v.get()), pvtObject);
        EXPECT_EQ(HostFunction<PKQVariantAsObjectNoAddRef>(kPKQVariantAsObjectNoAddRef)(v.get()),
                  obj.get());
        EXPECT_EQ(obj->RefCount(), 2u) << "NoAddRef adds none";
    }
    EXPECT_EQ(obj->RefCount(), 1u) << "the destructor releases the object";
    EXPECT_EQ(self->RefCount(), 1u) << "and its this";
}

TEST(ScriptVariantTest, ObjectVariantWithNullPointers)
{
    auto obj = NewObject();
    PVariant a;
    a.Remake(HostFunction<PKQVariantCtorObject>(kPKQVariantCtorObject), obj.get(), nullptr);
    EXPECT_EQ(obj->RefCount(), 2u);
    PVariant b;
    b.Remake(HostFunction<PKQVariantCtorObject>(kPKQVariantCtorObject), nullptr, obj.get());
    EXPECT_EQ(obj->RefCount(), 3u);
    EXPECT_EQ(HostFunction<PKQVariantType>(kPKQVariantType)(b.get()), pvtObject);
    EXPECT_EQ(HostFunction<PKQVariantAsObjectNoAddRef>(kPKQVariantAsObjectNoAddRef)(b.get()),
              nullptr);
    EXPECT_FALSE(HostFunction<PKQVariantToBool>(kPKQVariantToBool)(b.get()));
    EXPECT_TRUE(HostFunction<PKQVariantToBool>(kPKQVariantToBool)(a.get()));
}

TEST(ScriptVariantTest, CopiesAddReferencesAndClearReleasesThem)
{
    auto obj = NewObject();
    auto self = NewObject();
    PVariant src;
    src.Remake(HostFunction<PKQVariantCtorObject>(kPKQVariantCtorObject), obj.get(), self.get());
    PVariant copy;
    copy.Remake(HostFunction<PKQVariantCtorCopy>(kPKQVariantCtorCopy), *src);
    EXPECT_EQ(obj->RefCount(), 3u);
    EXPECT_EQ(self->RefCount(), 3u);

    PVariant viaCopyRef;
    HostFunction<PKQVariantCopyRef>(kPKQVariantCopyRef)(viaCopyRef.get(), *src);
    EXPECT_EQ(obj->RefCount(), 4u);
    PVariant viaAssign;
    tPKQVariant& r = HostFunction<PKQVariantAssign>(kPKQVariantAssign)(viaAssign.get(), *src);
    EXPECT_EQ(&r, viaAssign.get());
    EXPECT_EQ(obj->RefCount(), 5u);
    EXPECT_EQ(self->RefCount(), 5u);

    HostFunction<PKQVariantClear>(kPKQVariantClear)(copy.get());
    EXPECT_EQ(HostFunction<PKQVariantType>(kPKQVariantType)(copy.get()), pvtVoid);
    EXPECT_EQ(obj->RefCount(), 4u);
    HostFunction<PKQVariantClear>(kPKQVariantClear)(copy.get()); // clearing void is harmless
    EXPECT_EQ(obj->RefCount(), 4u);

    // Assigning over an object releases the old one.
    HostFunction<PKQVariantAssignInt32>(kPKQVariantAssignInt32)(viaAssign.get(), 5);
    EXPECT_EQ(obj->RefCount(), 3u);
    EXPECT_EQ(self->RefCount(), 3u);
    HostFunction<PKQVariantAssignBool>(kPKQVariantAssignBool)(viaCopyRef.get(), true);
    EXPECT_EQ(obj->RefCount(), 2u);
    EXPECT_EQ(viaCopyRef.View().Type(), pvtInteger);
    EXPECT_EQ(viaCopyRef.View().AsInteger(), 1);
}

TEST(ScriptVariantTest, SelfAssignmentKeepsTheObject)
{
    auto obj = NewObject();
    PVariant v;
    v.Remake(HostFunction<PKQVariantCtorObject>(kPKQVariantCtorObject), obj.get(), nullptr);
    HostFunction<PKQVariantAssign>(kPKQVariantAssign)(v.get(), *v);
    HostFunction<PKQVariantCopyRef>(kPKQVariantCopyRef)(v.get(), *v);
    EXPECT_EQ(obj->RefCount(), 2u);
    EXPECT_EQ(v.View().ObjectPtr(), obj.get());
}

TEST(ScriptVariantTest, AssigningFromAValueOwnedByTheOldObjectIsSafe)
{
    // The variant holds the only reference to an object that owns the
    // source of the assignment: releasing the old value destroys the source.
    Ref<DictionaryObject> dict(DictionaryObject::Create(DictionaryObject::Kind::Dictionary));
    dict->Put(u"inner", Variant(u"payload that outlives its owner"));
    PVariant v;
    v.Remake(HostFunction<PKQVariantCtorObject>(kPKQVariantCtorObject), dict.get(), nullptr);
    const Variant* inner = dict->Find(u"inner");
    ASSERT_NE(inner, nullptr);
    DictionaryObject* raw = dict.release();
    raw->Release(); // v holds the only reference now
    EXPECT_EQ(raw->RefCount(), 1u);
    HostFunction<PKQVariantAssign>(kPKQVariantAssign)(
        v.get(), *inner->pkq()); // ASan catches a use after free
    EXPECT_EQ(v.View().AsText(), u"payload that outlives its owner");
}

TEST(ScriptVariantTest, ClosureAccessorsReturnTheClosureInsideTheVariant)
{
    auto obj = NewObject();
    auto self = NewObject();
    PVariant v;
    v.Remake(HostFunction<PKQVariantCtorObject>(kPKQVariantCtorObject), obj.get(), self.get());
    tPKQVariantClosure& c1 = HostFunction<PKQVariantAsObjectClosureNoAddRef>(
        kPKQVariantAsObjectClosureNoAddRef)(v.get());
    EXPECT_EQ(c1.Object, obj.get());
    EXPECT_EQ(c1.ObjThis, self.get());
    EXPECT_EQ(obj->RefCount(), 2u);
    tPKQVariantClosure& c2 =
        HostFunction<PKQVariantAsObjectClosure>(kPKQVariantAsObjectClosure)(v.get());
    EXPECT_EQ(&c1, &c2) << "both give the closure stored in the variant";
    EXPECT_EQ(obj->RefCount(), 3u);
    EXPECT_EQ(self->RefCount(), 3u);
    const auto* bytes = reinterpret_cast<const unsigned char*>(v.get());
    const auto* at = reinterpret_cast<const unsigned char*>(&c1);
    EXPECT_TRUE(at >= bytes && at + sizeof(tPKQVariantClosure) <= bytes + sizeof(tPKQVariant));
    obj->Release();
    self->Release();
}

TEST(ScriptVariantTest, ClosureOfANonObjectIsAFaultAndAHostException)
{
    ScriptRuntime rt;
    PVariant v;
    v.Remake(HostFunction<PKQVariantCtorChars>(kPKQVariantCtorChars), u"not an object");
    EXPECT_THROW(HostFunction<PKQVariantAsObjectClosureNoAddRef>(
                     kPKQVariantAsObjectClosureNoAddRef)(v.get()),
                 ScriptException);
    EXPECT_THROW(HostFunction<PKQVariantAsObjectClosure>(kPKQVariantAsObjectClosure)(v.get()),
                 ScriptException);
    EXPECT_EQ(rt.Faults().size(), 2u);
}

TEST(ScriptVariantTest, StringVariants)
{
    PVariant a;
    a.Remake(HostFunction<PKQVariantCtorChars>(kPKQVariantCtorChars), u"bgm");
    EXPECT_EQ(HostFunction<PKQVariantType>(kPKQVariantType)(a.get()), pvtString);
    EXPECT_EQ(std::u16string(HostFunction<PKQVariantGetString>(kPKQVariantGetString)(a.get())),
              u"bgm");
    PVariant n;
    n.Remake(HostFunction<PKQVariantCtorChars>(kPKQVariantCtorChars), nullptr);
    EXPECT_EQ(HostFunction<PKQVariantType>(kPKQVariantType)(n.get()), pvtString);
    EXPECT_EQ(std::u16string(HostFunction<PKQVariantGetString>(kPKQVariantGetString)(n.get())),
              u"");

    String s(u"from string");
    PVariant b;
    b.Remake(HostFunction<PKQVariantCtorString>(kPKQVariantCtorString), s.pkqRef());
    s = String(u"changed");
    EXPECT_EQ(b.View().AsText(), u"from string") << "the variant has its own copy";
    PVariant c;
    c.Remake(HostFunction<PKQVariantCtorCopy>(kPKQVariantCtorCopy), *b);
    EXPECT_NE(HostFunction<PKQVariantGetString>(kPKQVariantGetString)(b.get()),
              HostFunction<PKQVariantGetString>(kPKQVariantGetString)(c.get()));
    EXPECT_EQ(c.View().AsText(), u"from string");
}

TEST(ScriptVariantTest, IntegerAndRealConstructors)
{
    PVariant i32, i64, r;
    i32.Remake(HostFunction<PKQVariantCtorInt32>(kPKQVariantCtorInt32), -5);
    i64.Remake(HostFunction<PKQVariantCtorInt64>(kPKQVariantCtorInt64), pkq_int64{-0x123456789});
    r.Remake(HostFunction<PKQVariantCtorReal>(kPKQVariantCtorReal), 2.5);
    EXPECT_EQ(HostFunction<PKQVariantType>(kPKQVariantType)(i32.get()), pvtInteger);
    EXPECT_EQ(HostFunction<PKQVariantType>(kPKQVariantType)(i64.get()), pvtInteger);
    EXPECT_EQ(HostFunction<PKQVariantType>(kPKQVariantType)(r.get()), pvtReal);
    EXPECT_EQ(HostFunction<PKQVariantAsInteger>(kPKQVariantAsInteger)(i64.get()), -0x123456789);
    EXPECT_EQ(HostFunction<PKQVariantAsReal>(kPKQVariantAsReal)(i32.get()), -5.0);
    EXPECT_EQ(HostFunction<PKQVariantAsInteger>(kPKQVariantAsInteger)(r.get()), 2);
}

TEST(ScriptVariantTest, Conversions)
{
    const auto asInt = HostFunction<PKQVariantAsInteger>(kPKQVariantAsInteger);
    const auto asReal = HostFunction<PKQVariantAsReal>(kPKQVariantAsReal);
    const auto toBool = HostFunction<PKQVariantToBool>(kPKQVariantToBool);
    struct Case {
        Variant v;
        pkq_int64 i;
        double r;
        bool b;
    } cases[] = {
        {Variant(), 0, 0.0, false},
        {Variant(0), 0, 0.0, false},
        {Variant(-3), -3, -3.0, true},
        {Variant(2.9), 2, 2.9, true},
        {Variant(-2.9), -2, -2.9, true},
        {Variant(0.0), 0, 0.0, false},
        {Variant(0.25), 0, 0.25, true},
        {Variant(1e30), std::numeric_limits<pkq_int64>::max(), 1e30, true},
        {Variant(-1e30), std::numeric_limits<pkq_int64>::min(), -1e30, true},
        {Variant(u"-6"), -6, -6.0, true},
        {Variant(u"2.5"), 2, 2.5, true},
        {Variant(u"0"), 0, 0.0, false},
        {Variant(u"track"), 0, 0.0, false},
        {Variant(u""), 0, 0.0, false},
    };
    for (Case& c : cases) {
        EXPECT_EQ(asInt(c.v.pkq()), c.i) << c.v.Describe();
        EXPECT_DOUBLE_EQ(asReal(c.v.pkq()), c.r) << c.v.Describe();
        EXPECT_EQ(toBool(c.v.pkq()), c.b) << c.v.Describe();
    }
    Variant nan(std::nan(""));
    EXPECT_EQ(asInt(nan.pkq()), 0);
    EXPECT_FALSE(toBool(nan.pkq()));
    auto obj = NewObject();
    Variant object = Variant::Object(obj.get());
    EXPECT_EQ(asInt(object.pkq()), 0);
    EXPECT_EQ(asReal(object.pkq()), 0.0);
    EXPECT_TRUE(toBool(object.pkq()));
}

TEST(ScriptVariantTest, HostVariantHandleFollowsTheSameRules)
{
    auto obj = NewObject();
    {
        Variant a = Variant::Object(obj.get());
        Variant b = a;
        EXPECT_EQ(obj->RefCount(), 3u);
        Variant c = std::move(b);
        EXPECT_TRUE(b.IsVoid());
        EXPECT_EQ(obj->RefCount(), 3u);
        c = Variant(1);
        EXPECT_EQ(obj->RefCount(), 2u);
    }
    EXPECT_EQ(obj->RefCount(), 1u);
    EXPECT_EQ(sizeof(Variant), sizeof(tPKQVariant));
    EXPECT_EQ(sizeof(String), sizeof(tPKQString));
}

} // namespace
