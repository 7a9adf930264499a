#include "HostTryBlock.h"

#include "HostFunctions.h"

namespace hostapi {

namespace {

// The common catch function: the host's record lives only inside the host's
// handler, so a copy is thrown.
bool VY_CDECL ThrowCopyOfHostException(void* /*data*/, const tHMRExceptionDesc& desc)
{
    throw tHMRExceptionDesc(desc);
}

// Runs `call()` (one slot call, the record of its object and arguments)
// inside the host's try block and answers the result code it stored.
template <class Call> pkq_int RunInTryBlock(const Call& call)
{
    struct Record {
        const Call* call;
        pkq_int result;
    } record{&call, PKQ_E_FAIL};
    const tHMRTryBlockFunction tryBlock = [](void* data) {
        auto* r = static_cast<Record*>(data);
        r->result = (*r->call)();
    };
    HMRDoTryBlock(tryBlock, &ThrowCopyOfHostException, nullptr, &record);
    return record.result;
}

} // namespace

pkq_int TryCallMember(iPKQDispatch2* object, pkq_uint32 flags, const pkq_char* name,
                      pkq_uint32* hint, tPKQVariant* result, pkq_int count, tPKQVariant** params,
                      iPKQDispatch2* objThis)
{
    return RunInTryBlock(
        [&] { return object->CallMember(flags, name, hint, result, count, params, objThis); });
}

pkq_int TryGetMember(iPKQDispatch2* object, pkq_uint32 flags, const pkq_char* name,
                     pkq_uint32* hint, tPKQVariant* result, iPKQDispatch2* objThis)
{
    return RunInTryBlock([&] { return object->GetMember(flags, name, hint, result, objThis); });
}

pkq_int TryGetMemberByNumber(iPKQDispatch2* object, pkq_uint32 flags, pkq_int number,
                             tPKQVariant* result, iPKQDispatch2* objThis)
{
    return RunInTryBlock([&] { return object->GetMemberByNumber(flags, number, result, objThis); });
}

pkq_int TrySetMember(iPKQDispatch2* object, pkq_uint32 flags, const pkq_char* name,
                     pkq_uint32* hint, const tPKQVariant* value, iPKQDispatch2* objThis)
{
    return RunInTryBlock([&] { return object->SetMember(flags, name, hint, value, objThis); });
}

pkq_int TryCountMembers(iPKQDispatch2* object, pkq_int* result, const pkq_char* name,
                        pkq_uint32* hint, iPKQDispatch2* objThis)
{
    return RunInTryBlock([&] { return object->CountMembers(result, name, hint, objThis); });
}

pkq_int TryRemoveMember(iPKQDispatch2* object, pkq_uint32 flags, const pkq_char* name,
                        pkq_uint32* hint, iPKQDispatch2* objThis)
{
    return RunInTryBlock([&] { return object->RemoveMember(flags, name, hint, objThis); });
}

} // namespace hostapi
