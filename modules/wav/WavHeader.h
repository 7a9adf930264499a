// Reading the header of a RIFF WAVE file: the chunk walk and the checks of
// the format chunk. Header-only and free of any stream type, so the module
// reads through its IStream and tests read from a byte vector.
//
// What is accepted:
// - "RIFF" <size> "WAVE" at the start. The RIFF size field is not checked:
//   many writers get it wrong (streaming writers put 0 or 0xFFFFFFFF there),
//   so the chunk walk runs to the end of the file instead.
// - Chunks of <id:4> <size:u32 LE> <payload>, each odd-sized payload
//   followed by one pad byte (a missing pad byte at the very end is fine).
//   The walk stops once both "fmt " and "data" are known, so whatever
//   follows them is never read. The first chunk of each kind wins; later
//   ones are skipped. Unknown chunks are skipped.
// - "fmt " of at least 16 bytes: format tag 1 (PCM) with 16 bits per
//   sample, or 3 (IEEE float) with 32 bits; or tag 0xFFFE
//   (WAVE_FORMAT_EXTENSIBLE, chunk of at least 40 bytes, extension size at
//   least 22) whose subformat is the PCM or float GUID, with the same bit
//   depths. Valid-bits and channel mask are not used. Channels and sample
//   rate must not be 0; the block align must be channels × bytes per
//   sample. The byte rate is not checked (writers get it wrong too).
// - "data": the samples. A data chunk that claims more bytes than the file
//   holds is clamped to what is there (a recording cut short still plays);
//   a trailing partial frame is dropped.
//
// Failures: a chunk other than "data" that runs past the end of the file
// while the walk still needs "fmt " or "data"; a file without "fmt " or
// "data"; everything the list above does not accept.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace vywav {

inline constexpr std::uint16_t kFormatTagPcm = 1;
inline constexpr std::uint16_t kFormatTagIeeeFloat = 3;
inline constexpr std::uint16_t kFormatTagExtensible = 0xFFFE;

// The walk gives up after this many chunks without finding both "fmt " and
// "data": no real file has that many, and it bounds the work on a hostile
// one.
inline constexpr std::uint32_t kMaxChunks = 4096;

enum class WavError {
    None,
    ReadFailed,           // the source could not be read where the header said
    NotRiff,              // no "RIFF" at the start (or fewer than 12 bytes)
    NotWave,              // the RIFF form type is not "WAVE"
    ChunkPastEnd,         // a chunk the walk needs to pass runs past the end
    TooManyChunks,        // kMaxChunks chunks without "fmt " and "data"
    NoFormatChunk,
    NoDataChunk,
    FormatChunkTooShort,  // under 16 bytes; extensible under 40 or cbSize < 22
    UnsupportedFormatTag, // neither PCM nor IEEE float
    UnsupportedSubformat, // extensible with a subformat GUID of another family
    UnsupportedBitDepth,  // PCM other than 16 bits, float other than 32 bits
    ZeroChannels,
    ZeroSampleRate,
    BlockAlignMismatch,   // block align is not channels × bytes per sample
};

[[nodiscard]] constexpr const char* WavErrorText(WavError error)
{
    switch (error) {
    case WavError::None: return "none";
    case WavError::ReadFailed: return "read failed";
    case WavError::NotRiff: return "not a RIFF file";
    case WavError::NotWave: return "not a WAVE file";
    case WavError::ChunkPastEnd: return "chunk runs past the end of the file";
    case WavError::TooManyChunks: return "too many chunks";
    case WavError::NoFormatChunk: return "no fmt chunk";
    case WavError::NoDataChunk: return "no data chunk";
    case WavError::FormatChunkTooShort: return "fmt chunk too short";
    case WavError::UnsupportedFormatTag: return "unsupported format tag";
    case WavError::UnsupportedSubformat: return "unsupported extensible subformat";
    case WavError::UnsupportedBitDepth: return "unsupported bit depth";
    case WavError::ZeroChannels: return "zero channels";
    case WavError::ZeroSampleRate: return "zero sample rate";
    case WavError::BlockAlignMismatch: return "block align mismatch";
    }
    return "unknown";
}

// What the header says about the samples.
struct WavLayout {
    std::uint16_t formatTag = 0; // kFormatTagPcm or kFormatTagIeeeFloat (extensible resolved)
    std::uint16_t channels = 0;
    std::uint32_t sampleRate = 0;
    std::uint16_t bitsPerSample = 0; // 16 for PCM, 32 for float
    std::uint16_t blockAlign = 0;    // bytes per frame
    std::uint64_t dataOffset = 0;    // byte offset of the first frame
    std::uint64_t frames = 0;        // whole frames in the data chunk (clamped to the file)
    bool dataClamped = false;        // the data chunk claimed more bytes than the file holds
};

