// The mixer of ".mchx" track lists: one multi-channel source carries every
// track; each track is a named selection of its channels, and the tracks
// are summed into one output of the track channel count.
#pragma once

#include "MixScratch.h"
#include "RenderMixerInterface.h"

#include <vymultitrack/IHSSWaveDecoder.h>

#include <cstdint>
#include <string>
#include <vector>

// The source and channel tracks of a ".mchx" list (see ReadMchxList).
class RenderMixerGather final : public RenderMixerInterface {
public:
    // No source.
    RenderMixerGather() = default;
    ~RenderMixerGather() override;

    // Takes the decoder choice of every source `list` names and opens the
    // first, then fills `info`: format (the source's, with the track
    // channel count), trackCount, bindings (each track's lower-cased name),
    // volumes and listName. A track's output channel i is bound when the
    // list gives it a source channel below the source's channel count;
    // other output channels stay silent.
    //
    // False with info.errorMessage: "source not found" when the source does
    // not open; else the list's own refusal (see ReadMchxList; "" for a list
    // without a line); else "invalid source format" when the source has no
    // format, or "track empty bind:" followed by the lower-cased name of a
    // track that binds no channel. A source opened before a failure stays
    // held until Close.
    [[nodiscard]] bool Load(const TrackListDescription& list, TrackListInfo& info) override;

    // The source renders into the scratch buffer; then every track adds its
    // channel selection. Returns the frames the source delivered; when its
    // Render fails nothing is mixed. 0 without calling the source when
    // `frames` is 0 or there is no source, or when the scratch buffer cannot
    // grow.
    std::uint32_t Render(float* output, std::uint32_t frames,
                         std::vector<TrackGainState>& trackStates) override;
    // Seeks the source, if any, to sample frame `sample`; true.
    bool SetPosition(std::uint64_t sample) override;
    // Releases the source, zeroes the channel counts and empties the maps
    // (keeping their storage).
    void Close() override;

private:
    [[nodiscard]] bool OpenSources(const TrackListDescription& list);
    [[nodiscard]] std::u16string BindTracks(const TrackListDescription& list, TrackListInfo& info);

    IHSSWaveDecoder* source = nullptr;      // one reference while set
    MixScratch scratch;
    std::uint32_t trackChannels = 0;        // of every track and of the output
    std::uint32_t sourceChannels = 0;       // of the source
    std::vector<std::uint64_t> channelMaps; // one per track (see MixKernels)
};
