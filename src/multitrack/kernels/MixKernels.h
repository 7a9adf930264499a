// The sample loops of the two mixers: each adds one track's source samples,
// scaled by the track's gain, into a frame-interleaved float block, and
// advances the track's ramp frame by frame. Sums are never clamped.
//
// Every output element is computed alone as out + sample × g in single
// precision, so the vectorised routines and their scalar references give
// bit-identical results. A 16-bit sample s is converted exactly to float
// and scaled by 2^-15 (kInt16Scale), folded into g = gain × scale.
#pragma once

#include <multitrack/kernels/TrackGainState.h>

#include <cstddef>
#include <cstdint>

namespace MixKernels {

inline constexpr float kInt16Scale = 3.0517578125e-05f; // 2^-15
inline constexpr float kFloatScale = 1.0f;

// A channel map: eight one-byte slots, slot i (bits 8i..8i+7) the source
// channel feeding output channel i; kUnboundSlot leaves it silent.
inline constexpr std::uint8_t kUnboundSlot = 0xFF;
inline constexpr std::uint64_t kEmptyChannelMap = ~0ull;
inline constexpr std::uint32_t kChannelMapSlots = 8;

// Every routine only borrows its buffers for the call and allocates nothing;
// a pointer may be null only when the call reads or writes no sample
// through it (count, frames or the channel count 0).

// --- flat multiply-add: out[i] += in[i] × g for i < count -----------------
// Vectorised where the machine allows (SSE2 on x86-64); buffers may overlap
// and be unaligned, results always equal the reference.
void AddScaled(float* out, const float* in, std::size_t count, float g);
void AddScaled(float* out, const std::int16_t* in, std::size_t count, float g);
// Plain scalar references, compiled in every build.
void AddScaledReference(float* out, const float* in, std::size_t count, float g);
void AddScaledReference(float* out, const std::int16_t* in, std::size_t count, float g);

// --- layered mix (".mtrk"): source and output both have `channels` ---------
// Adds `frames` frames of `source` into `out` with the track's gain: without
// a ramp one flat AddScaled with g = gain × scale; with a ramp the ramp step
// and g once per frame, then every channel of the frame.
void LayeredMix(float* out, const float* source, std::uint32_t frames, std::uint32_t channels,
                TrackGainState& state);
void LayeredMix(float* out, const std::int16_t* source, std::uint32_t frames, std::uint32_t channels,
                TrackGainState& state);

// --- gathered mix (".mchx"): one track's channel selection ----------------
// For each of `frames` frames: the ramp step, g = scale × gain, then for each
// output channel i < trackChannels: out[f × trackChannels + i] +=
// source[f × sourceChannels + slot i] × g, or nothing when slot i is
// unbound, is not below sourceChannels, or i ≥ 8 (channels past the map's
// eighth slot stay silent). Stereo output has its own routine that reads
// the two slots once.
void GatheredMix(float* out, std::uint32_t trackChannels, const float* source,
                 std::uint32_t sourceChannels, std::uint32_t frames, std::uint64_t channelMap,
                 TrackGainState& state);
void GatheredMix(float* out, std::uint32_t trackChannels, const std::int16_t* source,
                 std::uint32_t sourceChannels, std::uint32_t frames, std::uint64_t channelMap,
                 TrackGainState& state);

} // namespace MixKernels
