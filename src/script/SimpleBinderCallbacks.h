// Callback objects that hold a plain native function. The native function
// receives the result variant (may be null) first and answers the host
// result code; flags and the call's `this` are not passed on.
#pragma once

#include "SimpleBinderInterfaces.h"

namespace SimpleBinder::Detail {

// result, arguments 0 to 2, the number of further arguments and a pointer to
// the first of them (null when there are none).
using NativeFunctionWithRest = int (*)(tPKQVariant*, tPKQVariant*, tPKQVariant*, tPKQVariant*, int,
                                       tPKQVariant**);
// result, arguments 0 and 1.
using NativeFunctionOfTwo = int (*)(tPKQVariant*, tPKQVariant*, tPKQVariant*);
// result only (a property getter).
using NativeGetter = int (*)(tPKQVariant*);

// A function member calling `NativeFunction`, one of the two function
// signatures above. `minParams` is the number of its fixed arguments.
template <class NativeFunction> class FunctionCallback : public FunctionInterface {
public:
    FunctionCallback(pkq_int32 minimumParams, NativeFunction function)
        : minParams(minimumParams), nativeFunction(function)
    {
    }
    // Fewer than `minParams` arguments (a null `params` counts as none):
    // PKQ_E_BADPARAMCOUNT (−1004), nothing called. Otherwise the native
    // function's answer. With the rest list it receives arguments 0 to 2
    // (each null when the call has fewer), the count of the others (never
    // below 0) and a pointer to the fourth (null when count ≤ 3); with two
    // arguments it receives arguments 0 and 1 and further ones are dropped.
    pkq_int Call(pkq_uint32 flags, tPKQVariant* result, pkq_int count, tPKQVariant** params,
                 iPKQDispatch2* objThis) override;

private:
    pkq_int32 minParams;
    NativeFunction nativeFunction;
};

template <>
pkq_int FunctionCallback<NativeFunctionWithRest>::Call(pkq_uint32, tPKQVariant*, pkq_int,
                                                       tPKQVariant**, iPKQDispatch2*);
template <>
pkq_int FunctionCallback<NativeFunctionOfTwo>::Call(pkq_uint32, tPKQVariant*, pkq_int,
                                                    tPKQVariant**, iPKQDispatch2*);

// A property read calling `NativeGetterFunction` (NativeGetter).
template <class NativeGetterFunction> class GetterCallback : public GetterInterface {
public:
    explicit GetterCallback(NativeGetterFunction function) : nativeFunction(function) {}
    // The native function's answer.
    pkq_int Get(pkq_uint32, tPKQVariant* result, iPKQDispatch2*) override
    {
        return nativeFunction(result);
    }

private:
    NativeGetterFunction nativeFunction;
};

} // namespace SimpleBinder::Detail
