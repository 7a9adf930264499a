#include "DemoStems.h"

#include <array>
#include <cmath>
#include <numbers>

namespace mtrk::demo {
namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;

double NoteHz(int midi)
{
    return 440.0 * std::pow(2.0, (midi - 69) / 12.0);
}

// Am F C G, twice: three pad notes and a bass root per bar.
constexpr std::array<std::array<int, 3>, 4> kChords = {{{57, 60, 64}, {53, 57, 60}, {55, 60, 64}, {55, 59, 62}}};
constexpr std::array<int, 4> kRoots = {33, 29, 36, 31};

struct Note {
    double beat;   // from 0
    double length; // in beats
    int midi;
};

// The lead line, bar by bar.
constexpr Note kMelody[] = {
    {0, 1, 76}, {1, 0.5, 72}, {1.5, 0.5, 74}, {2, 1, 76}, {3, 1, 69},     // Am
    {4, 2, 72}, {6, 1, 69}, {7, 1, 72},                                  // F
    {8, 1, 67}, {9, 1, 72}, {10, 1, 76}, {11, 1, 79},                    // C
    {12, 3, 74}, {15, 1, 71},                                            // G
    {16, 1, 81}, {17, 0.5, 79}, {17.5, 0.5, 76}, {18, 1, 72}, {19, 1, 76}, // Am
    {20, 1, 77}, {21, 1, 76}, {22, 1, 72}, {23, 1, 69},                  // F
    {24, 1, 67}, {25, 0.5, 72}, {25.5, 0.5, 76}, {26, 1, 79}, {27, 1, 76}, // C
    {28, 1, 74}, {29, 1, 71}, {30, 2, 67},                               // G
};

std::vector<float> Silence()
{
    return std::vector<float>(kFrames * 2, 0.0f);
}

void Add(std::vector<float>& out, std::uint64_t frame, double left, double right)
{
    if (frame >= kFrames)
        return;
    out[frame * 2] += static_cast<float>(left);
    out[frame * 2 + 1] += static_cast<float>(right);
}

// Deterministic white noise in [-1, 1).
class Noise {
public:
    double Next()
    {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return state_ / 2147483648.0 - 1.0;
    }

private:
    std::uint32_t state_ = 0x2545F491u;
};

// Attack, then exponential decay towards `sustain`, then a release after
// the note's end.
double NoteEnvelope(double t, double length, double attack, double decay, double sustain, double release)
{
    double level = t < attack ? t / attack : sustain + (1.0 - sustain) * std::exp(-(t - attack) / decay);
    if (t > length)
        level *= std::exp(-(t - length) / release);
    return level;
}

} // namespace

std::vector<float> Drums()
{
    std::vector<float> out = Silence();
    Noise noise;
    for (std::uint64_t beat = 0; beat < kBars * 4; ++beat) {
        const std::uint64_t at = beat * kBeatFrames;
        if (beat % 2 == 0) { // kick: a sine sweeping down from 150 to 50 Hz
            double phase = 0.0;
            for (std::uint64_t n = 0; n < kRate / 3; ++n) {
                const double t = static_cast<double>(n) / kRate;
                phase += kTwoPi * (50.0 + 100.0 * std::exp(-t / 0.03)) / kRate;
                const double v = 0.45 * std::sin(phase) * std::exp(-t / 0.12);
                Add(out, at + n, v, v);
            }
        } else { // snare: a noise burst over a 190 Hz body
            for (std::uint64_t n = 0; n < kRate / 4; ++n) {
                const double t = static_cast<double>(n) / kRate;
                const double v = 0.18 * noise.Next() * std::exp(-t / 0.07) + 0.12 * std::sin(kTwoPi * 190.0 * t) * std::exp(-t / 0.05);
                Add(out, at + n, v, v * 0.9);
            }
        }
        for (std::uint64_t half = 0; half < 2; ++half) { // hi-hat on every eighth: short, brightened noise
            double previous = 0.0;
            const double left = half == 0 ? 1.0 : 0.6;
            for (std::uint64_t n = 0; n < kRate / 20; ++n) {
                const double t = static_cast<double>(n) / kRate;
                const double white = noise.Next();
                const double v = 0.08 * (white - previous) * std::exp(-t / 0.015);
                previous = white;
                Add(out, at + half * kBeatFrames / 2 + n, v * left, v * (1.6 - left));
            }
        }
    }
    return out;
}

std::vector<float> Bass()
{
    std::vector<float> out = Silence();
    constexpr int kPattern[8] = {0, 0, 12, 0, 0, 7, 12, 0}; // eighths over the bar's root
    for (int bar = 0; bar < kBars; ++bar) {
        for (int eighth = 0; eighth < 8; ++eighth) {
            const double hz = NoteHz(kRoots[static_cast<std::size_t>(bar % 4)] + kPattern[eighth]);
            const std::uint64_t at = static_cast<std::uint64_t>(bar) * kBarFrames + static_cast<std::uint64_t>(eighth) * kBeatFrames / 2;
            for (std::uint64_t n = 0; n < kBeatFrames / 2 + kRate / 20; ++n) {
                const double t = static_cast<double>(n) / kRate;
                const double x = kTwoPi * hz * t;
                const double v = 0.2 * NoteEnvelope(t, 0.25, 0.005, 0.2, 0.5, 0.02) *
                                 (std::sin(x) + 0.3 * std::sin(2 * x) + 0.12 * std::sin(3 * x));
                Add(out, at + n, v, v);
            }
        }
    }
    return out;
}

std::vector<float> Pad()
{
    std::vector<float> out = Silence();
    for (int bar = 0; bar < kBars; ++bar) {
        const std::uint64_t at = static_cast<std::uint64_t>(bar) * kBarFrames;
        for (int midi : kChords[static_cast<std::size_t>(bar % 4)]) {
            const double hz = NoteHz(midi);
            for (std::uint64_t n = 0; n < kBarFrames + kRate / 5; ++n) {
                const double t = static_cast<double>(n) / kRate;
                const double level = 0.045 * NoteEnvelope(t, 2.0, 0.3, 1.0, 0.8, 0.1);
                Add(out, at + n, level * std::sin(kTwoPi * hz * 0.999 * t), level * std::sin(kTwoPi * hz * 1.001 * t));
            }
        }
    }
    return out;
}

std::vector<float> Lead()
{
    std::vector<float> out = Silence();
    for (const Note& note : kMelody) {
        const double hz = NoteHz(note.midi);
        const double length = note.length * 0.5; // seconds
        const auto at = static_cast<std::uint64_t>(note.beat * kBeatFrames);
        double phase = 0.0;
        for (std::uint64_t n = 0; n < static_cast<std::uint64_t>((length + 0.2) * kRate); ++n) {
            const double t = static_cast<double>(n) / kRate;
            phase += kTwoPi * hz * (1.0 + 0.003 * std::sin(kTwoPi * 5.0 * t)) / kRate;
            const double v = 0.1 * NoteEnvelope(t, length, 0.01, 0.3, 0.7, 0.05) *
                             (std::sin(phase) + 0.4 * std::sin(2 * phase) + 0.2 * std::sin(3 * phase));
            Add(out, at + n, v * 0.8, v);
        }
    }
    return out;
}

} // namespace mtrk::demo
