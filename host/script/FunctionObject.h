// Script functions made from C++ callables: what tests and tools hand the
// plug-in as script callbacks. A function object answers CallMember with a
// null name by running its callable (a name gives -1001), and IsInstanceOf
// "Function" and "Object" with 1. A callable may throw ScriptException:
// that is a script exception, which HMRDoTryBlock catches.
#pragma once

#include "DispatchObject.h"

#include <functional>

namespace host {

// The arguments of one call, as the function sees them.
class CallArgs {
public:
    CallArgs(pkq_uint32 flags, pkq_int count, tPKQVariant** params, tPKQVariant* result,
             iPKQDispatch2* objThis)
        : flags_(flags), count_(count < 0 ? 0 : count), params_(params), result_(result),
          this_(objThis)
    {
    }

    int Count() const { return count_; }
    // Argument i; void when i is out of range or its pointer is null.
    const Variant& operator[](int i) const;
    pkq_uint32 Flags() const { return flags_; }
    iPKQDispatch2* This() const { return this_; }
    // The result variant; null when the caller wants none.
    Variant* Result() const;
    // Stores `value` in the result when there is one.
    void SetResult(const Variant& value) const;

private:
    pkq_uint32 flags_;
    int count_;
    tPKQVariant** params_;
    tPKQVariant* result_;
    iPKQDispatch2* this_;
};

// The callable: answers a host result code.
using NativeFunction = std::function<pkq_int(const CallArgs&)>;

class FunctionObject : public DispatchObject {
public:
    // A new function with one reference for the caller.
    static FunctionObject* Create(NativeFunction function);

    int CallCount() const { return calls_; }

    pkq_int VY_CDECL CallMember(pkq_uint32 flags, const pkq_char* name, pkq_uint32* hint,
                                tPKQVariant* result, pkq_int count, tPKQVariant** params,
                                iPKQDispatch2* objThis) override;

protected:
    explicit FunctionObject(NativeFunction function);
    bool IsClass(std::u16string_view className) const override;

private:
    NativeFunction function_;
    int calls_ = 0;
};

// Read-only or read-write properties made from C++ callables: GetMember
// with a null name stores the getter's value; SetMember with a null name
// calls the setter (-1007 without one); names give -1001. IsInstanceOf
// "Property" and "Object" answer 1.
class PropertyObject : public DispatchObject {
public:
    using Getter = std::function<Variant()>;
    using Setter = std::function<void(const Variant&)>;

    // A new property with one reference for the caller.
    static PropertyObject* Create(Getter getter, Setter setter = {});

    int Reads() const { return reads_; }
    int Writes() const { return writes_; }

    pkq_int VY_CDECL GetMember(pkq_uint32 flags, const pkq_char* name, pkq_uint32* hint,
                               tPKQVariant* result, iPKQDispatch2* objThis) override;
    pkq_int VY_CDECL SetMember(pkq_uint32 flags, const pkq_char* name, pkq_uint32* hint,
                               const tPKQVariant* value, iPKQDispatch2* objThis) override;

protected:
    PropertyObject(Getter getter, Setter setter);
    bool IsClass(std::u16string_view className) const override;

private:
    Getter getter_;
    Setter setter_;
    int reads_ = 0;
    int writes_ = 0;
};

} // namespace host
