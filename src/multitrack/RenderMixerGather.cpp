#include "RenderMixerGather.h"

#include "MixKernels.h"
#include "MixScratch.h"
#include "NumberFields.h"
#include "PathPieces.h"
#include "SourceOpening.h"
#include "TextPieces.h"
#include "TrackListFile.h"

#include <plugin/AsciiCase.h>
#include <plugin/ProcessState.h>

#include <algorithm>
#include <cmath>

namespace {

constexpr float kDefaultVolume = 1.0f;

// A source channel that a map slot can hold: 0xFF means unbound, so
// channels from 255 on cannot be named.
bool IsBindable(std::int32_t channel, std::uint32_t sourceChannels)
{
    return channel >= 0 && static_cast<std::uint32_t>(channel) < sourceChannels &&
           channel < MixKernels::kUnboundSlot;
}

std::uint64_t WithSlot(std::uint64_t map, std::uint32_t slot, std::uint32_t channel)
{
    const unsigned shift = 8 * slot;
    return (map & ~(std::uint64_t{0xFF} << shift)) | (std::uint64_t{channel} << shift);
}

// A volume that is not a finite number would turn the whole mix into
// infinities and NaNs; it counts as missing.
float VolumeValue(const std::vector<std::u16string>& fields)
{
    if (fields.size() < 3)
        return kDefaultVolume;
    const float value = ParseFloatField(fields[2]);
    return std::isfinite(value) ? value : kDefaultVolume;
}

} // namespace

RenderMixerGather::RenderMixerGather() : scratch(1) {}

RenderMixerGather::~RenderMixerGather()
{
    Close();
}

bool RenderMixerGather::Load(HSSStorageProvider* storage, const char16_t* path, TrackListInfo& info)
{
    Close();
    std::u16string text;
    if (!ReadTextFile(storage, path, text))
        return false;
    const std::vector<std::u16string> lines = SplitLines(text);
    if (lines.empty())
        return false;
    Statements statements;
    for (const std::u16string& line : lines) {
        if (line.empty() || line.front() == u'#')
            continue;
        const std::vector<std::u16string> fields = SplitFields(line, u'\t');
        if (fields.empty())
            continue;
        info.errorMessage = ReadStatement(fields, path, statements, info);
        if (!info.errorMessage.empty())
            return false;
    }
    info.errorMessage = Finish(statements, info);
    return info.errorMessage.empty();
}

std::u16string RenderMixerGather::ReadStatement(const std::vector<std::u16string>& fields,
                                                const char16_t* path, Statements& statements,
                                                TrackListInfo& info)
{
    const std::u16string& keyword = fields[0];
    if (keyword == u"channel")
        return ReadChannel(fields);
    if (keyword == u"source")
        return ReadSource(fields, path, info);
    if (keyword == u"track") {
        if (fields.size() < 2)
            return u"no track name";
        statements.tracks.push_back({fields[1], {fields.begin() + 2, fields.end()}});
    } else if (keyword == u"volume") {
        if (fields.size() < 2)
            return u"no volume name";
        statements.volumes.push_back({fields[1], VolumeValue(fields)});
    }
    return {};
}

std::u16string RenderMixerGather::ReadChannel(const std::vector<std::u16string>& fields)
{
    const std::int32_t count = fields.size() < 2 ? 0 : ParseIntegerField(fields[1]);
    if (count <= 0)
        return u"invalid channel count";
    if (trackChannels > 0)
        return u"duplicated channel found";
    trackChannels = static_cast<std::uint32_t>(count);
    return {};
}

std::u16string RenderMixerGather::ReadSource(const std::vector<std::u16string>& fields,
                                             const char16_t* path, TrackListInfo& info)
{
    if (fields.size() < 2)
        return u"invalid source";
    // The decoder choice is taken first, so a module it names is linked
    // even when the line then fails.
    const bool preferBuiltin =
        fields.size() >= 3 ? ChooseDecoders(fields[2], BuiltinDecoders) : BuiltinDecoders;
    if (source)
        return u"multi source found";
    info.listName = fields[1];
    std::u16string file = DirectoryOf(path ? path : u"");
    file.append(fields[1]);
    source = OpenSource(file, preferBuiltin);
    return source ? std::u16string() : u"source not found";
}

