#include "MultiTrackDecoderBaseImpl.h"

#include <multitrack/mixers/RenderMixerBunch.h>
#include <multitrack/mixers/RenderMixerGather.h>
#include <multitrack/lists/TrackListFile.h>
#include <multitrack/lists/TrackListReader.h>

#include <vymultitrack/AsciiCase.h>

#include <algorithm>
#include <cassert>
#include <cmath>
#include <exception>
#include <limits>
#include <new>
#include <optional>

namespace {

// Clears a vector when the scope ends, also when an exception passes.
class ClearOnExit {
public:
    explicit ClearOnExit(std::vector<TrackMaskChange>& v) : changes(v) {}
    ~ClearOnExit() { changes.clear(); }
    ClearOnExit(const ClearOnExit&) = delete;
    ClearOnExit& operator=(const ClearOnExit&) = delete;

private:
    std::vector<TrackMaskChange>& changes;
};

std::unique_ptr<RenderMixerInterface> CreateMixerFor(const char16_t* url)
{
    const std::optional<TrackListForm> form = TrackListFormOf(url);
    if (!form)
        return nullptr;
    if (*form == TrackListForm::Mchx)
        return std::unique_ptr<RenderMixerInterface>(new (std::nothrow) RenderMixerGather());
    return std::unique_ptr<RenderMixerInterface>(new (std::nothrow) RenderMixerBunch());
}

} // namespace

std::uint32_t FadeFrames(std::uint32_t fadeMs, std::uint32_t sampleRate)
{
    const std::uint64_t frames = static_cast<std::uint64_t>(fadeMs) * sampleRate / 1000;
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(frames, std::numeric_limits<std::uint32_t>::max()));
}

MultiTrackDecoderBaseImpl::MultiTrackDecoderBaseImpl(HSSStorageProvider* storageProvider,
                                                     MultiTrackCallbackIntf* callbackIntf)
    : storage(storageProvider), callback(callbackIntf)
{
    if (storage)
        storage->AddRef();
}

MultiTrackDecoderBaseImpl::~MultiTrackDecoderBaseImpl()
{
    mixer.reset();
    if (callback && !multiTrackId.empty()) {
        try {
            callback->UnregisterInstance(this, multiTrackId.c_str());
        } catch (...) {
            // The host is releasing the stream; nothing may escape to it.
        }
    }
    callback = nullptr;
    if (storage)
        storage->Release();
    SetOpened(false);
}

// --- host-facing calls ---------------------------------------------------

HRESULT MultiTrackDecoderBaseImpl::Render(void* buffer, std::uint32_t frames, std::uint32_t* rendered,
                                          std::uint32_t* status)
{
    try {
        return MultiTrackDecoder::Render(buffer, frames, rendered, status);
    } catch (...) {
        return E_FAIL; // the lock was released on the way out
    }
}

HRESULT MultiTrackDecoderBaseImpl::SetPosition(std::uint64_t target)
{
    try {
        return MultiTrackDecoder::SetPosition(target);
    } catch (...) {
        return E_FAIL;
    }
}

// --- opening -------------------------------------------------------------

bool MultiTrackDecoderBaseImpl::Open(const char16_t* url, HSSWaveFormat& formatOut)
{
    {
        platform::SpinLockGuard guard(lock);
        position = 0;
    }
    mixer.reset();
    if (!url)
        return false;
    std::unique_ptr<RenderMixerInterface> chosen = CreateMixerFor(url);
    if (!chosen)
        return false;
    return OpenWithMixer(std::move(chosen), url, formatOut);
}

bool MultiTrackDecoderBaseImpl::FailOpen(const std::u16string& message, const char16_t* url)
{
    CloseSources();
    mixer.reset();
    if (callback)
        callback->Log(message.c_str(), url);
    return false;
}

bool MultiTrackDecoderBaseImpl::OpenWithMixer(std::unique_ptr<RenderMixerInterface> chosen, const char16_t* url,
                                              HSSWaveFormat& formatOut)
{
    mixer.reset();
    mixer = std::move(chosen);
    if (!mixer || !url)
        return false;
    TrackListInfo info;
    if (!mixer->Load(ReadTrackListFile(storage, url), info))
        return FailOpen(info.errorMessage, url);
    formatOut = info.format;
    if (formatOut.sampleFormat == kSampleFormatInt16)
        formatOut.sampleFormat = kSampleFormatFloat32; // the mixer always delivers float
    else if (formatOut.sampleFormat != kSampleFormatFloat32)
        return FailOpen(u"invalid track format", url);
    multiTrackId = AsciiLowerCase(info.listName);
    SetUpTracks(info);
    ReportNames(info, url);
    return true;
}

