// The module the host receives from GetModuleInstance: it decodes ".mtrk"
// and ".mchx" track lists into one mixed stream.
#pragma once

#include <sound/BasicHSSModule.h>

#include <cstdint>

class MultiTrackDecoder;

// The multi-track decoders open their sources themselves, so this module
// does not hand them a host stream.
template <>
class BasicHSSModule<MultiTrackDecoder> : public HSSModuleBase {
public:
    BasicHSSModule(HSSStorageProvider* provider, const ModuleInformation* information)
        : HSSModuleBase(provider, information)
    {
    }
    // Creates a decoder and opens the track list `url` with it. S_OK with
    // the decoder (one reference for the caller) in `out`; otherwise null in
    // `out` and: the storage provider's own negative code when it cannot
    // open `url` at all; E_FAIL when no decoder could be made, or `url`
    // exists but is no playable track list; E_INVALIDARG for a null `out`.
    // Never throws.
    HRESULT VY_STDCALL OpenMediaInstance(const char16_t* url, IHSSWaveDecoder** out) override;
    // A new, unopened decoder, or null (this base makes none).
    [[nodiscard]] virtual MultiTrackDecoder* CreateDecoder(const char16_t* url);

private:
    // Opens `decoder` on `url` and marks it opened; false when it fails.
    static bool OpenDecoder(MultiTrackDecoder* decoder, const char16_t* url);
    // When the first open failed: the provider's code for `url`, or E_FAIL.
    HRESULT RetryAfterFailedOpen(MultiTrackDecoder* decoder, const char16_t* url);
};

class MultiTrackModule : public BasicHSSModule<MultiTrackDecoder> {
public:
    // `provider`: plain copy, may be null. `sixteenBit`: deliver 16-bit
    // integer samples instead of 32-bit float.
    MultiTrackModule(HSSStorageProvider* provider, bool sixteenBit);

    [[nodiscard]] bool Use16BitOutput() const { return use16BitOutput; }
    // A new MultiTrackDecoder16bitImpl when the module delivers 16-bit
    // samples, else a MultiTrackDecoderBaseImpl; with the module's storage
    // provider and the script side's callback interface when it is linked.
    [[nodiscard]] MultiTrackDecoder* CreateDecoder(const char16_t* url) override;

private:
    bool use16BitOutput;
};

// The information record of the multi-track module.
[[nodiscard]] const ModuleInformation& MultiTrackModuleInformation();
