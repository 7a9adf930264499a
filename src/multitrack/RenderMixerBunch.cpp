#include "RenderMixerBunch.h"

#include "MixKernels.h"
#include "MixScratch.h"
#include "PathPieces.h"
#include "SourceOpening.h"
#include "TextPieces.h"
#include "TrackListFile.h"

#include <plugin/ProcessState.h>

#include <algorithm>
#include <cstring>

namespace {

// The part of the format record that every source must share: rate,
// channels, sample format, seek code and length in samples.
constexpr std::size_t kComparedFormatBytes = offsetof(HSSWaveFormat, totalMilliseconds);
static_assert(kComparedFormatBytes == 24);

constexpr std::size_t kFieldsPerLine = 3; // track name, source, decoder choice

void AddBinding(TrackListInfo& info, std::u16string name, std::int32_t track)
{
    if (!name.empty())
        info.bindings.emplace_back(std::move(name), track);
}

// The stem, then the file name, of a source path.
void AddFileBindings(TrackListInfo& info, const std::u16string& source, std::int32_t track)
{
    const std::u16string fileName = FileNameOf(source);
    AddBinding(info, StemOf(fileName), track);
    AddBinding(info, fileName, track);
}

} // namespace

RenderMixerBunch::RenderMixerBunch() : scratch(1), preferBuiltin(BuiltinDecoders) {}

RenderMixerBunch::~RenderMixerBunch()
{
    Close();
}

bool RenderMixerBunch::Load(HSSStorageProvider* storage, const char16_t* path, TrackListInfo& info)
{
    Close();
    // Until the formats have been checked there is nothing to mix: the
    // sources a failed load keeps may not fit the scratch buffer.
    channelCount = 0;
    const std::u16string fullPath = path ? path : u"";
    const std::u16string directory = DirectoryOf(fullPath);
    const std::u16string name = FileNameOf(fullPath);
    if (name.empty())
        return false;
    const std::vector<std::u16string> parts = SplitFields(name, u'|');
    const bool loaded = parts.size() >= 2 ? LoadInline(directory, parts, info)
                                          : LoadFile(storage, path, name, info);
    return loaded && CheckFormats(info);
}

bool RenderMixerBunch::LoadInline(const std::u16string& directory,
                                  const std::vector<std::u16string>& parts, TrackListInfo& info)
{
    for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
        std::u16string source = directory;
        source.append(parts[i]);
        if (IHSSWaveDecoder* decoder = OpenSource(source, preferBuiltin))
            AddFileBindings(info, source, AddTrack(decoder));
    }
    info.listName = parts.back();
    if (!sources.empty())
        return true;
    info.errorMessage = u"empty tracks";
    return false;
}

bool RenderMixerBunch::LoadFile(HSSStorageProvider* storage, const char16_t* path,
                                const std::u16string& name, TrackListInfo& info)
{
    std::u16string text;
    if (ReadTextFile(storage, path, text))
        for (const std::u16string& line : SplitLines(text))
            LoadLine(line, info);
    if (sources.empty()) {
        info.errorMessage = u"failed to load track list";
        return false;
    }
    info.listName = name;
    return true;
}

void RenderMixerBunch::LoadLine(const std::u16string& line, TrackListInfo& info)
{
    std::vector<std::u16string> fields = SplitFields(line, u'\t');
    fields.resize(kFieldsPerLine);
    const std::u16string& trackName = fields[0];
    const std::u16string& source = fields[1];
    const std::u16string& choice = fields[2];
    if (source.empty())
        return;
    preferBuiltin = ChooseDecoders(choice, preferBuiltin);
    IHSSWaveDecoder* decoder = OpenSource(source, preferBuiltin);
    if (!decoder)
        return;
    const std::int32_t track = AddTrack(decoder);
    AddBinding(info, trackName, track);
    AddFileBindings(info, source, track);
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
    isFloat = (info.format.sampleFormat & kSampleFormatFloatFlag) != 0;
    channelCount = info.format.channelCount;
    if (channelCount != 0)
        return true;
    info.errorMessage = u"no channels";
    return false;
}

std::uint32_t RenderMixerBunch::Render(float* output, std::uint32_t frames,
                                       std::vector<TrackGainState>& trackStates)
{
    if (channelCount == 0 || !GrowScratch(scratch, std::uint64_t{channelCount} * frames))
        return 0;
    const std::size_t tracks = std::min(sources.size(), trackStates.size());
    std::uint32_t produced = 0;
    for (std::size_t track = 0; track < tracks; ++track) {
        std::uint32_t rendered = 0;
        std::uint32_t status = 0;
        if (sources[track]->Render(scratch.data(), frames, &rendered, &status) != S_OK)
            continue;
        // A source that claims more than it was asked for is held to the
        // block: the scratch buffer and the output end there.
        rendered = std::min(rendered, frames);
        if (isFloat)
            MixKernels::LayeredMix(output, reinterpret_cast<const float*>(scratch.data()), rendered,
                                   channelCount, trackStates[track]);
        else
            MixKernels::LayeredMix(output, reinterpret_cast<const std::int16_t*>(scratch.data()),
                                   rendered, channelCount, trackStates[track]);
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
