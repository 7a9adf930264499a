// A timeline resolved against an opened stream: every action at its output
// frame, in order, with its switch points and seek target in stream frames,
// and the block sizes of the render loop, cut at action frames so that
// immediate actions land exactly where the timeline puts them.
#pragma once

#include "Timeline.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace mtrk {

struct ScheduledAction {
    std::uint64_t frame = 0; // output frame before which the action runs
    const TimelineAction* action = nullptr;
    std::vector<std::uint64_t> points; // Delay with explicit points, stream frames
    std::uint64_t seekTarget = 0;      // Seek, stream frame
};

struct Schedule {
    Tempo tempo;
    std::vector<ScheduledAction> actions; // by frame, file order within a frame
    // "FILE:LINE: ..." for lines that render but may not do what they say.
    std::vector<std::string> warnings;
};

// The tempo in force: the timeline's own bpm/meter lines, overridden by the
// command line's (`bpm` 0 and no `meter` leave the timeline's).
[[nodiscard]] Tempo EffectiveTempo(const Timeline& timeline, double bpm, const std::optional<Tempo>& meter);

// Resolves `timeline` for a stream of `rate` Hz and `streamFrames` frames
// (0: unknown length). A delayed change whose explicit switch points are
// not in ascending order gets a warning: the plug-in switches at the first
// point in list order that falls inside a block, so such a change may land
// elsewhere with another --block. False with `error` = "FILE:LINE: what is wrong" for a
// time that cannot be resolved or a seek past the end.
[[nodiscard]] bool BuildSchedule(const Timeline& timeline, Tempo tempo, std::uint32_t rate,
                                 std::uint64_t streamFrames, Schedule& out, std::string& error);

// The grid lines (every `spacing` frames from frame 0, each rounded to a
// frame) strictly after `position` and before `streamEnd` (0: unknown; at
// most `limit` lines either way), in ascending order.
[[nodiscard]] std::vector<std::uint64_t> GridLinesAfter(std::uint64_t position, double spacing,
                                                        std::uint64_t streamEnd, std::size_t limit = 1024);

// How many frames the next Render call asks for at output frame `position`:
// `block`, cut at the next action's frame and at `end` (both optional);
// 0 once `end` is reached.
[[nodiscard]] std::uint32_t NextBlock(std::uint64_t position, std::uint32_t block,
                                      std::optional<std::uint64_t> nextAction, std::optional<std::uint64_t> end);

} // namespace mtrk
