// The eight stereo 60-second stems that the decoding benchmarks and the
// comparison with other tools share: each a noise channel and a sine
// channel, different per stem, so that no two stems code alike.
#pragma once

#include <host/TestAudio.h>

#include <cstdint>

namespace bench {

constexpr int kStems = 8;
constexpr std::uint64_t kStemFrames = 60ull * 48000;

inline testaudio::SignalSpec StemShape(int stem)
{
    testaudio::SignalSpec shape;
    shape.frames = kStemFrames;
    shape.channels = {{testaudio::Waveform::Noise, 0, 0.1f, static_cast<std::uint32_t>(stem + 1)},
                      {testaudio::Waveform::Sine, 110.0 * (stem + 1), 0.2f, 1}};
    return shape;
}

} // namespace bench
