// The demo's music: eight bars at 120 beats per minute in 4/4 (16 s at
// 48 kHz) over the chords Am F C G twice, as four stereo stems: drums (kick,
// snare and hi-hat from sine sweeps and noise bursts), a bass line, a pad of
// detuned sines and a lead melody. Deterministic: the same samples every
// time.
#pragma once

#include <cstdint>
#include <vector>

namespace mtrk::demo {

inline constexpr std::uint32_t kRate = 48000;
inline constexpr double kBpm = 120.0;
inline constexpr int kBars = 8;
inline constexpr std::uint64_t kBeatFrames = 24000; // 60 / 120 s
inline constexpr std::uint64_t kBarFrames = 4 * kBeatFrames;
inline constexpr std::uint64_t kFrames = kBars * kBarFrames;

// Interleaved stereo, kFrames frames each.
[[nodiscard]] std::vector<float> Drums();
[[nodiscard]] std::vector<float> Bass();
[[nodiscard]] std::vector<float> Pad();
[[nodiscard]] std::vector<float> Lead();

} // namespace mtrk::demo
