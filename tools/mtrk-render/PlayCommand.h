// One command line for real-time play, from standard input: a timeline
// line ("2.5 mask pad 0", "5:1 seek 1:1"), the same without its time
// ("mask pad 0": at once), or "quit" (with or without a time).
#pragma once

#include "Timeline.h"

#include <memory>
#include <string>
#include <string_view>

namespace mtrk {

struct PlayCommand {
    enum class Kind { None, Action, Quit };
    Kind kind = Kind::None; // None: a blank or comment line
    bool timed = false;
    TimeValue at;                       // when timed, on the audio clock
    std::unique_ptr<Timeline> timeline; // Action: holds the one action
};

// Parses `line`; false with `error` saying what is wrong with it.
[[nodiscard]] bool ParsePlayCommand(std::string_view line, PlayCommand& out, std::string& error);

} // namespace mtrk
