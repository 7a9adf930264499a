// The state the plug-in keeps for the whole process, shared by its sound
// face (GetModuleInstance) and its script face. One instance; the entry
// points set it up and tear it down, and take no locks: the host does not
// call them concurrently.
#pragma once

#include "BasicHSSLogger.h"
#include "HostFunctionTable.h"
#include "ModuleRegistry.h"

#include <vymultitrack/HSSStorageProvider.h>
#include <vymultitrack/IHSSModule.h>

#include <cstdint>
#include <memory>
#include <string>

class QueryGainInterface;
class MultiTrackCallbackIntf;
class HostFunctionExporter;
class ScriptHSSLogger;

// Owns a gain query through the function that destroys its concrete type;
// without one (a query the caller keeps) nothing is destroyed.
struct GainQueryDeleter {
    void (*destroy)(QueryGainInterface*) = nullptr;
    void operator()(QueryGainInterface* query) const
    {
        if (destroy)
            destroy(query);
    }
};
using OwnedGainQuery = std::unique_ptr<QueryGainInterface, GainQueryDeleter>;

// The Opus and Vorbis decoders are part of the plug-in (fixed at build time).
inline constexpr bool BuiltinDecoders = true;

struct ProcessState {
    // The host engine's function exporter, stored by V2Link; not counted.
    HostFunctionExporter* exporter = nullptr;
    // Outstanding references on the plug-in's script objects, and their
    // number when linking finished.
    std::int32_t dispatchRefCount = 0;
    std::int32_t refCountAtLink = 0;
    // The host functions bound so far; kept for the whole process.
    HostFunctionTable hostFunctions;
    // The host's storage provider, one reference held while set.
    HSSStorageProvider* storageProvider = nullptr;
    // The built-in decoder modules, one reference each while set.
    IHSSModule* opusModule = nullptr;
    IHSSModule* vorbisModule = nullptr;
    // The gain queries of the built-in decoders; either may be null.
    OwnedGainQuery opusGainQuery;
    OwnedGainQuery vorbisGainQuery;
    // The registry of linked decoder modules, owned; null until an entry
    // point creates it. Only DestroyRegistry deletes it (a successful
    // V2Unlink): at process exit the modules it holds may live in libraries
    // that are already unloaded, so nothing releases them then.
    ModuleRegistry* registry = nullptr;
    // The script side's callback interface for new multi-track decoders;
    // null while the script face is not linked.
    MultiTrackCallbackIntf* scriptInterface = nullptr;

    // Replaces the kept storage provider with `provider` (AddRef); a null
    // argument keeps the current one.
    void KeepStorageProvider(HSSStorageProvider* provider);
    // Releases the kept storage provider, if any.
    void ReleaseStorageProvider();
    // Creates the registry named `name` unless one exists. Its logger starts
    // as the fallback logger. Answers the registry (null only when it cannot
    // be allocated).
    ModuleRegistry* EnsureRegistry(const std::u16string& name);
    // Destroys the registry (its modules are released first).
    void DestroyRegistry();
};

// The one process-wide instance. It is never destroyed: what it holds
// belongs to the host (its provider, its script objects) or to libraries
// the host may have unloaded by the time static objects are destroyed, so
// at process exit nothing is released.
ProcessState& TheProcessState();

// The logger a new registry starts with: writes to the debugger output.
// Created on first use, lives until the process ends.
BasicHSSLogger& FallbackLogger();
// The logger that writes to the host's log; V2Link makes it the registry's
// logger. Lives until the process ends.
ScriptHSSLogger& ScriptLogger();
