#include "DispatchObject.h"

#include "HostText.h"
#include "VariantOperation.h"

namespace host {

namespace {
long g_liveObjects = 0; // diagnostic only (single-threaded like the objects)

// Decimal text of a member number, as the engine turns numbers into names.
struct NumberName {
    explicit NumberName(pkq_int number) : text(IntegerToText(number)) {}
    std::u16string text;
};
} // namespace

DispatchObject::DispatchObject()
{
    ++g_liveObjects;
}

DispatchObject::~DispatchObject()
{
    --g_liveObjects;
}

long DispatchObject::LiveObjects()
{
    return g_liveObjects;
}

pkq_uint32 DispatchObject::AddRef()
{
    return ++refCount_;
}

pkq_uint32 DispatchObject::Release()
{
    if (destroying_) { // references taken and dropped while the destructor runs
        if (refCount_ > 0)
            --refCount_;
        return refCount_;
    }
    if (refCount_ == 1) {
        refCount_ = 0;
        destroying_ = true;
        delete this;
        return 0;
    }
    return --refCount_;
}

bool DispatchObject::IsClass(std::u16string_view className) const
{
    return className == u"Object";
}

pkq_int DispatchObject::CallMember(pkq_uint32, const pkq_char* name, pkq_uint32*, tPKQVariant*,
                                   pkq_int, tPKQVariant**, iPKQDispatch2*)
{
    return ByName(name);
}

pkq_int DispatchObject::CallMemberByNumber(pkq_uint32 flags, pkq_int number, tPKQVariant* result,
                                           pkq_int count, tPKQVariant** params,
                                           iPKQDispatch2* objThis)
{
    NumberName n(number);
    return CallMember(flags, n.text.c_str(), nullptr, result, count, params, objThis);
}

pkq_int DispatchObject::GetMember(pkq_uint32, const pkq_char* name, pkq_uint32*, tPKQVariant*,
                                  iPKQDispatch2*)
{
    return ByName(name);
}

pkq_int DispatchObject::GetMemberByNumber(pkq_uint32 flags, pkq_int number, tPKQVariant* result,
                                          iPKQDispatch2* objThis)
{
    NumberName n(number);
    return GetMember(flags, n.text.c_str(), nullptr, result, objThis);
}

pkq_int DispatchObject::SetMember(pkq_uint32, const pkq_char* name, pkq_uint32*, const tPKQVariant*,
                                  iPKQDispatch2*)
{
    return ByName(name);
}

pkq_int DispatchObject::SetMemberByNumber(pkq_uint32 flags, pkq_int number,
                                          const tPKQVariant* value, iPKQDispatch2* objThis)
{
    NumberName n(number);
    return SetMember(flags, n.text.c_str(), nullptr, value, objThis);
}

pkq_int DispatchObject::CountMembers(pkq_int*, const pkq_char*, pkq_uint32*, iPKQDispatch2*)
{
    return PKQ_E_NOTIMPL;
}

pkq_int DispatchObject::CountMembersByNumber(pkq_int* result, pkq_int number,
                                             iPKQDispatch2* objThis)
{
    NumberName n(number);
    return CountMembers(result, n.text.c_str(), nullptr, objThis);
}

pkq_int DispatchObject::EnumMembers(pkq_uint32, tPKQVariantClosure*, iPKQDispatch2*)
{
    return PKQ_E_NOTIMPL;
}

pkq_int DispatchObject::Reserved11(pkq_uint32, iPKQDispatch2*)
{
    return PKQ_E_NOTIMPL;
}

pkq_int DispatchObject::RemoveMember(pkq_uint32, const pkq_char* name, pkq_uint32*, iPKQDispatch2*)
{
    return ByName(name);
}

pkq_int DispatchObject::RemoveMemberByNumber(pkq_uint32 flags, pkq_int number,
                                             iPKQDispatch2* objThis)
{
    NumberName n(number);
    return RemoveMember(flags, n.text.c_str(), nullptr, objThis);
}

pkq_int DispatchObject::CreateNew(pkq_uint32, const pkq_char* name, pkq_uint32*, iPKQDispatch2**,
                                  pkq_int, tPKQVariant**, iPKQDispatch2*)
{
    return ByName(name);
}

pkq_int DispatchObject::CreateNewByNumber(pkq_uint32 flags, pkq_int number, iPKQDispatch2** result,
                                          pkq_int count, tPKQVariant** params,
                                          iPKQDispatch2* objThis)
{
    NumberName n(number);
    return CreateNew(flags, n.text.c_str(), nullptr, result, count, params, objThis);
}

pkq_int DispatchObject::Invalidate(pkq_uint32, const pkq_char* name, pkq_uint32*, iPKQDispatch2*)
{
    return ByName(name);
}

pkq_int DispatchObject::InvalidateByNumber(pkq_uint32 flags, pkq_int number, iPKQDispatch2* objThis)
{
    NumberName n(number);
    return Invalidate(flags, n.text.c_str(), nullptr, objThis);
}

pkq_int DispatchObject::IsValid(pkq_uint32, const pkq_char* name, pkq_uint32*, iPKQDispatch2*)
{
    return ByName(name);
}

pkq_int DispatchObject::IsValidByNumber(pkq_uint32 flags, pkq_int number, iPKQDispatch2* objThis)
{
    NumberName n(number);
    return IsValid(flags, n.text.c_str(), nullptr, objThis);
}

pkq_int DispatchObject::Reserved20(pkq_uint32, iPKQDispatch2*)
{
    return PKQ_E_NOTIMPL;
}

pkq_int DispatchObject::IsInstanceOf(pkq_uint32, const pkq_char* name, pkq_uint32*,
                                     const pkq_char* className, iPKQDispatch2*)
{
    if (name)
        return PKQ_E_MEMBERNOTFOUND;
    if (!className)
        return PKQ_E_INVALIDPARAM;
    const std::u16string_view cls(className);
    return cls == u"Object" || IsClass(cls) ? PKQ_S_TRUE : PKQ_S_FALSE;
}

pkq_int DispatchObject::IsInstanceOfByNumber(pkq_uint32 flags, pkq_int number,
                                             const pkq_char* className, iPKQDispatch2* objThis)
{
    NumberName n(number);
    return IsInstanceOf(flags, n.text.c_str(), nullptr, className, objThis);
}

pkq_int DispatchObject::ApplyOperation(pkq_uint32 flags, const pkq_char* name, pkq_uint32* hint,
                                       tPKQVariant* result, const tPKQVariant* operand,
                                       iPKQDispatch2* objThis)
{
    const pkq_int op = static_cast<pkq_int>(flags & 0x1F);
    if ((!operand && op != kOpInc && op != kOpDec) || op == 0 || op > kOpDec)
        return PKQ_E_INVALIDPARAM;
    Variant value;
    pkq_int hr = GetMember(0, name, hint, value.pkq(), objThis);
    if (hr < 0)
        return hr;
    DoVariantOperation(op, value, operand ? &Variant::View(*operand) : nullptr);
    hr = SetMember(0, name, hint, value.pkq(), objThis);
    if (hr < 0)
        return hr;
    if (result)
        Variant::View(*result) = value;
    return PKQ_S_OK;
}

pkq_int DispatchObject::ApplyOperationByNumber(pkq_uint32 flags, pkq_int number,
                                               tPKQVariant* result, const tPKQVariant* operand,
                                               iPKQDispatch2* objThis)
{
    NumberName n(number);
    return ApplyOperation(flags, n.text.c_str(), nullptr, result, operand, objThis);
}

pkq_int DispatchObject::Reserved25(pkq_uint32, iPKQDispatch2*)
{
    return PKQ_E_NOTIMPL;
}

pkq_int DispatchObject::Reserved26(pkq_uint32, iPKQDispatch2*)
{
    return PKQ_E_NOTIMPL;
}

pkq_int DispatchObject::Reserved27(pkq_uint32, iPKQDispatch2*)
{
    return PKQ_E_NOTIMPL;
}

pkq_int DispatchObject::Reserved28(pkq_uint32, iPKQDispatch2*)
{
    return PKQ_E_NOTIMPL;
}

} // namespace host
