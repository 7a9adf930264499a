#include "tPKQDispatch.h"

#include "HostFunctions.h"
#include "ProcessState.h"

MemberNumberText::MemberNumberText(pkq_int number)
{
    hostapi::PKQ_int_to_str(number, text);
}

tPKQDispatch::tPKQDispatch()
{
    ++TheProcessState().dispatchRefCount;
}

tPKQDispatch::~tPKQDispatch()
{
    invalidated = true;
}

void tPKQDispatch::BeforeDestruction() {}

pkq_uint32 tPKQDispatch::AddRef()
{
    ++TheProcessState().dispatchRefCount;
    return static_cast<pkq_uint32>(++refCount);
}

pkq_uint32 tPKQDispatch::Release()
{
    --TheProcessState().dispatchRefCount;
    if (refCount != 1)
        return static_cast<pkq_uint32>(--refCount);
    if (!invalidated) {
        invalidated = true;
        BeforeDestruction();
    }
    if (refCount == 1) {
        delete this;
        return 0;
    }
    // BeforeDestruction took a reference: the object lives on with it.
    return static_cast<pkq_uint32>(--refCount);
}

pkq_int tPKQDispatch::ApplyOperation(pkq_uint32 flags, const pkq_char* name, pkq_uint32* hint,
                                     tPKQVariant* result, const tPKQVariant* operand,
                                     iPKQDispatch2* objThis)
{
    const pkq_int code = CheckedOperationCode(flags, operand);
    if (code == 0)
        return PKQ_E_INVALIDPARAM;
    tPKQVariant value;
    pkq_int answer = GetMember(0, name, hint, &value, objThis);
    if (answer < 0)
        return answer;
    hostapi::PKQDoVariantOperation(code, value, operand);
    answer = SetMember(0, name, hint, &value, objThis);
    if (answer < 0)
        return answer;
    if (result)
        result->CopyRef(value);
    return PKQ_S_OK;
}
