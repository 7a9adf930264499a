#include "RenderMixerGather.h"

#include <multitrack/kernels/MixKernels.h>
#include <multitrack/sources/SourceOpening.h>

#include <plugin/ProcessState.h>

#include <algorithm>

namespace {

static_assert(kMaxChannelSlots == MixKernels::kChannelMapSlots);
static_assert(kFirstUnnamableChannel == MixKernels::kUnboundSlot);

// The kernel's channel map of a track: its listed channels that the source
// has, the other slots unbound.
std::uint64_t ChannelMapOf(const ListedChannelTrack& track, std::uint32_t sourceChannels)
{
    std::uint64_t map = MixKernels::kEmptyChannelMap;
    for (std::size_t slot = 0; slot < track.channels.size(); ++slot) {
        const std::int32_t channel = track.channels[slot];
        if (channel < 0 || static_cast<std::uint32_t>(channel) >= sourceChannels)
            continue;
        const unsigned shift = 8 * static_cast<unsigned>(slot);
        map = (map & ~(std::uint64_t{0xFF} << shift)) | (std::uint64_t(channel) << shift);
    }
    return map;
}

} // namespace

RenderMixerGather::~RenderMixerGather()
{
    Close();
}

bool RenderMixerGather::Load(const TrackListDescription& list, TrackListInfo& info)
{
    Close();
    info.listName = list.listName;
    if (!OpenSources(list)) {
        info.errorMessage = u"source not found";
        return false;
    }
    info.errorMessage = list.refused ? list.errorMessage : BindTracks(list, info);
    return info.errorMessage.empty() && !list.refused;
}

bool RenderMixerGather::OpenSources(const TrackListDescription& list)
{
    for (const ListedSource& listed : list.sources) {
        const bool preferBuiltin = ChooseDecoders(listed.decoderChoice, BuiltinDecoders);
        if (source)
            continue; // a second source: the list refuses it
        source = OpenSource(listed.storageName, preferBuiltin);
        if (!source)
            return false;
    }
    return true;
}

std::u16string RenderMixerGather::BindTracks(const TrackListDescription& list, TrackListInfo& info)
{
    if (source->GetFormat(&info.format) != S_OK)
        return u"invalid source format";
    trackChannels = list.channelCount;
    sourceChannels = info.format.channelCount;
    info.format.channelCount = trackChannels;
    scratch.SetFloat((info.format.sampleFormat & kSampleFormatFloatFlag) != 0);
    for (const ListedChannelTrack& track : list.channelTracks) {
        const std::uint64_t map = ChannelMapOf(track, sourceChannels);
        if (map == MixKernels::kEmptyChannelMap)
            return u"track empty bind:" + track.name;
        info.bindings.emplace_back(track.name, static_cast<std::int32_t>(channelMaps.size()));
        channelMaps.push_back(map);
    }
    info.trackCount = static_cast<std::uint32_t>(channelMaps.size());
    info.volumes = list.volumes;
    return {};
}

std::uint32_t RenderMixerGather::Render(float* output, std::uint32_t frames,
                                        std::vector<TrackGainState>& trackStates)
{
    const std::uint64_t words = std::uint64_t{sourceChannels} * frames;
    if (words == 0 || !source || !scratch.Grow(words))
        return 0;
    std::uint32_t rendered = 0;
    std::uint32_t status = 0;
    const HRESULT result = source->Render(scratch.Data(), frames, &rendered, &status);
    rendered = std::min(rendered, frames);
    if (result != S_OK)
        return rendered;
    const std::size_t tracks = std::min(channelMaps.size(), trackStates.size());
    for (std::size_t track = 0; track < tracks; ++track)
        scratch.WithSamples([&](const auto* samples) {
            MixKernels::GatheredMix(output, trackChannels, samples, sourceChannels, rendered, channelMaps[track],
                                    trackStates[track]);
        });
    return rendered;
}

bool RenderMixerGather::SetPosition(std::uint64_t sample)
{
    if (source)
        (void)source->SetPosition(sample);
    return true;
}

void RenderMixerGather::Close()
{
    if (source)
        source->Release();
    source = nullptr;
    trackChannels = 0;
    sourceChannels = 0;
    channelMaps.clear();
}
