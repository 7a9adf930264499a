#include "SimpleBinderStoreUtil.h"

#include <plugin/HostFunctions.h>

namespace SimpleBinder::Detail {

pkq_int StoreUtil::IsInstanceOf(pkq_uint32, const pkq_char* name, pkq_uint32*,
                                const pkq_char* className, iPKQDispatch2*)
{
    if (name)
        return PKQ_E_MEMBERNOTFOUND;
    if (!className)
        return PKQ_S_FALSE;
    if (MatchesClassName(className) || hostapi::PKQ_stricmp(className, u"Object") == 0)
        return PKQ_S_TRUE;
    return PKQ_S_FALSE;
}

bool StoreUtil::LinkStore(iPKQDispatch2* target, const pkq_char* name, StoreUtil* store,
                          iPKQDispatch2* context)
{
    if (!store)
        return false;
    // The variant takes its own reference; from here on it holds the only one,
    // so destroying it on failure destroys the store.
    tPKQVariant value(store, context);
    const pkq_uint32 flags = store->memberFlags;
    store->Release();
    if (!target || !name)
        return false;
    return target->SetMember(flags, name, nullptr, &value, target) >= 0;
}

bool StoreUtil::UnlinkStore(iPKQDispatch2* target, const pkq_char* name)
{
    if (!target || !name)
        return false;
    return target->RemoveMember(0, name, nullptr, target) >= 0;
}

} // namespace SimpleBinder::Detail
