#include "SimpleBinderCallbacks.h"

namespace SimpleBinder::Detail {

namespace {

// Argument `index` of the call, or null when the call has fewer.
tPKQVariant* Argument(pkq_int count, tPKQVariant** params, pkq_int index)
{
    return index < count ? params[index] : nullptr;
}

// A call without an argument array has no arguments, whatever its count says.
pkq_int ArgumentCount(pkq_int count, tPKQVariant** params)
{
    return params && count > 0 ? count : 0;
}

} // namespace

template <>
pkq_int FunctionCallback<NativeFunctionWithRest>::Call(pkq_uint32, tPKQVariant* result,
                                                       pkq_int count, tPKQVariant** params,
                                                       iPKQDispatch2*)
{
    count = ArgumentCount(count, params);
    if (count < minParams)
        return PKQ_E_BADPARAMCOUNT;
    constexpr pkq_int kFixed = 3;
    const int restCount = count > kFixed ? count - kFixed : 0;
    tPKQVariant** rest = count > kFixed ? params + kFixed : nullptr;
    return nativeFunction(result, Argument(count, params, 0), Argument(count, params, 1),
                          Argument(count, params, 2), restCount, rest);
}

template <>
pkq_int FunctionCallback<NativeFunctionOfTwo>::Call(pkq_uint32, tPKQVariant* result, pkq_int count,
                                                    tPKQVariant** params, iPKQDispatch2*)
{
    count = ArgumentCount(count, params);
    if (count < minParams)
        return PKQ_E_BADPARAMCOUNT;
    return nativeFunction(result, Argument(count, params, 0), Argument(count, params, 1));
}

} // namespace SimpleBinder::Detail
