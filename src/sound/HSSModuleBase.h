// What every module class of the plug-in shares, whatever decoder it makes:
// the reference count, the storage provider copy, the information record and
// the interface slots that do not depend on the decoder type.
// BasicHSSModule<T> adds the decoder-specific slots on top.
#pragma once

#include "ModuleInformation.h"

#include <vymultitrack/HSSStorageProvider.h>
#include <vymultitrack/IHSSModule.h>

#include <atomic>
#include <cstdint>

class HSSModuleBase : public IHSSModule {
public:
    HRESULT VY_STDCALL QueryInterface(REFIID iid, void** out) override;
    ULONG VY_STDCALL AddRef() override;
    ULONG VY_STDCALL Release() override;
    HRESULT VY_STDCALL GetCopyrightText(char16_t* buffer, std::uint32_t length) override;
    HRESULT VY_STDCALL GetDescriptionText(char16_t* buffer, std::uint32_t length) override;
    HRESULT VY_STDCALL EnumSupportedExtension(std::uint32_t index, char16_t* shortName,
                                              char16_t* extension, std::uint32_t length) override;
    HRESULT VY_STDCALL GetMediaInformation(const char16_t* name, void** information) override;
    HRESULT VY_STDCALL CheckMediaSupport(const char16_t* name) override;

    // The storage provider the module opens sources through; a plain copy
    // without a reference of its own. May be null.
    [[nodiscard]] HSSStorageProvider* StorageProvider() const { return storageProvider; }

protected:
    // `provider` and `information` may be null; neither is owned.
    HSSModuleBase(HSSStorageProvider* provider, const ModuleInformation* information);
    virtual ~HSSModuleBase() = default;

private:
    std::atomic<std::uint32_t> refCount{1};
    HSSStorageProvider* storageProvider;
    const ModuleInformation* info;
};

// Copies at most length-1 code units of `text` into `buffer` and terminates
// it; length 0 writes nothing. A null text copies an empty string.
void CopyTextToBuffer(const char16_t* text, char16_t* buffer, std::uint32_t length);
