#include "MultiTrackModule.h"

#include <multitrack/decoder/MultiTrackDecoder16bitImpl.h>
#include <multitrack/decoder/MultiTrackDecoderBaseImpl.h>

#include <plugin/ProcessState.h>

#include <new>

namespace {

constexpr ModuleExtensionEntry kExtensions[] = {
    {u"Multi track mixing", u".mtrk"},
    {u"Multi channel mixing", u".mchx"},
};

constexpr ModuleInformation kInformation = {
    u"VyMultiTrack interactive music mixer (c) 2026 the VyMultiTrack developers",
    u"HMRSnd multi track mixer",
    2,
    kExtensions,
};

} // namespace

const ModuleInformation& MultiTrackModuleInformation()
{
    return kInformation;
}

bool BasicHSSModule<MultiTrackDecoder>::OpenDecoder(MultiTrackDecoder* decoder, const char16_t* url)
{
    if (!decoder->Open(url, decoder->Format()))
        return false;
    decoder->SetOpened(true);
    return true;
}

HRESULT BasicHSSModule<MultiTrackDecoder>::RetryAfterFailedOpen(MultiTrackDecoder* decoder, const char16_t* url)
{
    // Ask the storage itself, so that the host learns its own code when the
    // URL cannot be opened at all.
    HSSStorageProvider* provider = StorageProvider();
    IStream* stream = nullptr;
    const HRESULT result = provider ? provider->OpenStreamForRead(url, &stream) : E_FAIL;
    if (stream)
        stream->Release();
    if (FAILED(result))
        return result;
    if (stream)
        return E_FAIL; // the file is there but is no playable track list
    return OpenDecoder(decoder, url) ? S_OK : E_FAIL;
}

HRESULT BasicHSSModule<MultiTrackDecoder>::OpenMediaInstance(const char16_t* url, IHSSWaveDecoder** out)
{
    if (!out)
        return E_INVALIDARG;
    *out = nullptr;
    MultiTrackDecoder* decoder = nullptr;
    HRESULT result = E_FAIL;
    try {
        decoder = CreateDecoder(url);
        if (!decoder)
            return E_FAIL;
        result = OpenDecoder(decoder, url) ? S_OK : RetryAfterFailedOpen(decoder, url);
    } catch (...) {
        // Nothing may escape to the host.
        result = E_FAIL;
    }
    if (SUCCEEDED(result)) {
        *out = decoder;
        return S_OK;
    }
    if (decoder)
        decoder->Release();
    return result;
}

MultiTrackDecoder* BasicHSSModule<MultiTrackDecoder>::CreateDecoder(const char16_t*)
{
    return nullptr;
}

MultiTrackDecoder* MultiTrackModule::CreateDecoder(const char16_t*)
{
    MultiTrackCallbackIntf* callback = TheProcessState().scriptInterface;
    if (use16BitOutput)
        return new (std::nothrow) MultiTrackDecoder16bitImpl(StorageProvider(), callback);
    return new (std::nothrow) MultiTrackDecoderBaseImpl(StorageProvider(), callback);
}

MultiTrackModule::MultiTrackModule(HSSStorageProvider* provider, bool sixteenBit)
    : BasicHSSModule<MultiTrackDecoder>(provider, &kInformation), use16BitOutput(sixteenBit)
{
}
