#include "Schedule.h"

#include "Text.h"

#include <algorithm>
#include <cmath>

namespace mtrk {
namespace {

bool Fail(const Timeline& timeline, int line, const std::string& what, std::string& error)
{
    error = timeline.file;
    error.append(":").append(std::to_string(line)).append(": ").append(what);
    return false;
}

} // namespace

Tempo EffectiveTempo(const Timeline& timeline, double bpm, const std::optional<Tempo>& meter)
{
    Tempo tempo;
    if (timeline.meter)
        tempo = *timeline.meter;
    if (meter) {
        tempo.beatsPerBar = meter->beatsPerBar;
        tempo.beatUnit = meter->beatUnit;
    }
    tempo.bpm = bpm > 0.0 ? bpm : timeline.bpm.value_or(0.0);
    return tempo;
}

bool BuildSchedule(const Timeline& timeline, Tempo tempo, std::uint32_t rate, std::uint64_t streamFrames,
                   Schedule& out, std::string& error)
{
    out = Schedule{};
    out.tempo = tempo;
    for (const TimelineAction& action : timeline.actions) {
        ScheduledAction scheduled;
        scheduled.action = &action;
        std::string what;
        if (!ToFrames(action.at, rate, tempo, scheduled.frame, what))
            return Fail(timeline, action.line, what, error);
        for (const TimeValue& point : action.points) {
            std::uint64_t frame = 0;
            if (!ToFrames(point, rate, tempo, frame, what))
                return Fail(timeline, action.line, what, error);
            scheduled.points.push_back(frame);
        }
        if (!std::is_sorted(scheduled.points.begin(), scheduled.points.end()))
            out.warnings.push_back(Join(timeline.file, ":", std::to_string(action.line),
                                        ": the switch points are not in ascending order, so where the change "
                                        "lands depends on the block size"));
        const bool needsGrid = action.kind == ActionKind::Delay && action.pointsKind != PointsKind::Explicit;
        if (needsGrid && tempo.bpm <= 0.0)
            return Fail(timeline, action.line, "next-bar and next-beat need a tempo (--bpm or a 'bpm' line)", error);
        if (action.kind == ActionKind::Seek) {
            if (!ToFrames(action.target, rate, tempo, scheduled.seekTarget, what))
                return Fail(timeline, action.line, what, error);
            if (streamFrames > 0 && scheduled.seekTarget >= streamFrames) {
                what = "seek to frame ";
                what.append(std::to_string(scheduled.seekTarget)).append(" is past the end of the stream (");
                what.append(std::to_string(streamFrames)).append(" frames)");
                return Fail(timeline, action.line, what, error);
            }
        }
        out.actions.push_back(std::move(scheduled));
    }
    std::stable_sort(out.actions.begin(), out.actions.end(),
                     [](const ScheduledAction& a, const ScheduledAction& b) { return a.frame < b.frame; });
    return true;
}

std::vector<std::uint64_t> GridLinesAfter(std::uint64_t position, double spacing, std::uint64_t streamEnd,
                                          std::size_t limit)
{
    std::vector<std::uint64_t> lines;
    if (!(spacing > 0.0))
        return lines;
    auto k = static_cast<std::uint64_t>(std::floor(static_cast<double>(position) / spacing));
    while (lines.size() < limit) {
        const auto line = static_cast<std::uint64_t>(std::llround(static_cast<double>(k) * spacing));
        if (streamEnd > 0 && line >= streamEnd)
            break;
        if (line > position)
            lines.push_back(line);
        ++k;
    }
    return lines;
}

std::uint32_t NextBlock(std::uint64_t position, std::uint32_t block, std::optional<std::uint64_t> nextAction,
                        std::optional<std::uint64_t> end)
{
    std::uint64_t frames = block;
    if (nextAction && *nextAction > position)
        frames = std::min(frames, *nextAction - position);
    if (end)
        frames = *end > position ? std::min(frames, *end - position) : 0;
    return static_cast<std::uint32_t>(frames);
}

} // namespace mtrk
