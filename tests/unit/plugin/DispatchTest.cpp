#include "LinkedRuntimeTest.h"

#include <plugin/tPKQDispatch.h>

#include <host/script/Variant.h>

#include <optional>
#include <string>

namespace {

using DispatchTest = LinkedRuntimeTest;

// Records what its by-name slots receive and answers a code of its own per
// slot, so that a by-number call shows where it arrived and with what.
class RecordingDispatch : public tPKQDispatch {
public:
    struct Received {
        int slot = -1;
        std::optional<std::u16string> name;
        pkq_uint32* hint = reinterpret_cast<pkq_uint32*>(1);
        pkq_uint32 flags = 0;
        const void* data = nullptr; // result, value or className
        pkq_int count = 0;
        const void* params = nullptr;
        const void* operand = nullptr;
        iPKQDispatch2* objThis = nullptr;
    };

    pkq_int VY_CDECL CallMember(pkq_uint32 flags, const pkq_char* name, pkq_uint32* hint,
                                tPKQVariant* result, pkq_int count, tPKQVariant** params,
                                iPKQDispatch2* objThis) override
    {
        return Note(2, flags, name, hint, result, objThis, count, params);
    }
    pkq_int VY_CDECL GetMember(pkq_uint32 flags, const pkq_char* name, pkq_uint32* hint,
                               tPKQVariant* result, iPKQDispatch2* objThis) override
    {
        return Note(4, flags, name, hint, result, objThis);
    }
    pkq_int VY_CDECL SetMember(pkq_uint32 flags, const pkq_char* name, pkq_uint32* hint,
                               const tPKQVariant* value, iPKQDispatch2* objThis) override
    {
        return Note(6, flags, name, hint, value, objThis);
    }
    pkq_int VY_CDECL CountMembers(pkq_int* result, const pkq_char* name, pkq_uint32* hint,
                                  iPKQDispatch2* objThis) override
    {
        return Note(8, 0, name, hint, result, objThis);
    }
    pkq_int VY_CDECL RemoveMember(pkq_uint32 flags, const pkq_char* name, pkq_uint32* hint,
                                  iPKQDispatch2* objThis) override
    {
        return Note(12, flags, name, hint, nullptr, objThis);
    }
    pkq_int VY_CDECL CreateNew(pkq_uint32 flags, const pkq_char* name, pkq_uint32* hint,
                               iPKQDispatch2** result, pkq_int count, tPKQVariant** params,
                               iPKQDispatch2* objThis) override
    {
        return Note(14, flags, name, hint, result, objThis, count, params);
    }
    pkq_int VY_CDECL Invalidate(pkq_uint32 flags, const pkq_char* name, pkq_uint32* hint,
                                iPKQDispatch2* objThis) override
    {
        return Note(16, flags, name, hint, nullptr, objThis);
    }
    pkq_int VY_CDECL IsValid(pkq_uint32 flags, const pkq_char* name, pkq_uint32* hint,
                             iPKQDispatch2* objThis) override
    {
        return Note(18, flags, name, hint, nullptr, objThis);
    }
    pkq_int VY_CDECL IsInstanceOf(pkq_uint32 flags, const pkq_char* name, pkq_uint32* hint,
                                  const pkq_char* className, iPKQDispatch2* objThis) override
    {
        return Note(21, flags, name, hint, className, objThis);
    }
    pkq_int VY_CDECL ApplyOperation(pkq_uint32 flags, const pkq_char* name, pkq_uint32* hint,
                                    tPKQVariant* result, const tPKQVariant* operand,
                                    iPKQDispatch2* objThis) override
    {
        received.operand = operand;
        return Note(23, flags, name, hint, result, objThis);
    }

    Received received;

private:
    pkq_int Note(int slot, pkq_uint32 flags, const pkq_char* name, pkq_uint32* hint,
                 const void* data, iPKQDispatch2* objThis, pkq_int count = 0,
                 const void* params = nullptr)
    {
        received.slot = slot;
        received.flags = flags;
        received.name = name ? std::optional<std::u16string>(name) : std::nullopt;
        received.hint = hint;
        received.data = data;
        received.objThis = objThis;
        received.count = count;
        received.params = params;
        return 100 + slot;
    }
};

// Counts its BeforeDestruction calls, optionally re-referencing itself
// there, and reports its destruction.
class LifetimeDispatch : public tPKQDispatch {
public:
    LifetimeDispatch(bool* destroyedFlag, int referencesToTake)
        : destroyed(destroyedFlag), takes(referencesToTake)
    {
    }
    ~LifetimeDispatch() override { *destroyed = true; }

