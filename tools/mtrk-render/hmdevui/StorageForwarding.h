// The part of a storage provider that hands every open to another provider,
// which can be changed: shared by the tool's own provider and the one in
// the "hmdevui.dll" image (header-only: that image links nothing else).
#pragma once

#include <vymultitrack/HSSStorageProvider.h>

namespace mtrk {

class StorageForwarding {
public:
    StorageForwarding() = default;
    ~StorageForwarding() { SetTarget(nullptr); }
    StorageForwarding(const StorageForwarding&) = delete;
    StorageForwarding& operator=(const StorageForwarding&) = delete;

    // Keeps one reference on `target` (null drops the one kept).
    void SetTarget(HSSStorageProvider* target)
    {
        if (target)
            target->AddRef();
        if (target_)
            target_->Release();
        target_ = target;
    }

    HRESULT Open(const char16_t* name, IStream** out) const
    {
        if (target_)
            return target_->OpenStreamForRead(name, out);
        if (out)
            *out = nullptr;
        return E_FAIL;
    }

private:
    HSSStorageProvider* target_ = nullptr;
};

} // namespace mtrk
