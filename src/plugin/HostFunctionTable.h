// The binding table: one entry per host function the plug-in calls, holding
// its signature string and the function pointer bound for it. Pointers start
// null, are filled on first use (HostBinding.h) and are never cleared.
#pragma once

#include <vymultitrack/HostFunctionTypes.h>

#include <array>
#include <atomic>
#include <cstddef>

struct HostFunctionSlot {
    const char* signature = nullptr;
    // Written once by the binding; read by any thread that calls the host.
    std::atomic<void*> function{nullptr};
};

class HostFunctionTable {
public:
    // One empty slot per signature of vyhostfn::kAllSignatures, in its order.
    HostFunctionTable();
    HostFunctionTable(const HostFunctionTable&) = delete;
    HostFunctionTable& operator=(const HostFunctionTable&) = delete;

    // `index` < vyhostfn::kSignatureCount.
    HostFunctionSlot& Slot(std::size_t index) { return slots[index]; }

private:
    std::array<HostFunctionSlot, vyhostfn::kSignatureCount> slots;
};

// The position of `signature` (compared by text) in vyhostfn::kAllSignatures;
// vyhostfn::kSignatureCount when it is not there.
constexpr std::size_t SignatureIndex(const char* signature)
{
    for (std::size_t i = 0; i < vyhostfn::kSignatureCount; ++i) {
        const char* a = vyhostfn::kAllSignatures[i];
        const char* b = signature;
        while (*a && *a == *b) {
            ++a;
            ++b;
        }
        if (*a == *b)
            return i;
    }
    return vyhostfn::kSignatureCount;
}
