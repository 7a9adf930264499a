// What the multi-track decoder asks of a mixer: load a track list, render
// blocks of the mixed tracks, seek, close.
#pragma once

#include "TrackGainState.h"
#include "TrackListInfo.h"

#include <vymultitrack/HSSStorageProvider.h>

#include <cstdint>
#include <vector>

class RenderMixerInterface {
public:
    virtual ~RenderMixerInterface() = default;
    // Reads the list `path` through `storage` (may be null: then the list
    // cannot be read), opens its sources and fills `info`. Starts with
    // Close(). False when the stream cannot be played, with the reason in
    // info.errorMessage (which some failures leave empty). Never throws on
    // bad input.
    [[nodiscard]] virtual bool Load(HSSStorageProvider* storage, const char16_t* path, TrackListInfo& info) = 0;
    // Adds up to `frames` mixed frames into `output` (zero-filled by the
    // caller, output channel count × frames floats), advancing the ramps in
    // `trackStates` (at least one entry per track). Returns the frames
    // produced (fewer at the end of the sources).
    virtual std::uint32_t Render(float* output, std::uint32_t frames, std::vector<TrackGainState>& trackStates) = 0;
    // Seeks every source to sample frame `sample`; always true.
    virtual bool SetPosition(std::uint64_t sample) = 0;
    // Releases the sources.
    virtual void Close() = 0;
};
