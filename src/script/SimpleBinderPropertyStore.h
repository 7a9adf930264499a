// A bound property: answers reads of itself through its getter and writes
// through its setter. Without a setter the property is read-only.
#pragma once

#include "SimpleBinderInterfaces.h"
#include "SimpleBinderStoreUtil.h"

#include <memory>

namespace SimpleBinder::Detail {

class PropertyStore : public StoreUtil {
public:
    // Takes ownership of both; either may be null.
    PropertyStore(SetterInterface* setterCallback, GetterInterface* getterCallback);

    // A named read: PKQ_E_MEMBERNOTFOUND (−1001); no getter:
    // PKQ_E_ACCESSDENYED (−1007); otherwise the getter's answer.
    pkq_int VY_CDECL GetMember(pkq_uint32 flags, const pkq_char* name, pkq_uint32* hint,
                               tPKQVariant* result, iPKQDispatch2* objThis) override;
    // A named write: PKQ_E_MEMBERNOTFOUND (−1001); no setter:
    // PKQ_E_ACCESSDENYED (−1007); otherwise the setter's answer.
    pkq_int VY_CDECL SetMember(pkq_uint32 flags, const pkq_char* name, pkq_uint32* hint,
                               const tPKQVariant* value, iPKQDispatch2* objThis) override;
    // "Property", case-insensitive.
    bool MatchesClassName(const pkq_char* className) override;

protected:
    // Destroys the setter, then the getter.
    ~PropertyStore() override;

private:
    std::unique_ptr<SetterInterface> setter;
    std::unique_ptr<GetterInterface> getter;
};

} // namespace SimpleBinder::Detail
