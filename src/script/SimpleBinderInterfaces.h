// The callback objects a binder store forwards to: a function's call, a
// property's read and write. Each is owned by its store and destroyed
// through its virtual destructor.
#pragma once

#include <vymultitrack/PkqDispatch.h>

namespace SimpleBinder::Detail {

class FunctionInterface {
public:
    // Calls the function with `count` arguments (`params`, may be null when
    // `count` is 0). `result` may be null. Answers a host result code.
    virtual pkq_int Call(pkq_uint32 flags, tPKQVariant* result, pkq_int count, tPKQVariant** params,
                         iPKQDispatch2* objThis) = 0;
    virtual ~FunctionInterface() = default;
};

class GetterInterface {
public:
    // Reads the property into `result` (may be null). Answers a host result
    // code.
    virtual pkq_int Get(pkq_uint32 flags, tPKQVariant* result, iPKQDispatch2* objThis) = 0;
    virtual ~GetterInterface() = default;
};

class SetterInterface {
public:
    // Writes `value` into the property. Answers a host result code.
    virtual pkq_int Set(pkq_uint32 flags, const tPKQVariant* value, iPKQDispatch2* objThis) = 0;
    virtual ~SetterInterface() = default;
};

} // namespace SimpleBinder::Detail
