// The sound-system module of the WAV library: reports ".wav" and opens
// decoders on sources from the host's storage provider.
#pragma once

#include <vymultitrack/ComObject.h>

#include <vymultitrack/HSSStorageProvider.h>
#include <vymultitrack/IHSSModule.h>

#include <atomic>
#include <cstdint>

namespace vywav {

inline constexpr const char16_t* kCopyrightText = u"vywav: RIFF WAVE decoder module of VyMultiTrack";
inline constexpr const char16_t* kDescriptionText = u"RIFF WAVE decoder (16-bit PCM, 32-bit float)";
inline constexpr const char16_t* kShortName = u"RIFF wave";
inline constexpr const char16_t* kExtension = u".wav";

class WavModule final : public vy::ComObject<IHSSModule, IID_IHSSObject> {
public:
    // A new module with one reference, holding one reference on `provider`
    // (may be null); null when it cannot be allocated.
    [[nodiscard]] static WavModule* Create(HSSStorageProvider* provider);

    // Answers IID_IUnknown and IID_IHSSObject.
    // Copy at most length-1 characters and terminate (length 0 writes
    // nothing). E_INVALIDARG for a null buffer with a length.
    HRESULT VY_STDCALL GetCopyrightText(char16_t* buffer, std::uint32_t length) override;
    HRESULT VY_STDCALL GetDescriptionText(char16_t* buffer, std::uint32_t length) override;
    // Index 0: short name "RIFF wave" (copied whole when `shortName` is not
    // null) and ".wav" (copied like the texts above), S_OK. Any other index:
    // S_FALSE.
    HRESULT VY_STDCALL EnumSupportedExtension(std::uint32_t index, char16_t* shortName,
                                              char16_t* extension, std::uint32_t length) override;
    // E_NOTIMPL.
    HRESULT VY_STDCALL GetMediaInformation(const char16_t* name, void** information) override;
    HRESULT VY_STDCALL CheckMediaSupport(const char16_t* name) override;
    // Opens `name` through the storage provider. S_OK with a decoder (one
    // reference for the caller); otherwise null and: E_INVALIDARG for a null
    // `out` (untouched) or `name`; E_FAIL without a provider, when the
    // provider gives no stream, or when the source is not a WAVE file this
    // module plays; the provider's own code when it fails.
    HRESULT VY_STDCALL OpenMediaInstance(const char16_t* name, IHSSWaveDecoder** out) override;

private:
    explicit WavModule(HSSStorageProvider* provider);
    ~WavModule() override;

    HSSStorageProvider* provider_; // one reference while not null
};

} // namespace vywav
