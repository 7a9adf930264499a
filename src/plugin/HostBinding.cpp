#include "HostBinding.h"

#include "ProcessState.h"

#include <cstdio>
#include <cstdlib>

namespace hostapi {

namespace {

// Asks the exporter for the one function of `slot`; true when it was found.
bool TryBind(HostFunctionExporter* exporter, HostFunctionSlot& slot)
{
    if (!exporter)
        return false;
    const char* names[1] = {slot.signature};
    void* functions[1] = {nullptr};
    if (!exporter->QueryFunctionsByNarrowString(names, functions, 1) || !functions[0])
        return false;
    slot.function.store(functions[0], std::memory_order_release);
    return true;
}

[[noreturn]] void ReportUnbound(HostFunctionExporter* exporter, const char* signature,
                                HostFunctionSlot& unboundErrorSlot)
{
    if (unboundErrorSlot.function.load(std::memory_order_acquire) ||
        TryBind(exporter, unboundErrorSlot)) {
        const auto raise = reinterpret_cast<vyhostfn::HMRThrowPluginUnboundFunctionErrorFn>(
            unboundErrorSlot.function.load(std::memory_order_acquire));
        raise(signature);
    }
    // Either the host cannot even report the missing function, or its report
    // came back: there is no host function to call and nothing to return.
    StopForMissingHostFunction(signature);
}

} // namespace

void StopForMissingHostFunction(const char* signature)
{
    std::fprintf(stderr, "vymultitrack: the host does not export \"%s\"; cannot continue\n",
                 signature ? signature : "");
    std::fflush(stderr);
    std::abort();
}

void* BindHostFunction(HostFunctionExporter* exporter, HostFunctionSlot& slot,
                       HostFunctionSlot& unboundErrorSlot)
{
    if (void* function = slot.function.load(std::memory_order_acquire))
        return function;
    if (!TryBind(exporter, slot))
        ReportUnbound(exporter, slot.signature, unboundErrorSlot);
    return slot.function.load(std::memory_order_acquire);
}

void* BoundHostFunction(std::size_t index)
{
    ProcessState& state = TheProcessState();
    constexpr std::size_t unboundError =
        SignatureIndex(vyhostfn::kHMRThrowPluginUnboundFunctionError);
    return BindHostFunction(state.exporter, state.hostFunctions.Slot(index),
                            state.hostFunctions.Slot(unboundError));
}

} // namespace hostapi
