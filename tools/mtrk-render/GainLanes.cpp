#include "GainLanes.h"

#include <vymultitrack/AsciiCase.h>

#include <algorithm>
#include <cmath>
#include <numeric>

namespace mtrk {
namespace {

// The value of a polyline at `frame` (its last point's value after it).
double ValueAt(const std::vector<GainPoint>& line, std::uint64_t frame)
{
    for (std::size_t i = line.size(); i-- > 0;) {
        if (line[i].frame > frame)
            continue;
        if (i + 1 == line.size() || line[i + 1].frame == line[i].frame)
            return line[i].gain;
        const GainPoint& a = line[i];
        const GainPoint& b = line[i + 1];
        const double t = static_cast<double>(frame - a.frame) / static_cast<double>(b.frame - a.frame);
        return a.gain + (b.gain - a.gain) * t;
    }
    return line.empty() ? 1.0 : line.front().gain;
}

// Sets the line to move from its value at `frame` to `gain` over `fade`
// frames, dropping whatever it planned after `frame`.
void Change(std::vector<GainPoint>& line, std::uint64_t frame, double gain, std::uint64_t fade)
{
    const double now = ValueAt(line, frame);
    while (!line.empty() && line.back().frame > frame)
        line.pop_back();
    line.push_back({frame, now});
    line.push_back({frame + (now == gain ? 0 : fade), gain});
}

} // namespace

std::vector<int> SelectTracks(const OpenReport& stream, const TrackSelection& tracks)
{
    std::vector<int> selected;
    if (tracks.all) {
        selected.resize(static_cast<std::size_t>(std::max(stream.trackCount, 0)));
        std::iota(selected.begin(), selected.end(), 0);
        return selected;
    }
    for (const std::u16string& wanted : tracks.names) {
        const std::u16string key = AsciiLowerCase(wanted);
        for (std::size_t i = 0; i < stream.firstNames.size(); ++i)
            if (AsciiLowerCase(stream.firstNames[i]) == key)
                selected.push_back(static_cast<int>(i));
        for (const auto& [name, track] : stream.otherNames)
            if (AsciiLowerCase(name) == key)
                selected.push_back(track);
    }
    std::sort(selected.begin(), selected.end());
    selected.erase(std::unique(selected.begin(), selected.end()), selected.end());
    return selected;
}

std::vector<std::vector<GainPoint>> RequestedGains(const OpenReport& stream, const std::vector<ActionRecord>& records,
                                                   const std::vector<std::optional<std::uint64_t>>& effectFrames,
                                                   std::uint32_t rate, std::uint64_t endFrame)
{
    const auto tracks = static_cast<std::size_t>(std::max(stream.trackCount, 0));
    std::vector<std::vector<GainPoint>> lines(tracks, std::vector<GainPoint>{{0, 1.0}});
    std::vector<std::size_t> order;
    for (std::size_t i = 0; i < records.size() && i < effectFrames.size(); ++i)
        if (effectFrames[i] && records[i].accepted && records[i].action->kind != ActionKind::Rebind)
            order.push_back(i);
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return *effectFrames[a] < *effectFrames[b]; });
    for (std::size_t i : order) {
        const TimelineAction& action = *records[i].action;
        const std::uint64_t fade =
            static_cast<std::uint64_t>(std::llround(action.fadeMs.value_or(0) * static_cast<double>(rate) / 1000.0));
        for (const MaskChange& change : action.changes)
            for (int track : SelectTracks(stream, change.tracks))
                if (track >= 0 && static_cast<std::size_t>(track) < tracks)
                    Change(lines[static_cast<std::size_t>(track)], *effectFrames[i], change.volume, fade);
    }
    for (auto& line : lines) {
        const double last = ValueAt(line, endFrame);
        while (!line.empty() && line.back().frame > endFrame)
            line.pop_back();
        line.push_back({endFrame, last});
    }
    return lines;
}

} // namespace mtrk
