#include "ThrowingArray.h"

#include <host/script/ScriptException.h>

namespace fuzz {

host::Variant ThrowingArray::Make(pkq_int count, pkq_int throwAt)
{
    return host::Variant::Adopt(new ThrowingArray(count, throwAt));
}

pkq_int ThrowingArray::CountMembers(pkq_int* result, const pkq_char*, pkq_uint32*, iPKQDispatch2*)
{
    if (result)
        *result = count_;
    return PKQ_S_OK;
}

pkq_int ThrowingArray::GetMemberByNumber(pkq_uint32, pkq_int number, tPKQVariant* result, iPKQDispatch2*)
{
    if (number >= throwAt_)
        throw host::ScriptException(u"no more changes");
    if (result)
        host::Variant::View(*result) = number % 2 == 0 ? host::Variant(u"drums") : host::Variant(0.0);
    return PKQ_S_OK;
}

} // namespace fuzz
