// The sound-thread side of real-time play: each block comes from the
// decoder's Render, as the engine's sound thread asks for it, and nothing
// else happens there but a copy into the level meter's ring. Pausing,
// seeking and the script calls are the main thread's; the decoder's own
// lock keeps Render and them apart.
#pragma once

#include "RenderLoop.h"
#include "SampleRing.h"

#include <atomic>
#include <cstdint>

namespace mtrk {

class PlaySource {
public:
    // `tap` (may be null) receives a copy of every block handed out.
    PlaySource(IHSSWaveDecoder& decoder, const StreamFormat& format, std::uint64_t position, SampleRing* tap);

    // Sound thread: fills `frames` frames at `out`, silence where the
    // stream has ended or play is paused. Answers the stream frames
    // rendered (0 while paused).
    std::uint32_t Pull(void* out, std::uint32_t frames);

    // Main thread.
    [[nodiscard]] bool Seek(std::uint64_t position);
    void SetPaused(bool paused) { paused_.store(paused); }
    [[nodiscard]] bool Paused() const { return paused_.load(); }

    // Output frames rendered so far: the audio clock commands are timed by.
    [[nodiscard]] std::uint64_t Clock() const { return clock_.load(); }
    [[nodiscard]] std::uint64_t Position() const { return position_.load(); }
    [[nodiscard]] bool Ended() const { return ended_.load(); }
    [[nodiscard]] const StreamFormat& Format() const { return format_; }

private:
    IHSSWaveDecoder& decoder_;
    StreamFormat format_;
    SampleRing* tap_;
    std::atomic<std::uint64_t> clock_{0};
    std::atomic<std::uint64_t> position_;
    std::atomic<bool> paused_{false};
    std::atomic<bool> ended_{false};
};

} // namespace mtrk
