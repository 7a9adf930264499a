#include "TimeValue.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace mtrk {

std::optional<double> ParseNumber(std::string_view text, bool allowNegative)
{
    if (text.empty() || text.front() == '+' || (!allowNegative && text.front() == '-'))
        return std::nullopt;
    double value = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<std::uint64_t> ParseCount(std::string_view text)
{
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::optional<TimeValue> ParseTime(std::string_view text, std::string& error)
{
    TimeValue time;
    const std::size_t colon = text.find(':');
    if (colon != std::string_view::npos) {
        const auto bar = ParseCount(text.substr(0, colon));
        const auto beat = ParseNumber(text.substr(colon + 1), false);
        if (!bar || !beat || *bar < 1 || *beat < 1.0) {
            error = "bad bar:beat time '";
            error.append(text).append("' (bars and beats count from 1, e.g. 5:1 or 4:2.5)");
            return std::nullopt;
        }
        time.unit = TimeValue::Unit::BarBeat;
        time.bar = *bar;
        time.beat = *beat;
        return time;
    }
    if (!text.empty() && text.back() == 'f') {
        const auto frames = ParseCount(text.substr(0, text.size() - 1));
        if (!frames) {
            error = "bad frame count '";
            error.append(text).append("' (a whole number followed by f, e.g. 48000f)");
            return std::nullopt;
        }
        time.unit = TimeValue::Unit::Frames;
        time.frames = *frames;
        return time;
    }
    const std::string_view number = !text.empty() && text.back() == 's' ? text.substr(0, text.size() - 1) : text;
    const auto seconds = ParseNumber(number, false);
    if (!seconds) {
        error = "bad time '";
        error.append(text).append("' (seconds like 12.5 or 12.5s, frames like 48000f, or bar:beat like 5:1)");
        return std::nullopt;
    }
    time.seconds = *seconds;
    return time;
}

bool ParseMeter(std::string_view text, Tempo& tempo, std::string& error)
{
    const std::size_t slash = text.find('/');
    const auto beats = slash == std::string_view::npos ? std::nullopt : ParseCount(text.substr(0, slash));
    const auto unit = slash == std::string_view::npos ? std::nullopt : ParseCount(text.substr(slash + 1));
    const bool unitOk = unit && (*unit == 1 || *unit == 2 || *unit == 4 || *unit == 8 || *unit == 16 || *unit == 32);
    if (!beats || *beats < 1 || *beats > 64 || !unitOk) {
        error = "bad meter '";
        error.append(text).append("' (beats/unit, e.g. 4/4 or 6/8)");
        return false;
    }
    tempo.beatsPerBar = static_cast<int>(*beats);
    tempo.beatUnit = static_cast<int>(*unit);
    return true;
}

std::optional<double> ParseBpm(std::string_view text, std::string& error)
{
    const auto bpm = ParseNumber(text, false);
    if (!bpm || *bpm <= 0.0 || *bpm > 1000.0) {
        error = "bad tempo '";
        error.append(text).append("' (beats per minute above 0, at most 1000)");
        return std::nullopt;
    }
    return bpm;
}

bool ToFrames(const TimeValue& time, std::uint32_t rate, const Tempo& tempo, std::uint64_t& frames,
              std::string& error)
{
    double exact = 0.0;
    switch (time.unit) {
    case TimeValue::Unit::Frames:
        frames = time.frames;
        return true;
    case TimeValue::Unit::Seconds:
        exact = time.seconds * rate;
        break;
    case TimeValue::Unit::BarBeat:
        if (tempo.bpm <= 0.0) {
            error = "a bar:beat time needs a tempo (--bpm or a 'bpm' line)";
            return false;
        }
        if (time.beat >= tempo.beatsPerBar + 1.0) {
            char beat[32];
            std::snprintf(beat, sizeof beat, "%g", time.beat);
            error = "beat ";
            error.append(beat).append(" does not fit a bar of ");
            error.append(std::to_string(tempo.beatsPerBar)).append(" beats");
            return false;
        }
        exact = ((static_cast<double>(time.bar) - 1.0) * tempo.beatsPerBar + (time.beat - 1.0)) *
                tempo.BeatFrames(rate);
        break;
    }
    if (exact >= 9.0e18) {
        error = "time too far away";
        return false;
    }
    frames = static_cast<std::uint64_t>(std::llround(exact));
    return true;
}

std::string FormatSeconds(std::uint64_t frames, std::uint32_t rate)
{
    char text[48];
    std::snprintf(text, sizeof text, "%.3f s", rate ? static_cast<double>(frames) / rate : 0.0);
    return text;
}

} // namespace mtrk
