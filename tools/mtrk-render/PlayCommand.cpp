#include "PlayCommand.h"

#include "Text.h"

namespace mtrk {
namespace {

std::string_view Word(std::string_view line, std::size_t& from)
{
    from = line.find_first_not_of(" \t\r", from);
    if (from == std::string_view::npos || line[from] == '#') {
        from = line.size();
        return {};
    }
    const std::size_t end = std::min(line.find_first_of(" \t\r#", from), line.size());
    const std::string_view word = line.substr(from, end - from);
    from = end;
    return word;
}

bool IsAction(std::string_view word)
{
    return word == "mask" || word == "delay" || word == "rebind" || word == "seek";
}

} // namespace

bool ParsePlayCommand(std::string_view line, PlayCommand& out, std::string& error)
{
    out = PlayCommand{};
    std::size_t at = 0;
    const std::string_view first = Word(line, at);
    const std::string_view second = Word(line, at);
    if (first.empty())
        return true;
    if (first == "quit" || second == "quit") {
        const bool timed = first != "quit";
        if (!Word(line, at).empty() || (!timed && !second.empty())) {
            error = "'quit' takes nothing more";
            return false;
        }
        out.kind = PlayCommand::Kind::Quit;
        out.timed = timed;
        if (const auto time = timed ? ParseTime(first, error) : std::optional<TimeValue>{})
            out.at = *time;
        return !timed || error.empty();
    }
    out.timed = !IsAction(first);
    const std::string text = out.timed ? std::string(line) : Join("0 ", line);
    auto timeline = std::make_unique<Timeline>();
    if (!ParseTimeline(text, "", *timeline, error)) {
        error.erase(0, error.find(": ") + 2); // the parser's ":1: " before the message
        return false;
    }
    if (timeline->actions.size() != 1) {
        error = "a command is one action (mask, delay, rebind, seek) or quit; the tempo comes from --bpm, --meter or --timeline";
        return false;
    }
    out.kind = PlayCommand::Kind::Action;
    out.at = timeline->actions.front().at;
    out.timeline = std::move(timeline);
    return true;
}

} // namespace mtrk
