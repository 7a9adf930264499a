#include "Timeline.h"

#include "Text.h"

#include <vymultitrack/Utf16Text.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace mtrk {
namespace {

struct Field {
    std::string_view text;
    bool quoted = false;
};

// Cuts a line into blank-separated fields; a '#' outside quotes ends it.
bool SplitLine(std::string_view line, std::vector<Field>& fields, std::string& error)
{
    std::size_t i = 0;
    while (i < line.size()) {
        const char c = line[i];
        if (c == ' ' || c == '\t' || c == '\r') {
            ++i;
        } else if (c == '#') {
            break;
        } else if (c == '"') {
            const std::size_t close = line.find('"', i + 1);
            if (close == std::string_view::npos) {
                error = "unclosed quote";
                return false;
            }
            fields.push_back({line.substr(i + 1, close - i - 1), true});
            i = close + 1;
        } else {
            std::size_t end = i;
            while (end < line.size() && line[end] != ' ' && line[end] != '\t' && line[end] != '\r' && line[end] != '#')
                ++end;
            fields.push_back({line.substr(i, end - i), false});
            i = end;
        }
    }
    return true;
}

bool ParseTracks(const Field& field, TrackSelection& tracks, std::string& error)
{
    if (field.quoted) {
        if (field.text.empty()) {
            error = "empty track name";
            return false;
        }
        tracks.names.push_back(vytext::ToUtf16(field.text));
        return true;
    }
    if (field.text == "*") {
        tracks.all = true;
        return true;
    }
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = field.text.find(',', start);
        const std::string_view name = field.text.substr(start, comma - start);
        if (name.empty()) {
            error = "empty track name in '";
            error.append(field.text).append("'");
            return false;
        }
        tracks.names.push_back(vytext::ToUtf16(name));
        if (comma == std::string_view::npos)
            break;
        start = comma + 1;
    }
    tracks.list = tracks.names.size() > 1;
    return true;
}

bool ParseVolume(std::string_view text, double& volume, std::string& error)
{
    const auto value = ParseNumber(text);
    if (!value) {
        error = "bad volume '";
        error.append(text).append("' (a number, 1 = full level)");
        return false;
    }
    volume = *value;
    return true;
}

bool ParseFade(std::string_view text, std::int32_t& fadeMs, std::string& error)
{
    std::optional<double> ms;
    if (text.ends_with("ms"))
        ms = ParseNumber(text.substr(0, text.size() - 2), false);
    else if (text.ends_with("s") && (ms = ParseNumber(text.substr(0, text.size() - 1), false)))
        *ms *= 1000.0;
    else if (!text.ends_with("s"))
        ms = ParseNumber(text, false);
    if (!ms || *ms > 2147483647.0) {
        error = "bad fade '";
        error.append(text).append("' (milliseconds like 500 or 500ms, or seconds like 0.5s)");
        return false;
    }
    fadeMs = static_cast<std::int32_t>(std::lround(*ms));
    return true;
}

bool ParsePoints(std::string_view text, TimelineAction& action, std::string& error)
{
    if (text == "next-bar") {
        action.pointsKind = PointsKind::NextBars;
        return true;
    }
    if (text == "next-beat") {
        action.pointsKind = PointsKind::NextBeats;
        return true;
    }
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = text.find(',', start);
        const auto point = ParseTime(text.substr(start, comma - start), error);
        if (!point) {
            error.insert(0, "switch point: ");
            return false;
        }
        action.points.push_back(*point);
        if (comma == std::string_view::npos)
            return true;
        start = comma + 1;
    }
}

std::string CountError(std::string_view action, const char* usage)
{
    std::string error = "'";
    error.append(action).append("' takes ").append(usage);
    return error;
}

