// The image mtrk-render loads as "hmdevui.dll" for --pcm16. The plug-in
// chooses its 16-bit decoder class when the storage provider it is given
// lives in an image of that name, so the provider here is a static object
// of this image; it forwards every open to the provider the tool sets
// (the reference host's file storage).
#include "StorageForwarding.h"

#include <vymultitrack/CallingConvention.h>

namespace {

class ForwardingStorageProvider final : public HSSStorageProvider {
public:
    HRESULT VY_STDCALL QueryInterface(REFIID iid, void** out) override
    {
        if (!out)
            return E_INVALIDARG;
        *out = iid == IID_IUnknown ? this : nullptr;
        if (!*out)
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    // A static object: the count is kept for symmetry, the object never dies.
    ULONG VY_STDCALL AddRef() override { return ++count; }
    ULONG VY_STDCALL Release() override { return --count; }
    HRESULT VY_STDCALL OpenStreamForRead(const char16_t* name, IStream** out) override
    {
        return forwarding.Open(name, out);
    }

    mtrk::StorageForwarding forwarding;

private:
    ULONG count = 1;
};

ForwardingStorageProvider provider;

} // namespace

// Makes the image's provider forward to `target` (one reference is kept;
// null drops it) and returns the provider, which lives as long as the image.
VY_EXPORT HSSStorageProvider* ForwardStorageTo(HSSStorageProvider* target)
{
    provider.forwarding.SetTarget(target);
    return &provider;
}
