#include "LinkedRuntimeTest.h"

#include <plugin/HostTryBlock.h>
#include <plugin/tPKQDispatch.h>

#include <host/script/FunctionObject.h>
#include <host/script/ScriptException.h>

#include <string>

namespace {

using TryBlockTest = LinkedRuntimeTest;

// Each slot the wrappers reach either answers 40 + its slot number, after
// checking it got the wrapper's arguments, or raises a host exception.
class SlotProbe : public tPKQDispatch {
public:
    pkq_int VY_CDECL CallMember(pkq_uint32 flags, const pkq_char* name, pkq_uint32* hint,
                                tPKQVariant* result, pkq_int count, tPKQVariant** params,
                                iPKQDispatch2* objThis) override
    {
        if (!raise) {
            EXPECT_EQ(count, 2);
            EXPECT_EQ(params, expectedParams);
        }
        return Answer(2, flags, name, hint, result, objThis);
    }
    pkq_int VY_CDECL GetMember(pkq_uint32 flags, const pkq_char* name, pkq_uint32* hint,
                               tPKQVariant* result, iPKQDispatch2* objThis) override
    {
        return Answer(4, flags, name, hint, result, objThis);
    }
    pkq_int VY_CDECL GetMemberByNumber(pkq_uint32 flags, pkq_int number, tPKQVariant* result,
                                       iPKQDispatch2* objThis) override
    {
        if (!raise) {
            EXPECT_EQ(number, 9);
        }
        return Answer(5, flags, u"m", &hintValue, result, objThis);
    }
    pkq_int VY_CDECL SetMember(pkq_uint32 flags, const pkq_char* name, pkq_uint32* hint,
                               const tPKQVariant* value, iPKQDispatch2* objThis) override
    {
        return Answer(6, flags, name, hint, value, objThis);
    }
    pkq_int VY_CDECL CountMembers(pkq_int* result, const pkq_char* name, pkq_uint32* hint,
                                  iPKQDispatch2* objThis) override
    {
        if (!raise)
            *result = 3;
        return Answer(8, 0x77, name, hint, result, objThis);
    }
    pkq_int VY_CDECL RemoveMember(pkq_uint32 flags, const pkq_char* name, pkq_uint32* hint,
                                  iPKQDispatch2* objThis) override
    {
        return Answer(12, flags, name, hint, expectedData, objThis);
    }

    bool raise = false;
    pkq_uint32 hintValue = 0;
    const void* expectedData = nullptr;
    tPKQVariant** expectedParams = nullptr;
    iPKQDispatch2* expectedThis = nullptr;

private:
    static std::u16string Digits(int number)
    {
        const std::string text = std::to_string(number);
        return std::u16string(text.begin(), text.end());
    }

    pkq_int Answer(int slot, pkq_uint32 flags, const pkq_char* name, pkq_uint32* hint,
                   const void* data, iPKQDispatch2* objThis)
    {
        if (raise)
            throw host::ScriptException(u"ScriptError", u"slot " + Digits(slot));
        EXPECT_EQ(flags, 0x77u) << "slot " << slot;
        EXPECT_EQ(std::u16string(name), u"m") << "slot " << slot;
        EXPECT_EQ(hint, &hintValue) << "slot " << slot;
        EXPECT_EQ(data, expectedData) << "slot " << slot;
        EXPECT_EQ(objThis, expectedThis) << "slot " << slot;
        return 40 + slot;
    }
};

TEST_F(TryBlockTest, WrappersCallTheirSlotWithTheCallersArguments)
{
    auto* probe = new SlotProbe;
    auto* other = new tPKQDispatch;
    probe->expectedThis = other;
    tPKQVariant result;
    tPKQVariant* params[2] = {&result, &result};
    probe->expectedParams = params;
    pkq_uint32* hint = &probe->hintValue;

    probe->expectedData = &result;
    EXPECT_EQ(hostapi::TryCallMember(probe, 0x77, u"m", hint, &result, 2, params, other), 42);
    EXPECT_EQ(hostapi::TryGetMember(probe, 0x77, u"m", hint, &result, other), 44);
    EXPECT_EQ(hostapi::TryGetMemberByNumber(probe, 0x77, 9, &result, other), 45);
    EXPECT_EQ(hostapi::TrySetMember(probe, 0x77, u"m", hint, &result, other), 46);
    pkq_int count = 0;
    probe->expectedData = &count;
    EXPECT_EQ(hostapi::TryCountMembers(probe, &count, u"m", hint, other), 48);
    EXPECT_EQ(count, 3);
    probe->expectedData = nullptr;
    EXPECT_EQ(hostapi::TryRemoveMember(probe, 0x77, u"m", hint, other), 52);
    probe->Release();
    other->Release();
}

TEST_F(TryBlockTest, HostExceptionsSurfaceAsThrownCopiesOfTheirRecord)
{
    auto* probe = new SlotProbe;
    probe->raise = true;
    tPKQVariant result;
    pkq_int count = 0;

    auto expectThrown = [](auto call, const std::u16string& message) {
        try {
            call();
            ADD_FAILURE() << "nothing thrown";
        } catch (const tHMRExceptionDesc& desc) {
            // The host's own record is gone by now; this is the copy.
            EXPECT_EQ(std::u16string(desc.type.c_str()), u"ScriptError");
            EXPECT_EQ(std::u16string(desc.message.c_str()), message);
        }
    };
    expectThrown(
        [&] { hostapi::TryCallMember(probe, 0, nullptr, nullptr, &result, 0, nullptr, probe); },
        u"slot 2");
    expectThrown([&] { hostapi::TryGetMember(probe, 0, u"m", nullptr, &result, probe); },
                 u"slot 4");
    expectThrown([&] { hostapi::TryGetMemberByNumber(probe, 0, 9, &result, probe); }, u"slot 5");
    expectThrown([&] { hostapi::TrySetMember(probe, 0, u"m", nullptr, &result, probe); },
                 u"slot 6");
    expectThrown([&] { hostapi::TryCountMembers(probe, &count, u"m", nullptr, probe); }, u"slot 8");
    expectThrown([&] { hostapi::TryRemoveMember(probe, 0, u"m", nullptr, probe); }, u"slot 12");
    probe->Release();

    // A script function that throws, called as a script callback is.
    host::Ref<host::FunctionObject> thrower(host::FunctionObject::Create(
        [](const host::CallArgs&) -> pkq_int { throw host::ScriptException(u"callback failed"); }));
    expectThrown(
        [&] {
            hostapi::TryCallMember(thrower.get(), 0, nullptr, nullptr, &result, 0, nullptr,
                                   nullptr);
        },
        u"callback failed");
}

} // namespace
