// iPKQDispatch2: the host's script object interface. Every slot uses the
// caller-cleans convention with the object first; results are host result
// codes (negative is failure). Names may be null; `hint` points at the
// name's hash hint (may be null); `objThis` is the `this` of the call.
#pragma once

#include "PkqVariant.h"

class iPKQDispatch2 {
public:
    virtual pkq_uint32 VY_CDECL AddRef() = 0;                                                        // 0
    virtual pkq_uint32 VY_CDECL Release() = 0;                                                       // 1
    virtual pkq_int VY_CDECL CallMember(pkq_uint32 flags, const pkq_char* name, pkq_uint32* hint,    // 2
                                        tPKQVariant* result, pkq_int count, tPKQVariant** params,
                                        iPKQDispatch2* objThis) = 0;
    virtual pkq_int VY_CDECL CallMemberByNumber(pkq_uint32 flags, pkq_int number, tPKQVariant* result, // 3
                                                pkq_int count, tPKQVariant** params, iPKQDispatch2* objThis) = 0;
    virtual pkq_int VY_CDECL GetMember(pkq_uint32 flags, const pkq_char* name, pkq_uint32* hint,     // 4
                                       tPKQVariant* result, iPKQDispatch2* objThis) = 0;
    virtual pkq_int VY_CDECL GetMemberByNumber(pkq_uint32 flags, pkq_int number, tPKQVariant* result, // 5
                                               iPKQDispatch2* objThis) = 0;
    virtual pkq_int VY_CDECL SetMember(pkq_uint32 flags, const pkq_char* name, pkq_uint32* hint,     // 6
                                       const tPKQVariant* value, iPKQDispatch2* objThis) = 0;
    virtual pkq_int VY_CDECL SetMemberByNumber(pkq_uint32 flags, pkq_int number, const tPKQVariant* value, // 7
                                               iPKQDispatch2* objThis) = 0;
    virtual pkq_int VY_CDECL CountMembers(pkq_int* result, const pkq_char* name, pkq_uint32* hint,   // 8
                                          iPKQDispatch2* objThis) = 0;
    virtual pkq_int VY_CDECL CountMembersByNumber(pkq_int* result, pkq_int number, iPKQDispatch2* objThis) = 0; // 9
    virtual pkq_int VY_CDECL EnumMembers(pkq_uint32 flags, tPKQVariantClosure* callback,            // 10
                                         iPKQDispatch2* objThis) = 0;
    virtual pkq_int VY_CDECL Reserved11(pkq_uint32 flags, iPKQDispatch2* objThis) = 0;              // 11
    virtual pkq_int VY_CDECL RemoveMember(pkq_uint32 flags, const pkq_char* name, pkq_uint32* hint,  // 12
                                          iPKQDispatch2* objThis) = 0;
    virtual pkq_int VY_CDECL RemoveMemberByNumber(pkq_uint32 flags, pkq_int number, iPKQDispatch2* objThis) = 0; // 13
    virtual pkq_int VY_CDECL CreateNew(pkq_uint32 flags, const pkq_char* name, pkq_uint32* hint,     // 14
                                       iPKQDispatch2** result, pkq_int count, tPKQVariant** params,
                                       iPKQDispatch2* objThis) = 0;
    virtual pkq_int VY_CDECL CreateNewByNumber(pkq_uint32 flags, pkq_int number, iPKQDispatch2** result, // 15
                                               pkq_int count, tPKQVariant** params, iPKQDispatch2* objThis) = 0;
    virtual pkq_int VY_CDECL Invalidate(pkq_uint32 flags, const pkq_char* name, pkq_uint32* hint,    // 16
                                        iPKQDispatch2* objThis) = 0;
    virtual pkq_int VY_CDECL InvalidateByNumber(pkq_uint32 flags, pkq_int number, iPKQDispatch2* objThis) = 0; // 17
    virtual pkq_int VY_CDECL IsValid(pkq_uint32 flags, const pkq_char* name, pkq_uint32* hint,       // 18
                                     iPKQDispatch2* objThis) = 0;
    virtual pkq_int VY_CDECL IsValidByNumber(pkq_uint32 flags, pkq_int number, iPKQDispatch2* objThis) = 0; // 19
    virtual pkq_int VY_CDECL Reserved20(pkq_uint32 flags, iPKQDispatch2* objThis) = 0;              // 20
    virtual pkq_int VY_CDECL IsInstanceOf(pkq_uint32 flags, const pkq_char* name, pkq_uint32* hint,  // 21
                                          const pkq_char* className, iPKQDispatch2* objThis) = 0;
    virtual pkq_int VY_CDECL IsInstanceOfByNumber(pkq_uint32 flags, pkq_int number, const pkq_char* className, // 22
                                                  iPKQDispatch2* objThis) = 0;
    virtual pkq_int VY_CDECL ApplyOperation(pkq_uint32 flags, const pkq_char* name, pkq_uint32* hint, // 23
                                            tPKQVariant* result, const tPKQVariant* operand,
                                            iPKQDispatch2* objThis) = 0;
    virtual pkq_int VY_CDECL ApplyOperationByNumber(pkq_uint32 flags, pkq_int number, tPKQVariant* result, // 24
                                                    const tPKQVariant* operand, iPKQDispatch2* objThis) = 0;
    virtual pkq_int VY_CDECL Reserved25(pkq_uint32 flags, iPKQDispatch2* objThis) = 0;              // 25
    virtual pkq_int VY_CDECL Reserved26(pkq_uint32 flags, iPKQDispatch2* objThis) = 0;              // 26
    virtual pkq_int VY_CDECL Reserved27(pkq_uint32 flags, iPKQDispatch2* objThis) = 0;              // 27
    virtual pkq_int VY_CDECL Reserved28(pkq_uint32 flags, iPKQDispatch2* objThis) = 0;              // 28

protected:
    ~iPKQDispatch2() = default;
};
