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
// Default answers: those of PkqDispatchDefaults (derived classes override
// what they handle); ApplyOperation as described below.
#pragma once

#include <vymultitrack/PkqDispatchDefaults.h>

// The decimal text of a member number, written by the host
// (PKQ_int_to_str), for the by-number slots.
class MemberNumberText {
public:
    explicit MemberNumberText(pkq_int number);
    const pkq_char* Text() const { return text; }

private:
    pkq_char text[16] = {}; // any 32-bit number and its terminator
};

class tPKQDispatch : public PkqDispatchDefaults<MemberNumberText> {
public:
    // refCount 1; DispatchRefCount +1.
    tPKQDispatch();

    // 0: DispatchRefCount +1 and refCount +1; answers the new refCount.
    pkq_uint32 VY_CDECL AddRef() override;
    // 1: DispatchRefCount −1. On the last reference: sets `invalidated` and
    // calls BeforeDestruction (once); if that took no new reference the
    // object is deleted and 0 answered, otherwise the reference it took is
    // kept and the new count answered.
    pkq_uint32 VY_CDECL Release() override;

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