void MultiTrackDecoderBaseImpl::SetUpTracks(const TrackListInfo& info)
{
    trackStates.assign(info.trackCount, TrackGainState{});
    const std::size_t withVolume = std::min<std::size_t>(info.volumes.size(), info.trackCount);
    for (std::size_t i = 0; i < withVolume; ++i)
        trackStates[i].gain = info.volumes[i];
}

void MultiTrackDecoderBaseImpl::ReportNames(const TrackListInfo& info, const char16_t* url)
{
    trackIndexByName.clear();
    std::vector<std::u16string> names;
    std::vector<std::int32_t> indices;
    std::vector<std::uint32_t> namesPerTrack(info.trackCount, 0);
    for (const auto& [name, index] : info.bindings) {
        if (index < 0 || static_cast<std::uint32_t>(index) >= info.trackCount)
            continue;
        std::u16string key = AsciiLowerCase(name);
        trackIndexByName[key] = index;
        if (!callback)
            continue;
        // The first name of a track carries its index, every further name
        // the complement.
        indices.push_back(namesPerTrack[static_cast<std::size_t>(index)]++ == 0 ? index : ~index);
        names.push_back(std::move(key));
    }
    if (!callback || multiTrackId.empty())
        return;
    std::vector<TrackNameEntry> entries;
    entries.reserve(names.size());
    for (std::size_t i = 0; i < names.size(); ++i)
        entries.push_back({indices[i], names[i].c_str()});
    callback->RegisterInstance(this, multiTrackId.c_str());
    callback->NotifyOpen(multiTrackId.c_str(), url, static_cast<std::int32_t>(info.trackCount),
                         entries.empty() ? nullptr : entries.data(), static_cast<std::int32_t>(entries.size()));
}

void MultiTrackDecoderBaseImpl::CloseSources()
{
    if (mixer)
        mixer->Close();
}

bool MultiTrackDecoderBaseImpl::RebindID(const char16_t* id)
{
    if (!callback)
        return false;
    if (!multiTrackId.empty())
        callback->UnregisterInstance(this, multiTrackId.c_str());
    multiTrackId = AsciiLowerCase(id ? id : u"");
    return callback->RegisterInstance(this, multiTrackId.c_str());
}

// --- rendering -----------------------------------------------------------

bool MultiTrackDecoderBaseImpl::DecodeSamples(void* buffer, std::uint32_t frames, std::uint32_t& rendered)
{
    const std::size_t sampleCount = static_cast<std::size_t>(format.channelCount) * frames;
    if (sampleCount == 0)
        return true;
    const float* mixed = MixBlock(sampleCount, frames, rendered);
    std::copy(mixed, mixed + sampleCount, static_cast<float*>(buffer));
    return true;
}

std::uint32_t MultiTrackDecoderBaseImpl::SplitFrameLocked(std::uint32_t frames) const
{
    assert(lock.IsHeld());
    // Only the first point in list order that falls inside the block counts.
    for (std::uint64_t point : switchPoints)
        if (position <= point && point - position < frames)
            return static_cast<std::uint32_t>(point - position);
    return frames;
}

const float* MultiTrackDecoderBaseImpl::MixBlock(std::size_t sampleCount, std::uint32_t frames,
                                                 std::uint32_t& rendered)
{
    platform::SpinLockGuard guard(lock);
    mixBuffer.assign(sampleCount, 0.0f);
    const std::uint32_t split = SplitFrameLocked(frames);
    if (!mixer) {
        rendered = 0;
    } else if (split == frames) {
        rendered = mixer->Render(mixBuffer.data(), frames, trackStates);
    } else {
        const std::uint32_t first = split > 0 ? mixer->Render(mixBuffer.data(), split, trackStates) : 0;
        ApplyArmedChangeLocked();
        const std::uint32_t rest = frames - split;
        const std::size_t channels = format.channelCount;
        splitBuffer.assign(channels * rest, 0.0f);
        const std::uint32_t second = mixer->Render(splitBuffer.data(), rest, trackStates);
        // The second part follows directly what the first part produced.
        std::copy(splitBuffer.begin(), splitBuffer.end(), mixBuffer.begin() + static_cast<std::ptrdiff_t>(channels * first));
        rendered = first + second;
    }
    position += frames;
    return mixBuffer.data();
}

