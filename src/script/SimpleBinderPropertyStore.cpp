#include "SimpleBinderPropertyStore.h"

#include <plugin/HostFunctions.h>

namespace SimpleBinder::Detail {

PropertyStore::PropertyStore(SetterInterface* setterCallback, GetterInterface* getterCallback)
    : setter(setterCallback), getter(getterCallback)
{
}

PropertyStore::~PropertyStore()
{
    setter.reset();
    getter.reset();
}

pkq_int PropertyStore::GetMember(pkq_uint32 flags, const pkq_char* name, pkq_uint32*,
                                 tPKQVariant* result, iPKQDispatch2* objThis)
{
    if (name)
        return PKQ_E_MEMBERNOTFOUND;
    if (!getter)
        return PKQ_E_ACCESSDENYED;
    return getter->Get(flags, result, objThis);
}

pkq_int PropertyStore::SetMember(pkq_uint32 flags, const pkq_char* name, pkq_uint32*,
                                 const tPKQVariant* value, iPKQDispatch2* objThis)
{
    if (name)
        return PKQ_E_MEMBERNOTFOUND;
    if (!setter)
        return PKQ_E_ACCESSDENYED;
    return setter->Set(flags, value, objThis);
}

bool PropertyStore::MatchesClassName(const pkq_char* className)
{
    return hostapi::PKQ_stricmp(className, u"Property") == 0;
}

} // namespace SimpleBinder::Detail
