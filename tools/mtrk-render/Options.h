// The command line of mtrk-render.
#pragma once

#include "TimeValue.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace mtrk {

enum class Mode { Render, Check, Demo, Help, Play };

struct Options {
    Mode mode = Mode::Render;
    std::vector<std::string> lists;  // Render: exactly one; Check: one or more
    std::string output;              // Render: the WAV file (default: the list's stem + .wav)
    std::string plot;                // SVG file, or empty
    std::string timeline;            // timeline file, or empty
    std::string plugin;              // plug-in library, or empty for the default
    std::string root;                // storage root, or empty for the list's folder
    std::string demoFolder = "demo"; // Demo
    std::uint32_t block = 4096;
    bool blockGiven = false;         // --block on the command line (Play's default is smaller)
    std::string playTo;              // Play: the WAV file of --play-to; empty for the sound card
    std::int32_t fadeMs = 500;       // Play: the fade of a track toggled by key
    std::optional<TimeValue> start;
    std::optional<TimeValue> duration; // seconds or frames
    double bpm = 0.0;                  // 0: none on the command line
    std::optional<Tempo> meter;
    bool pcm16 = false;
    bool quiet = false;
    bool loudness = true;            // false: --no-loudness, the summary's loudness fields read n/a
    bool loudnessPerState = false;   // Render with a timeline: loudness of each span between actions
    std::vector<std::u16string> hostOptions; // "-name=value", in order
};

inline constexpr std::uint32_t kMaxBlock = 1u << 20;
// Play's block when --block is not given: about 10 ms at 48 kHz.
inline constexpr std::uint32_t kPlayBlock = 512;

// Parses argv; false with a one-line `error` for a bad option.
[[nodiscard]] bool ParseOptions(const std::vector<std::string>& arguments, Options& out, std::string& error);

// The --help text.
[[nodiscard]] const char* UsageText();

// The default output for a list path: its name's stem (for the inline
// form, the last '|' part's) with ".wav", in the current folder.
[[nodiscard]] std::string DefaultOutputFor(const std::string& list);

} // namespace mtrk
