#include "ProcessState.h"

#include "ScriptHSSLogger.h"

#include <new>

ProcessState& TheProcessState()
{
    // Made in static storage and never destroyed: not on the heap either,
    // since a host that unloads the library would leave it there unowned.
    alignas(ProcessState) static unsigned char storage[sizeof(ProcessState)];
    static ProcessState* const state = new (storage) ProcessState();
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
