// Binding host functions by signature: each host function is looked up
// through the host's function exporter the first time it is called and kept
// in the binding table (ProcessState::hostFunctions) from then on.
//
//   HostFunction<vyhostfn::PKQStringCtor, vyhostfn::kPKQStringCtor>()(this);
#pragma once

#include "HostFunctionTable.h"

#include <vymultitrack/HostEngine.h>

#include <new>

namespace hostapi {

// Answers the function of `slot`, binding it through `exporter` (one
// function per request) when the slot is still empty. When the exporter
// lacks it, binds `unboundErrorSlot` ("void
// ::HMRThrowPluginUnboundFunctionError(const char *)") the same way and
// calls it with the missing signature: the host raises its error and this
// does not return. When even that function is missing (or `exporter` is
// null, or the host's error function returns), the plug-in cannot go on:
// the message goes to standard error and the process aborts. Never answers
// null.
[[nodiscard]] void* BindHostFunction(HostFunctionExporter* exporter, HostFunctionSlot& slot,
                                     HostFunctionSlot& unboundErrorSlot);

// Writes that the host lacks `signature` to standard error and aborts: the
// end of the road when the host cannot even report a missing function.
[[noreturn]] void StopForMissingHostFunction(const char* signature);

// BindHostFunction for entry `index` of the process-wide binding table, through the
// exporter stored by V2Link.
[[nodiscard]] void* BoundHostFunction(std::size_t index);

// The host function with signature string `Signature`, as a `Fn` pointer
// (the type HostFunctionTypes.h gives for it).
template <class Fn, const char* const& Signature> [[nodiscard]] Fn HostFunction()
{
    constexpr std::size_t index = SignatureIndex(Signature);
    static_assert(index < vyhostfn::kSignatureCount, "not a host function signature");
    return reinterpret_cast<Fn>(BoundHostFunction(index));
}

// A string that a host function constructs into raw storage (the functions
// that return a tPKQString by value): `construct(out)` builds it, and the
// answer is a copy the caller owns; the host's value is destroyed here.
template <class Construct> [[nodiscard]] tPKQString StringBuiltByHost(Construct construct)
{
    alignas(tPKQString) unsigned char storage[sizeof(tPKQString)];
    tPKQString* built = reinterpret_cast<tPKQString*>(storage);
    construct(built);
    built = std::launder(built);
    struct Destroy {
        tPKQString* value;
        ~Destroy() { value->~tPKQString(); }
    } destroy{built};
    return tPKQString(*built);
}

} // namespace hostapi
