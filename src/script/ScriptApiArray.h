// Walking a host array (or any host object with numbered members) the way
// the script API reads its arguments: count the members, then read each
// number in order, skipping the ones that cannot be read. Every call on the
// host object runs in the host's try block, so a script exception leaves as
// a thrown tHMRExceptionDesc.
#pragma once

#include <vymultitrack/PkqDispatch.h>

namespace scriptapi {

// The number of members of `object`, called with `objThis` as its `this`;
// 0 when the host answers a non-zero result code. `object` must not be null.
[[nodiscard]] pkq_int CountArrayMembers(iPKQDispatch2* object, iPKQDispatch2* objThis);

// Reads member `number` of `object` into `member` with the flag "member must
// exist"; the host's result code.
[[nodiscard]] pkq_int ReadArrayMember(iPKQDispatch2* object, pkq_int number, tPKQVariant& member,
                                      iPKQDispatch2* objThis);

// One reference on a host object, taken at construction and given back at
// the end of the scope (nothing for null).
class HostObjectHold {
public:
    explicit HostObjectHold(iPKQDispatch2* object) : object(object)
    {
        if (object)
            object->AddRef();
    }
    ~HostObjectHold()
    {
        if (object)
            object->Release();
    }
    HostObjectHold(const HostObjectHold&) = delete;
    HostObjectHold& operator=(const HostObjectHold&) = delete;

private:
    iPKQDispatch2* object;
};

// Calls `visit(member)` (member: tPKQVariant&) for each member of the object
// that `array` holds, in number order, reading each with GetMemberByNumber
// and the flag "member must exist"; reads that do not answer 0 are skipped.
// The walk stops early when `visit` answers false. The object and its
// `this` are held for the walk. Nothing happens when `array` holds no
// object.
template <class Visit> void ForEachArrayMember(const tPKQVariant& array, Visit visit)
{
    if (array.Type() != pvtObject)
        return;
    const tPKQVariantClosure closure = array.AsObjectClosureNoAddRef();
    if (!closure.Object)
        return;
    const HostObjectHold holdObject(closure.Object);
    const HostObjectHold holdThis(closure.ObjThis);
    iPKQDispatch2* objThis = closure.ObjThis ? closure.ObjThis : closure.Object;
    const pkq_int count = CountArrayMembers(closure.Object, objThis);
    for (pkq_int number = 0; number < count; ++number) {
        tPKQVariant member;
        if (ReadArrayMember(closure.Object, number, member, objThis) != 0)
            continue;
        if (!visit(member))
            return;
    }
}

} // namespace scriptapi
