#include "LoudnessMeter.h"

#include "Text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace mtrk {
namespace {

// What each channel is to BS.1770, by channel count. Neither the stream
// nor the WAV file the tool writes (no channel mask) says where a channel
// plays, so players take the WAVE default order for its count, and so
// does the meter: 1 mono, 2 L R, 3 L R C, 4 L R Ls Rs, 5 L R C Ls Rs,
// 6 (5.1) L R C LFE Ls Rs, 7 (6.1) L R C LFE Cs Ls Rs, 8 (7.1) L R C LFE
// Lb Rb Ls Rs. The LFE is the one channel BS.1770 leaves out (UNUSED).
// Side channels weigh +1.5 dB, everything else 1.0. Channels past 7.1
// have no conventional place: they count at weight 1.0 (front, as
// EBUR128_Mp000), so that no sound of the output goes unmeasured.
int ChannelRole(std::uint32_t channels, std::uint32_t index)
{
    static constexpr int kByCount[9][8] = {
        {},
        {EBUR128_LEFT},
        {EBUR128_LEFT, EBUR128_RIGHT},
        {EBUR128_LEFT, EBUR128_RIGHT, EBUR128_CENTER},
        {EBUR128_LEFT, EBUR128_RIGHT, EBUR128_LEFT_SURROUND, EBUR128_RIGHT_SURROUND},
        {EBUR128_LEFT, EBUR128_RIGHT, EBUR128_CENTER, EBUR128_LEFT_SURROUND, EBUR128_RIGHT_SURROUND},
        {EBUR128_LEFT, EBUR128_RIGHT, EBUR128_CENTER, EBUR128_UNUSED, EBUR128_LEFT_SURROUND, EBUR128_RIGHT_SURROUND},
        {EBUR128_LEFT, EBUR128_RIGHT, EBUR128_CENTER, EBUR128_UNUSED, EBUR128_Mp180, EBUR128_Mp090, EBUR128_Mm090},
        {EBUR128_LEFT, EBUR128_RIGHT, EBUR128_CENTER, EBUR128_UNUSED, EBUR128_Mp135, EBUR128_Mm135, EBUR128_Mp090,
         EBUR128_Mm090},
    };
    return channels < 9 ? kByCount[channels][index] : index < 8 ? kByCount[8][index] : EBUR128_Mp000;
}

} // namespace

LoudnessMeter::LoudnessMeter(const StreamFormat& format, int mode)
    : state_(mode != 0 ? ebur128_init(format.channels, format.rate, mode) : nullptr), float32_(format.float32)
{
    if (!state_)
        return;
    for (std::uint32_t c = 0; c < format.channels; ++c)
        ebur128_set_channel(state_.get(), c, ChannelRole(format.channels, c));
}

bool LoudnessMeter::OnBlock(const void* samples, std::uint32_t frames, std::string& error)
{
    if (!state_)
        return true;
    const int result = float32_ ? ebur128_add_frames_float(state_.get(), static_cast<const float*>(samples), frames)
                                : ebur128_add_frames_short(state_.get(), static_cast<const short*>(samples), frames);
    if (result != EBUR128_SUCCESS)
        error = Join("the loudness meter failed (libebur128 error ", std::to_string(result), ")");
    return result == EBUR128_SUCCESS;
}

double LoudnessMeter::Reading(int (*read)(ebur128_state*, double*), double none) const
{
    if (!state_)
        return std::nan("");
    double value = none;
    read(state_.get(), &value);
    return value;
}

double LoudnessMeter::Integrated() const
{
    return Reading(&ebur128_loudness_global, -HUGE_VAL);
}

double LoudnessMeter::Range() const
{
    return Reading(&ebur128_loudness_range, 0.0);
}

double LoudnessMeter::TruePeak() const
{
    if (!state_)
        return std::nan("");
    double peak = 0.0;
    for (std::uint32_t c = 0; c < state_->channels; ++c) {
        double channel = 0.0;
        ebur128_true_peak(state_.get(), c, &channel);
        peak = std::max(peak, channel);
    }
    return peak;
}

double LoudnessMeter::Momentary() const
{
    return Reading(&ebur128_loudness_momentary, -HUGE_VAL);
}

std::string FormatLevel(double decibels)
{
    if (std::isnan(decibels))
        return "n/a";
    if (decibels == -HUGE_VAL)
        return "-inf";
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", decibels);
    return text;
}

} // namespace mtrk
