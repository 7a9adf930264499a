// --play at a terminal: the keys of KeyMap carried out through the same
// script members as timeline actions, and the status line redrawn once a
// second.
#pragma once

#include "KeyMap.h"
#include "PlayController.h"
#include "SampleRing.h"
#include "StatusLine.h"

#include <chrono>
#include <deque>
#include <functional>

namespace mtrk {

struct KeySetup {
    std::vector<std::u16string> trackNames;                 // by track index
    std::vector<std::pair<std::u16string, int>> otherNames; // further names and their track
    Tempo tempo;
    int fadeMs = 500;
    std::uint64_t start = 0; // where r restarts
};

class KeyControl {
public:
    // `say` prints a line above the status line.
    KeyControl(platform::RawKeyboard& keyboard, PlaySource& source, SampleRing& tap, KeySetup setup,
               std::function<void(const std::string&)> say);

    // Carries out the keys pressed since the last call; false on q.
    [[nodiscard]] bool Poll(PlayController& controller, std::uint64_t clock);
    // Clears the status line.
    void Clear() const;
    // Follows an action carried out at stream frame `position` (from the
    // keys, the timeline or stdin) in the gains and armed changes shown.
    void Observe(const ScheduledAction& action, std::uint64_t position);

private:
    void Toggle(PlayController& controller, std::uint64_t clock, int track, bool armed);
    void Seek(PlayController& controller, std::uint64_t clock, std::int64_t frames);
    void Redraw();
    [[nodiscard]] std::vector<std::size_t> Matches(const TrackSelection& tracks) const;

    platform::RawKeyboard& keyboard_;
    PlaySource& source_;
    SampleRing& tap_;
    KeySetup setup_;
    std::function<void(const std::string&)> say_;
    std::vector<TrackState> tracks_;
    std::vector<std::uint64_t> armedAt_; // stream frame of each track's armed change
    std::deque<TimelineAction> actions_; // what the action records point into
    std::vector<unsigned char> meter_;
    float peak_ = 0.0f;
    std::chrono::steady_clock::time_point drawn_{};
};

} // namespace mtrk
