#include "plugin/LinkedRuntimeTest.h"

#include <script/SimpleBinder.h>

#include <host/script/DictionaryObject.h>
#include <host/script/FunctionObject.h>

#include <string>
#include <vector>

namespace {

using namespace SimpleBinder::Detail;

// What the native functions below were last called with.
struct NativeCalls {
    int count = 0;
    std::vector<tPKQVariant*> fixed;
    int restCount = -1;
    tPKQVariant** rest = nullptr;
    std::u16string who;
};
NativeCalls calls;

int WithRest(tPKQVariant* result, tPKQVariant* a, tPKQVariant* b, tPKQVariant* c, int restCount,
             tPKQVariant** rest)
{
    calls = {calls.count + 1, {a, b, c}, restCount, rest, u"WithRest"};
    if (result)
        *result = static_cast<pkq_int32>(99);
    return 7;
}

int OtherWithRest(tPKQVariant*, tPKQVariant*, tPKQVariant*, tPKQVariant*, int, tPKQVariant**)
{
    calls = {calls.count + 1, {}, -1, nullptr, u"OtherWithRest"};
    return 0;
}

int OfTwo(tPKQVariant*, tPKQVariant* a, tPKQVariant* b)
{
    calls = {calls.count + 1, {a, b}, -1, nullptr, u"OfTwo"};
    return 3;
}

int Getter(tPKQVariant* result)
{
    calls = {calls.count + 1, {}, -1, nullptr, u"Getter"};
    if (result)
        *result = static_cast<pkq_int32>(123);
    return 0;
}

// A callback that reports its destruction into a shared journal.
template <class Interface> class Probe : public Interface {
public:
    Probe(std::vector<std::u16string>* journal, std::u16string name)
        : journal_(journal), name_(std::move(name))
    {
    }
    ~Probe() override { journal_->push_back(name_); }
    pkq_int Call(pkq_uint32, tPKQVariant*, pkq_int, tPKQVariant**, iPKQDispatch2*) { return 0; }
    pkq_int Get(pkq_uint32, tPKQVariant*, iPKQDispatch2*) { return 0; }
    pkq_int Set(pkq_uint32, const tPKQVariant*, iPKQDispatch2*) { return 0; }

private:
    std::vector<std::u16string>* journal_;
    std::u16string name_;
};

class SimpleBinderTest : public LinkedRuntimeTest {
protected:
    void SetUp() override
    {
        LinkedRuntimeTest::SetUp();
        calls = {};
        cls = runtime.WaveSoundBufferClass();
    }

    // Calls the class member `name` as a script would, with `count` integer
    // arguments 0, 1, 2, ...
    pkq_int CallMember(const pkq_char* name, int count, tPKQVariant* result = nullptr)
    {
        arguments.clear();
        pointers.clear();
        for (int i = 0; i < count; ++i)
            arguments.emplace_back(static_cast<pkq_int32>(i));
        for (tPKQVariant& argument : arguments)
            pointers.push_back(&argument);
        return cls->CallMember(0, name, nullptr, result, count, pointers.data(), cls);
    }

    // The store bound as the class member `name`, or null.
    iPKQDispatch2* Store(std::u16string_view name)
    {
        const host::Variant* value = cls->Find(name);
        return value ? value->ObjectPtr() : nullptr;
    }

