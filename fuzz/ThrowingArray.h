// A script array that claims `count` elements, reads as the track name
// "drums" and the volume 0 in turns, and raises a script exception where
// element `throwAt` would be: a changes array of
// setDelayMultiTrackMask that fails half-way through.
#pragma once

#include <host/script/DispatchObject.h>
#include <host/script/Variant.h>

namespace fuzz {

class ThrowingArray final : public host::DispatchObject {
public:
    // A new array; the variant holds the only reference.
    static host::Variant Make(pkq_int count, pkq_int throwAt);

    pkq_int VY_CDECL CountMembers(pkq_int* result, const pkq_char* name, pkq_uint32* hint,
                                  iPKQDispatch2* objThis) override;
    pkq_int VY_CDECL GetMemberByNumber(pkq_uint32 flags, pkq_int number, tPKQVariant* result,
                                       iPKQDispatch2* objThis) override;

private:
    ThrowingArray(pkq_int count, pkq_int throwAt) : count_(count), throwAt_(throwAt) {}

    pkq_int count_;
    pkq_int throwAt_;
};

} // namespace fuzz
