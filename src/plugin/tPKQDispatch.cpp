#include "tPKQDispatch.h"

#include "HostFunctions.h"
#include "ProcessState.h"

namespace {

// Room for the decimal text of any 32-bit number and its terminator.
constexpr int kNumberTextLength = 16;

pkq_int ByNameDefault(const pkq_char* name)
{
    return name ? PKQ_E_MEMBERNOTFOUND : PKQ_E_NOTIMPL;
}

// The by-number slots name their member by its decimal text.
class NumberName {
public:
    explicit NumberName(pkq_int number) { hostapi::PKQ_int_to_str(number, text); }
    const pkq_char* Text() const { return text; }

private:
    pkq_char text[kNumberTextLength] = {};
};

// ApplyOperation's code is the low five bits of its flags; codes run from 1
// to 16, and the last two (increment, decrement) take no operand.
constexpr pkq_uint32 kOperationCodeMask = 0x1F;
constexpr pkq_uint32 kLastOperationCode = 16;

bool TakesNoOperand(pkq_uint32 code)
{
    return code == 15 || code == 16;
}

} // namespace

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

pkq_int tPKQDispatch::CallMember(pkq_uint32, const pkq_char* name, pkq_uint32*, tPKQVariant*,
                                 pkq_int, tPKQVariant**, iPKQDispatch2*)
{
    return ByNameDefault(name);
}

pkq_int tPKQDispatch::CallMemberByNumber(pkq_uint32 flags, pkq_int number, tPKQVariant* result,
                                         pkq_int count, tPKQVariant** params,
                                         iPKQDispatch2* objThis)
{
    const NumberName name(number);
    return CallMember(flags, name.Text(), nullptr, result, count, params, objThis);
}

pkq_int tPKQDispatch::GetMember(pkq_uint32, const pkq_char* name, pkq_uint32*, tPKQVariant*,
                                iPKQDispatch2*)
{
    return ByNameDefault(name);
}

pkq_int tPKQDispatch::GetMemberByNumber(pkq_uint32 flags, pkq_int number, tPKQVariant* result,
                                        iPKQDispatch2* objThis)
{
    const NumberName name(number);
    return GetMember(flags, name.Text(), nullptr, result, objThis);
}

pkq_int tPKQDispatch::SetMember(pkq_uint32, const pkq_char* name, pkq_uint32*, const tPKQVariant*,
                                iPKQDispatch2*)
{
    return ByNameDefault(name);
}

pkq_int tPKQDispatch::SetMemberByNumber(pkq_uint32 flags, pkq_int number, const tPKQVariant* value,
                                        iPKQDispatch2* objThis)
{
    const NumberName name(number);
    return SetMember(flags, name.Text(), nullptr, value, objThis);
}

pkq_int tPKQDispatch::CountMembers(pkq_int*, const pkq_char*, pkq_uint32*, iPKQDispatch2*)
{
    return PKQ_E_NOTIMPL;
}

pkq_int tPKQDispatch::CountMembersByNumber(pkq_int* result, pkq_int number, iPKQDispatch2* objThis)
{
    const NumberName name(number);
    return CountMembers(result, name.Text(), nullptr, objThis);
}

pkq_int tPKQDispatch::EnumMembers(pkq_uint32, tPKQVariantClosure*, iPKQDispatch2*)
{
    return PKQ_E_NOTIMPL;
}

pkq_int tPKQDispatch::Reserved11(pkq_uint32, iPKQDispatch2*)
{
    return PKQ_E_NOTIMPL;
}

pkq_int tPKQDispatch::RemoveMember(pkq_uint32, const pkq_char* name, pkq_uint32*, iPKQDispatch2*)
{
    return ByNameDefault(name);
}

pkq_int tPKQDispatch::RemoveMemberByNumber(pkq_uint32 flags, pkq_int number, iPKQDispatch2* objThis)
{
    const NumberName name(number);
    return RemoveMember(flags, name.Text(), nullptr, objThis);
}

