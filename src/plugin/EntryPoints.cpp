// The plug-in's exported entry points: the one file that sees every
// subsystem.
#include "HostModuleCheck.h"
#include "ProcessState.h"

#include <multitrack/MultiTrackModule.h>

#include <vymultitrack/GetModuleInstance.h>

#include <new>

VY_EXPORT HRESULT VY_STDCALL GetModuleInstance(IHSSModule** out, HSSStorageProvider* storageProvider,
                                               IStream* /*configStream*/, void* /*mainWindow*/)
{
    ProcessState& state = TheProcessState();
    state.KeepStorageProvider(storageProvider);
    if (ModuleRegistry* registry = state.EnsureRegistry(u"VyModules")) {
        registry->storageProvider = storageProvider;
        // With the decoders built in, no decoder library is linked here.
        static_assert(BuiltinDecoders, "link vyvorbis.dll and vyopus.dll here otherwise");
    }
    const bool sixteenBit = LivesInSixteenBitHostModule(storageProvider);
    MultiTrackModule* module = new (std::nothrow) MultiTrackModule(storageProvider, sixteenBit);
    if (out)
        *out = module;
    else if (module)
        module->Release();
    return S_OK;
}

// Keeps the exported function's type in step with the loader's view of it.
static_assert(std::is_same_v<decltype(&GetModuleInstance), GetModuleInstanceFunction>);
