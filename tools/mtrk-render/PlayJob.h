// --play and --play-to: the list played through the real-time loop, with
// the timeline's actions and the commands from standard input or the keys
// carried out on the main thread at their audio-clock times.
#pragma once

#include "Options.h"

#include <atomic>

namespace mtrk {

// Runs Mode::Play; `stop`, when set, ends it (--play-to then leaves no file).
[[nodiscard]] int RunPlay(const Options& options, const std::atomic<bool>* stop);

} // namespace mtrk
