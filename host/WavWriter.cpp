#include "WavWriter.h"

#include <cstring>
#include <limits>
#include <stdexcept>

namespace host {

namespace {

constexpr std::uint16_t kTagPcm = 1;
constexpr std::uint16_t kTagFloat = 3;
constexpr std::uint16_t kTagExtensible = 0xFFFE;

void Put16(std::vector<std::uint8_t>& out, std::uint16_t value)
{
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void Put32(std::vector<std::uint8_t>& out, std::uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<std::uint8_t>(value >> shift));
}

void PutId(std::vector<std::uint8_t>& out, const char (&id)[5])
{
    out.insert(out.end(), id, id + 4);
}

// The header of a file of `sampleCount` samples of `bits` bits, up to and
// including the data chunk header; the samples follow.
std::vector<std::uint8_t> Header(std::uint16_t tag, std::uint16_t bits, std::uint16_t channels,
                                 std::uint32_t sampleRate, std::size_t sampleCount, WavHeaderKind kind)
{
    if (channels == 0)
        throw std::invalid_argument("WriteWav: channels must not be 0");
    if (sampleCount % channels != 0)
        throw std::invalid_argument("WriteWav: the sample count is not a multiple of the channel count");
    const std::uint32_t bytesPerSample = bits / 8u;
    const WavOffsets offsets = WavOffsetsFor(kind);
    const std::uint64_t dataBytes = static_cast<std::uint64_t>(sampleCount) * bytesPerSample;
    const std::uint64_t riffSize = offsets.samples - 8 + dataBytes + (dataBytes & 1u);
    if (riffSize > std::numeric_limits<std::uint32_t>::max())
        throw std::invalid_argument("WriteWav: the data does not fit a RIFF file");
    const std::uint32_t blockAlign = channels * bytesPerSample;
    if (blockAlign > std::numeric_limits<std::uint16_t>::max())
        throw std::invalid_argument("WriteWav: too many channels for the block align field");

    std::vector<std::uint8_t> out;
    out.reserve(offsets.samples + static_cast<std::size_t>(dataBytes) + 1);
    PutId(out, "RIFF");
    Put32(out, static_cast<std::uint32_t>(riffSize));
    PutId(out, "WAVE");
    PutId(out, "fmt ");
    Put32(out, kind == WavHeaderKind::Extensible ? 40 : 16);
    Put16(out, kind == WavHeaderKind::Extensible ? kTagExtensible : tag);
    Put16(out, channels);
    Put32(out, sampleRate);
    Put32(out, static_cast<std::uint32_t>(static_cast<std::uint64_t>(sampleRate) * blockAlign));
    Put16(out, static_cast<std::uint16_t>(blockAlign));
    Put16(out, bits);
    if (kind == WavHeaderKind::Extensible) {
        Put16(out, 22);   // cbSize
        Put16(out, bits); // valid bits per sample
        Put32(out, 0);    // channel mask: none given
        // KSDATAFORMAT_SUBTYPE_PCM / _IEEE_FLOAT: {0000000t-0000-0010-8000-00AA00389B71}
        Put32(out, tag);
        Put16(out, 0x0000);
        Put16(out, 0x0010);
        const std::uint8_t tail[8] = {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
        out.insert(out.end(), tail, tail + 8);
    }
    PutId(out, "data");
    Put32(out, static_cast<std::uint32_t>(dataBytes));
    return out;
}

} // namespace

WavOffsets WavOffsetsFor(WavHeaderKind kind)
{
    return kind == WavHeaderKind::Extensible ? WavOffsets{12, 60, 68} : WavOffsets{12, 36, 44};
}

std::vector<std::uint8_t> WriteWav16(const std::vector<std::int16_t>& interleaved, std::uint16_t channels,
                                     std::uint32_t sampleRate, WavHeaderKind kind)
{
    std::vector<std::uint8_t> out = Header(kTagPcm, 16, channels, sampleRate, interleaved.size(), kind);
    for (std::int16_t sample : interleaved)
        Put16(out, static_cast<std::uint16_t>(sample));
    return out;
}

std::vector<std::uint8_t> WriteWavFloat(const std::vector<float>& interleaved, std::uint16_t channels,
                                        std::uint32_t sampleRate, WavHeaderKind kind)
{
    std::vector<std::uint8_t> out = Header(kTagFloat, 32, channels, sampleRate, interleaved.size(), kind);
    for (float sample : interleaved) {
        std::uint32_t bits = 0;
        std::memcpy(&bits, &sample, sizeof bits);
        Put32(out, bits);
    }
    return out;
}

} // namespace host
