// The mixer of ".mtrk" track lists: every track is a source file of its
// own, all of one format, layered sample by sample.
#pragma once

#include "RenderMixerInterface.h"

#include <vymultitrack/IHSSWaveDecoder.h>

#include <cstdint>
#include <string>
#include <vector>

// A ".mtrk" list comes in two forms:
// - a file of lines "name<TAB>source[<TAB>decoder choice]"; the sources are
//   storage names as written (not joined to the list's directory); the
//   choice ('*' for the built-in decoders first, or a module library to
//   link) holds for that line and the ones after it;
// - a file name "a.opus|b.opus|id.mtrk" that lists the sources (in the
//   list's directory) itself and is never read; the last part names the
//   stream.
class RenderMixerBunch final : public RenderMixerInterface {
public:
    // No sources; the decoder preference starts at BuiltinDecoders.
    RenderMixerBunch();
    // Releases the sources.
    ~RenderMixerBunch() override;
    RenderMixerBunch(const RenderMixerBunch&) = delete;
    RenderMixerBunch& operator=(const RenderMixerBunch&) = delete;

    // Opens the sources of the list `path` (null reads as empty) and fills
    // `info`: trackCount, format (the first source's), bindings (file form:
    // track name, source stem, source file name; inline form: stem and file
    // name; empty names left out) and listName (the file name, or the
    // inline form's last part). Sources that cannot be opened are passed
    // over silently. False with info.errorMessage:
    // - "" when the path has no file name (it ends in a separator);
    // - "failed to load track list": file form, the list cannot be read,
    //   holds no line or no line opened a source;
    // - "empty tracks": inline form, no source opened;
    // - "track format mismatched": a source's GetFormat fails, or its format
    //   differs from the first source's in the first 24 bytes of the record
    //   (rate, channels, sample format, seek code, length in samples);
    // - "no channels": the sources report 0 channels.
    // Sources opened before a failure stay held until Close, but are not
    // rendered.
    [[nodiscard]] bool Load(HSSStorageProvider* storage, const char16_t* path,
                            TrackListInfo& info) override;

    // Every source renders up to `frames` frames into the scratch buffer in
    // turn and is added into `output` (channelCount × frames floats) with
    // its track's gain and ramp (trackStates[track]; tracks without a state
    // are not mixed). A source whose Render fails adds nothing and its ramp
    // stands still. Returns the most frames any source delivered (0 without
    // sources, after a failed Load, or when the scratch buffer cannot
    // grow). Allocates only while the scratch buffer grows.
    std::uint32_t Render(float* output, std::uint32_t frames,
                         std::vector<TrackGainState>& trackStates) override;
    // Seeks every source to sample frame `sample`, in track order, whatever
    // each answers; true.
    bool SetPosition(std::uint64_t sample) override;
    // Releases the sources. The scratch buffer, channel count, sample type
    // and decoder preference stay.
    void Close() override;

private:
    [[nodiscard]] bool LoadInline(const std::u16string& directory,
                                  const std::vector<std::u16string>& parts, TrackListInfo& info);
    [[nodiscard]] bool LoadFile(HSSStorageProvider* storage, const char16_t* path,
                                const std::u16string& name, TrackListInfo& info);
    void LoadLine(const std::u16string& line, TrackListInfo& info);
    // Appends `source` as the next track; answers its index.
    std::int32_t AddTrack(IHSSWaveDecoder* source);
    [[nodiscard]] bool CheckFormats(TrackListInfo& info);

    std::vector<IHSSWaveDecoder*> sources; // one reference each; index = track
    std::vector<std::uint32_t> scratch;    // 32-bit words; only grows
    std::uint32_t channelCount = 0;        // of every source and of the output
    bool isFloat = false;                  // float samples, else 16-bit
    bool preferBuiltin;                    // built-in decoders first
};
