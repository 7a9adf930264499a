// The wave format record exchanged between the sound system and its
// decoders: 40 bytes, little-endian. Every field sits at its natural
// alignment, so the layout needs no packing.
#pragma once

#include <cstddef>
#include <cstdint>

// Sample-format words.
inline constexpr std::uint32_t kSampleFormatFloatFlag = 0x10000;
inline constexpr std::uint32_t kSampleFormatInt16 = 16;
inline constexpr std::uint32_t kSampleFormatFloat32 = 0x10020;

// Seek capability code that the plug-in's decoders report.
inline constexpr std::uint32_t kSeekCapabilitySampleExact = 2;

struct HSSWaveFormat {
    std::uint32_t sampleRate;    // Hz
    std::uint32_t channelCount;
    std::uint32_t sampleFormat;  // bits per sample (low 16 bits) | kSampleFormatFloatFlag
    std::uint32_t seekCapability;
    std::uint64_t totalSamples;  // per channel
    std::uint32_t totalMilliseconds;
    std::uint32_t reserved[3];   // zero
};

static_assert(sizeof(HSSWaveFormat) == 40, "the wave format record is 40 bytes");
static_assert(offsetof(HSSWaveFormat, totalSamples) == 16);
static_assert(offsetof(HSSWaveFormat, totalMilliseconds) == 24);
static_assert(offsetof(HSSWaveFormat, reserved) == 28);
