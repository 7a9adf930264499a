#include "PlayController.h"

#include "KeyControl.h"

#include <algorithm>
#include <cstdio>

namespace mtrk {

PlayController::PlayController(PlaySource& source, ActionPerformer& performer, const Tempo& tempo,
                               std::optional<std::uint64_t> end, const std::atomic<bool>* stop)
    : source_(source), performer_(performer), tempo_(tempo), end_(end), stop_(stop)
{
}

void PlayController::Add(const Schedule& schedule)
{
    for (const ScheduledAction& action : schedule.actions)
        Insert({action.frame, action, false});
}

void PlayController::Listen(LineInput* input, bool paced)
{
    input_ = input;
    paced_ = paced;
}

void PlayController::Insert(Due due)
{
    const auto at = std::upper_bound(pending_.begin(), pending_.end(), due.frame,
                                     [](std::uint64_t frame, const Due& d) { return frame < d.frame; });
    pending_.insert(at, std::move(due));
}

std::optional<std::uint64_t> PlayController::NextDue() const
{
    if (pending_.empty())
        return end_;
    return std::min(pending_.front().frame, end_.value_or(pending_.front().frame));
}

bool PlayController::InputWaits(std::uint64_t clock) const
{
    return std::any_of(pending_.begin(), pending_.end(), [&](const Due& d) { return d.fromInput && d.frame > clock; });
}

void PlayController::ReadLines(std::uint64_t clock)
{
    std::string line;
    while (input_ && !inputEnded_ && !quit_) {
        if (paced_ && InputWaits(clock))
            return;
        const bool got = paced_ ? input_->Next(line) : input_->TryNext(line);
        if (!got) {
            inputEnded_ = input_->Ended();
            return;
        }
        Handle(line, clock);
    }
}

void PlayController::Handle(const std::string& line, std::uint64_t clock)
{
    ++lineNumber_;
    std::string error;
    if (!Accept(line, clock, error))
        std::fprintf(stderr, "mtrk-render: stdin:%d: %s\n", lineNumber_, error.c_str());
}

bool PlayController::Accept(const std::string& line, std::uint64_t clock, std::string& error)
{
    PlayCommand command;
    if (!ParsePlayCommand(line, command, error))
        return false;
    if (command.kind == PlayCommand::Kind::None)
        return true;
    const StreamFormat& format = source_.Format();
    std::uint64_t frame = clock;
    if (command.timed && !ToFrames(command.at, format.rate, tempo_, frame, error))
        return false;
    if (command.kind == PlayCommand::Kind::Quit) {
        quit_ = quit_ || !command.timed;
        if (command.timed)
            Insert({std::max(frame, clock), ScheduledAction{}, true});
        return true;
    }
    Schedule schedule;
    if (!BuildSchedule(*command.timeline, tempo_, format.rate, format.totalFrames, schedule, error))
        return false;
    ScheduledAction action = schedule.actions.front();
    action.frame = frame;
    commands_.push_back(std::move(command.timeline));
    Insert({std::max(frame, clock), std::move(action), true});
    return true;
}

void PlayController::Apply(const ScheduledAction& action, std::uint64_t clock)
{
    if (action.action->kind == ActionKind::Seek && !source_.Seek(action.seekTarget)) {
        std::fprintf(stderr, "mtrk-render: the stream refused a seek to frame %llu\n",
                     static_cast<unsigned long long>(action.seekTarget));
        return;
    }
    const std::uint64_t position = source_.Position();
    performer_.Perform(action, clock, position);
    if (keys_)
        keys_->Observe(action, position);
}

bool PlayController::Step(std::uint64_t clock)
{
    if ((stop_ && stop_->load()) || (end_ && clock >= *end_))
        return false;
    ReadLines(clock);
    if (keys_ && !keys_->Poll(*this, clock))
        quit_ = true;
    while (!quit_ && !pending_.empty() && pending_.front().frame <= clock) {
        const Due due = pending_.front();
        pending_.erase(pending_.begin());
        if (!due.action.action)
            quit_ = true;
        else
            Apply(due.action, clock);
    }
    return !quit_;
}

} // namespace mtrk
