// Calls on host objects run inside the host's try block (HMRDoTryBlock), so
// that a host (script) exception raised during the call surfaces here as a
// thrown tHMRExceptionDesc (a copy of the host's record: type and message)
// instead of unwinding through the host on its own terms.
//
// Each wrapper calls one slot of `object` with the arguments unchanged and
// answers that slot's result code. `object` must not be null. A host
// exception leaves the wrapper by `throw tHMRExceptionDesc`; no result code
// is answered then.
#pragma once

#include <vymultitrack/HostEngine.h>
#include <vymultitrack/PkqDispatch.h>

namespace hostapi {

// Slot 2 (CallMember).
pkq_int TryCallMember(iPKQDispatch2* object, pkq_uint32 flags, const pkq_char* name,
                      pkq_uint32* hint, tPKQVariant* result, pkq_int count, tPKQVariant** params,
                      iPKQDispatch2* objThis);
// Slot 4 (GetMember).
pkq_int TryGetMember(iPKQDispatch2* object, pkq_uint32 flags, const pkq_char* name,
                     pkq_uint32* hint, tPKQVariant* result, iPKQDispatch2* objThis);
// Slot 5 (GetMemberByNumber).
pkq_int TryGetMemberByNumber(iPKQDispatch2* object, pkq_uint32 flags, pkq_int number,
                             tPKQVariant* result, iPKQDispatch2* objThis);
// Slot 6 (SetMember).
pkq_int TrySetMember(iPKQDispatch2* object, pkq_uint32 flags, const pkq_char* name,
                     pkq_uint32* hint, const tPKQVariant* value, iPKQDispatch2* objThis);
// Slot 8 (CountMembers).
pkq_int TryCountMembers(iPKQDispatch2* object, pkq_int* result, const pkq_char* name,
                        pkq_uint32* hint, iPKQDispatch2* objThis);
// Slot 12 (RemoveMember).
pkq_int TryRemoveMember(iPKQDispatch2* object, pkq_uint32 flags, const pkq_char* name,
                        pkq_uint32* hint, iPKQDispatch2* objThis);

} // namespace hostapi