namespace detail {

[[nodiscard]] inline std::uint16_t Le16(const std::uint8_t* p)
{
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

[[nodiscard]] inline std::uint32_t Le32(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

[[nodiscard]] inline bool IdIs(const std::uint8_t* p, const char (&id)[5])
{
    return std::memcmp(p, id, 4) == 0;
}

// The 14 bytes that follow the format tag in the KSDATAFORMAT_SUBTYPE_PCM
// and _IEEE_FLOAT GUIDs ({0000xxxx-0000-0010-8000-00AA00389B71}) as stored.
inline constexpr std::uint8_t kSubformatSuffix[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                                      0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

} // namespace detail

// Reads the header of a WAVE file of `fileSize` bytes through `readAt`,
// callable as readAt(std::uint64_t offset, void* buffer, std::size_t size)
// → std::size_t, the bytes read (fewer at the end of the source or on a
// failure). Fills `layout` on success (WavError::None); on failure `layout`
// is left default.
template <typename ReadAt>
[[nodiscard]] WavError ParseWavHeader(ReadAt&& readAt, std::uint64_t fileSize, WavLayout& layout)
{
    using namespace detail;
    layout = WavLayout{};

    std::uint8_t riff[12];
    if (fileSize < sizeof riff)
        return WavError::NotRiff;
    if (readAt(std::uint64_t{0}, riff, sizeof riff) != sizeof riff)
        return WavError::ReadFailed;
    if (!IdIs(riff, "RIFF"))
        return WavError::NotRiff;
    if (!IdIs(riff + 8, "WAVE"))
        return WavError::NotWave;

    std::uint8_t fmt[40] = {};
    std::uint32_t fmtSize = 0;
    bool haveFmt = false;
    bool haveData = false;
    std::uint64_t dataOffset = 0;
    std::uint64_t dataBytes = 0;
    bool dataClamped = false;

    std::uint64_t position = sizeof riff; // never beyond fileSize
    for (std::uint32_t chunk = 0; !(haveFmt && haveData); ++chunk) {
        if (chunk == kMaxChunks)
            return WavError::TooManyChunks;
        if (fileSize - position < 8)
            break; // no room for another chunk header
        std::uint8_t head[8];
        if (readAt(position, head, sizeof head) != sizeof head)
            return WavError::ReadFailed;
        const std::uint32_t size = Le32(head + 4);
        const std::uint64_t body = position + 8;
        const std::uint64_t available = fileSize - body;
        if (IdIs(head, "data")) {
            if (!haveData) {
                haveData = true;
                dataOffset = body;
                dataClamped = size > available;
                dataBytes = std::min<std::uint64_t>(size, available);
            }
            if (size > available)
                break; // it runs to the end: nothing follows
        } else {
            if (size > available)
                return WavError::ChunkPastEnd;
            if (IdIs(head, "fmt ") && !haveFmt) {
                if (size < 16)
                    return WavError::FormatChunkTooShort;
                fmtSize = size;
                const std::size_t wanted = std::min<std::size_t>(size, sizeof fmt);
                if (readAt(body, fmt, wanted) != wanted)
                    return WavError::ReadFailed;
                haveFmt = true;
            }
        }
        position = std::min<std::uint64_t>(body + size + (size & 1u), fileSize);
    }
    if (!haveFmt)
        return WavError::NoFormatChunk;
    if (!haveData)
        return WavError::NoDataChunk;

    std::uint16_t tag = Le16(fmt);
    const std::uint16_t channels = Le16(fmt + 2);
    const std::uint32_t sampleRate = Le32(fmt + 4);
    const std::uint16_t blockAlign = Le16(fmt + 12);
    const std::uint16_t bits = Le16(fmt + 14);
    if (tag == kFormatTagExtensible) {
        if (fmtSize < 40 || Le16(fmt + 16) < 22)
            return WavError::FormatChunkTooShort;
        if (std::memcmp(fmt + 26, kSubformatSuffix, sizeof kSubformatSuffix) != 0)
            return WavError::UnsupportedSubformat;
        tag = Le16(fmt + 24);
    }
    if (tag != kFormatTagPcm && tag != kFormatTagIeeeFloat)
        return WavError::UnsupportedFormatTag;
    if (channels == 0)
        return WavError::ZeroChannels;
    if (sampleRate == 0)
        return WavError::ZeroSampleRate;
    if ((tag == kFormatTagPcm && bits != 16) || (tag == kFormatTagIeeeFloat && bits != 32))
        return WavError::UnsupportedBitDepth;
    if (static_cast<std::uint32_t>(blockAlign) != static_cast<std::uint32_t>(channels) * (bits / 8u))
        return WavError::BlockAlignMismatch;

    layout.formatTag = tag;
    layout.channels = channels;
    layout.sampleRate = sampleRate;
    layout.bitsPerSample = bits;
    layout.blockAlign = blockAlign;
    layout.dataOffset = dataOffset;
    layout.frames = dataBytes / blockAlign;
    layout.dataClamped = dataClamped;
    return WavError::None;
}

} // namespace vywav
