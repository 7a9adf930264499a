// The main-thread side of real-time play: carries out the timeline's
// actions and the command lines from standard input at their audio-clock
// times through the script members, as game scripts call them on the
// engine's main thread, and seeks the decoder. Keys, when there are any,
// come through a KeyControl.
#pragma once

#include "LineInput.h"
#include "PlayCommand.h"
#include "PlaySink.h"
#include "ScriptActions.h"

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

namespace mtrk {

class KeyControl;

class PlayController final : public PlayControl {
public:
    // `end` (--duration): the audio-clock frame where play stops.
    PlayController(PlaySource& source, ActionPerformer& performer, const Tempo& tempo, std::optional<std::uint64_t> end,
                   const std::atomic<bool>* stop);

    // The timeline's actions, at their frames (`schedule` outlives this).
    void Add(const Schedule& schedule);
    // Command lines from `input`. `paced` (--play-to): whenever no command
    // from the input waits for a later time, wait for the next line, so
    // the render never runs ahead of what the input has still to say.
    void Listen(LineInput* input, bool paced);
    void UseKeys(KeyControl* keys) { keys_ = keys; }

    bool Step(std::uint64_t clock) override;
    [[nodiscard]] std::optional<std::uint64_t> NextDue() const override;

    // Carries out `action` at once (a seek too).
    void Apply(const ScheduledAction& action, std::uint64_t clock);

private:
    struct Due {
        std::uint64_t frame = 0;
        ScheduledAction action; // action.action null: quit
        bool fromInput = false;
    };

    void Insert(Due due);
    void ReadLines(std::uint64_t clock);
    [[nodiscard]] bool InputWaits(std::uint64_t clock) const;
    void Handle(const std::string& line, std::uint64_t clock);
    // Parses one line and queues it; false with `error` for a bad one.
    [[nodiscard]] bool Accept(const std::string& line, std::uint64_t clock, std::string& error);

    PlaySource& source_;
    ActionPerformer& performer_;
    Tempo tempo_;
    std::optional<std::uint64_t> end_;
    const std::atomic<bool>* stop_;
    LineInput* input_ = nullptr;
    bool paced_ = false;
    bool inputEnded_ = false;
    int lineNumber_ = 0;
    KeyControl* keys_ = nullptr;
    bool quit_ = false;
    std::vector<Due> pending_; // by frame, arrival order within a frame
    std::vector<std::unique_ptr<Timeline>> commands_; // what the records point into
};

} // namespace mtrk
