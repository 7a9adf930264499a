#include "ScriptActions.h"

#include "Text.h"

#include <vymultitrack/Utf16Text.h>

#include <cstdio>

namespace mtrk {
namespace {

host::Variant TracksValue(const TrackSelection& tracks)
{
    if (tracks.all)
        return host::Variant(); // void: every track
    if (!tracks.list)
        return host::Variant(tracks.names.front());
    std::vector<host::Variant> names(tracks.names.begin(), tracks.names.end());
    return host::Array(names);
}

std::string Number(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

std::string DescribeChanges(const TimelineAction& action)
{
    std::string text;
    for (const MaskChange& change : action.changes) {
        if (!text.empty())
            text.append(", ");
        text.append(DescribeTracks(change.tracks)).append(" -> ").append(Number(change.volume));
    }
    if (action.fadeMs)
        text.append(" over ").append(std::to_string(*action.fadeMs)).append(" ms");
    return text;
}

} // namespace

std::string DescribeTracks(const TrackSelection& tracks)
{
    if (tracks.all)
        return "*";
    std::string text;
    for (const auto& name : tracks.names) {
        if (!text.empty())
            text.push_back(',');
        text.append(vytext::ToUtf8(name));
    }
    return text;
}

ScriptActions::ScriptActions(PluginSession& session, std::u16string id, const StreamFormat& format,
                             const Tempo& tempo, std::function<void(const std::string&)> say,
                             const TimelineAction* skip)
    : session_(session), id_(std::move(id)), format_(format), tempo_(tempo), say_(std::move(say)), skip_(skip)
{
}

std::vector<std::uint64_t> ScriptActions::SwitchPoints(const ScheduledAction& action,
                                                       std::uint64_t streamPosition) const
{
    switch (action.action->pointsKind) {
    case PointsKind::NextBars:
        return GridLinesAfter(streamPosition, tempo_.BarFrames(format_.rate), format_.totalFrames);
    case PointsKind::NextBeats:
        return GridLinesAfter(streamPosition, tempo_.BeatFrames(format_.rate), format_.totalFrames);
    case PointsKind::Explicit:
        break;
    }
    return action.points;
}

void ScriptActions::Perform(const ScheduledAction& scheduled, std::uint64_t outputFrame, std::uint64_t streamPosition)
{
    const TimelineAction& action = *scheduled.action;
    if (&action == skip_)
        return;
    ActionRecord record;
    record.action = &action;
    record.outputFrame = outputFrame;
    host::Args args{host::Variant(id_)};
    std::u16string_view member;
    std::string& what = record.what;
    switch (action.kind) {
    case ActionKind::Mask:
        member = u"setMultiTrackMask";
        args.push_back(TracksValue(action.changes.front().tracks));
        args.push_back(host::Variant(action.changes.front().volume));
        what = Join("mask ", DescribeChanges(action));
        break;
    case ActionKind::Delay: {
        member = u"setDelayMultiTrackMask";
        record.points = SwitchPoints(scheduled, streamPosition);
        std::vector<host::Variant> points;
        for (std::uint64_t point : record.points)
            points.emplace_back(static_cast<pkq_int64>(point));
        args.push_back(points.size() == 1 ? points.front() : host::Array(points));
        std::vector<host::Variant> changes;
        for (const MaskChange& change : action.changes) {
            changes.push_back(TracksValue(change.tracks));
            changes.push_back(host::Variant(change.volume));
        }
        args.push_back(host::Array(changes));
        what = Join("delay ", DescribeChanges(action), ", armed on ");
        what.append(std::to_string(record.points.size())).append(" switch point(s)");
        if (!record.points.empty())
            what.append(" from frame ").append(std::to_string(record.points.front()));
        break;
    }
    case ActionKind::Rebind:
        member = u"rebindMultiTrackID";
        args.push_back(host::Variant(action.newId));
        what = Join("rebind ", vytext::ToUtf8(id_), " -> ", vytext::ToUtf8(action.newId));
        break;
    case ActionKind::Seek: // done by the render loop: only recorded
        what = Join("seek to stream frame ", std::to_string(streamPosition));
        say_(Join(FormatSeconds(outputFrame, format_.rate), "  ", what));
        records_.push_back(std::move(record));
        return;
    }
    if (action.fadeMs)
        args.push_back(host::Variant(static_cast<int>(*action.fadeMs)));
    const host::CallResult result = session_.Call(member, args);
    record.accepted = result.Ok() && !(result.value.Type() == pvtInteger && result.value.AsInteger() == -1);
    if (action.kind == ActionKind::Rebind) {
        record.accepted = result.Ok() && result.value.AsBool();
        if (record.accepted)
            id_ = action.newId;
    }
    Report(record, result);
    records_.push_back(std::move(record));
}

void ScriptActions::Report(const ActionRecord& record, const host::CallResult& result)
{
    std::string line = FormatSeconds(record.outputFrame, format_.rate);
    line.append("  ").append(record.what);
    if (!record.accepted) {
        line.append("  [refused: ").append(result.Ok() ? "the stream did not take it" : "code ");
        if (!result.Ok())
            line.append(std::to_string(result.code));
        line.append("]");
    }
    say_(line);
    for (const std::string& logged : session_.TakeLog())
        say_(Join("  plug-in: ", logged));
}

} // namespace mtrk
