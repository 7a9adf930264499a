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
    // Not available yet: answers E_NOTIMPL and stores null in `out`.
    HRESULT VY_STDCALL OpenMediaInstance(const char16_t* name, IHSSWaveDecoder** out) override;
    // A new, unopened decoder, or null.
    [[nodiscard]] virtual MultiTrackDecoder* CreateDecoder(const char16_t* url);
};

class MultiTrackModule : public BasicHSSModule<MultiTrackDecoder> {
public:
    // `provider`: plain copy, may be null. `sixteenBit`: deliver 16-bit
    // integer samples instead of 32-bit float.
    MultiTrackModule(HSSStorageProvider* provider, bool sixteenBit);

    [[nodiscard]] bool Use16BitOutput() const { return use16BitOutput; }

private:
    bool use16BitOutput;
};

// The information record of the multi-track module.
[[nodiscard]] const ModuleInformation& MultiTrackModuleInformation();
