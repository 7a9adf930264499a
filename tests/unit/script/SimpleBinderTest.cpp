// The binder that puts the plug-in's native functions and read-only
// properties into host objects as stores, against the reference runtime.
// (Binding and unbinding the script members is checked through V2Link.)
#include "plugin/LinkedRuntimeTest.h"

#include <script/SimpleBinder.h>

#include <host/script/Script.h>

#include <string>
#include <tuple>
#include <vector>

namespace {

using namespace SimpleBinder::Detail;
using Journal = std::vector<std::u16string>;

// The arguments the natives below were last called with: "a b c | rest...".
std::string called;

std::string Text(const tPKQVariant* v)
{
    return v ? std::to_string(v->AsInteger()) : "null";
}

int WithRest(tPKQVariant* result, tPKQVariant* a, tPKQVariant* b, tPKQVariant* c, int restCount, tPKQVariant** rest)
{
    called = Text(a) + " " + Text(b) + " " + Text(c) + " |";
    for (int i = 0; i < restCount; ++i)
        called += " " + Text(rest[i]);
    if (result)
        *result = static_cast<pkq_int32>(99);
    return 7;
}

int OfTwo(tPKQVariant*, tPKQVariant* a, tPKQVariant* b)
{
    called = Text(a) + " " + Text(b);
    return 3;
}

int Getter(tPKQVariant* result)
{
    *result = static_cast<pkq_int32>(123);
    return 0;
}

// A callback that writes its name into a journal when it is destroyed.
template <class Interface> struct Probe : Interface {
    Probe(Journal& journal, const char16_t* name) : journal(journal), name(name) {}
    ~Probe() override { journal.push_back(name); }
    pkq_int Call(pkq_uint32, tPKQVariant*, pkq_int, tPKQVariant**, iPKQDispatch2*) { return 0; }
    pkq_int Get(pkq_uint32, tPKQVariant*, iPKQDispatch2*) { return 0; }
    pkq_int Set(pkq_uint32, const tPKQVariant*, iPKQDispatch2*) { return 0; }
    Journal& journal;
    const char16_t* name;
};

class SimpleBinderTest : public LinkedRuntimeTest {
protected:
    host::DictionaryObject* const cls = runtime.WaveSoundBufferClass();
    const host::Script script{runtime};
};

// Empty segments are skipped; a given root needs no global object.
TEST_F(SimpleBinderTest, FindObjectWalksDottedPathsFromTheGlobalObjectOrARoot)
{
    host::Ref<host::DictionaryObject> inner(host::DictionaryObject::Create(host::DictionaryObject::Kind::Dictionary));
    cls->Put(u"inner", host::Variant::Object(inner.get()));
    cls->Put(u"number", host::Variant(5));
    const std::tuple<const pkq_char*, iPKQDispatch2*, iPKQDispatch2*> rows[] = {
        {u"WaveSoundBuffer", nullptr, cls}, {u"..WaveSoundBuffer..inner.", nullptr, inner.get()}, {u"", cls, cls},
        {u"WaveSoundBuffer.number", nullptr, nullptr}, {u"WaveSoundBuffer.missing", nullptr, nullptr}, {nullptr, cls, nullptr}};
    for (const auto& [path, root, expected] : rows)
        EXPECT_EQ(FindObject(path, root), expected) << (path ? host::Variant(path).AsUtf8() : "null");
    runtime.SetGlobalAvailable(false);
    EXPECT_EQ(std::tuple(FindObject(u"WaveSoundBuffer", nullptr), FindObject(u"inner", cls)), std::tuple(nullptr, inner.get()));
}

// A function with rest gets three arguments and the list of the others, a
// function of two its two; fewer arguments than that call nothing.
TEST_F(SimpleBinderTest, BoundFunctionsGetTheirArgumentsOrRefuseTooFew)
{
    ASSERT_TRUE(BindUtil(true, u"WaveSoundBuffer").Function(u"withRest", WithRest).Function(u"two", OfTwo).Succeeded());
    const std::tuple<const char16_t*, host::Args, pkq_int, std::string> rows[] = {
        {u"withRest", {0, 1}, PKQ_E_BADPARAMCOUNT, ""}, {u"withRest", {0, 1, 2, 3, 4}, 7, "0 1 2 | 3 4"},
        {u"withRest", {0, 1, 2}, 7, "0 1 2 |"},        {u"two", {0}, PKQ_E_BADPARAMCOUNT, ""},
        {u"two", {0, 1, 2, 3}, 3, "0 1"}};
    for (const auto& [name, args, answer, arguments] : rows) {
        called.clear();
        const host::CallResult result = script.Call(name, args);
        EXPECT_EQ(std::tuple(result.code, called), std::tuple(answer, arguments)) << args.size() << " arguments";
        EXPECT_EQ(result.value.IsVoid() ? 0 : result.value.AsInteger(), answer == 7 ? 99 : 0);
    }
    EXPECT_EQ(cls->Find(u"two")->ObjectPtr()->CallMember(0, nullptr, nullptr, nullptr, 2, nullptr, cls),
              PKQ_E_BADPARAMCOUNT)
        << "without an argument array there are no arguments";
}

// A store answers calls on itself only, is an instance of its own class and
// of Object, and a bound property refuses writes.
TEST_F(SimpleBinderTest, StoresAnswerOnlyForThemselvesAndPropertiesAreReadOnly)
{
    BindUtil(true, u"WaveSoundBuffer").Function(u"f", WithRest).Property(u"p", Getter);
    called.clear();
    const host::ScriptObject f(*cls->Find(u"f"));
    const host::ScriptObject p(*cls->Find(u"p"));
    const std::pair<pkq_int, pkq_int> answers[] = {
        {f.IsInstanceOf(u"fUNCTION"), PKQ_S_TRUE},       {f.IsInstanceOf(u"object"), PKQ_S_TRUE},
        {p.IsInstanceOf(u"PROPERTY"), PKQ_S_TRUE},       {f.IsInstanceOf(u"Property"), PKQ_S_FALSE},
        {p.IsInstanceOf(u"Function"), PKQ_S_FALSE},      {f.Object()->IsInstanceOf(0, nullptr, nullptr, nullptr, nullptr), PKQ_S_FALSE},
        {f.Object()->IsInstanceOf(0, u"x", nullptr, u"Function", nullptr), PKQ_E_MEMBERNOTFOUND},
        {f.Call(u"x", {0, 1, 2}).code, PKQ_E_MEMBERNOTFOUND}, {p.Get(u"x").code, PKQ_E_MEMBERNOTFOUND},
        {p.Set(u"x", 1), PKQ_E_MEMBERNOTFOUND},          {script.Set(u"p", 5), PKQ_E_ACCESSDENYED}};
    for (std::size_t i = 0; i < std::size(answers); ++i)
        EXPECT_EQ(answers[i].first, answers[i].second) << "answer " << i;
    EXPECT_TRUE(called.empty()) << "nothing was called";
    EXPECT_EQ(script.Get(u"p").value.AsInteger(), 123);
}

// Stores are set over the member, also over a property object the host
// holds there (not through it); a missing member fails an unbinding pass,
// whose later steps still run. Without a target a pass binds nothing.
TEST_F(SimpleBinderTest, BindingReplacesAMemberAndUnbindingRemovesIt)
{
    host::Ref<host::PropertyObject> hostProperty(host::PropertyObject::Create([] { return host::Variant(1); }));
    cls->Put(u"p", host::Variant::Object(hostProperty.get()));
    BindUtil(true, u"WaveSoundBuffer").Function(u"f", WithRest).Property(u"g", Getter);
    EXPECT_TRUE(BindUtil(true, u"WaveSoundBuffer").Function(u"f", OfTwo).Function(u"g", OfTwo).Function(u"p", OfTwo).Succeeded());
    EXPECT_EQ(RefCountChange(), 3) << "the replaced stores are gone";
    for (const char16_t* name : {u"f", u"g", u"p"})
        EXPECT_EQ(script.Call(name, {0, 1, 2}).code, 3);
    EXPECT_EQ(hostProperty->Writes(), 0);

    BindUtil pass(false, u"WaveSoundBuffer");
    EXPECT_FALSE(pass.Function(u"missing", WithRest).Function(u"f", OfTwo).Function(u"g", OfTwo).Property(u"p", Getter).Succeeded());
    EXPECT_EQ(std::tuple(cls->Find(u"f"), cls->Find(u"g"), cls->Find(u"p")), std::tuple(nullptr, nullptr, nullptr));
    EXPECT_EQ(RefCountChange(), 0);
    EXPECT_TRUE(BindUtil(true, u"NoSuchClass").Function(u"f", WithRest).Property(u"p", Getter).Succeeded());
}

// A store owns its callbacks; a link that fails destroys the store.
TEST_F(SimpleBinderTest, StoresGoWithTheirMemberOrWithAFailedLink)
{
    Journal journal;
    auto* const refuses = new tPKQDispatch; // answers SetMember with PKQ_E_MEMBERNOTFOUND
    const std::int32_t before = TheProcessState().dispatchRefCount;
    const auto function = [&](const char16_t* name) { return new FunctionStore(new Probe<FunctionInterface>(journal, name)); };
    ASSERT_TRUE(StoreUtil::LinkStore(cls, u"f", function(u"function"), nullptr));
    ASSERT_TRUE(StoreUtil::LinkStore(cls, u"p", new PropertyStore(new Probe<SetterInterface>(journal, u"setter"),
                                                                  new Probe<GetterInterface>(journal, u"getter")), nullptr));
    EXPECT_EQ(RefCountChange(before), 2) << "the host members hold the only references";
    EXPECT_TRUE(StoreUtil::UnlinkStore(cls, u"f"));
    EXPECT_FALSE(StoreUtil::UnlinkStore(cls, u"f"));
    cls->Erase(u"p");
    EXPECT_FALSE(StoreUtil::LinkStore(cls, nullptr, function(u"no name"), nullptr));
    EXPECT_FALSE(StoreUtil::LinkStore(refuses, u"x", function(u"refused"), nullptr));
    EXPECT_FALSE(StoreUtil::LinkStore(cls, u"x", nullptr, nullptr));
    EXPECT_EQ(journal, (Journal{u"function", u"setter", u"getter", u"no name", u"refused"}));
    EXPECT_EQ(RefCountChange(before), 0);
    refuses->Release();
}

} // namespace
