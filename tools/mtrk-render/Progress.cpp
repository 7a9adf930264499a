#include "Progress.h"

#include "LoudnessMeter.h"
#include "Text.h"

#include <cmath>
#include <cstdio>

namespace mtrk {
namespace {

constexpr int kBarWidth = 30;
constexpr int kSteps = 200; // redraws over a whole render at most

} // namespace

Progress::Progress(bool show, std::uint32_t rate, std::uint64_t expected)
    : show_(show), rate_(rate), expected_(expected), started_(std::chrono::steady_clock::now())
{
}

bool Progress::OnBlock(const void* /*samples*/, std::uint32_t frames, std::string& /*error*/)
{
    done_ += frames;
    if (show_)
        Draw();
    return true;
}

void Progress::Draw()
{
    const int step = expected_ ? static_cast<int>(std::min<std::uint64_t>(done_ * kSteps / expected_, kSteps))
                               : static_cast<int>(done_ / (rate_ ? rate_ : 1));
    if (step == drawnStep_)
        return;
    drawnStep_ = step;
    const double seconds = rate_ ? static_cast<double>(done_) / rate_ : 0.0;
    if (expected_) {
        const int filled = step * kBarWidth / kSteps;
        std::fprintf(stderr, "\r[%.*s%*s] %3d%%  %.1f / %.1f s", filled, "##############################",
                     kBarWidth - filled, "", step * 100 / kSteps, seconds, static_cast<double>(expected_) / rate_);
    } else {
        std::fprintf(stderr, "\r%.1f s rendered", seconds);
    }
    std::fflush(stderr);
    visible_ = true;
}

void Progress::Clear()
{
    if (!visible_)
        return;
    std::fprintf(stderr, "\r\033[K");
    std::fflush(stderr);
    visible_ = false;
    drawnStep_ = -1;
}

double Progress::ElapsedSeconds() const
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
}

std::string FormatSummary(const Summary& summary)
{
    const double duration = summary.rate ? static_cast<double>(summary.frames) / summary.rate : 0.0;
    const double dbfs = summary.peak > 0.0f ? 20.0 * std::log10(summary.peak) : -INFINITY;
    const double dbtp = std::isnan(summary.truePeak) ? summary.truePeak
                        : summary.truePeak > 0.0     ? 20.0 * std::log10(summary.truePeak)
                                                     : -INFINITY;
    char numbers[256];
    std::snprintf(numbers, sizeof numbers, ": %llu frames (%.3f s), %u ch, %u Hz, %s, peak %.3f (%.1f dBFS), ",
                  static_cast<unsigned long long>(summary.frames), duration, summary.channels, summary.rate,
                  summary.float32 ? "float32" : "pcm16", summary.peak, dbfs);
    char speed[32];
    std::snprintf(speed, sizeof speed, "%.1fx real time", summary.seconds > 0.0 ? duration / summary.seconds : 0.0);
    return Join("wrote ", summary.output, numbers, "true peak ", FormatLevel(dbtp), " dBTP, loudness ",
                FormatLevel(summary.loudness), " LUFS, range ", FormatLevel(summary.loudnessRange), " LU, ", speed);
}

} // namespace mtrk
