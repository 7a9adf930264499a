// Where real-time play goes: a sink pulls blocks from a PlaySource at its
// own pace (a sound card's, or as fast as a file takes them) and, on the
// main thread, lets the controller carry out what is due on the audio
// clock between them.
#pragma once

#include "PlaySource.h"

#include <cstdint>
#include <optional>
#include <string>

namespace mtrk {

class PlayControl {
public:
    // Main thread: carries out the commands due at audio-clock frame
    // `clock`. False once play should stop (quit, or interrupted).
    virtual bool Step(std::uint64_t clock) = 0;
    // The audio-clock frame of the next timed command waiting, if any.
    [[nodiscard]] virtual std::optional<std::uint64_t> NextDue() const = 0;

protected:
    ~PlayControl() = default;
};

class PlaySink {
public:
    virtual ~PlaySink() = default;
    // Plays `source` until it ends or `control` stops it. False with `error`.
    [[nodiscard]] virtual bool Play(PlaySource& source, PlayControl& control, std::string& error) = 0;
    // Blocks the sound card asked for before the last one was ready.
    [[nodiscard]] virtual std::uint64_t Underruns() const { return 0; }
};

} // namespace mtrk
