#include "StatusLine.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace mtrk {
namespace {

std::string Where(const StatusInput& in)
{
    char text[48];
    if (in.tempo.bpm <= 0.0) {
        std::snprintf(text, sizeof text, "%8.1f s", static_cast<double>(in.position) / in.rate);
        return text;
    }
    const double beats = static_cast<double>(in.position) / in.tempo.BeatFrames(in.rate);
    const auto bar = static_cast<long long>(std::floor(beats / in.tempo.beatsPerBar));
    const auto beat = static_cast<long long>(std::floor(beats)) - bar * in.tempo.beatsPerBar;
    std::snprintf(text, sizeof text, "bar %3lld:%lld", bar + 1, beat + 1);
    return text;
}

// Four cells, filled in proportion to the gain (above 1: all).
std::string GainBar(double gain)
{
    const int cells = static_cast<int>(std::lround(std::clamp(gain, 0.0, 1.0) * 4));
    return std::string(static_cast<std::size_t>(cells), '#') + std::string(static_cast<std::size_t>(4 - cells), '.');
}

} // namespace

std::string FormatStatus(const StatusInput& in)
{
    std::string line = Where(in);
    for (const TrackState& track : in.tracks) {
        line.append("  ").append(track.name).append(" [").append(GainBar(track.gain)).append("]");
        if (track.armed)
            line.append(">").append(GainBar(*track.armed));
    }
    char peak[40];
    if (in.peak > 0.0f)
        std::snprintf(peak, sizeof peak, "  peak %6.1f dBFS", 20.0 * std::log10(in.peak));
    else
        std::snprintf(peak, sizeof peak, "  peak   -inf dBFS");
    line.append(peak);
    if (in.paused)
        line.append("  (paused)");
    return line;
}

} // namespace mtrk
