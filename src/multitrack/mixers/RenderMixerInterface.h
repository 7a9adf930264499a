// What the multi-track decoder asks of a mixer: open the sources of a track
// list that has been read, render blocks of the mixed tracks, seek, close.
#pragma once

#include <multitrack/kernels/TrackGainState.h>
#include <multitrack/mixers/TrackListInfo.h>

#include <multitrack/lists/TrackListDescription.h>

#include <cstdint>
#include <vector>

// Mixers hold references to their sources: they are not copied, and a
// mixer's destructor releases its sources.
class RenderMixerInterface {
public:
    RenderMixerInterface() = default;
    RenderMixerInterface(const RenderMixerInterface&) = delete;
    RenderMixerInterface& operator=(const RenderMixerInterface&) = delete;
    virtual ~RenderMixerInterface() = default;
    // Opens the sources that `list` describes (taking its decoder choices in
    // order) and fills `info`. Starts with Close(). False when the stream
    // cannot be played, with the reason in info.errorMessage (which some
    // failures leave empty). Never throws on bad input.
    [[nodiscard]] virtual bool Load(const TrackListDescription& list, TrackListInfo& info) = 0;
    // Adds up to `frames` mixed frames into `output` (zero-filled by the
    // caller, output channel count × frames floats), each track with its
    // gain and ramp from `trackStates` (tracks without an entry are not
    // mixed). Returns the frames produced (fewer at the end of the sources);
    // a source that claims more than it was asked for is held to `frames`.
    // Allocates only while the mixer's scratch buffer grows.
    virtual std::uint32_t Render(float* output, std::uint32_t frames, std::vector<TrackGainState>& trackStates) = 0;
    // Seeks every source to sample frame `sample`; always true.
    virtual bool SetPosition(std::uint64_t sample) = 0;
    // Releases the sources.
    virtual void Close() = 0;
};
