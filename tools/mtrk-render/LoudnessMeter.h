// Loudness of the output by EBU R 128 / ITU-R BS.1770, measured by
// libebur128 from the blocks as the render loop hands them on: integrated
// loudness, loudness range, true peak and momentary loudness, as far as
// the measurement mode asks for them.
#pragma once

#include "RenderLoop.h"

#include <ebur128.h>

#include <memory>
#include <string>

namespace mtrk {

// Measurement modes. The histogram keeps the gating blocks in fixed
// tables, so that measuring allocates nothing once the meter is made.
inline constexpr int kLoudnessSummary =
    EBUR128_MODE_I | EBUR128_MODE_LRA | EBUR128_MODE_TRUE_PEAK | EBUR128_MODE_HISTOGRAM;
inline constexpr int kLoudnessIntegrated = EBUR128_MODE_I | EBUR128_MODE_HISTOGRAM;
inline constexpr int kLoudnessMomentary = EBUR128_MODE_M;

class LoudnessMeter final : public BlockObserver {
public:
    // `mode`: one of the modes above, or 0 to measure nothing. A format the library does not take
    // (over 64 channels, say) leaves a meter that measures nothing: its
    // blocks pass and every reading is NaN, shown as "n/a".
    LoudnessMeter(const StreamFormat& format, int mode);

    [[nodiscard]] bool Measures() const { return state_ != nullptr; }

    // `samples` are interleaved float32 or 16-bit frames, aligned for
    // their type, as the render loop's buffer holds them.
    bool OnBlock(const void* samples, std::uint32_t frames, std::string& error) override;

    // In LUFS; -inf (-HUGE_VAL) when nothing passes the gates, as for silence.
    [[nodiscard]] double Integrated() const;
    // Loudness range in LU (0 for silence); kLoudnessSummary only.
    [[nodiscard]] double Range() const;
    // The largest true peak of any channel, 1.0 = full scale; kLoudnessSummary only.
    [[nodiscard]] double TruePeak() const;
    // Of the last 400 ms, in LUFS.
    [[nodiscard]] double Momentary() const;

private:
    // One of the library's readings, `none` where it gives nothing; NaN
    // without a meter.
    double Reading(int (*read)(ebur128_state*, double*), double none) const;

    struct Release {
        void operator()(ebur128_state* state) const { ebur128_destroy(&state); }
    };

    std::unique_ptr<ebur128_state, Release> state_;
    bool float32_;
};

// A level in dB (LUFS, LU, dBTP) with one decimal, "-inf" for silence, or
// "n/a" for NaN (nothing measured).
[[nodiscard]] std::string FormatLevel(double decibels);

} // namespace mtrk
