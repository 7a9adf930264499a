#include "WavDecoder.h"

#include <vymultitrack/Guid.h>

#include <algorithm>
#include <bit>
#include <cstddef>
#include <limits>
#include <new>

namespace vywav {

// Samples are handed over as stored, which is the host's own layout only on
// a little-endian machine.
static_assert(std::endian::native == std::endian::little, "the WAV decoder copies little-endian samples");

namespace {

// Reads up to `size` bytes at `offset` of `stream` into `buffer`; answers
// the bytes read, fewer at the end of the stream or when it fails.
std::uint64_t ReadAt(IStream* stream, std::uint64_t offset, void* buffer, std::uint64_t size)
{
    if (offset > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
        return 0;
    if (FAILED(stream->Seek(static_cast<std::int64_t>(offset), STREAM_SEEK_SET, nullptr)))
        return 0;
    auto* bytes = static_cast<std::uint8_t*>(buffer);
    std::uint64_t total = 0;
    while (total < size) {
        const ULONG ask = static_cast<ULONG>(std::min<std::uint64_t>(size - total, 1u << 30));
        ULONG got = 0;
        const HRESULT result = stream->Read(bytes + total, ask, &got);
        got = std::min(got, ask);
        total += got;
        if (FAILED(result) || got == 0)
            break;
    }
    return total;
}

// The stream's length in bytes: Stat, or a seek to the end when Stat fails.
bool StreamSize(IStream* stream, std::uint64_t& size)
{
    STATSTG stat{};
    if (SUCCEEDED(stream->Stat(&stat, STATFLAG_NONAME))) {
        size = stat.cbSize;
        return true;
    }
    std::uint64_t end = 0;
    if (FAILED(stream->Seek(0, STREAM_SEEK_END, &end)))
        return false;
    size = end;
    return true;
}

} // namespace

WavError WavDecoder::Open(IStream* stream, WavDecoder** out)
{
    *out = nullptr;
    std::uint64_t size = 0;
    if (!stream || !StreamSize(stream, size))
        return WavError::ReadFailed;
    WavLayout layout;
    const auto readAt = [stream](std::uint64_t offset, void* buffer, std::size_t count) {
        return static_cast<std::size_t>(ReadAt(stream, offset, buffer, count));
    };
    const WavError error = ParseWavHeader(readAt, size, layout);
    if (error != WavError::None)
        return error;
    *out = new (std::nothrow) WavDecoder(stream, layout);
    return *out ? WavError::None : WavError::ReadFailed;
}

WavDecoder::WavDecoder(IStream* stream, const WavLayout& layout) : stream_(stream), layout_(layout)
{
    stream_->AddRef();
    format_.sampleRate = layout.sampleRate;
    format_.channelCount = layout.channels;
    format_.sampleFormat = layout.formatTag == kFormatTagIeeeFloat ? kSampleFormatFloat32 : kSampleFormatInt16;
    format_.seekCapability = kSeekCapabilitySampleExact;
    format_.totalSamples = layout.frames;
    // frames < 2^32 (the data chunk size is 32-bit), so the product fits.
    const std::uint64_t milliseconds = layout.frames * 1000u / layout.sampleRate;
    format_.totalMilliseconds = static_cast<std::uint32_t>(
        std::min<std::uint64_t>(milliseconds, std::numeric_limits<std::uint32_t>::max()));
}

WavDecoder::~WavDecoder()
{
    stream_->Release();
}

HRESULT WavDecoder::GetFormat(HSSWaveFormat* format)
{
    if (!format)
        return E_INVALIDARG;
    *format = format_;
    return S_OK;
}

HRESULT WavDecoder::Render(void* buffer, std::uint32_t frames, std::uint32_t* rendered, std::uint32_t* status)
{
    std::uint32_t done = 0;
    HRESULT result = S_OK;
    if (!buffer && frames != 0) {
        result = E_INVALIDARG;
    } else {
        const std::uint64_t wanted = std::min<std::uint64_t>(frames, layout_.frames - position_);
        if (wanted != 0) {
            const std::uint64_t bytes = ReadAt(stream_, layout_.dataOffset + position_ * layout_.blockAlign,
                                               buffer, wanted * layout_.blockAlign);
            done = static_cast<std::uint32_t>(bytes / layout_.blockAlign);
            position_ += done;
        }
    }
    if (rendered)
        *rendered = done;
    if (status)
        *status = result == S_OK && done >= frames ? 1 : 0;
    return result;
}

HRESULT WavDecoder::SetPosition(std::uint64_t position)
{
    if (position > layout_.frames)
        return E_FAIL;
    position_ = position;
    return S_OK;
}

} // namespace vywav
