#include "FunctionObject.h"

#include <utility>

namespace host {

const Variant& CallArgs::operator[](int i) const
{
    static const Variant kVoid; // never changed
    if (i < 0 || i >= count_ || !params_ || !params_[i])
        return kVoid;
    return Variant::View(*params_[i]);
}

Variant* CallArgs::Result() const
{
    return result_ ? &Variant::View(*result_) : nullptr;
}

void CallArgs::SetResult(const Variant& value) const
{
    if (result_)
        Variant::View(*result_) = value;
}

FunctionObject* FunctionObject::Create(NativeFunction function)
{
    return new FunctionObject(std::move(function));
}

FunctionObject::FunctionObject(NativeFunction function) : function_(std::move(function)) {}

bool FunctionObject::IsClass(std::u16string_view className) const
{
    return className == u"Function";
}

pkq_int FunctionObject::CallMember(pkq_uint32 flags, const pkq_char* name, pkq_uint32*,
                                   tPKQVariant* result, pkq_int count, tPKQVariant** params,
                                   iPKQDispatch2* objThis)
{
    if (name)
        return PKQ_E_MEMBERNOTFOUND;
    if (count < 0 || (count > 0 && !params))
        return PKQ_E_INVALIDPARAM;
    ++calls_;
    if (!function_)
        return PKQ_S_OK;
    Ref<FunctionObject> keepAlive(
        (AddRef(), this)); // the callable may drop the last outside reference
    const NativeFunction function = function_;
    return function(CallArgs(flags, count, params, result, ThisOr(objThis)));
}

PropertyObject* PropertyObject::Create(Getter getter, Setter setter)
{
    return new PropertyObject(std::move(getter), std::move(setter));
}

PropertyObject::PropertyObject(Getter getter, Setter setter)
    : getter_(std::move(getter)), setter_(std::move(setter))
{
}

bool PropertyObject::IsClass(std::u16string_view className) const
{
    return className == u"Property";
}

pkq_int PropertyObject::GetMember(pkq_uint32, const pkq_char* name, pkq_uint32*,
                                  tPKQVariant* result, iPKQDispatch2*)
{
    if (name)
        return PKQ_E_MEMBERNOTFOUND;
    if (!getter_)
        return PKQ_E_ACCESSDENYED;
    ++reads_;
    Ref<PropertyObject> keepAlive((AddRef(), this));
    const Variant value = getter_();
    if (result)
        Variant::View(*result) = value;
    return PKQ_S_OK;
}

pkq_int PropertyObject::SetMember(pkq_uint32, const pkq_char* name, pkq_uint32*,
                                  const tPKQVariant* value, iPKQDispatch2*)
{
    if (name)
        return PKQ_E_MEMBERNOTFOUND;
    if (!setter_)
        return PKQ_E_ACCESSDENYED;
    if (!value)
        return PKQ_E_INVALIDPARAM;
    ++writes_;
    Ref<PropertyObject> keepAlive((AddRef(), this));
    setter_(Variant::View(*value));
    return PKQ_S_OK;
}

} // namespace host
