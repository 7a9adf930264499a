#include "KeyControl.h"

#include <vymultitrack/AsciiCase.h>
#include <vymultitrack/Utf16Text.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace mtrk {
namespace {

float Peak(const unsigned char* bytes, std::size_t size, bool float32)
{
    float peak = 0.0f;
    for (std::size_t at = 0; at + (float32 ? 4 : 2) <= size; at += float32 ? 4 : 2) {
        float sample = 0.0f;
        if (float32) {
            std::memcpy(&sample, bytes + at, 4);
        } else {
            std::int16_t value = 0;
            std::memcpy(&value, bytes + at, 2);
            sample = value / 32768.0f;
        }
        peak = std::max(peak, std::abs(sample));
    }
    return peak;
}

} // namespace

KeyControl::KeyControl(platform::RawKeyboard& keyboard, PlaySource& source, SampleRing& tap, KeySetup setup,
                       std::function<void(const std::string&)> say)
    : keyboard_(keyboard), source_(source), tap_(tap), setup_(std::move(setup)), say_(std::move(say)),
      armedAt_(setup_.trackNames.size()), meter_(65536)
{
    for (const auto& name : setup_.trackNames)
        tracks_.push_back({vytext::ToUtf8(name), 1.0, std::nullopt});
}

bool KeyControl::Poll(PlayController& controller, std::uint64_t clock)
{
    for (platform::KeyPress press = keyboard_.Read(0); press.key != platform::Key::None; press = keyboard_.Read(0)) {
        const KeyCommand command = MapKey(press);
        const double bar = setup_.tempo.bpm > 0.0 ? setup_.tempo.BarFrames(source_.Format().rate)
                                                  : 2.0 * source_.Format().rate;
        switch (command.action) {
        case KeyAction::Toggle:
        case KeyAction::Arm:
            Toggle(controller, clock, command.track, command.action == KeyAction::Arm);
            break;
        case KeyAction::Pause: source_.SetPaused(!source_.Paused()); break;
        case KeyAction::Back: Seek(controller, clock, -std::llround(bar)); break;
        case KeyAction::Forward: Seek(controller, clock, std::llround(bar)); break;
        case KeyAction::Restart:
            Seek(controller, clock, static_cast<std::int64_t>(setup_.start) - static_cast<std::int64_t>(source_.Position()));
            break;
        case KeyAction::Quit: Clear(); return false;
        case KeyAction::None: break;
        }
    }
    for (std::size_t got; (got = tap_.Read(meter_.data(), meter_.size())) > 0;)
        peak_ = std::max(peak_, Peak(meter_.data(), got, source_.Format().float32));
    for (std::size_t i = 0; i < tracks_.size(); ++i)
        if (tracks_[i].armed && source_.Position() >= armedAt_[i]) {
            tracks_[i].gain = *tracks_[i].armed;
            tracks_[i].armed.reset();
        }
    if (std::chrono::steady_clock::now() - drawn_ >= std::chrono::seconds(1))
        Redraw();
    return true;
}

void KeyControl::Toggle(PlayController& controller, std::uint64_t clock, int track, bool armed)
{
    if (track >= static_cast<int>(tracks_.size()))
        return;
    if (armed && setup_.tempo.bpm <= 0.0) {
        say_("arming for the bar line needs a tempo: --bpm, or a timeline with a 'bpm' line");
        return;
    }
    TrackState& state = tracks_[static_cast<std::size_t>(track)];
    const double target = state.armed.value_or(state.gain) > 0.5 ? 0.0 : 1.0;
    TimelineAction& action = actions_.emplace_back();
    action.kind = armed ? ActionKind::Delay : ActionKind::Mask;
    action.pointsKind = PointsKind::NextBars;
    action.changes.push_back({{false, false, {setup_.trackNames[static_cast<std::size_t>(track)]}}, target});
    action.fadeMs = setup_.fadeMs;
    ScheduledAction scheduled;
    scheduled.frame = clock;
    scheduled.action = &action;
    controller.Apply(scheduled, clock);
}

std::vector<std::size_t> KeyControl::Matches(const TrackSelection& tracks) const
{
    std::vector<std::size_t> found;
    for (std::size_t i = 0; i < tracks_.size(); ++i) {
        const auto named = [&](const std::u16string& name) {
            if (AsciiLowerCase(name) == AsciiLowerCase(setup_.trackNames[i]))
                return true;
            return std::any_of(setup_.otherNames.begin(), setup_.otherNames.end(), [&](const auto& other) {
                return other.second == static_cast<int>(i) && AsciiLowerCase(other.first) == AsciiLowerCase(name);
            });
        };
        if (tracks.all || std::any_of(tracks.names.begin(), tracks.names.end(), named))
            found.push_back(i);
    }
    return found;
}

void KeyControl::Observe(const ScheduledAction& scheduled, std::uint64_t position)
{
    const TimelineAction& action = *scheduled.action;
    if (action.kind == ActionKind::Mask) {
        for (std::size_t i : Matches(action.changes.front().tracks))
            tracks_[i].gain = action.changes.front().volume;
        return;
    }
    if (action.kind != ActionKind::Delay)
        return;
    std::optional<std::uint64_t> at;
    if (action.pointsKind == PointsKind::Explicit && !scheduled.points.empty())
        at = scheduled.points.front();
    else if (action.pointsKind != PointsKind::Explicit && setup_.tempo.bpm > 0.0) {
        const std::uint32_t rate = source_.Format().rate;
        const double spacing = action.pointsKind == PointsKind::NextBars ? setup_.tempo.BarFrames(rate)
                                                                         : setup_.tempo.BeatFrames(rate);
        at = static_cast<std::uint64_t>(std::llround((std::floor(static_cast<double>(position) / spacing) + 1) * spacing));
    }
    for (const MaskChange& change : action.changes)
        for (std::size_t i : Matches(change.tracks)) {
            tracks_[i].armed = change.volume;
            armedAt_[i] = at.value_or(position);
        }
}

void KeyControl::Seek(PlayController& controller, std::uint64_t clock, std::int64_t frames)
{
    const auto position = static_cast<std::int64_t>(source_.Position());
    const std::uint64_t total = source_.Format().totalFrames;
    std::int64_t target = std::max<std::int64_t>(0, position + frames);
    if (total > 0)
        target = std::min<std::int64_t>(target, static_cast<std::int64_t>(total) - 1);
    TimelineAction& action = actions_.emplace_back();
    action.kind = ActionKind::Seek;
    ScheduledAction scheduled;
    scheduled.frame = clock;
    scheduled.action = &action;
    scheduled.seekTarget = static_cast<std::uint64_t>(target);
    controller.Apply(scheduled, clock);
}

void KeyControl::Redraw()
{
    StatusInput in{source_.Position(), source_.Format().rate, setup_.tempo, tracks_, peak_, source_.Paused()};
    std::printf("\r%s\x1b[K", FormatStatus(in).c_str());
    std::fflush(stdout);
    peak_ = 0.0f;
    drawn_ = std::chrono::steady_clock::now();
}

void KeyControl::Clear() const
{
    std::printf("\r\x1b[K");
    std::fflush(stdout);
}

} // namespace mtrk
