// A sound-system module: tells what it decodes and creates decoders.
#pragma once

#include "IHSSWaveDecoder.h"
#include "Unknown.h"

#include <cstdint>

struct IHSSModule : IUnknown {
    // Copies at most length-1 characters of the copyright text into `buffer`
    // and terminates it (length 0 writes nothing). E_NOTIMPL when the module
    // carries no information record.
    virtual HRESULT VY_STDCALL GetCopyrightText(char16_t* buffer, std::uint32_t length) = 0;
    // The same for the description.
    virtual HRESULT VY_STDCALL GetDescriptionText(char16_t* buffer, std::uint32_t length) = 0;
    // Extension entry `index`: copies the media short name whole into
    // `shortName` (the caller's buffer must hold it) and the extension, with
    // its leading dot, like GetCopyrightText. S_OK; S_FALSE past the last
    // entry; E_NOTIMPL without an information record.
    virtual HRESULT VY_STDCALL EnumSupportedExtension(std::uint32_t index, char16_t* shortName,
                                                      char16_t* extension, std::uint32_t length) = 0;
    virtual HRESULT VY_STDCALL GetMediaInformation(const char16_t* name, void** information) = 0;
    virtual HRESULT VY_STDCALL CheckMediaSupport(const char16_t* name) = 0;
    // Opens the source `name` and stores a decoder with one reference for the
    // caller through `out` (null on failure). S_OK, or the failure code.
    virtual HRESULT VY_STDCALL OpenMediaInstance(const char16_t* name, IHSSWaveDecoder** out) = 0;

protected:
    ~IHSSModule() = default;
};
