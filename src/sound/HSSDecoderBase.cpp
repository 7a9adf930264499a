#include "HSSDecoderBase.h"

#include "InterfaceIds.h"

HRESULT HSSDecoderBase::QueryInterface(REFIID iid, void** out)
{
    return AnswerQueryInterface(static_cast<IHSSWaveDecoder*>(this), iid, out);
}

ULONG HSSDecoderBase::AddRef()
{
    return refCount.fetch_add(1, std::memory_order_relaxed) + 1;
}

ULONG HSSDecoderBase::Release()
{
    const std::uint32_t remaining = refCount.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (remaining == 0)
        delete this;
    return remaining;
}

HRESULT HSSDecoderBase::GetFormat(HSSWaveFormat* out)
{
    if (!out || !IsOpen() || format.sampleRate == 0 || format.channelCount == 0 ||
        format.sampleFormat == 0)
        return E_FAIL;
    *out = format;
    return S_OK;
}

void HSSDecoderBase::StoreRenderResult(bool decodedOk, std::uint32_t decoded, std::uint32_t frames,
                                       std::uint32_t* rendered, std::uint32_t* status)
{
    if (!decodedOk)
        decoded = 0;
    if (status)
        *status = decodedOk && decoded >= frames ? 1 : 0;
    if (rendered)
        *rendered = decoded;
}
