#include "WavModule.h"

#include "WavDecoder.h"

#include <vymultitrack/GetModuleInstance.h>
#include <vymultitrack/Guid.h>

#include <new>
#include <type_traits>

namespace vywav {

namespace {

HRESULT CopyText(const char16_t* text, char16_t* buffer, std::uint32_t length)
{
    if (length == 0)
        return S_OK;
    if (!buffer)
        return E_INVALIDARG;
    std::uint32_t n = 0;
    for (; n + 1 < length && text[n] != 0; ++n)
        buffer[n] = text[n];
    buffer[n] = 0;
    return S_OK;
}

} // namespace

WavModule* WavModule::Create(HSSStorageProvider* provider)
{
    return new (std::nothrow) WavModule(provider);
}

WavModule::WavModule(HSSStorageProvider* provider) : provider_(provider)
{
    if (provider_)
        provider_->AddRef();
}

WavModule::~WavModule()
{
    if (provider_)
        provider_->Release();
}

HRESULT WavModule::GetCopyrightText(char16_t* buffer, std::uint32_t length)
{
    return CopyText(kCopyrightText, buffer, length);
}

HRESULT WavModule::GetDescriptionText(char16_t* buffer, std::uint32_t length)
{
    return CopyText(kDescriptionText, buffer, length);
}

HRESULT WavModule::EnumSupportedExtension(std::uint32_t index, char16_t* shortName, char16_t* extension,
                                          std::uint32_t length)
{
    if (index != 0)
        return S_FALSE;
    if (shortName) {
        std::uint32_t n = 0;
        for (; kShortName[n] != 0; ++n)
            shortName[n] = kShortName[n];
        shortName[n] = 0;
    }
    return CopyText(kExtension, extension, length);
}

HRESULT WavModule::GetMediaInformation(const char16_t*, void**)
{
    return E_NOTIMPL;
}

HRESULT WavModule::CheckMediaSupport(const char16_t*)
{
    return E_NOTIMPL;
}

HRESULT WavModule::OpenMediaInstance(const char16_t* name, IHSSWaveDecoder** out)
{
    if (!out)
        return E_INVALIDARG;
    *out = nullptr;
    if (!name)
        return E_INVALIDARG;
    if (!provider_)
        return E_FAIL;
    IStream* stream = nullptr;
    const HRESULT opened = provider_->OpenStreamForRead(name, &stream);
    if (FAILED(opened)) {
        if (stream)
            stream->Release();
        return opened;
    }
    if (!stream)
        return E_FAIL;
    WavDecoder* decoder = nullptr;
    const WavError error = WavDecoder::Open(stream, &decoder);
    stream->Release(); // the decoder holds its own reference
    if (error != WavError::None)
        return E_FAIL;
    *out = decoder;
    return S_OK;
}

} // namespace vywav

// The library's one export.
VY_EXPORT HRESULT VY_STDCALL GetModuleInstance(IHSSModule** out, HSSStorageProvider* storageProvider,
                                               IStream* /*configStream*/, void* /*mainWindow*/)
{
    if (!out)
        return E_INVALIDARG;
    *out = vywav::WavModule::Create(storageProvider);
    return *out ? S_OK : E_OUTOFMEMORY;
}

static_assert(std::is_same_v<decltype(&GetModuleInstance), GetModuleInstanceFunction>);
