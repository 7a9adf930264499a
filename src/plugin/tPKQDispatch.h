// tPKQDispatch: the base of every script object the plug-in hands to the
// host. It implements iPKQDispatch2 with "not handled" answers, counts its
// own references and keeps the process-wide DispatchRefCount
// (ProcessState::dispatchRefCount) that V2Unlink checks:
//   construction +1, each AddRef +1, each Release −1; destruction itself
//   leaves it alone.
//
// Objects are created with `new` and one reference; they delete themselves
// when the last reference goes (Release). Never delete one directly while
// references remain.
//
// Default answers (derived classes override what they handle):
//   by name  — PKQ_E_MEMBERNOTFOUND (−1001) when a name is given,
//              PKQ_E_NOTIMPL (−1002) when the name is null;
//   by number — the number written as decimal text (PKQ_int_to_str) and
//              passed to the by-name partner with a null hint; its answer;
//   CountMembers, EnumMembers and the reserved slots — PKQ_E_NOTIMPL;
//   ApplyOperation — reads the member (GetMember), applies
//              PKQDoVariantOperation, writes it back (SetMember); see below.
#pragma once

#include <vymultitrack/PkqDispatch.h>

class tPKQDispatch : public iPKQDispatch2 {
public:
    // refCount 1; DispatchRefCount +1.
    tPKQDispatch();
    tPKQDispatch(const tPKQDispatch&) = delete;
    tPKQDispatch& operator=(const tPKQDispatch&) = delete;

    // 0: DispatchRefCount +1 and refCount +1; answers the new refCount.
    pkq_uint32 VY_CDECL AddRef() override;
    // 1: DispatchRefCount −1. On the last reference: sets `invalidated` and
    // calls BeforeDestruction (once); if that took no new reference the
    // object is deleted and 0 answered, otherwise the reference it took is
    // kept and the new count answered.
    pkq_uint32 VY_CDECL Release() override;

    pkq_int VY_CDECL CallMember(pkq_uint32 flags, const pkq_char* name, pkq_uint32* hint,
                                tPKQVariant* result, pkq_int count, tPKQVariant** params,
                                iPKQDispatch2* objThis) override;
    pkq_int VY_CDECL CallMemberByNumber(pkq_uint32 flags, pkq_int number, tPKQVariant* result,
                                        pkq_int count, tPKQVariant** params,
                                        iPKQDispatch2* objThis) override;
    pkq_int VY_CDECL GetMember(pkq_uint32 flags, const pkq_char* name, pkq_uint32* hint,
                               tPKQVariant* result, iPKQDispatch2* objThis) override;
    pkq_int VY_CDECL GetMemberByNumber(pkq_uint32 flags, pkq_int number, tPKQVariant* result,
                                       iPKQDispatch2* objThis) override;
    pkq_int VY_CDECL SetMember(pkq_uint32 flags, const pkq_char* name, pkq_uint32* hint,
                               const tPKQVariant* value, iPKQDispatch2* objThis) override;
    pkq_int VY_CDECL SetMemberByNumber(pkq_uint32 flags, pkq_int number, const tPKQVariant* value,
                                       iPKQDispatch2* objThis) override;
    pkq_int VY_CDECL CountMembers(pkq_int* result, const pkq_char* name, pkq_uint32* hint,
                                  iPKQDispatch2* objThis) override;
    pkq_int VY_CDECL CountMembersByNumber(pkq_int* result, pkq_int number,
                                          iPKQDispatch2* objThis) override;
    pkq_int VY_CDECL EnumMembers(pkq_uint32 flags, tPKQVariantClosure* callback,
                                 iPKQDispatch2* objThis) override;
    pkq_int VY_CDECL Reserved11(pkq_uint32 flags, iPKQDispatch2* objThis) override;
    pkq_int VY_CDECL RemoveMember(pkq_uint32 flags, const pkq_char* name, pkq_uint32* hint,
                                  iPKQDispatch2* objThis) override;
    pkq_int VY_CDECL RemoveMemberByNumber(pkq_uint32 flags, pkq_int number,
                                          iPKQDispatch2* objThis) override;
    pkq_int VY_CDECL CreateNew(pkq_uint32 flags, const pkq_char* name, pkq_uint32* hint,
                               iPKQDispatch2** result, pkq_int count, tPKQVariant** params,
                               iPKQDispatch2* objThis) override;
    pkq_int VY_CDECL CreateNewByNumber(pkq_uint32 flags, pkq_int number, iPKQDispatch2** result,
                                       pkq_int count, tPKQVariant** params,
                                       iPKQDispatch2* objThis) override;
    pkq_int VY_CDECL Invalidate(pkq_uint32 flags, const pkq_char* name, pkq_uint32* hint,
                                iPKQDispatch2* objThis) override;
    pkq_int VY_CDECL InvalidateByNumber(pkq_uint32 flags, pkq_int number,
                                        iPKQDispatch2* objThis) override;
    pkq_int VY_CDECL IsValid(pkq_uint32 flags, const pkq_char* name, pkq_uint32* hint,
                             iPKQDispatch2* objThis) override;
    pkq_int VY_CDECL IsValidByNumber(pkq_uint32 flags, pkq_int number,
                                     iPKQDispatch2* objThis) override;
    pkq_int VY_CDECL Reserved20(pkq_uint32 flags, iPKQDispatch2* objThis) override;
    pkq_int VY_CDECL IsInstanceOf(pkq_uint32 flags, const pkq_char* name, pkq_uint32* hint,
                                  const pkq_char* className, iPKQDispatch2* objThis) override;
    pkq_int VY_CDECL IsInstanceOfByNumber(pkq_uint32 flags, pkq_int number,
                                          const pkq_char* className,
                                          iPKQDispatch2* objThis) override;
    // 23: the operation code is the low 5 bits of `flags`. Answers −1003
    // when the code is 0 or above 16, or when `operand` is null and the code
    // is neither 15 nor 16. Otherwise reads the member into a fresh variant
    // with GetMember (flags 0, same name, hint and objThis), applies the
    // operation with `operand`, writes the variant back with SetMember
    // (flags 0) and, when `result` is not null, copies the variant into it.
    // A negative answer of GetMember or SetMember is answered unchanged;
    // otherwise 0.
    pkq_int VY_CDECL ApplyOperation(pkq_uint32 flags, const pkq_char* name, pkq_uint32* hint,
                                    tPKQVariant* result, const tPKQVariant* operand,
                                    iPKQDispatch2* objThis) override;
    pkq_int VY_CDECL ApplyOperationByNumber(pkq_uint32 flags, pkq_int number, tPKQVariant* result,
                                            const tPKQVariant* operand,
                                            iPKQDispatch2* objThis) override;
    pkq_int VY_CDECL Reserved25(pkq_uint32 flags, iPKQDispatch2* objThis) override;
    pkq_int VY_CDECL Reserved26(pkq_uint32 flags, iPKQDispatch2* objThis) override;
    pkq_int VY_CDECL Reserved27(pkq_uint32 flags, iPKQDispatch2* objThis) override;
    pkq_int VY_CDECL Reserved28(pkq_uint32 flags, iPKQDispatch2* objThis) override;

    // 29: called once, when the last reference is released and before the
    // object is deleted. Does nothing here. An override may take a new
    // reference (AddRef) to keep the object alive.
    virtual void BeforeDestruction();
    // 30: sets `invalidated`. Called by Release through `delete`.
    virtual ~tPKQDispatch();

protected:
    bool IsInvalidated() const { return invalidated; }
    pkq_int32 RefCount() const { return refCount; }

private:
    bool invalidated = false;
    pkq_int32 refCount = 1;
};
