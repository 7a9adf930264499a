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

MemberNumberText::MemberNumberText(pkq_int number) : text_(IntegerToText(number)) {}

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

pkq_int DispatchObject::ApplyOperation(pkq_uint32 flags, const pkq_char* name, pkq_uint32* hint,
                                       tPKQVariant* result, const tPKQVariant* operand,
                                       iPKQDispatch2* objThis)
{
    const pkq_int op = CheckedOperationCode(flags, operand);
    if (op == 0)
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

} // namespace host
