// RIFF WAVE files written in memory from interleaved samples, for tests,
// benchmarks and tools that feed the WAV decoder module (modules/wav).
//
// The layout is the canonical one: "RIFF" <size> "WAVE", a "fmt " chunk
// (16 bytes, or 40 for WAVE_FORMAT_EXTENSIBLE), a "data" chunk with the
// samples little-endian, and a pad byte when the data size is odd (it never
// is for these sample types). Offsets in the plain layout: the fmt chunk
// header at 12, its payload at 20, the data chunk header at 36 and the
// samples at 44; with the extensible layout the data header is at 60 and
// the samples at 68.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace host {

enum class WavHeaderKind {
    Plain,      // format tag 1 (PCM) or 3 (IEEE float), 16-byte fmt chunk
    Extensible, // format tag 0xFFFE, 40-byte fmt chunk, PCM or float subformat GUID
};

// Byte offsets of the parts of a file written here.
struct WavOffsets {
    std::size_t fmtChunk;  // the "fmt " chunk header
    std::size_t dataChunk; // the "data" chunk header
    std::size_t samples;   // the first sample
};

[[nodiscard]] WavOffsets WavOffsetsFor(WavHeaderKind kind);

// A WAVE file of 16-bit integer samples. `interleaved` holds frames ×
// `channels` samples. Throws std::invalid_argument when `channels` is 0, the
// sample count is not a multiple of it, or the data would not fit a RIFF
// file (4 GiB). A sample rate of 0 is written as given (tests use it).
[[nodiscard]] std::vector<std::uint8_t> WriteWav16(const std::vector<std::int16_t>& interleaved,
                                                   std::uint16_t channels, std::uint32_t sampleRate,
                                                   WavHeaderKind kind = WavHeaderKind::Plain);

// The same with 32-bit IEEE float samples, stored bit for bit.
[[nodiscard]] std::vector<std::uint8_t> WriteWavFloat(const std::vector<float>& interleaved,
                                                      std::uint16_t channels, std::uint32_t sampleRate,
                                                      WavHeaderKind kind = WavHeaderKind::Plain);

} // namespace host
