// The base of the binder's stores: plug-in script objects set as the value of
// a host object's member (a bound function or property). A store starts with
// one reference (tPKQDispatch); LinkStore hands it to the host member, which
// then owns the store; the store owns its callback objects.
#pragma once

#include <plugin/tPKQDispatch.h>

namespace SimpleBinder::Detail {

// SetMember flags of a bound store: create the member when it is missing
// (0x0200) and store into it even when it holds a property object (0x0800).
inline constexpr pkq_uint32 kStoreMemberFlags = PKQ_MEMBERENSURE | PKQ_IGNOREPROP;

class StoreUtil : public tPKQDispatch {
public:
    // A named call answers PKQ_E_MEMBERNOTFOUND (−1001). Otherwise
    // PKQ_S_TRUE (1) when MatchesClassName(className) or className is
    // "Object" (case-insensitive), else PKQ_S_FALSE (2). A null className
    // matches nothing.
    pkq_int VY_CDECL IsInstanceOf(pkq_uint32 flags, const pkq_char* name, pkq_uint32* hint,
                                  const pkq_char* className, iPKQDispatch2* objThis) override;

    // Whether `className` (not null) names this store's own class.
    virtual bool MatchesClassName(const pkq_char* className) = 0;

    // Sets `store` as the member `name` of `target` with the store's
    // `memberFlags`, with `context` (may be null) as its `this`. Consumes the
    // caller's reference on `store` in every case: on failure the store is
    // destroyed. True when the host accepted the member (result ≥ 0); false
    // when `store`, `target` or `name` is null or the host refused.
    static bool LinkStore(iPKQDispatch2* target, const pkq_char* name, StoreUtil* store,
                          iPKQDispatch2* context);
    // Removes the member `name` of `target` (RemoveMember, flags 0). True when
    // the host answered ≥ 0; false when `target` or `name` is null or the host
    // refused.
    static bool UnlinkStore(iPKQDispatch2* target, const pkq_char* name);

    // The flags LinkStore passes to SetMember.
    pkq_uint32 memberFlags = kStoreMemberFlags;

protected:
    StoreUtil() = default;
    ~StoreUtil() override = default;
};

} // namespace SimpleBinder::Detail
