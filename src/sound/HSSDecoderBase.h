// What every decoder class shares: the reference count, the wave format
// record and the IUnknown and GetFormat slots.
#pragma once

#include <vymultitrack/IHSSWaveDecoder.h>

#include <atomic>
#include <cstdint>

class HSSDecoderBase : public IHSSWaveDecoder {
public:
    HRESULT VY_STDCALL QueryInterface(REFIID iid, void** out) override;
    ULONG VY_STDCALL AddRef() override;
    ULONG VY_STDCALL Release() override;
    // Copies the format record. E_FAIL when the decoder is not open or when
    // its sample rate, channel count or sample format is zero.
    HRESULT VY_STDCALL GetFormat(HSSWaveFormat* out) override;

    // The decoder's own format record; zero until a source is open.
    [[nodiscard]] HSSWaveFormat& Format() { return format; }
    [[nodiscard]] const HSSWaveFormat& Format() const { return format; }

protected:
    HSSDecoderBase() = default;
    virtual ~HSSDecoderBase() = default;
    // Whether a source is open: a stream attached, or the opened flag set.
    [[nodiscard]] virtual bool IsOpen() const = 0;
    // Stores what a Render call reports: `rendered` (may be null) the frames
    // decoded, `status` (may be null) 1 when all `frames` came and 0 when the
    // source ended or decoding failed (then `rendered` is 0 too).
    static void StoreRenderResult(bool decodedOk, std::uint32_t decoded, std::uint32_t frames,
                                  std::uint32_t* rendered, std::uint32_t* status);

    HSSWaveFormat format{};

private:
    std::atomic<std::uint32_t> refCount{1};
};