    host::DictionaryObject* cls = nullptr;
    std::vector<tPKQVariant> arguments;
    std::vector<tPKQVariant*> pointers;
};

TEST_F(SimpleBinderTest, FindObjectWalksDottedPathsFromTheGlobalObjectOrARoot)
{
    host::Ref<host::DictionaryObject> inner(
        host::DictionaryObject::Create(host::DictionaryObject::Kind::Dictionary));
    cls->Put(u"inner", host::Variant::Object(inner.get()));
    cls->Put(u"number", host::Variant(5));

    EXPECT_EQ(FindObject(u"WaveSoundBuffer", nullptr), cls);
    EXPECT_EQ(FindObject(u"WaveSoundBuffer.inner", nullptr), inner.get());
    EXPECT_EQ(FindObject(u"..WaveSoundBuffer..inner.", nullptr), inner.get())
        << "empty segments are skipped";
    EXPECT_EQ(FindObject(u"inner", cls), inner.get());
    EXPECT_EQ(FindObject(u"", cls), cls);
    EXPECT_EQ(FindObject(u"", nullptr), runtime.Global());
    EXPECT_EQ(FindObject(u"WaveSoundBuffer.number", nullptr), nullptr) << "not an object";
    EXPECT_EQ(FindObject(u"WaveSoundBuffer.missing", nullptr), nullptr);
    EXPECT_EQ(FindObject(nullptr, cls), nullptr);

    runtime.SetGlobalAvailable(false);
    EXPECT_EQ(FindObject(u"WaveSoundBuffer", nullptr), nullptr);
    EXPECT_EQ(FindObject(u"inner", cls), inner.get()) << "a given root needs no global object";
}

TEST_F(SimpleBinderTest, FunctionWithRestGetsThreeArgumentsAndTheRestList)
{
    ASSERT_TRUE(BindUtil(true, u"WaveSoundBuffer").Function(u"withRest", WithRest).Succeeded());

    EXPECT_EQ(CallMember(u"withRest", 2), PKQ_E_BADPARAMCOUNT);
    EXPECT_EQ(calls.count, 0) << "too few arguments call nothing";

    tPKQVariant result;
    EXPECT_EQ(CallMember(u"withRest", 5, &result), 7);
    EXPECT_EQ(calls.count, 1);
    EXPECT_EQ(calls.fixed, (std::vector<tPKQVariant*>{pointers[0], pointers[1], pointers[2]}));
    EXPECT_EQ(calls.restCount, 2);
    ASSERT_NE(calls.rest, nullptr);
    EXPECT_EQ(calls.rest[0]->AsInteger(), 3);
    EXPECT_EQ(calls.rest[1]->AsInteger(), 4);
    EXPECT_EQ(result.AsInteger(), 99);

    EXPECT_EQ(CallMember(u"withRest", 3), 7);
    EXPECT_EQ(calls.restCount, 0);
    EXPECT_EQ(calls.rest, nullptr);
}

TEST_F(SimpleBinderTest, FunctionOfTwoGetsTwoArgumentsAndDropsTheOthers)
{
    ASSERT_TRUE(BindUtil(true, u"WaveSoundBuffer").Function(u"ofTwo", OfTwo).Succeeded());
    EXPECT_EQ(CallMember(u"ofTwo", 1), PKQ_E_BADPARAMCOUNT);
    EXPECT_EQ(calls.count, 0);
    EXPECT_EQ(CallMember(u"ofTwo", 4), 3);
    EXPECT_EQ(calls.fixed, (std::vector<tPKQVariant*>{pointers[0], pointers[1]}));

    // The store itself, called without an argument array.
    EXPECT_EQ(Store(u"ofTwo")->CallMember(0, nullptr, nullptr, nullptr, 2, nullptr, cls),
              PKQ_E_BADPARAMCOUNT);
}

TEST_F(SimpleBinderTest, StoresAnswerOnlyForThemselves)
{
    BindUtil(true, u"WaveSoundBuffer").Function(u"f", WithRest).Property(u"p", Getter);
    iPKQDispatch2* function = Store(u"f");
    iPKQDispatch2* property = Store(u"p");
    ASSERT_NE(function, nullptr);
    ASSERT_NE(property, nullptr);

    EXPECT_EQ(function->IsInstanceOf(0, nullptr, nullptr, u"Function", function), PKQ_S_TRUE);
    EXPECT_EQ(function->IsInstanceOf(0, nullptr, nullptr, u"fUNCTION", function), PKQ_S_TRUE);
    EXPECT_EQ(function->IsInstanceOf(0, nullptr, nullptr, u"object", function), PKQ_S_TRUE);
    EXPECT_EQ(function->IsInstanceOf(0, nullptr, nullptr, u"Property", function), PKQ_S_FALSE);
    EXPECT_EQ(function->IsInstanceOf(0, nullptr, nullptr, nullptr, function), PKQ_S_FALSE);
    EXPECT_EQ(function->IsInstanceOf(0, u"x", nullptr, u"Function", function),
              PKQ_E_MEMBERNOTFOUND);
    EXPECT_EQ(property->IsInstanceOf(0, nullptr, nullptr, u"PROPERTY", property), PKQ_S_TRUE);
    EXPECT_EQ(property->IsInstanceOf(0, nullptr, nullptr, u"Object", property), PKQ_S_TRUE);
    EXPECT_EQ(property->IsInstanceOf(0, nullptr, nullptr, u"Function", property), PKQ_S_FALSE);
    EXPECT_EQ(property->IsInstanceOfByNumber(0, 1, u"Property", property), PKQ_E_MEMBERNOTFOUND);

    tPKQVariant result;
    EXPECT_EQ(function->CallMember(0, u"x", nullptr, &result, 3, nullptr, function),
              PKQ_E_MEMBERNOTFOUND);
    EXPECT_EQ(function->CallMemberByNumber(0, 0, &result, 0, nullptr, function),
              PKQ_E_MEMBERNOTFOUND);
    EXPECT_EQ(property->GetMember(0, u"x", nullptr, &result, property), PKQ_E_MEMBERNOTFOUND);
    EXPECT_EQ(property->SetMember(0, u"x", nullptr, &result, property), PKQ_E_MEMBERNOTFOUND);
    EXPECT_EQ(calls.count, 0);
}

TEST_F(SimpleBinderTest, BoundPropertiesAreReadOnly)
{
    ASSERT_TRUE(BindUtil(true, u"WaveSoundBuffer").Property(u"prop", Getter).Succeeded());
    tPKQVariant value;
    EXPECT_EQ(cls->GetMember(0, u"prop", nullptr, &value, cls), 0);
    EXPECT_EQ(value.AsInteger(), 123);
    EXPECT_EQ(calls.count, 1);

    const tPKQVariant written(static_cast<pkq_int32>(5));
    EXPECT_EQ(cls->SetMember(0, u"prop", nullptr, &written, cls), PKQ_E_ACCESSDENYED);
    EXPECT_EQ(Store(u"prop")->SetMember(0, nullptr, nullptr, &written, cls), PKQ_E_ACCESSDENYED);
    value.Clear();
    EXPECT_EQ(cls->GetMember(0, u"prop", nullptr, &value, cls), 0);
    EXPECT_EQ(value.AsInteger(), 123) << "the failed write changed nothing";
}

TEST_F(SimpleBinderTest, BindingOverAnExistingMemberReplacesIt)
{
    host::Ref<host::PropertyObject> hostProperty(
        host::PropertyObject::Create([] { return host::Variant(1); }));
    cls->Put(u"p", host::Variant::Object(hostProperty.get()));
    BindUtil(true, u"WaveSoundBuffer").Function(u"f", WithRest).Property(u"g", Getter);

    EXPECT_TRUE(BindUtil(true, u"WaveSoundBuffer")
                    .Function(u"f", OtherWithRest) // over a bound function
                    .Function(u"g", OtherWithRest) // over a bound property
                    .Function(u"p", OtherWithRest) // over the host's own property
                    .Succeeded());
    EXPECT_EQ(RefCountChange(), 3) << "the replaced stores are gone";
    for (const pkq_char* name : {u"f", u"g", u"p"}) {
        calls = {};
        EXPECT_EQ(CallMember(name, 3), 0);
        EXPECT_EQ(calls.who, u"OtherWithRest");
    }
    EXPECT_EQ(hostProperty->Writes(), 0) << "stored over the property, not through it";
}

TEST_F(SimpleBinderTest, UnbindingRemovesTheMemberAndDestroysItsStore)
{
    BindUtil(true, u"WaveSoundBuffer")
        .Function(u"f", WithRest)
        .Function(u"two", OfTwo)
        .Property(u"p", Getter);
    EXPECT_EQ(RefCountChange(), 3);

    EXPECT_TRUE(BindUtil(false, u"WaveSoundBuffer")
                    .Function(u"f", WithRest)
                    .Function(u"two", OfTwo)
                    .Property(u"p", Getter)
                    .Succeeded());
    EXPECT_EQ(cls->Find(u"f"), nullptr);
    EXPECT_EQ(cls->Find(u"two"), nullptr);
    EXPECT_EQ(cls->Find(u"p"), nullptr);
    EXPECT_EQ(RefCountChange(), 0);

    // A member that is not there fails the pass, and the later steps still run.
    BindUtil(true, u"WaveSoundBuffer").Function(u"f", WithRest);
    BindUtil pass(false, u"WaveSoundBuffer");
    pass.Function(u"missing", WithRest).Function(u"f", WithRest);
    EXPECT_FALSE(pass.Succeeded());
    EXPECT_EQ(cls->Find(u"f"), nullptr);
}

TEST_F(SimpleBinderTest, StoresOwnTheirCallbacks)
{
    std::vector<std::u16string> journal;
    auto* function = new FunctionStore(new Probe<FunctionInterface>(&journal, u"function"));
    ASSERT_TRUE(StoreUtil::LinkStore(cls, u"probe", function, nullptr));
    EXPECT_TRUE(journal.empty());
    EXPECT_EQ(RefCountChange(), 1) << "the host member holds the only reference";
    EXPECT_TRUE(StoreUtil::UnlinkStore(cls, u"probe"));
    EXPECT_EQ(journal, std::vector<std::u16string>{u"function"});
    EXPECT_FALSE(StoreUtil::UnlinkStore(cls, u"probe"));

    journal.clear();
    auto* property = new PropertyStore(new Probe<SetterInterface>(&journal, u"setter"),
                                       new Probe<GetterInterface>(&journal, u"getter"));
    ASSERT_TRUE(StoreUtil::LinkStore(cls, u"probe", property, nullptr));
    cls->Erase(u"probe");
    EXPECT_EQ(journal, (std::vector<std::u16string>{u"setter", u"getter"}));
    EXPECT_EQ(RefCountChange(), 0);
}

TEST_F(SimpleBinderTest, AFailedLinkDestroysTheStore)
{
    std::vector<std::u16string> journal;
    auto* refuses = new tPKQDispatch; // answers SetMember with -1001
    const std::int32_t before = TheProcessState().dispatchRefCount;

    EXPECT_FALSE(StoreUtil::LinkStore(
        nullptr, u"x", new FunctionStore(new Probe<FunctionInterface>(&journal, u"a")), nullptr));
    EXPECT_FALSE(StoreUtil::LinkStore(
        cls, nullptr, new FunctionStore(new Probe<FunctionInterface>(&journal, u"b")), nullptr));
    EXPECT_FALSE(StoreUtil::LinkStore(
        refuses, u"x", new FunctionStore(new Probe<FunctionInterface>(&journal, u"c")), nullptr));
    EXPECT_FALSE(StoreUtil::LinkStore(cls, u"x", nullptr, nullptr));
    EXPECT_EQ(journal, (std::vector<std::u16string>{u"a", u"b", u"c"}));
    EXPECT_EQ(RefCountChange(before), 0);
    EXPECT_FALSE(StoreUtil::UnlinkStore(nullptr, u"x"));

    BindUtil refused(true, u"", refuses);
    EXPECT_FALSE(refused.Function(u"f", WithRest).Succeeded());
    EXPECT_EQ(RefCountChange(before), 0);
    refuses->Release();
}

TEST_F(SimpleBinderTest, PassesWithoutTargetOrWithNullNativesBindNothing)
{
    BindUtil nowhere(true, u"NoSuchClass");
    EXPECT_EQ(nowhere.Target(), nullptr);
    EXPECT_TRUE(nowhere.Function(u"f", WithRest).Property(u"p", Getter).Succeeded());
    EXPECT_TRUE(BindUtil(false, u"NoSuchClass").Function(u"f", WithRest).Succeeded());

    BindUtil nulls(true, u"WaveSoundBuffer");
    nulls.Function(u"f", static_cast<NativeFunctionWithRest>(nullptr));
    EXPECT_FALSE(nulls.Succeeded());
    nulls.Function(nullptr, WithRest).Property(u"p", nullptr);
    EXPECT_EQ(cls->Find(u"f"), nullptr);
    EXPECT_EQ(cls->Find(u"p"), nullptr);
    EXPECT_EQ(RefCountChange(), 0);
}

TEST_F(SimpleBinderTest, TheContextBecomesTheThisOfEachStore)
{
    auto* context = new tPKQDispatch;
    BindUtil(true, u"WaveSoundBuffer", nullptr, context).Function(u"f", WithRest);
    ASSERT_NE(cls->Find(u"f"), nullptr);
    EXPECT_EQ(cls->Find(u"f")->ObjThisPtr(), context);
    EXPECT_EQ(CallMember(u"f", 3), 7);
    cls->Erase(u"f");
    EXPECT_EQ(context->Release(), 0u);
}

} // namespace