    void BeforeDestruction() override
    {
        ++beforeDestructionCalls;
        for (int i = 0; i < takes; ++i)
            AddRef();
    }

    bool Invalidated() const { return IsInvalidated(); }
    pkq_int32 References() const { return RefCount(); }

    int beforeDestructionCalls = 0;

private:
    bool* destroyed;
    int takes;
};

// One member, `value`, read and written through GetMember / SetMember.
class OneMemberDispatch : public tPKQDispatch {
public:
    explicit OneMemberDispatch(pkq_int32 initial) : value(initial) {}

    pkq_int VY_CDECL GetMember(pkq_uint32 flags, const pkq_char* name, pkq_uint32* hint,
                               tPKQVariant* result, iPKQDispatch2* objThis) override
    {
        ++reads;
        EXPECT_EQ(flags, 0u);
        Check(name, hint, objThis);
        if (getAnswer >= 0)
            result->CopyRef(value);
        return getAnswer;
    }
    pkq_int VY_CDECL SetMember(pkq_uint32 flags, const pkq_char* name, pkq_uint32* hint,
                               const tPKQVariant* written, iPKQDispatch2* objThis) override
    {
        ++writes;
        EXPECT_EQ(flags, 0u);
        Check(name, hint, objThis);
        if (setAnswer >= 0)
            value.CopyRef(*written);
        return setAnswer;
    }