bool MultiTrackDecoderBaseImpl::SeekSamples(std::uint64_t target)
{
    {
        platform::SpinLockGuard guard(lock);
        position = target;
    }
    // The mixer seeks outside the lock; the host never seeks while it renders.
    return mixer ? mixer->SetPosition(target) : false;
}

// --- track masks ---------------------------------------------------------

void MultiTrackDecoderBaseImpl::ApplyArmedChangeLocked()
{
    ApplyChangesLocked(delayedChanges);
    // Emptied without freeing: the storage stays for the next armed change.
    delayedChanges.clear();
    switchPoints.clear();
}

void MultiTrackDecoderBaseImpl::ApplyChangesLocked(const std::vector<TrackMaskChange>& changes)
{
    assert(lock.IsHeld());
    for (const TrackMaskChange& change : changes) {
        if (change.track >= trackStates.size())
            continue;
        TrackGainState& state = trackStates[change.track];
        // A NaN on either side counts as different.
        const bool alreadyThere = change.volume == state.gain;
        // A fade shorter than one frame (below 1000 Hz) is an immediate
        // change: a ramp of no frames would never reach its target.
        const std::uint32_t rampLength = change.fadeMs != 0 ? FadeFrames(change.fadeMs, format.sampleRate) : 0;
        if (rampLength != 0 && !alreadyThere) {
            state.rampFrom = state.gain;
            state.rampTo = change.volume;
            state.rampPosition = 0;
            state.rampLength = rampLength;
        } else {
            state = TrackGainState{change.volume, 0.0f, 0.0f, 0, 0};
        }
    }
}

void MultiTrackDecoderBaseImpl::AppendChangeForAllTracks(std::uint32_t fadeMs, float volume)
{
    for (std::uint32_t t = 0; t < trackStates.size(); ++t)
        pendingChanges.push_back({t, fadeMs, volume});
}

std::uint32_t MultiTrackDecoderBaseImpl::SetTrackMask(const char16_t* const* names, std::uint32_t count,
                                                      float volume, std::uint32_t fadeMs)
{
    std::uint32_t matched = 0;
    if (count == 0 || !names) {
        AppendChangeForAllTracks(fadeMs, volume);
        matched = 1;
    } else {
        for (std::uint32_t n = 0; n < count; ++n) {
            const char16_t* name = names[n];
            if (!name || !*name) {
                AppendChangeForAllTracks(fadeMs, volume);
                ++matched;
                continue;
            }
            const auto found = trackIndexByName.find(AsciiLowerCase(name));
            if (found != trackIndexByName.end() && found->second >= 0 &&
                static_cast<std::size_t>(found->second) < trackStates.size()) {
                pendingChanges.push_back({static_cast<std::uint32_t>(found->second), fadeMs, volume});
                ++matched;
            } else if (callback) {
                callback->Log(u"track not found", name);
            }
        }
    }
    if (!delayMode) {
        ClearOnExit clearPending(pendingChanges);
        platform::SpinLockGuard guard(lock);
        if (!delayedChanges.empty()) {
            // The armed change that still waits takes effect now, first.
            ApplyArmedChangeLocked();
        }
        ApplyChangesLocked(pendingChanges);
    }
    return matched;
}

void MultiTrackDecoderBaseImpl::BeginDelayedMask()
{
    delayMode = true;
    pendingChanges.clear();
}

void MultiTrackDecoderBaseImpl::CommitDelayedMask(const std::uint64_t* points, std::uint32_t count)
{
    ClearOnExit clearPending(pendingChanges);
    if (!delayMode)
        return;
    delayMode = false;
    // The copies are made before the lock is taken and swapped in under it,
    // so nothing allocates or frees while a block may be waiting.
    std::vector<TrackMaskChange> changes;
    std::vector<std::uint64_t> armedPoints;
    try {
        if (count > 0 && points && !pendingChanges.empty()) {
            changes = pendingChanges;
            armedPoints.assign(points, points + count);
        }
    } catch (...) {
        changes.clear();
        armedPoints.clear(); // a commit that fails leaves nothing armed
        SwapArmedChange(changes, armedPoints);
        throw;
    }
    SwapArmedChange(changes, armedPoints);
}

void MultiTrackDecoderBaseImpl::SwapArmedChange(std::vector<TrackMaskChange>& changes,
                                                std::vector<std::uint64_t>& points)
{
    platform::SpinLockGuard guard(lock);
    delayedChanges.swap(changes);
    switchPoints.swap(points);
}
