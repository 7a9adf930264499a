// Chunk-level RIFF writing for the WAV module tests: files with the chunks,
// sizes and fields a test chooses, malformed ones included. Canonical files
// come from host/WavWriter.h.
#pragma once

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace rifftest {

using Bytes = std::vector<std::uint8_t>;

inline void Put16(Bytes& out, std::uint16_t value)
{
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

inline void Put32(Bytes& out, std::uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<std::uint8_t>(value >> shift));
}

struct Chunk {
    std::string id; // four characters
    Bytes payload;
    // The size written in the header; the payload's size when not given.
    std::optional<std::uint32_t> declaredSize;
    // Whether an odd-sized payload gets its pad byte.
    bool pad = true;
};

// "RIFF" <size> <form> and the chunks in order. `riffSize`: the RIFF size
// field; the true size when not given.
inline Bytes Riff(const std::vector<Chunk>& chunks, const char* form = "WAVE",
                  std::optional<std::uint32_t> riffSize = std::nullopt, const char* magic = "RIFF")
{
    Bytes body(form, form + 4);
    for (const Chunk& chunk : chunks) {
        body.insert(body.end(), chunk.id.begin(), chunk.id.begin() + 4);
        Put32(body, chunk.declaredSize.value_or(static_cast<std::uint32_t>(chunk.payload.size())));
        body.insert(body.end(), chunk.payload.begin(), chunk.payload.end());
        if (chunk.pad && chunk.payload.size() % 2 == 1)
            body.push_back(0);
    }
    Bytes out(magic, magic + 4);
    Put32(out, riffSize.value_or(static_cast<std::uint32_t>(body.size())));
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

// A 16-byte fmt payload.
inline Bytes Fmt(std::uint16_t tag, std::uint16_t channels, std::uint32_t rate, std::uint16_t blockAlign,
                 std::uint16_t bits)
{
    Bytes out;
    Put16(out, tag);
    Put16(out, channels);
    Put32(out, rate);
    Put32(out, rate * blockAlign);
    Put16(out, blockAlign);
    Put16(out, bits);
    return out;
}

// A 16-byte fmt payload that is right for `channels` of 16-bit PCM.
inline Bytes FmtPcm16(std::uint16_t channels, std::uint32_t rate = 44100)
{
    return Fmt(1, channels, rate, static_cast<std::uint16_t>(channels * 2), 16);
}

// The 14 bytes after the format tag in the PCM and float subformat GUIDs.
inline constexpr std::uint8_t kSubformatSuffix[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                                      0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

// A 40-byte WAVE_FORMAT_EXTENSIBLE fmt payload with subformat `subTag`.
inline Bytes FmtExtensible(std::uint16_t subTag, std::uint16_t channels, std::uint32_t rate,
                           std::uint16_t blockAlign, std::uint16_t bits, std::uint16_t cbSize = 22,
                           bool standardSuffix = true)
{
    Bytes out = Fmt(0xFFFE, channels, rate, blockAlign, bits);
    Put16(out, cbSize);
    Put16(out, bits);
    Put32(out, 0x3); // front left, front right
    Put16(out, subTag);
    out.insert(out.end(), kSubformatSuffix, kSubformatSuffix + 14);
    if (!standardSuffix)
        out.back() ^= 0xFF;
    return out;
}

// 16-bit samples as little-endian bytes.
inline Bytes Samples16(const std::vector<std::int16_t>& samples)
{
    Bytes out;
    for (std::int16_t s : samples)
        Put16(out, static_cast<std::uint16_t>(s));
    return out;
}

} // namespace rifftest
