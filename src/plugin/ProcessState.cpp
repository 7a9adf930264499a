#include "ProcessState.h"

#include "ScriptHSSLogger.h"

#include <new>

ProcessState& TheProcessState()
{
    static ProcessState* const state = new ProcessState();
    return *state;
}

BasicHSSLogger& FallbackLogger()
{
    static BasicHSSLogger logger; // thread-safe one-time initialisation
    return logger;
}

ScriptHSSLogger& ScriptLogger()
{
    static ScriptHSSLogger logger;
    return logger;
}

void ProcessState::KeepStorageProvider(HSSStorageProvider* provider)
{
    if (!provider)
        return;
    provider->AddRef();
    ReleaseStorageProvider();
    storageProvider = provider;
}

void ProcessState::ReleaseStorageProvider()
{
    if (storageProvider)
        storageProvider->Release();
    storageProvider = nullptr;
}

ModuleRegistry* ProcessState::EnsureRegistry(const std::u16string& name)
{
    if (!registry) {
        try {
            registry = new ModuleRegistry(name, &FallbackLogger());
        } catch (const std::bad_alloc&) {
            // An allocation failure leaves the registry absent.
        }
    }
    return registry;
}

void ProcessState::DestroyRegistry()
{
    delete registry;
    registry = nullptr;
}
