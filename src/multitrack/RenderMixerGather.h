// The mixer of ".mchx" track lists: one multi-channel source carries every
// track; each track is a named selection of its channels, and the tracks
// are summed into one output of the track channel count.
#pragma once

#include "RenderMixerInterface.h"

#include <vymultitrack/IHSSWaveDecoder.h>

#include <cstdint>
#include <string>
#include <vector>

// A ".mchx" list holds one statement per line, fields separated by tabs,
// in any order; a line starting with '#' is a comment and unknown keywords
// (compared case-sensitively) are ignored:
//   channel <count>                  channels of every track and the output
//   source  <file> [decoder choice]  the source, relative to the list
//   track   <name> <ch0> <ch1> ...   source channel per output channel
//   volume  <name> [value]           starting volume (1.0 when missing)
class RenderMixerGather final : public RenderMixerInterface {
public:
    // No source; one word of scratch.
    RenderMixerGather();
    // Releases the source.
    ~RenderMixerGather() override;
    RenderMixerGather(const RenderMixerGather&) = delete;
    RenderMixerGather& operator=(const RenderMixerGather&) = delete;

    // Reads the list `path` (null reads nothing) through `storage`, opens
    // its source and fills `info`: format (the source's, with the track
    // channel count), trackCount, bindings (each track's lower-cased name),
    // volumes (only when there are "volume" lines: one per track, 1.0 where
    // none applies; the first line for a track wins) and listName (the
    // source field as written). A track's channel field i (i below the
    // track channel count and below 8, the slots of a map) binds output
    // channel i when it parses to a source channel below both the source's
    // channel count and 255; other output channels stay silent.
    //
    // False with info.errorMessage, the first failing line deciding:
    // "invalid channel count", "duplicated channel found", "invalid source",
    // "multi source found", "source not found", "no track name", "no volume
    // name"; then after the last line, in this order: "no channel",
    // "no track", "no source", "invalid source format", "track empty bind:"
    // followed by the lower-cased name of a track that binds no channel.
    // "" when the list cannot be read or holds no line. A source opened
    // before a failure stays held until Close.
    [[nodiscard]] bool Load(HSSStorageProvider* storage, const char16_t* path,
                            TrackListInfo& info) override;

    // The source renders up to `frames` frames into the scratch buffer;
    // then every track adds its channel selection into `output` (track
    // channels × frames floats) with its gain and ramp (trackStates[track];
    // tracks without a state are not mixed). Returns the frames the source
    // delivered, at most `frames`; when its Render fails nothing is mixed.
    // 0 without calling the source when `frames` is 0 or there is no
    // source; 0 when the scratch buffer cannot grow. Allocates only while
    // the scratch buffer grows.
    std::uint32_t Render(float* output, std::uint32_t frames,
                         std::vector<TrackGainState>& trackStates) override;
    // Seeks the source, if any, to sample frame `sample`; true.
    bool SetPosition(std::uint64_t sample) override;
    // Releases the source, zeroes the channel counts and the sample type and
    // empties the maps and the scratch buffer (keeping their storage).
    void Close() override;

private:
    struct TrackLine {
        std::u16string name;
        std::vector<std::u16string> channels; // the fields after the name
    };
    struct VolumeLine {
        std::u16string name;
        float value;
    };
    struct Statements {
        std::vector<TrackLine> tracks;
        std::vector<VolumeLine> volumes;
    };

    // Takes one line; an error message, or empty when the line is accepted.
    [[nodiscard]] std::u16string ReadStatement(const std::vector<std::u16string>& fields,
                                               const char16_t* path, Statements& statements,
                                               TrackListInfo& info);
    [[nodiscard]] std::u16string ReadChannel(const std::vector<std::u16string>& fields);
    [[nodiscard]] std::u16string ReadSource(const std::vector<std::u16string>& fields,
                                            const char16_t* path, TrackListInfo& info);
    // The checks and the work after the last line.
    [[nodiscard]] std::u16string Finish(const Statements& statements, TrackListInfo& info);
    [[nodiscard]] std::uint64_t BuildChannelMap(const TrackLine& track) const;
    static void ApplyVolumes(const Statements& statements, TrackListInfo& info);

    IHSSWaveDecoder* source = nullptr;      // one reference while set
    std::vector<std::uint32_t> scratch;     // 32-bit words; only grows
    std::uint32_t trackChannels = 0;        // of every track and of the output
    std::uint32_t sourceChannels = 0;       // of the source
    bool isFloat = false;                   // float samples, else 16-bit
    std::vector<std::uint64_t> channelMaps; // one per track (see MixKernels)
};
