#include "RenderMixerBunch.h"

#include <multitrack/kernels/MixKernels.h>
#include <multitrack/sources/SourceOpening.h>

#include <algorithm>
#include <cstring>

namespace {

// The part of the format record that every source must share: rate,
// channels, sample format, seek code and length in samples.
constexpr std::size_t kComparedFormatBytes = offsetof(HSSWaveFormat, totalMilliseconds);
static_assert(kComparedFormatBytes == 24);

} // namespace

RenderMixerBunch::~RenderMixerBunch()
{
    Close();
}

bool RenderMixerBunch::Load(const TrackListDescription& list, TrackListInfo& info)
{
    Close();
    // Until the formats have been checked there is nothing to mix: the
    // sources a failed load keeps may not fit the scratch buffer.
    channelCount = 0;
    if (list.refused)
        return false;
    for (const ListedSource& listed : list.sources) {
        preferBuiltin = ChooseDecoders(listed.decoderChoice, preferBuiltin);
        if (IHSSWaveDecoder* decoder = OpenSource(listed.storageName, preferBuiltin)) {
            const std::int32_t track = AddTrack(decoder);
            for (const std::u16string& name : listed.trackNames)
                info.bindings.emplace_back(name, track);
        }
    }
    const bool inlineForm = list.form == TrackListForm::MtrkInline;
    if (inlineForm)
        info.listName = list.listName;
    if (sources.empty()) {
        info.errorMessage = inlineForm ? u"empty tracks" : u"failed to load track list";
        return false;
    }
    info.listName = list.listName;
    return CheckFormats(info);
}

std::int32_t RenderMixerBunch::AddTrack(IHSSWaveDecoder* source)
{
    try {
        sources.push_back(source);
    } catch (...) {
        source->Release(); // keeps the reference from leaking, then lets the failure on
        throw;
    }
    return static_cast<std::int32_t>(sources.size() - 1);
}

bool RenderMixerBunch::CheckFormats(TrackListInfo& info)
{
    info.trackCount = static_cast<std::uint32_t>(sources.size());
    for (std::size_t track = 0; track < sources.size(); ++track) {
        HSSWaveFormat format{};
        const bool same =
            sources[track]->GetFormat(&format) == S_OK &&
            (track == 0 || std::memcmp(&format, &info.format, kComparedFormatBytes) == 0);
        if (!same) {
            info.errorMessage = u"track format mismatched";
            return false;
        }
        if (track == 0)
            info.format = format;
    }
    scratch.SetFloat((info.format.sampleFormat & kSampleFormatFloatFlag) != 0);
    channelCount = info.format.channelCount;
    if (channelCount != 0)
        return true;
    info.errorMessage = u"no channels";
    return false;
}

std::uint32_t RenderMixerBunch::Render(float* output, std::uint32_t frames,
                                       std::vector<TrackGainState>& trackStates)
{
    if (channelCount == 0 || !scratch.Grow(std::uint64_t{channelCount} * frames))
        return 0;
    const std::size_t tracks = std::min(sources.size(), trackStates.size());
    std::uint32_t produced = 0;
    for (std::size_t track = 0; track < tracks; ++track) {
        std::uint32_t rendered = 0;
        std::uint32_t status = 0;
        if (sources[track]->Render(scratch.Data(), frames, &rendered, &status) != S_OK)
            continue;
        rendered = std::min(rendered, frames); // the scratch buffer and the output end there
        scratch.WithSamples([&](const auto* samples) {
            MixKernels::LayeredMix(output, samples, rendered, channelCount, trackStates[track]);
        });
        produced = std::max(produced, rendered);
    }
    return produced;
}

bool RenderMixerBunch::SetPosition(std::uint64_t sample)
{
    for (IHSSWaveDecoder* source : sources)
        (void)source->SetPosition(sample);
    return true;
}

void RenderMixerBunch::Close()
{
    for (IHSSWaveDecoder* source : sources)
        source->Release();
    sources.clear();
}
