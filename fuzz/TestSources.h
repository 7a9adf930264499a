// The small sources every fuzz target that opens audio starts from, made
// once with the test-audio helper and the WAV writer: stereo 48 kHz of
// 4800 frames as float WAV, 16-bit WAV, extensible float WAV, Opus and
// Vorbis (the float ones share one format, so lists can mix them), and a
// 12-channel Opus that only the own Ogg Opus reader plays.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace fuzz {

struct TestSource {
    std::u16string name; // storage name
    std::vector<std::uint8_t> bytes;
};

// Built on first use, kept for the process.
[[nodiscard]] const std::vector<TestSource>& TestSources();

// The bytes of the source `name`; aborts when there is none.
[[nodiscard]] const std::vector<std::uint8_t>& TestSourceBytes(std::u16string_view name);

} // namespace fuzz
