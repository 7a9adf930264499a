// Times as a person writes them on the command line and in timelines:
//   12.5 or 12.5s   seconds
//   600000f         sample frames
//   5:1 or 4:2.5    bar:beat, both counted from 1 (needs a tempo)
// and the tempo that turns bar:beat into frames.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace mtrk {

// --bpm counts quarter notes per minute; a beat is one 1/beatUnit note and
// a bar holds beatsPerBar of them (6/8 at 120: eighths of 0.25 s, bars of
// 1.5 s).
struct Tempo {
    double bpm = 0.0; // 0: no tempo given
    int beatsPerBar = 4;
    int beatUnit = 4;

    [[nodiscard]] double BeatFrames(std::uint32_t rate) const { return 240.0 * rate / (bpm * beatUnit); }
    [[nodiscard]] double BarFrames(std::uint32_t rate) const { return BeatFrames(rate) * beatsPerBar; }
};

struct TimeValue {
    enum class Unit { Seconds, Frames, BarBeat };
    Unit unit = Unit::Seconds;
    double seconds = 0.0;     // Seconds
    std::uint64_t frames = 0; // Frames
    std::uint64_t bar = 1;    // BarBeat, from 1
    double beat = 1.0;        // BarBeat, from 1
};

// A finite decimal number filling all of `text` (no sign allowed when
// `allowNegative` is false).
[[nodiscard]] std::optional<double> ParseNumber(std::string_view text, bool allowNegative = true);
// A whole non-negative number filling all of `text`.
[[nodiscard]] std::optional<std::uint64_t> ParseCount(std::string_view text);

// Parses one time; on failure the result is empty and `error` tells why.
[[nodiscard]] std::optional<TimeValue> ParseTime(std::string_view text, std::string& error);

// "N/D": N beats of 1/D notes per bar (N 1..64, D 1, 2, 4, 8, 16 or 32).
[[nodiscard]] bool ParseMeter(std::string_view text, Tempo& tempo, std::string& error);
// A tempo in quarter notes per minute, above 0 and at most 1000.
[[nodiscard]] std::optional<double> ParseBpm(std::string_view text, std::string& error);

// The frame of `time` at `rate`: seconds and bar:beat are rounded to the
// nearest frame. False with `error` for bar:beat without a tempo, or a beat
// that does not fit the bar.
[[nodiscard]] bool ToFrames(const TimeValue& time, std::uint32_t rate, const Tempo& tempo, std::uint64_t& frames,
                            std::string& error);

// Seconds as text with millisecond precision ("12.500 s").
[[nodiscard]] std::string FormatSeconds(std::uint64_t frames, std::uint32_t rate);

} // namespace mtrk