    tPKQVariant value;
    pkq_int getAnswer = 0;
    pkq_int setAnswer = 0;
    int reads = 0;
    int writes = 0;
    pkq_uint32 expectedHint = 0;

private:
    void Check(const pkq_char* name, pkq_uint32* hint, iPKQDispatch2* objThis)
    {
        EXPECT_EQ(std::u16string(name), u"member");
        EXPECT_EQ(hint, &expectedHint);
        EXPECT_EQ(objThis, this);
    }
};

TEST_F(DispatchTest, DefaultsAnswerNotHandled)
{
    auto* object = new tPKQDispatch;
    tPKQVariant result;
    pkq_int count = 0;
    iPKQDispatch2* created = nullptr;
    for (const pkq_char* name :
         {static_cast<const pkq_char*>(u"x"), static_cast<const pkq_char*>(nullptr)}) {
        const pkq_int byName = name ? PKQ_E_MEMBERNOTFOUND : PKQ_E_NOTIMPL;
        EXPECT_EQ(object->CallMember(0, name, nullptr, &result, 0, nullptr, object), byName);
        EXPECT_EQ(object->GetMember(0, name, nullptr, &result, object), byName);
        EXPECT_EQ(object->SetMember(0, name, nullptr, &result, object), byName);
        EXPECT_EQ(object->RemoveMember(0, name, nullptr, object), byName);
        EXPECT_EQ(object->CreateNew(0, name, nullptr, &created, 0, nullptr, object), byName);
        EXPECT_EQ(object->Invalidate(0, name, nullptr, object), byName);
        EXPECT_EQ(object->IsValid(0, name, nullptr, object), byName);
        EXPECT_EQ(object->IsInstanceOf(0, name, nullptr, u"Object", object), byName);
        // CountMembers answers "not handled" whether or not a name is given.
        EXPECT_EQ(object->CountMembers(&count, name, nullptr, object), PKQ_E_NOTIMPL);
    }
    // By number, the member always has a name: its number.
    EXPECT_EQ(object->GetMemberByNumber(0, 3, &result, object), PKQ_E_MEMBERNOTFOUND);
    EXPECT_EQ(object->CountMembersByNumber(&count, 3, object), PKQ_E_NOTIMPL);
    EXPECT_EQ(object->EnumMembers(0, nullptr, object), PKQ_E_NOTIMPL);
    EXPECT_EQ(object->Reserved11(0, object), PKQ_E_NOTIMPL);
    EXPECT_EQ(object->Reserved20(0, object), PKQ_E_NOTIMPL);
    EXPECT_EQ(object->Reserved25(0, object), PKQ_E_NOTIMPL);
    EXPECT_EQ(object->Reserved28(0, object), PKQ_E_NOTIMPL);
    EXPECT_EQ(object->Release(), 0u);
}

TEST_F(DispatchTest, ByNumberSlotsForwardTheDecimalNumberWithoutHint)
{
    auto* object = new RecordingDispatch;
    const RecordingDispatch::Received& got = object->received;
    tPKQVariant result;
    tPKQVariant* params[1] = {&result};
    pkq_int count = 0;
    iPKQDispatch2* created = nullptr;
    iPKQDispatch2* const self = object;

    auto expectForwarded = [&](pkq_int answer, int slot, const std::u16string& name) {
        EXPECT_EQ(answer, 100 + slot) << "slot " << slot;
        EXPECT_EQ(got.slot, slot);
        EXPECT_EQ(got.name, name) << "slot " << slot;
        EXPECT_EQ(got.hint, nullptr) << "slot " << slot;
        EXPECT_EQ(got.objThis, self) << "slot " << slot;
    };

    expectForwarded(object->CallMemberByNumber(0x10, 12, &result, 1, params, self), 2, u"12");
    EXPECT_EQ(got.flags, 0x10u);
    EXPECT_EQ(got.data, &result);
    EXPECT_EQ(got.count, 1);
    EXPECT_EQ(got.params, params);
    expectForwarded(object->GetMemberByNumber(0x400, 12, &result, self), 4, u"12");
    EXPECT_EQ(got.flags, 0x400u);
    EXPECT_EQ(got.data, &result);
    expectForwarded(object->SetMemberByNumber(0x200, 12, &result, self), 6, u"12");
    EXPECT_EQ(got.flags, 0x200u);
    EXPECT_EQ(got.data, &result);
    expectForwarded(object->CountMembersByNumber(&count, 12, self), 8, u"12");
    EXPECT_EQ(got.data, &count);
    expectForwarded(object->RemoveMemberByNumber(0x400, 12, self), 12, u"12");
    EXPECT_EQ(got.flags, 0x400u);
    expectForwarded(object->CreateNewByNumber(0, 12, &created, 1, params, self), 14, u"12");
    EXPECT_EQ(got.data, &created);
    expectForwarded(object->InvalidateByNumber(0, 12, self), 16, u"12");
    expectForwarded(object->IsValidByNumber(0, 12, self), 18, u"12");
    expectForwarded(object->IsInstanceOfByNumber(0, 12, u"Array", self), 21, u"12");
    EXPECT_EQ(std::u16string(static_cast<const pkq_char*>(got.data)), u"Array");
    expectForwarded(object->ApplyOperationByNumber(15, 12, &result, nullptr, self), 23, u"12");
    EXPECT_EQ(got.flags, 15u);
    EXPECT_EQ(got.data, &result);

    // Zero, negative and extreme numbers keep their sign and digits.
    expectForwarded(object->GetMemberByNumber(0, 0, &result, self), 4, u"0");
    expectForwarded(object->GetMemberByNumber(0, -7, &result, self), 4, u"-7");
    expectForwarded(object->GetMemberByNumber(0, INT32_MIN, &result, self), 4, u"-2147483648");
    object->Release();
}

TEST_F(DispatchTest, ReferenceCountsFollowAddRefAndRelease)
{
    bool destroyed = false;
    auto* object = new LifetimeDispatch(&destroyed, 0);
    EXPECT_EQ(RefCountChange(), 1) << "construction counts as one reference";
    EXPECT_EQ(object->AddRef(), 2u);
    EXPECT_EQ(object->AddRef(), 3u);
    EXPECT_EQ(RefCountChange(), 3);
    EXPECT_EQ(object->Release(), 2u);
    EXPECT_EQ(object->Release(), 1u);
    EXPECT_EQ(RefCountChange(), 1) << "the reference from construction is still out";
    EXPECT_FALSE(destroyed);
    EXPECT_EQ(object->beforeDestructionCalls, 0);
    EXPECT_EQ(object->Release(), 0u);
    EXPECT_TRUE(destroyed);
    EXPECT_EQ(RefCountChange(), 0);
}

TEST_F(DispatchTest, ReferenceTakenInBeforeDestructionKeepsTheObject)
{
    bool destroyed = false;
    auto* object = new LifetimeDispatch(&destroyed, 1);
    EXPECT_EQ(object->Release(), 1u);
    EXPECT_FALSE(destroyed);
    EXPECT_EQ(object->beforeDestructionCalls, 1);
    EXPECT_TRUE(object->Invalidated());
    EXPECT_EQ(object->References(), 1);
    EXPECT_EQ(RefCountChange(), 1) << "the reference BeforeDestruction took is outstanding";

    // The next last release destroys it without a second BeforeDestruction.
    EXPECT_EQ(object->AddRef(), 2u);
    EXPECT_EQ(object->Release(), 1u);
    EXPECT_EQ(object->beforeDestructionCalls, 1);
    EXPECT_EQ(object->Release(), 0u);
    EXPECT_TRUE(destroyed);
    EXPECT_EQ(RefCountChange(), 0);

    destroyed = false;
    auto* twice = new LifetimeDispatch(&destroyed, 2);
    EXPECT_EQ(twice->Release(), 2u);
    EXPECT_EQ(twice->Release(), 1u);
    EXPECT_EQ(twice->beforeDestructionCalls, 1);
    EXPECT_EQ(twice->Release(), 0u);
    EXPECT_TRUE(destroyed);
    EXPECT_EQ(RefCountChange(), 0);
}

TEST_F(DispatchTest, ApplyOperationReadsAppliesAndWritesBack)
{
    auto* object = new OneMemberDispatch(5);
    tPKQVariant result;
    const tPKQVariant three(3);

    // Increment and decrement need no operand.
    EXPECT_EQ(
        object->ApplyOperation(15, u"member", &object->expectedHint, &result, nullptr, object), 0);
    EXPECT_EQ(object->value.AsInteger(), 6);
    EXPECT_EQ(result.AsInteger(), 6);
    EXPECT_EQ(
        object->ApplyOperation(16, u"member", &object->expectedHint, nullptr, nullptr, object), 0);
    EXPECT_EQ(object->value.AsInteger(), 5);

    // Only the low five bits name the operation (5: add).
    EXPECT_EQ(object->ApplyOperation(0x1000 | 5, u"member", &object->expectedHint, &result, &three,
                                     object),
              0);
    EXPECT_EQ(object->value.AsInteger(), 8);
    EXPECT_EQ(result.AsInteger(), 8);
    EXPECT_EQ(object->reads, 3);
    EXPECT_EQ(object->writes, 3);
    object->Release();
}

TEST_F(DispatchTest, ApplyOperationRefusesBadRequestsAndPassesFailuresOn)
{
    auto* object = new OneMemberDispatch(5);
    pkq_uint32* hint = &object->expectedHint;
    tPKQVariant result;
    const tPKQVariant one(1);

    EXPECT_EQ(object->ApplyOperation(1, u"member", hint, &result, nullptr, object),
              PKQ_E_INVALIDPARAM)
        << "code 1 needs an operand";
    EXPECT_EQ(object->ApplyOperation(0, u"member", hint, &result, &one, object),
              PKQ_E_INVALIDPARAM);
    EXPECT_EQ(object->ApplyOperation(17, u"member", hint, &result, &one, object),
              PKQ_E_INVALIDPARAM);
    EXPECT_EQ(object->ApplyOperation(31, u"member", hint, &result, nullptr, object),
              PKQ_E_INVALIDPARAM);
    EXPECT_EQ(object->reads, 0) << "a refused request touches nothing";

    object->getAnswer = PKQ_E_MEMBERNOTFOUND;
    EXPECT_EQ(object->ApplyOperation(15, u"member", hint, &result, nullptr, object),
              PKQ_E_MEMBERNOTFOUND);
    EXPECT_EQ(object->writes, 0);

    object->getAnswer = 0;
    object->setAnswer = PKQ_E_ACCESSDENYED;
    EXPECT_EQ(object->ApplyOperation(15, u"member", hint, &result, nullptr, object),
              PKQ_E_ACCESSDENYED);
    EXPECT_EQ(result.Type(), pvtVoid) << "the result is set only after a successful write";
    EXPECT_EQ(object->value.AsInteger(), 5);
    object->Release();
}

} // namespace
