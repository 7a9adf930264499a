#include "SimpleBinderFunctionStore.h"

#include <plugin/HostFunctions.h>

namespace SimpleBinder::Detail {

FunctionStore::FunctionStore(FunctionInterface* callback) : function(callback) {}

FunctionStore::~FunctionStore() = default;

pkq_int FunctionStore::CallMember(pkq_uint32 flags, const pkq_char* name, pkq_uint32* hint,
                                  tPKQVariant* result, pkq_int count, tPKQVariant** params,
                                  iPKQDispatch2* objThis)
{
    if (name)
        return PKQ_E_MEMBERNOTFOUND;
    if (!function)
        return StoreUtil::CallMember(flags, name, hint, result, count, params, objThis);
    return function->Call(flags, result, count, params, objThis);
}

bool FunctionStore::MatchesClassName(const pkq_char* className)
{
    return hostapi::PKQ_stricmp(className, u"Function") == 0;
}

} // namespace SimpleBinder::Detail
