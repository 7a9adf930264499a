// The plug-in's exported entry points: the one file that sees every
// subsystem. No C++ exception leaves them: the host is not prepared for one.
#include <plugin/HostFunctions.h>
#include <plugin/HostModuleCheck.h>
#include <plugin/LicenceNotices.h>
#include <plugin/ProcessState.h>
#include <plugin/ScriptHSSLogger.h>

#include <decoders/BuiltinModules.h>
#include <decoders/SystemArgumentQueryGain.h>
#include <multitrack/decoder/MultiTrackModule.h>
#include <script/ScriptApi.h>
#include <script/ScriptInterface.h>

#include <vymultitrack/GetModuleInstance.h>
#include <vymultitrack/HostEngine.h>

#include <new>

namespace {

OwnedGainQuery CreateGainQuery(const char16_t* gainOption, const char16_t* modeOption, const char16_t* setterName)
{
    const GainQueryDeleter deleter{[](QueryGainInterface* query) { delete static_cast<SystemArgumentQueryGain*>(query); }};
    return OwnedGainQuery(new (std::nothrow) SystemArgumentQueryGain(gainOption, modeOption, setterName), deleter);
}

void CreateGainQueries(ProcessState& state)
{
    // A second link without an unlink replaces the objects of the first.
    state.opusGainQuery.reset();
    state.vorbisGainQuery.reset();
    state.opusGainQuery = CreateGainQuery(u"-opus_gain", u"-opus_rg", u"setGainQueryCallback_mtbiOPUS");
    state.vorbisGainQuery = CreateGainQuery(u"-vorbis_gain", u"-vorbis_rg", u"setGainQueryCallback_mtbiVORBIS");
}

// Takes the script interface out of the process state and retires it: its
// members leave WaveSoundBuffer, and decoders that still hold it keep a
// harmless object until they go.
void RetireScriptInterface(ProcessState& state)
{
    auto* linked = dynamic_cast<ScriptInterface*>(state.scriptInterface);
    state.scriptInterface = nullptr;
    if (linked)
        linked->Retire();
}

void LinkScriptInterface(ProcessState& state)
{
    RetireScriptInterface(state);
    ScriptInterface* created = ScriptInterface::Create(hostapi::PKQCreateDictionaryObject());
    if (!created)
        return;
    try {
        static_cast<void>(RegisterScriptAPI(true));
    } catch (...) {
        created->Retire();
        throw;
    }
    state.scriptInterface = created;
}

// Takes back what a link that failed half-way added: its gain setters
// (their members leave WaveSoundBuffer) and its script interface. Left in
// place, the setters would keep the unlink refused for as long as they live.
void RollBackLink(ProcessState& state) noexcept
{
    state.opusGainQuery.reset();
    state.vorbisGainQuery.reset();
    RetireScriptInterface(state);
}

void TearDown(ProcessState& state)
{
    ReleaseBuiltinModules();
    state.ReleaseStorageProvider();
    state.opusGainQuery.reset();
    state.vorbisGainQuery.reset();
    state.DestroyRegistry();
    RetireScriptInterface(state);
}

} // namespace

VY_EXPORT HRESULT VY_STDCALL GetModuleInstance(IHSSModule** out,
                                               HSSStorageProvider* storageProvider,
                                               IStream* /*configStream*/, void* /*mainWindow*/)
{
    MultiTrackModule* module = nullptr;
    try {
        ProcessState& state = TheProcessState();
        // The built-in modules keep a plain copy of the provider they were
        // made with: when another provider replaces it, let them go before
        // the old one may be destroyed, so the next source opens through a
        // module made with the new provider instead of a dangling pointer.
        if (storageProvider && storageProvider != state.storageProvider)
            ReleaseBuiltinModules();
        state.KeepStorageProvider(storageProvider);
        if (ModuleRegistry* registry = state.EnsureRegistry(u"VyModules")) {
            registry->storageProvider = storageProvider;
            // With the decoders built in, no decoder library is linked here.
            static_assert(BuiltinDecoders, "link vyvorbis.dll and vyopus.dll here otherwise");
        }
        const bool sixteenBit = LivesInSixteenBitHostModule(storageProvider);
        module = new (std::nothrow) MultiTrackModule(storageProvider, sixteenBit);
    } catch (...) {
        // Out of memory on the way: the module is absent, as when it cannot
        // be allocated.
        module = nullptr;
    }
    if (out)
        *out = module;
    else if (module)
        module->Release();
    return S_OK;
}

VY_EXPORT HRESULT VY_STDCALL V2Link(HostFunctionExporter* exporter)
{
    // Without an exporter no host function can be bound: nothing is linked.
    if (!exporter)
        return E_FAIL;
    try {
        ProcessState& state = TheProcessState();
        state.exporter = exporter;
        ShowLicenceNotices();
        CreateGainQueries(state);
        if (ModuleRegistry* registry = state.EnsureRegistry(u"VyMultiTrack"))
            registry->logger = &ScriptLogger();
        LinkScriptInterface(state);
        // Last: references the host took on the objects registered above
        // are the baseline V2Unlink compares against.
        state.refCountAtLink = state.dispatchRefCount;
        return S_OK;
    } catch (...) {
        RollBackLink(TheProcessState());
        return E_FAIL;
    }
}

VY_EXPORT HRESULT VY_STDCALL V2Unlink()
{
    try {
        ProcessState& state = TheProcessState();
        // Never linked: there is no host to ask and nothing of the script
        // face to tear down.
        if (!state.exporter)
            return S_OK;
        iPKQDispatch2* global = hostapi::HMRGetScriptDispatch();
        if (!global)
            return S_OK;
        global->Release();
        if (state.dispatchRefCount > state.refCountAtLink)
            return E_FAIL; // a script still holds one of the plug-in's objects
        TearDown(state);
        return S_OK;
    } catch (...) {
        return E_FAIL;
    }
}

// Keeps the exported functions' types in step with the loader's view of them.
static_assert(std::is_same_v<decltype(&GetModuleInstance), GetModuleInstanceFunction>);
static_assert(std::is_same_v<decltype(&V2Link), V2LinkFunction>);
static_assert(std::is_same_v<decltype(&V2Unlink), V2UnlinkFunction>);
