#include "MultiTrackModule.h"

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

HRESULT BasicHSSModule<MultiTrackDecoder>::OpenMediaInstance(const char16_t*, IHSSWaveDecoder** out)
{
    if (out)
        *out = nullptr;
    return E_NOTIMPL;
}

MultiTrackDecoder* BasicHSSModule<MultiTrackDecoder>::CreateDecoder(const char16_t*)
{
    return nullptr;
}

MultiTrackModule::MultiTrackModule(HSSStorageProvider* provider, bool sixteenBit)
    : BasicHSSModule<MultiTrackDecoder>(provider, &kInformation), use16BitOutput(sixteenBit)
{
}
