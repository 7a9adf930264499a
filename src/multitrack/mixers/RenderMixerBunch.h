// The mixer of ".mtrk" track lists: every track is a source file of its
// own, all of one format, layered sample by sample.
#pragma once

#include "MixScratch.h"
#include "RenderMixerInterface.h"

#include <plugin/ProcessState.h>

#include <vymultitrack/IHSSWaveDecoder.h>

#include <cstdint>
#include <string>
#include <vector>

// The sources of a ".mtrk" list (see ReadMtrkList), one track each.
class RenderMixerBunch final : public RenderMixerInterface {
public:
    // No sources; the decoder preference starts at BuiltinDecoders.
    RenderMixerBunch() = default;
    ~RenderMixerBunch() override;

    // Opens the sources `list` names, in order, each with the decoder
    // preference after its line's decoder choice (the preference carries on
    // to later lines and later loads), and fills `info`: trackCount, format
    // (the first source's), bindings (each opened source's track names) and
    // listName. Sources that cannot be opened are passed over silently.
    // False with info.errorMessage:
    // - "" when the list was refused (a path without a file name);
    // - "failed to load track list": file form, no source opened (the list
    //   could not be read, or holds no line with a source);
    // - "empty tracks": inline form, no source opened;
    // - "track format mismatched": a source's GetFormat fails, or its format
    //   differs from the first source's in the first 24 bytes of the record
    //   (rate, channels, sample format, seek code, length in samples);
    // - "no channels": the sources report 0 channels.
    // Sources opened before a failure stay held until Close, but are not
    // rendered.
    [[nodiscard]] bool Load(const TrackListDescription& list, TrackListInfo& info) override;

    // Every source renders into the scratch buffer in turn and is added as
    // its track. A source whose Render fails adds nothing and its ramp
    // stands still. Returns the most frames any source delivered (0 without
    // sources, after a failed Load, or when the scratch buffer cannot grow).
    std::uint32_t Render(float* output, std::uint32_t frames,
                         std::vector<TrackGainState>& trackStates) override;
    // Seeks every source to sample frame `sample`, in track order, whatever
    // each answers; true.
    bool SetPosition(std::uint64_t sample) override;
    // Releases the sources. The scratch buffer and the decoder preference
    // stay.
    void Close() override;

private:
    // Appends `source` as the next track; answers its index.
    std::int32_t AddTrack(IHSSWaveDecoder* source);
    [[nodiscard]] bool CheckFormats(TrackListInfo& info);

    std::vector<IHSSWaveDecoder*> sources; // one reference each; index = track
    MixScratch scratch;
    std::uint32_t channelCount = 0;        // of every source and of the output
    bool preferBuiltin = BuiltinDecoders;  // built-in decoders first
};
