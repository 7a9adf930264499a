// The per-track mixes of the two mixers: the layered mix of a ".mtrk" track
// and the gathered mix of a ".mchx" track, built on RampStep and the flat
// multiply-add. While a ramp runs, the gain is worked out frame by frame;
// once it has ended (or when none runs) the rest of the call has one gain.
// Every output element is out + sample × g alone, so how the frames are
// grouped never changes a bit.
#include <multitrack/kernels/MixKernels.h>

namespace MixKernels {

namespace {

template <typename Sample> constexpr float kScaleOf = kFloatScale;
template <> constexpr float kScaleOf<std::int16_t> = kInt16Scale;

// Calls addFrame(f, g) for the frames f = 0, 1, ... below `frames` while the
// track's ramp runs, each after its ramp step, with g = gain × scale.
// Returns the number of frames done; from there on the gain stays.
template <typename AddFrame>
std::uint32_t MixWhileRamping(std::uint32_t frames, TrackGainState& state, float scale,
                              AddFrame&& addFrame)
{
    std::uint32_t f = 0;
    for (; f < frames && state.rampLength != 0; ++f) {
        RampStep(state);
        addFrame(f, state.gain * scale);
    }
    return f;
}

template <typename Sample>
void LayeredMixOf(float* out, const Sample* source, std::uint32_t frames, std::uint32_t channels,
                  TrackGainState& state)
{
    constexpr float scale = kScaleOf<Sample>;
    const std::uint32_t ramped =
        MixWhileRamping(frames, state, scale, [&](std::uint32_t f, float g) {
            const std::size_t at = std::size_t{f} * channels;
            AddScaled(out + at, source + at, channels, g);
        });
    const std::size_t at = std::size_t{ramped} * channels;
    AddScaled(out + at, source + at, std::size_t{frames - ramped} * channels, state.gain * scale);
}

// Returned for an output channel that adds nothing.
constexpr std::uint32_t kSilent = ~0u;

// The source channel that feeds output channel i (below 8) of a track with
// `map`, or kSilent: unbound, or not a channel of the source (a slot of 0xFF
// is unbound even with 256 source channels or more).
std::uint32_t SourceChannelOf(std::uint64_t map, std::uint32_t i, std::uint32_t sourceChannels)
{
    const std::uint32_t slot = static_cast<std::uint32_t>(map >> (8 * i)) & 0xFFu;
    return slot == kUnboundSlot || slot >= sourceChannels ? kSilent : slot;
}

// The map read once: the source channel of each output channel the map can
// feed (the first min(trackChannels, 8)), kSilent where none does.
struct ChannelSelection {
    std::uint32_t outputs = 0;
    std::uint32_t sourceOf[kChannelMapSlots] = {};
};

ChannelSelection SelectChannels(std::uint64_t map, std::uint32_t trackChannels,
                                std::uint32_t sourceChannels)
{
    ChannelSelection selection;
    selection.outputs = trackChannels < kChannelMapSlots ? trackChannels : kChannelMapSlots;
    for (std::uint32_t i = 0; i < selection.outputs; ++i)
        selection.sourceOf[i] = SourceChannelOf(map, i, sourceChannels);
    return selection;
}

// Runs addFrame(f, g) for every frame: first while the ramp runs, then with
// the gain in force.
template <typename AddFrame>
void MixEveryFrame(std::uint32_t frames, TrackGainState& state, float scale, AddFrame&& addFrame)
{
    std::uint32_t f = MixWhileRamping(frames, state, scale, addFrame);
    const float steady = state.gain * scale;
    for (; f < frames; ++f)
        addFrame(f, steady);
}

// Any channel count: output channel i of frame f takes source channel
// sourceOf[i] of frame f; a silent channel is not touched at all, so a NaN
// or infinite sample on an unbound channel never reaches the output.
template <typename Sample>
void GatheredMixGeneral(float* out, std::uint32_t trackChannels, const Sample* source,
                        std::uint32_t sourceChannels, std::uint32_t frames,
                        const ChannelSelection& selection, TrackGainState& state)
{
    MixEveryFrame(frames, state, kScaleOf<Sample>, [&](std::uint32_t f, float g) {
        float* outFrame = out + std::size_t{f} * trackChannels;
        const Sample* sourceFrame = source + std::size_t{f} * sourceChannels;
        for (std::uint32_t i = 0; i < selection.outputs; ++i) {
            if (selection.sourceOf[i] != kSilent)
                outFrame[i] += static_cast<float>(sourceFrame[selection.sourceOf[i]]) * g;
        }
    });
}

// Two output channels, the two source channels held in registers: the
// same sums as the general case, channel by channel.
template <typename Sample>
void GatheredMixStereo(float* out, const Sample* source, std::uint32_t sourceChannels,
                       std::uint32_t frames, const ChannelSelection& selection,
                       TrackGainState& state)
{
    const std::uint32_t left = selection.sourceOf[0];
    const std::uint32_t right = selection.sourceOf[1];
    MixEveryFrame(frames, state, kScaleOf<Sample>, [&](std::uint32_t f, float g) {
        const Sample* sourceFrame = source + std::size_t{f} * sourceChannels;
        if (left != kSilent)
            out[2 * std::size_t{f}] += static_cast<float>(sourceFrame[left]) * g;
        if (right != kSilent)
            out[2 * std::size_t{f} + 1] += static_cast<float>(sourceFrame[right]) * g;
    });
}

template <typename Sample>
void GatheredMixOf(float* out, std::uint32_t trackChannels, const Sample* source,
                   std::uint32_t sourceChannels, std::uint32_t frames, std::uint64_t channelMap,
                   TrackGainState& state)
{
    const ChannelSelection selection = SelectChannels(channelMap, trackChannels, sourceChannels);
    if (trackChannels == 2)
        GatheredMixStereo(out, source, sourceChannels, frames, selection, state);
    else
        GatheredMixGeneral(out, trackChannels, source, sourceChannels, frames, selection, state);
}

} // namespace

void LayeredMix(float* out, const float* source, std::uint32_t frames, std::uint32_t channels,
                TrackGainState& state)
{
    LayeredMixOf(out, source, frames, channels, state);
}

void LayeredMix(float* out, const std::int16_t* source, std::uint32_t frames,
                std::uint32_t channels, TrackGainState& state)
{
    LayeredMixOf(out, source, frames, channels, state);
}

void GatheredMix(float* out, std::uint32_t trackChannels, const float* source,
                 std::uint32_t sourceChannels, std::uint32_t frames, std::uint64_t channelMap,
                 TrackGainState& state)
{
    GatheredMixOf(out, trackChannels, source, sourceChannels, frames, channelMap, state);
}

void GatheredMix(float* out, std::uint32_t trackChannels, const std::int16_t* source,
                 std::uint32_t sourceChannels, std::uint32_t frames, std::uint64_t channelMap,
                 TrackGainState& state)
{
    GatheredMixOf(out, trackChannels, source, sourceChannels, frames, channelMap, state);
}

} // namespace MixKernels