std::u16string RenderMixerGather::Finish(const Statements& statements, TrackListInfo& info)
{
    if (trackChannels == 0)
        return u"no channel";
    if (statements.tracks.empty())
        return u"no track";
    if (!source)
        return u"no source";
    if (source->GetFormat(&info.format) != S_OK)
        return u"invalid source format";
    sourceChannels = info.format.channelCount;
    info.format.channelCount = trackChannels;
    isFloat = (info.format.sampleFormat & kSampleFormatFloatFlag) != 0;
    for (const TrackLine& track : statements.tracks) {
        std::u16string key = AsciiLowerCase(track.name);
        const std::uint64_t map = BuildChannelMap(track);
        if (map == MixKernels::kEmptyChannelMap) {
            std::u16string message = u"track empty bind:";
            message.append(key);
            return message;
        }
        info.bindings.emplace_back(std::move(key), static_cast<std::int32_t>(channelMaps.size()));
        channelMaps.push_back(map);
    }
    info.trackCount = static_cast<std::uint32_t>(channelMaps.size());
    ApplyVolumes(statements, info);
    return {};
}

std::uint64_t RenderMixerGather::BuildChannelMap(const TrackLine& track) const
{
    std::uint64_t map = MixKernels::kEmptyChannelMap;
    const std::size_t slots =
        std::min<std::size_t>({trackChannels, track.channels.size(), MixKernels::kChannelMapSlots});
    for (std::size_t slot = 0; slot < slots; ++slot) {
        const std::int32_t channel = ParseIntegerField(track.channels[slot]);
        if (IsBindable(channel, sourceChannels))
            map = WithSlot(map, static_cast<std::uint32_t>(slot),
                           static_cast<std::uint32_t>(channel));
    }
    return map;
}

void RenderMixerGather::ApplyVolumes(const Statements& statements, TrackListInfo& info)
{
    if (statements.volumes.empty())
        return;
    info.volumes.assign(info.trackCount, kDefaultVolume);
    // Last to first, so that the first line naming a track has the last word.
    for (auto entry = statements.volumes.rbegin(); entry != statements.volumes.rend(); ++entry) {
        const std::u16string key = AsciiLowerCase(entry->name);
        const auto track = std::find_if(info.bindings.begin(), info.bindings.end(),
                                        [&](const auto& binding) { return binding.first == key; });
        if (track != info.bindings.end())
            info.volumes[static_cast<std::size_t>(track->second)] = entry->value;
    }
}

std::uint32_t RenderMixerGather::Render(float* output, std::uint32_t frames,
                                        std::vector<TrackGainState>& trackStates)
{
    const std::uint64_t words = std::uint64_t{sourceChannels} * frames;
    if (words == 0 || !source || !GrowScratch(scratch, words))
        return 0;
    std::uint32_t rendered = 0;
    std::uint32_t status = 0;
    const HRESULT result = source->Render(scratch.data(), frames, &rendered, &status);
    // A source that claims more than it was asked for is held to the block.
    rendered = std::min(rendered, frames);
    if (result != S_OK)
        return rendered;
    const std::size_t tracks = std::min(channelMaps.size(), trackStates.size());
    for (std::size_t track = 0; track < tracks; ++track) {
        if (isFloat)
            MixKernels::GatheredMix(output, trackChannels,
                                    reinterpret_cast<const float*>(scratch.data()), sourceChannels,
                                    rendered, channelMaps[track], trackStates[track]);
        else
            MixKernels::GatheredMix(
                output, trackChannels, reinterpret_cast<const std::int16_t*>(scratch.data()),
                sourceChannels, rendered, channelMaps[track], trackStates[track]);
    }
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
    isFloat = false;
    channelMaps.clear();
    scratch.clear();
}
