#include "ScriptApiArray.h"

#include <plugin/HostTryBlock.h>

namespace scriptapi {

pkq_int CountArrayMembers(iPKQDispatch2* object, iPKQDispatch2* objThis)
{
    pkq_int count = 0;
    if (hostapi::TryCountMembers(object, &count, nullptr, nullptr, objThis) != 0)
        return 0;
    return count;
}

pkq_int ReadArrayMember(iPKQDispatch2* object, pkq_int number, tPKQVariant& member,
                        iPKQDispatch2* objThis)
{
    return hostapi::TryGetMemberByNumber(object, PKQ_MEMBERMUSTEXIST, number, &member, objThis);
}

} // namespace scriptapi
