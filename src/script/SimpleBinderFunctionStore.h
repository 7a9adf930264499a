// A bound function: answers calls on itself by forwarding them to its
// FunctionInterface.
#pragma once

#include "SimpleBinderInterfaces.h"
#include "SimpleBinderStoreUtil.h"

#include <memory>

namespace SimpleBinder::Detail {

class FunctionStore : public StoreUtil {
public:
    // Takes ownership of `callback` (may be null when its allocation failed:
    // calls then get the base's answer, PKQ_E_NOTIMPL).
    explicit FunctionStore(FunctionInterface* callback);

    // A named call: PKQ_E_MEMBERNOTFOUND (−1001). Otherwise the answer of the
    // function's Call (flags, result, count, params, objThis).
    pkq_int VY_CDECL CallMember(pkq_uint32 flags, const pkq_char* name, pkq_uint32* hint,
                                tPKQVariant* result, pkq_int count, tPKQVariant** params,
                                iPKQDispatch2* objThis) override;
    // "Function", case-insensitive.
    bool MatchesClassName(const pkq_char* className) override;

protected:
    ~FunctionStore() override;

private:
    std::unique_ptr<FunctionInterface> function;
};

} // namespace SimpleBinder::Detail
