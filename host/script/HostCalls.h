// Helpers for calling the exported host functions the way the plug-in
// does: by signature, with the function-pointer types of
// HostFunctionTypes.h, on raw storage that the constructor thunks fill.
// For tests and tools.
#pragma once

#include "ScriptRuntime.h"

#include <vymultitrack/HostFunctionTypes.h>

namespace host {

// The host function of `signature` as `Fn` (null when the host has none).
template <typename Fn> Fn HostFunction(const char* signature)
{
    return reinterpret_cast<Fn>(ScriptExporter::Lookup(signature));
}

// Storage for one plug-in-side object (tPKQString, tPKQVariant,
// tHMRExceptionDesc) that host thunks construct and destroy.
template <typename T> class RawStorage {
public:
    RawStorage() = default;
    RawStorage(const RawStorage&) = delete;
    RawStorage& operator=(const RawStorage&) = delete;
    T* get() { return reinterpret_cast<T*>(bytes_); }
    T& operator*() { return *get(); }

private:
    alignas(T) unsigned char bytes_[sizeof(T)] = {};
};

} // namespace host
