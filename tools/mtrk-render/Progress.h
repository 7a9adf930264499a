// The progress bar on stderr while rendering (only when stderr is a
// terminal and not --quiet), and the closing summary.
#pragma once

#include "RenderLoop.h"

#include <chrono>
#include <cmath>
#include <cstdint>
#include <string>

namespace mtrk {

class Progress final : public BlockObserver {
public:
    // `expected`: output frames the render should reach (0: unknown).
    Progress(bool show, std::uint32_t rate, std::uint64_t expected);
    ~Progress() { Clear(); }
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    bool OnBlock(const void* samples, std::uint32_t frames, std::string& error) override;
    // Removes the bar so that another line can be printed.
    void Clear();

    [[nodiscard]] double ElapsedSeconds() const;

private:
    void Draw();

    bool show_;
    std::uint32_t rate_;
    std::uint64_t expected_;
    std::uint64_t done_ = 0;
    int drawnStep_ = -1;
    bool visible_ = false;
    std::chrono::steady_clock::time_point started_;
};

struct Summary {
    std::string output;
    std::uint64_t frames = 0;
    std::uint32_t rate = 0;
    std::uint16_t channels = 0;
    bool float32 = true;
    float peak = 0.0f;
    double truePeak = 0.0;          // 1.0 = full scale
    double loudness = -INFINITY;    // integrated, LUFS
    double loudnessRange = 0.0;     // LU
    double seconds = 0.0; // wall-clock time of the render
};

// "wrote demo.wav: 768000 frames (16.000 s), 2 ch, 48000 Hz, float32,
// peak 0.812 (-1.8 dBFS), true peak -1.6 dBTP, loudness -16.2 LUFS,
// range 5.3 LU, 35.2x real time"; silence gives "-inf" levels.
[[nodiscard]] std::string FormatSummary(const Summary& summary);

} // namespace mtrk
