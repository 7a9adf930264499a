#include "ArrayObject.h"

#include "DictionaryObject.h"

#include <utility>

namespace host {

namespace {

// A name that is a decimal number (optionally negative) → that number.
bool NumberFromName(const pkq_char* name, pkq_int& number)
{
    const pkq_char* p = name;
    bool negative = false;
    if (*p == u'-') {
        negative = true;
        ++p;
    }
    if (!*p)
        return false;
    long long v = 0;
    for (; *p; ++p) {
        if (*p < u'0' || *p > u'9')
            return false;
        v = v * 10 + (*p - u'0');
        if (v > 0x7FFFFFFFLL)
            return false;
    }
    number = static_cast<pkq_int>(negative ? -v : v);
    return true;
}

} // namespace

ArrayObject* ArrayObject::Create(std::vector<std::optional<Variant>> elements)
{
    return new ArrayObject(std::move(elements));
}

ArrayObject::ArrayObject(std::vector<std::optional<Variant>> elements)
    : elements_(std::move(elements))
{
}

ArrayObject::~ArrayObject()
{
    while (!elements_.empty()) {
        std::optional<Variant> last = std::move(elements_.back());
        elements_.pop_back();
    }
}

bool ArrayObject::IsClass(std::u16string_view className) const
{
    return className == u"Array";
}

const Variant* ArrayObject::At(std::size_t index) const
{
    if (index >= elements_.size() || !elements_[index])
        return nullptr;
    return &*elements_[index];
}

void ArrayObject::Push(const Variant& value)
{
    elements_.emplace_back(value);
}

long long ArrayObject::IndexOf(pkq_int number) const
{
    long long index = number;
    if (index < 0)
        index += static_cast<long long>(elements_.size());
    return index < 0 ? -1 : index;
}

pkq_int ArrayObject::CallMember(pkq_uint32 flags, const pkq_char* name, pkq_uint32* hint,
                                tPKQVariant* result, pkq_int count, tPKQVariant** params,
                                iPKQDispatch2* objThis)
{
    if (!name)
        return PKQ_E_NOTIMPL;
    CheckHint(name, hint);
    pkq_int number;
    if (NumberFromName(name, number))
        return CallMemberByNumber(flags, number, result, count, params, objThis);
    if (std::u16string_view(name) == u"add") {
        if (count > 0 && !params)
            return PKQ_E_INVALIDPARAM;
        const Variant value = count > 0 && params[0] ? Variant::View(*params[0]) : Variant();
        Push(value);
        if (result)
            Variant::View(*result) = Variant(static_cast<pkq_int64>(elements_.size() - 1));
        return PKQ_S_OK;
    }
    return PKQ_E_MEMBERNOTFOUND;
}

pkq_int ArrayObject::CallMemberByNumber(pkq_uint32 flags, pkq_int number, tPKQVariant* result,
                                        pkq_int count, tPKQVariant** params, iPKQDispatch2* objThis)
{
    const long long index = IndexOf(number);
    const Variant* element = index < 0 ? nullptr : At(static_cast<std::size_t>(index));
    if (!element)
        return PKQ_E_MEMBERNOTFOUND;
    const Variant member = *element;
    iPKQDispatch2* object = member.ObjectPtr();
    if (!object)
        return PKQ_E_INVALIDTYPE;
    iPKQDispatch2* callThis = member.ObjThisPtr() ? member.ObjThisPtr() : ThisOr(objThis);
    return object->CallMember(flags & ~(PKQ_MEMBERENSURE | PKQ_MEMBERMUSTEXIST | PKQ_IGNOREPROP),
                              nullptr, nullptr, result, count, params, callThis);
}

pkq_int ArrayObject::GetMember(pkq_uint32 flags, const pkq_char* name, pkq_uint32* hint,
                               tPKQVariant* result, iPKQDispatch2* objThis)
{
    if (!name)
        return PKQ_E_NOTIMPL;
    CheckHint(name, hint);
    pkq_int number;
    if (NumberFromName(name, number))
        return GetMemberByNumber(flags, number, result, objThis);
    if (std::u16string_view(name) == u"count") {
        if (result)
            Variant::View(*result) = Variant(static_cast<pkq_int64>(elements_.size()));
        return PKQ_S_OK;
    }
    return PKQ_E_MEMBERNOTFOUND;
}

pkq_int ArrayObject::GetMemberByNumber(pkq_uint32 flags, pkq_int number, tPKQVariant* result,
                                       iPKQDispatch2*)
{
    const long long index = IndexOf(number);
    const Variant* element = index < 0 ? nullptr : At(static_cast<std::size_t>(index));
    if (!element) {
        if (flags & PKQ_MEMBERMUSTEXIST)
            return PKQ_E_MEMBERNOTFOUND;
        if (result)
            Variant::View(*result).Clear();
        return PKQ_S_OK;
    }
    if (result)
        Variant::View(*result) = *element;
    return PKQ_S_OK;
}

pkq_int ArrayObject::SetMember(pkq_uint32 flags, const pkq_char* name, pkq_uint32* hint,
                               const tPKQVariant* value, iPKQDispatch2* objThis)
{
    if (!name)
        return PKQ_E_NOTIMPL;
    if (!value)
        return PKQ_E_INVALIDPARAM;
    CheckHint(name, hint);
    pkq_int number;
    if (NumberFromName(name, number))
        return SetMemberByNumber(flags, number, value, objThis);
    if (std::u16string_view(name) == u"count") {
        const pkq_int64 n = Variant::View(*value).AsInteger();
        if (n < 0 || n > static_cast<pkq_int64>(kMaxLength))
            return PKQ_E_INVALIDPARAM;
        while (elements_.size() > static_cast<std::size_t>(n)) {
            std::optional<Variant> last = std::move(elements_.back());
            elements_.pop_back();
        }
        elements_.resize(static_cast<std::size_t>(n));
        return PKQ_S_OK;
    }
    return PKQ_E_MEMBERNOTFOUND;
}

pkq_int ArrayObject::SetMemberByNumber(pkq_uint32 flags, pkq_int number, const tPKQVariant* value,
                                       iPKQDispatch2*)
{
    if (!value)
        return PKQ_E_INVALIDPARAM;
    const long long index = IndexOf(number);
    if (index < 0)
        return PKQ_E_INVALIDPARAM;
    const std::size_t i = static_cast<std::size_t>(index);
    if (i >= kMaxLength)
        return PKQ_E_INVALIDPARAM;
    if ((flags & PKQ_MEMBERMUSTEXIST) && !At(i))
        return PKQ_E_MEMBERNOTFOUND;
    std::optional<Variant> copy(Variant::View(*value));
    if (i >= elements_.size())
        elements_.resize(i + 1);
    std::swap(elements_[i], copy); // the old value leaves with `copy`
    return PKQ_S_OK;
}

pkq_int ArrayObject::CountMembers(pkq_int* result, const pkq_char* name, pkq_uint32* hint,
                                  iPKQDispatch2*)
{
    if (name) {
        CheckHint(name, hint);
        return PKQ_E_MEMBERNOTFOUND;
    }
    if (result)
        *result = static_cast<pkq_int>(elements_.size());
    return PKQ_S_OK;
}

pkq_int ArrayObject::RemoveMember(pkq_uint32 flags, const pkq_char* name, pkq_uint32* hint,
                                  iPKQDispatch2* objThis)
{
    if (!name)
        return PKQ_E_NOTIMPL;
    CheckHint(name, hint);
    pkq_int number;
    if (NumberFromName(name, number))
        return RemoveMemberByNumber(flags, number, objThis);
    return PKQ_E_MEMBERNOTFOUND;
}

pkq_int ArrayObject::RemoveMemberByNumber(pkq_uint32, pkq_int number, iPKQDispatch2*)
{
    const long long index = IndexOf(number);
    if (index < 0 || static_cast<std::size_t>(index) >= elements_.size())
        return PKQ_E_MEMBERNOTFOUND;
    std::optional<Variant> old = std::move(elements_[static_cast<std::size_t>(index)]);
    elements_.erase(elements_.begin() + index);
    return PKQ_S_OK;
}

} // namespace host
