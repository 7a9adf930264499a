// tPKQDispatch, the base of the plug-in's script objects: its default
// answers, how the by-number slots, ApplyOperation and the try-block
// wrappers reach the by-name slots, and its reference counting.
#include "LinkedRuntimeTest.h"

#include <plugin/HostTryBlock.h>
#include <plugin/tPKQDispatch.h>

#include <host/script/ScriptException.h>

#include <functional>
#include <map>
#include <string>
#include <tuple>
#include <vector>

namespace {

using DispatchTest = LinkedRuntimeTest;

// Records the last call of its by-name slots and answers 100 + the slot
// number (or what `answers` says), or raises a host exception when told to.
// GetMember reads `value`, a successful SetMember writes it.
class RecordingDispatch : public tPKQDispatch {
public:
    struct Received { // data: the result, value or className
        int slot = -1;
        std::u16string name;
        pkq_uint32 flags = 0;
        pkq_uint32* hint = nullptr;
        const void* data = nullptr;
        pkq_int count = 0;
        tPKQVariant** params = nullptr;
        iPKQDispatch2* objThis = nullptr;
    } got;
    bool raise = false;
    std::map<int, pkq_int> answers;
    tPKQVariant value{static_cast<pkq_int32>(5)};

    pkq_int VY_CDECL CallMember(pkq_uint32 f, const pkq_char* n, pkq_uint32* h, tPKQVariant* r, pkq_int c,
                                tPKQVariant** p, iPKQDispatch2* t) override { return Note({2, n, f, h, r, c, p, t}); }
    pkq_int VY_CDECL GetMember(pkq_uint32 f, const pkq_char* n, pkq_uint32* h, tPKQVariant* r, iPKQDispatch2* t) override
    {
        r->CopyRef(value);
        return Note({4, n, f, h, r, 0, nullptr, t});
    }
    pkq_int VY_CDECL SetMember(pkq_uint32 f, const pkq_char* n, pkq_uint32* h, const tPKQVariant* v,
                               iPKQDispatch2* t) override
    {
        const pkq_int answer = Note({6, n, f, h, v, 0, nullptr, t});
        if (answer >= 0)
            value.CopyRef(*v);
        return answer;
    }
    pkq_int VY_CDECL CountMembers(pkq_int* r, const pkq_char* n, pkq_uint32* h, iPKQDispatch2* t) override
    {
        return Note({8, n, 0, h, r, 0, nullptr, t});
    }
    pkq_int VY_CDECL RemoveMember(pkq_uint32 f, const pkq_char* n, pkq_uint32* h, iPKQDispatch2* t) override
    {
        return Note({12, n, f, h, nullptr, 0, nullptr, t});
    }
    pkq_int VY_CDECL IsInstanceOf(pkq_uint32 f, const pkq_char* n, pkq_uint32* h, const pkq_char* c,
                                  iPKQDispatch2* t) override { return Note({21, n, f, h, c, 0, nullptr, t}); }

private:
    pkq_int Note(const Received& received)
    {
        got = received;
        if (raise)
            throw host::ScriptException(u"ScriptError", u"raised");
        return answers.count(got.slot) ? answers[got.slot] : 100 + got.slot;
    }
};

// CountMembers never answers, the others only when given no name.
TEST_F(DispatchTest, DefaultsAnswerNotHandled)
{
    auto* o = new tPKQDispatch;
    tPKQVariant v;
    pkq_int n = 0;
    iPKQDispatch2* created = nullptr;
    for (const pkq_char* name : {static_cast<const pkq_char*>(u"x"), static_cast<const pkq_char*>(nullptr)}) {
        const std::vector<pkq_int> answers = {
            o->CallMember(0, name, nullptr, &v, 0, nullptr, o),      o->GetMember(0, name, nullptr, &v, o),
            o->SetMember(0, name, nullptr, &v, o),                   o->RemoveMember(0, name, nullptr, o),
            o->CreateNew(0, name, nullptr, &created, 0, nullptr, o), o->Invalidate(0, name, nullptr, o),
            o->IsValid(0, name, nullptr, o),                         o->IsInstanceOf(0, name, nullptr, u"Object", o)};
        EXPECT_EQ(answers, std::vector<pkq_int>(8, name ? PKQ_E_MEMBERNOTFOUND : PKQ_E_NOTIMPL));
    }
    const std::vector<pkq_int> never = {
        o->CountMembers(&n, u"x", nullptr, o), o->CountMembersByNumber(&n, 3, o), o->EnumMembers(0, nullptr, o),
        o->Reserved11(0, o), o->Reserved20(0, o), o->Reserved25(0, o), o->Reserved26(0, o), o->Reserved27(0, o),
        o->Reserved28(0, o)};
    EXPECT_EQ(never, std::vector<pkq_int>(9, PKQ_E_NOTIMPL));
    EXPECT_EQ(o->Release(), 0u);
}

// The by-number slots call their by-name slot with the decimal number and
// no hint; the try-block wrappers call theirs unchanged and turn a host
// exception into a thrown copy of its record.
TEST_F(DispatchTest, ByNumberSlotsAndTryWrappersReachTheirByNameSlot)
{
    auto* o = new RecordingDispatch;
    auto* other = new tPKQDispatch;
    tPKQVariant v;
    tPKQVariant* params[1] = {&v};
    pkq_uint32 h = 0;
    pkq_int n = 0;
    const pkq_char* const className = u"Array";
    using namespace hostapi;
    // The slot reached, with the name, flags, hint and data it was given.
    using Row = std::tuple<int, const char16_t*, pkq_uint32, pkq_uint32*, const void*, bool, std::function<pkq_int()>>;
    const Row rows[] = {
        {2, u"12", 0x10, nullptr, &v, false, [&] { return o->CallMemberByNumber(0x10, 12, &v, 1, params, other); }},
        {4, u"-2147483648", 0x400, nullptr, &v, false, [&] { return o->GetMemberByNumber(0x400, INT32_MIN, &v, other); }},
        {6, u"12", 0x200, nullptr, &v, false, [&] { return o->SetMemberByNumber(0x200, 12, &v, other); }},
        {8, u"12", 0, nullptr, &n, false, [&] { return o->CountMembersByNumber(&n, 12, other); }},
        {12, u"12", 0x20, nullptr, nullptr, false, [&] { return o->RemoveMemberByNumber(0x20, 12, other); }},
        {21, u"12", 0x60, nullptr, className, false, [&] { return o->IsInstanceOfByNumber(0x60, 12, className, other); }},
        {2, u"m", 0x77, &h, &v, true, [&] { return TryCallMember(o, 0x77, u"m", &h, &v, 1, params, other); }},
        {4, u"m", 0x77, &h, &v, true, [&] { return TryGetMember(o, 0x77, u"m", &h, &v, other); }},
        {4, u"9", 0x77, nullptr, &v, true, [&] { return TryGetMemberByNumber(o, 0x77, 9, &v, other); }},
        {6, u"m", 0x77, &h, &v, true, [&] { return TrySetMember(o, 0x77, u"m", &h, &v, other); }},
        {8, u"m", 0, &h, &n, true, [&] { return TryCountMembers(o, &n, u"m", &h, other); }},
        {12, u"m", 0x77, &h, nullptr, true, [&] { return TryRemoveMember(o, 0x77, u"m", &h, other); }},
    };
    for (const auto& [slot, name, flags, hint, data, wrapper, call] : rows) {
        SCOPED_TRACE(testing::Message() << "slot " << slot << (wrapper ? " through its wrapper" : ""));
        o->raise = false;
        EXPECT_EQ(call(), 100 + slot);
        const RecordingDispatch::Received& got = o->got;
        EXPECT_EQ(std::tuple(got.slot, got.name, got.flags, got.hint, got.data, got.objThis),
                  std::tuple(slot, name, flags, hint, data, other));
        EXPECT_EQ(std::tuple(got.count, got.params), std::tuple(slot == 2 ? 1 : 0, slot == 2 ? params : nullptr));
        o->raise = true;
        if (wrapper) {
            try {
                call();
                ADD_FAILURE() << "nothing thrown";
            } catch (const tHMRExceptionDesc& desc) { // a copy: the host's own record is gone by now
                EXPECT_EQ(std::u16string(desc.type.c_str()) + u" " + desc.message.c_str(), u"ScriptError raised");
            }
        }
    }
    o->Release();
    other->Release();
}

// The operation is the low five bits of the flags, codes 1 to 16, of which
// 15 (increment) and 16 (decrement) need no operand; the member is read and
// written with flags 0 and the caller's hint and this.
TEST_F(DispatchTest, ApplyOperationReadsAppliesAndWritesBackOrRefuses)
{
    const tPKQVariant three(static_cast<pkq_int32>(3));
    constexpr pkq_int kVoid = -99;
    // Flags, operand, the slot that fails; the answer, the member's value and the result after.
    const std::tuple<pkq_uint32, const tPKQVariant*, int, pkq_int, pkq_int, pkq_int> rows[] = {
        {15, nullptr, 0, PKQ_S_OK, 6, 6},
        {16, nullptr, 0, PKQ_S_OK, 4, 4},
        {0x1000 | 5, &three, 0, PKQ_S_OK, 8, 8}, // add
        {1, nullptr, 0, PKQ_E_INVALIDPARAM, 5, kVoid},
        {14, nullptr, 0, PKQ_E_INVALIDPARAM, 5, kVoid},
        {0, &three, 0, PKQ_E_INVALIDPARAM, 5, kVoid},
        {17, &three, 0, PKQ_E_INVALIDPARAM, 5, kVoid},
        {31, nullptr, 0, PKQ_E_INVALIDPARAM, 5, kVoid},
        {15, nullptr, 4, PKQ_E_ACCESSDENYED, 5, kVoid},
        {15, nullptr, 6, PKQ_E_ACCESSDENYED, 5, kVoid},
    };
    auto* other = new tPKQDispatch;
    pkq_uint32 hint = 0;
    for (const auto& [flags, operand, failingSlot, answer, value, expectedResult] : rows) {
        SCOPED_TRACE(testing::Message() << "flags " << flags << ", failing slot " << failingSlot);
        auto* o = new RecordingDispatch;
        o->answers = {{4, 0}, {6, 0}};
        o->answers[failingSlot] = PKQ_E_ACCESSDENYED;
        tPKQVariant result;
        EXPECT_EQ(o->ApplyOperation(flags, u"member", &hint, &result, operand, other), answer);
        EXPECT_EQ(o->value.AsInteger(), value);
        EXPECT_EQ(result.Type() == pvtVoid ? kVoid : result.AsInteger(), expectedResult);
        const RecordingDispatch::Received& got = o->got;
        if (answer == PKQ_E_INVALIDPARAM)
            EXPECT_EQ(got.slot, -1) << "a refused request touches nothing";
        else
            EXPECT_EQ(std::tuple(got.slot, got.name, got.flags, got.hint, got.objThis),
                      std::tuple(failingSlot == 4 ? 4 : 6, std::u16string(u"member"), 0u, &hint, other));
        o->Release();
    }
    other->Release();
}

// Destruction is announced once through BeforeDestruction, which may keep
// the object alive by taking references.
TEST_F(DispatchTest, TheLastReleaseAnnouncesDestructionOnceAndDestroysUnlessReferencesWereTaken)
{
    struct Lifetime : tPKQDispatch {
        int takes = 0, announced = 0;
        bool* destroyed = nullptr;
        ~Lifetime() override { *destroyed = true; }
        void BeforeDestruction() override
        {
            for (++announced; takes > 0; --takes)
                AddRef();
        }
    };
    for (int takes : {0, 1, 2}) {
        SCOPED_TRACE(testing::Message() << takes << " references taken in BeforeDestruction");
        bool destroyed = false;
        auto* object = new Lifetime;
        object->takes = takes;
        object->destroyed = &destroyed;
        EXPECT_EQ(RefCountChange(), 1) << "construction counts as one reference";
        for (int left = takes; left >= 0; --left) {
            EXPECT_EQ(object->announced, left < takes ? 1 : 0);
            EXPECT_EQ(object->Release(), static_cast<pkq_uint32>(left));
            EXPECT_EQ(RefCountChange(), left);
            EXPECT_EQ(destroyed, left == 0);
        }
    }
}

} // namespace
