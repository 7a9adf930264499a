// The integrated loudness of each span of the output between timeline
// actions (--loudness-per-state): whether bringing a track in makes the
// cue louder.
#pragma once

#include "LoudnessMeter.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace mtrk {

class SpanLoudness final : public BlockObserver {
public:
    // `cuts`: output frames where a new span begins, in any order; the
    // first span begins at frame 0.
    SpanLoudness(const StreamFormat& format, const std::vector<std::uint64_t>& cuts);

    // A span that ends here gives its meter up for a fresh one: one meter's
    // memory (a 400 ms window) whatever the number of spans, made at the
    // actions' frames, never inside a span.
    bool OnBlock(const void* samples, std::uint32_t frames, std::string& error) override;

    // Span i runs from Start(i) up to Start(i + 1), the last one to the end.
    [[nodiscard]] std::size_t Count() const { return starts_.size(); }
    [[nodiscard]] std::uint64_t Start(std::size_t span) const { return starts_[span]; }
    // LUFS; -inf for a span shorter than 400 ms, silent, or not reached.
    [[nodiscard]] double Integrated(std::size_t span) const;

private:
    StreamFormat format_;
    std::vector<std::uint64_t> starts_;
    std::vector<double> ended_;    // LUFS of the spans before the current one
    std::optional<LoudnessMeter> meter_; // the current span's
    std::uint64_t position_ = 0;   // output frames measured
};

} // namespace mtrk
