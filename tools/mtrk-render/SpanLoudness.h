// The integrated loudness of each span of the output between timeline
// actions (--loudness-per-state): whether bringing a track in makes the
// cue louder.
#pragma once

#include "LoudnessMeter.h"

#include <cstdint>
#include <vector>

namespace mtrk {

class SpanLoudness final : public BlockObserver {
public:
    // `cuts`: output frames where a new span begins, in any order; the
    // first span begins at frame 0. Every span's meter is made here.
    SpanLoudness(const StreamFormat& format, const std::vector<std::uint64_t>& cuts);

    bool OnBlock(const void* samples, std::uint32_t frames, std::string& error) override;

    // Span i runs from Start(i) up to Start(i + 1), the last one to the end.
    [[nodiscard]] std::size_t Count() const { return starts_.size(); }
    [[nodiscard]] std::uint64_t Start(std::size_t span) const { return starts_[span]; }
    // LUFS; -inf for a span shorter than 400 ms or silent.
    [[nodiscard]] double Integrated(std::size_t span) const { return meters_[span].Integrated(); }

private:
    std::vector<std::uint64_t> starts_;
    std::vector<LoudnessMeter> meters_;
    std::uint32_t frameBytes_;
    std::uint64_t position_ = 0; // output frames measured
    std::size_t current_ = 0;    // the span `position_` lies in
};

} // namespace mtrk