pkq_int tPKQDispatch::CreateNew(pkq_uint32, const pkq_char* name, pkq_uint32*, iPKQDispatch2**,
                                pkq_int, tPKQVariant**, iPKQDispatch2*)
{
    return ByNameDefault(name);
}

pkq_int tPKQDispatch::CreateNewByNumber(pkq_uint32 flags, pkq_int number, iPKQDispatch2** result,
                                        pkq_int count, tPKQVariant** params, iPKQDispatch2* objThis)
{
    const NumberName name(number);
    return CreateNew(flags, name.Text(), nullptr, result, count, params, objThis);
}

pkq_int tPKQDispatch::Invalidate(pkq_uint32, const pkq_char* name, pkq_uint32*, iPKQDispatch2*)
{
    return ByNameDefault(name);
}

pkq_int tPKQDispatch::InvalidateByNumber(pkq_uint32 flags, pkq_int number, iPKQDispatch2* objThis)
{
    const NumberName name(number);
    return Invalidate(flags, name.Text(), nullptr, objThis);
}

pkq_int tPKQDispatch::IsValid(pkq_uint32, const pkq_char* name, pkq_uint32*, iPKQDispatch2*)
{
    return ByNameDefault(name);
}

pkq_int tPKQDispatch::IsValidByNumber(pkq_uint32 flags, pkq_int number, iPKQDispatch2* objThis)
{
    const NumberName name(number);
    return IsValid(flags, name.Text(), nullptr, objThis);
}

pkq_int tPKQDispatch::Reserved20(pkq_uint32, iPKQDispatch2*)
{
    return PKQ_E_NOTIMPL;
}

pkq_int tPKQDispatch::IsInstanceOf(pkq_uint32, const pkq_char* name, pkq_uint32*, const pkq_char*,
                                   iPKQDispatch2*)
{
    return ByNameDefault(name);
}

pkq_int tPKQDispatch::IsInstanceOfByNumber(pkq_uint32 flags, pkq_int number,
                                           const pkq_char* className, iPKQDispatch2* objThis)
{
    const NumberName name(number);
    return IsInstanceOf(flags, name.Text(), nullptr, className, objThis);
}

pkq_int tPKQDispatch::ApplyOperation(pkq_uint32 flags, const pkq_char* name, pkq_uint32* hint,
                                     tPKQVariant* result, const tPKQVariant* operand,
                                     iPKQDispatch2* objThis)
{
    const pkq_uint32 code = flags & kOperationCodeMask;
    if (code == 0 || code > kLastOperationCode || (!operand && !TakesNoOperand(code)))
        return PKQ_E_INVALIDPARAM;
    tPKQVariant value;
    pkq_int answer = GetMember(0, name, hint, &value, objThis);
    if (answer < 0)
        return answer;
    hostapi::PKQDoVariantOperation(static_cast<pkq_int>(code), value, operand);
    answer = SetMember(0, name, hint, &value, objThis);
    if (answer < 0)
        return answer;
    if (result)
        result->CopyRef(value);
    return PKQ_S_OK;
}

pkq_int tPKQDispatch::ApplyOperationByNumber(pkq_uint32 flags, pkq_int number, tPKQVariant* result,
                                             const tPKQVariant* operand, iPKQDispatch2* objThis)
{
    const NumberName name(number);
    return ApplyOperation(flags, name.Text(), nullptr, result, operand, objThis);
}

pkq_int tPKQDispatch::Reserved25(pkq_uint32, iPKQDispatch2*)
{
    return PKQ_E_NOTIMPL;
}

pkq_int tPKQDispatch::Reserved26(pkq_uint32, iPKQDispatch2*)
{
    return PKQ_E_NOTIMPL;
}

pkq_int tPKQDispatch::Reserved27(pkq_uint32, iPKQDispatch2*)
{
    return PKQ_E_NOTIMPL;
}

pkq_int tPKQDispatch::Reserved28(pkq_uint32, iPKQDispatch2*)
{
    return PKQ_E_NOTIMPL;
}
