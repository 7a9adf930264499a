// The module class template over its decoder class T: creates T decoders
// and opens them on streams from the host's storage provider.
// T derives from BasicHSSDecoder; the multi-track module specialises the
// template for its own decoder, which opens its sources itself.
#pragma once

#include "HSSModuleBase.h"

#include <new>

template <typename T>
class BasicHSSModule : public HSSModuleBase {
public:
    BasicHSSModule(HSSStorageProvider* provider, const ModuleInformation* information)
        : HSSModuleBase(provider, information)
    {
    }

    // Creates a decoder, asks the storage provider for `name`'s stream and
    // opens the decoder on it. S_OK with the decoder in `out` (one reference
    // for the caller); otherwise null in `out` and: E_FAIL when no decoder
    // could be made, no provider exists, a stream is missing or the decoder
    // cannot open it, or opening it throws; the provider's own negative
    // code when it fails.
    HRESULT VY_STDCALL OpenMediaInstance(const char16_t* name, IHSSWaveDecoder** out) override
    {
        if (!out)
            return E_INVALIDARG;
        *out = nullptr;
        T* decoder = CreateDecoder(name);
        if (!decoder)
            return E_FAIL;
        HSSStorageProvider* provider = StorageProvider();
        IStream* stream = nullptr;
        HRESULT result = E_FAIL;
        try {
            result = provider ? provider->OpenStreamForRead(name, &stream) : E_FAIL;
            if (SUCCEEDED(result))
                result = decoder->AttachStream(stream, name) ? S_OK : E_FAIL;
        } catch (...) {
            // Opening runs host code (the gain query) that may throw; the
            // open fails and everything it took is given back below (the
            // decoder's release closes what it had opened).
            result = E_FAIL;
        }
        if (stream)
            stream->Release(); // the decoder keeps its own reference
        if (SUCCEEDED(result)) {
            *out = decoder;
            return S_OK;
        }
        decoder->Release();
        return result;
    }

    // A new, unopened decoder with one reference, or null.
    [[nodiscard]] virtual T* CreateDecoder(const char16_t* /*name*/) { return new (std::nothrow) T(); }
};
