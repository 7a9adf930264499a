// Where a delayed change really took effect, read back from the output:
// the stream is rendered once more without that change, and the first frame
// at which the two renders differ is where the plug-in switched.
#pragma once

#include "RenderLoop.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace mtrk {

// Keeps every rendered byte (the reference the probes compare with): the
// whole output in memory, 8 bytes a frame for float stereo, so the tool
// records only when --plot has delayed changes to place.
class Recorder final : public BlockObserver {
public:
    explicit Recorder(std::uint32_t frameBytes) : frameBytes_(frameBytes) {}
    bool OnBlock(const void* samples, std::uint32_t frames, std::string& error) override;
    [[nodiscard]] const std::vector<unsigned char>& Bytes() const { return bytes_; }

private:
    std::uint32_t frameBytes_;
    std::vector<unsigned char> bytes_;
};

// Compares blocks with a reference and stops the render at the first
// frame that differs.
class DifferenceFinder final : public BlockObserver {
public:
    DifferenceFinder(const std::vector<unsigned char>& reference, std::uint32_t frameBytes)
        : reference_(reference), frameBytes_(frameBytes)
    {
    }
    bool OnBlock(const void* samples, std::uint32_t frames, std::string& error) override;
    [[nodiscard]] std::optional<std::uint64_t> FirstDifference() const { return first_; }

private:
    const std::vector<unsigned char>& reference_;
    std::uint32_t frameBytes_;
    std::uint64_t frame_ = 0;
    std::optional<std::uint64_t> first_;
};

// Runs `renderWithout` (which renders the stream again, leaving the change
// out, feeding the given observer) and answers the first differing output
// frame: none when the change made no difference, or the render failed.
[[nodiscard]] std::optional<std::uint64_t> FindSwitchFrame(const std::vector<unsigned char>& reference,
                                                           std::uint32_t frameBytes,
                                                           const std::function<bool(BlockObserver&)>& renderWithout);

} // namespace mtrk