bool ParseAction(const std::vector<Field>& fields, TimelineAction& action, std::string& error)
{
    const auto at = ParseTime(fields[0].text, error);
    if (!at)
        return false;
    action.at = *at;
    if (fields.size() < 2) {
        error = "missing action after the time (mask, delay, rebind or seek)";
        return false;
    }
    const std::string_view name = fields[1].text;
    const std::size_t rest = fields.size() - 2;
    if (name == "mask") {
        action.kind = ActionKind::Mask;
        if (rest != 2 && rest != 3) {
            error = CountError(name, "TRACKS VOLUME [FADE]");
            return false;
        }
        MaskChange change;
        if (!ParseTracks(fields[2], change.tracks, error) || !ParseVolume(fields[3].text, change.volume, error))
            return false;
        action.changes.push_back(std::move(change));
        if (rest == 3)
            return ParseFade(fields[4].text, action.fadeMs.emplace(), error);
        return true;
    }
    if (name == "delay") {
        action.kind = ActionKind::Delay;
        if (rest < 3) {
            error = CountError(name, "POINTS TRACKS VOLUME [TRACKS VOLUME]... [FADE]");
            return false;
        }
        if (!ParsePoints(fields[2].text, action, error))
            return false;
        const std::size_t pairs = (rest - 1) / 2;
        for (std::size_t p = 0; p < pairs; ++p) {
            MaskChange change;
            if (!ParseTracks(fields[3 + 2 * p], change.tracks, error) ||
                !ParseVolume(fields[4 + 2 * p].text, change.volume, error))
                return false;
            action.changes.push_back(std::move(change));
        }
        if ((rest - 1) % 2 == 1)
            return ParseFade(fields.back().text, action.fadeMs.emplace(), error);
        return true;
    }
    if (name == "rebind") {
        action.kind = ActionKind::Rebind;
        if (rest != 1 || fields[2].text.empty()) {
            error = CountError(name, "NEWID");
            return false;
        }
        action.newId = vytext::ToUtf16(fields[2].text);
        return true;
    }
    if (name == "seek") {
        action.kind = ActionKind::Seek;
        if (rest != 1) {
            error = CountError(name, "TIME");
            return false;
        }
        const auto target = ParseTime(fields[2].text, error);
        if (!target)
            return false;
        action.target = *target;
        return true;
    }
    error = "unknown action '";
    error.append(name).append("' (mask, delay, rebind or seek)");
    return false;
}

bool ParseLine(std::string_view line, int number, Timeline& out, std::string& error)
{
    std::vector<Field> fields;
    if (!SplitLine(line, fields, error) || fields.empty())
        return error.empty();
    const std::string_view keyword = fields[0].quoted ? std::string_view() : fields[0].text;
    if (keyword == "bpm" || keyword == "meter") {
        if (fields.size() != 2) {
            error = Join("'", keyword, keyword == "bpm" ? "' takes one tempo, e.g. bpm 120" : "' takes one meter, e.g. meter 4/4");
            return false;
        }
        if (keyword == "bpm") {
            out.bpm = ParseBpm(fields[1].text, error);
            return out.bpm.has_value();
        }
        return ParseMeter(fields[1].text, out.meter.emplace(), error);
    }
    TimelineAction action;
    action.line = number;
    if (!ParseAction(fields, action, error))
        return false;
    out.actions.push_back(std::move(action));
    return true;
}

} // namespace

bool ParseTimeline(std::string_view text, const std::string& file, Timeline& out, std::string& error)
{
    out = Timeline{};
    out.file = file;
    if (text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3);
    int number = 0;
    for (std::size_t start = 0; start <= text.size(); ++number) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        std::string what;
        if (!ParseLine(text.substr(start, end - start), number + 1, out, what)) {
            error = file;
            error.append(":").append(std::to_string(number + 1)).append(": ").append(what);
            return false;
        }
        start = end + 1;
    }
    return true;
}

bool LoadTimeline(const std::string& path, Timeline& out, std::string& error)
{
    std::error_code ignored;
    std::ifstream in;
    if (std::filesystem::is_regular_file(path, ignored))
        in.open(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    if (!in.is_open() || in.bad()) {
        error = "cannot read timeline ";
        error.append(path).append(in.is_open() ? ": read error" : ": no such file");
        return false;
    }
    return ParseTimeline(text.str(), path, out, error);
}

} // namespace mtrk
