// Timelines: script actions at given times, one per line.
//
//   # comment (a '#' starts a comment anywhere on a line)
//   bpm    120              tempo for bar:beat times (--bpm overrides)
//   meter  4/4              (--meter overrides; default 4/4)
//   TIME   mask   TRACKS VOLUME [FADE]
//   TIME   delay  POINTS TRACKS VOLUME [TRACKS VOLUME]... [FADE]
//   TIME   rebind NEWID
//   TIME   seek   TIME
//
// TIME is a TimeValue (12.5, 12.5s, 48000f, 5:1) on the output clock: the
// first rendered frame is 0, whatever --start says. TRACKS is * (all
// tracks), a name, or names joined by commas; a name in double quotes may
// hold blanks. VOLUME is a number (1 = unchanged level). FADE is in
// milliseconds (500 or 500ms) or seconds (0.5s). POINTS are the stream
// positions the delayed change may take effect at: times joined by commas,
// or next-bar / next-beat for the bar lines (beats) after the action.
// Fields are separated by blanks; lines at the same time run in file order.
#pragma once

#include "TimeValue.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mtrk {

// Which tracks a change addresses: all of them, one name (passed to the
// script as a string) or a list (passed as an array).
struct TrackSelection {
    bool all = false;
    bool list = false;
    std::vector<std::u16string> names;
};

struct MaskChange {
    TrackSelection tracks;
    double volume = 1.0;
};

enum class ActionKind { Mask, Delay, Rebind, Seek };
enum class PointsKind { Explicit, NextBars, NextBeats };

struct TimelineAction {
    int line = 0;
    TimeValue at;
    ActionKind kind = ActionKind::Mask;
    std::vector<MaskChange> changes;         // Mask: one; Delay: one or more
    std::optional<std::int32_t> fadeMs;      // Mask, Delay
    PointsKind pointsKind = PointsKind::Explicit; // Delay
    std::vector<TimeValue> points;           // Delay, Explicit
    std::u16string newId;                    // Rebind
    TimeValue target;                        // Seek
};

struct Timeline {
    std::string file; // as named in messages
    std::optional<double> bpm;
    std::optional<Tempo> meter; // beatsPerBar and beatUnit only
    std::vector<TimelineAction> actions;
};

// Parses timeline text; false with `error` = "FILE:LINE: what is wrong" for
// the first bad line.
[[nodiscard]] bool ParseTimeline(std::string_view text, const std::string& file, Timeline& out, std::string& error);

// Reads and parses the file `path`.
[[nodiscard]] bool LoadTimeline(const std::string& path, Timeline& out, std::string& error);

} // namespace mtrk
