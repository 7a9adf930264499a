// The multi-track decoder: opens a track list through a mixer, mixes its
// tracks block by block with a gain state per track, and takes immediate,
// faded and delayed track mask changes from the script side.
//
// Two sides call in at once: the host's sound system (Render, SetPosition,
// Release) and the script side (SetTrackMask, BeginDelayedMask,
// CommitDelayedMask, RebindID). A spin lock, held for at most one block,
// keeps the render state apart: the gain states, the armed change and its
// switch points, the position and the mix buffer. Open and destruction must
// not overlap any other call on the same decoder.
#pragma once

#include <multitrack/decoder/MultiTrackCallbackIntf.h>
#include <multitrack/decoder/MultiTrackDecoder.h>
#include <multitrack/mixers/RenderMixerInterface.h>
#include <multitrack/kernels/TrackGainState.h>
#include <multitrack/decoder/TrackMaskChange.h>

#include <platform/SpinLock.h>

#include <vymultitrack/HSSStorageProvider.h>

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

class MultiTrackDecoderBaseImpl : public MultiTrackDecoder {
public:
    // `storage` (may be null) gets one reference of the decoder's own;
    // `callback` (may be null) is not owned and must outlive the decoder.
    MultiTrackDecoderBaseImpl(HSSStorageProvider* storage, MultiTrackCallbackIntf* callback);

    // The host-facing calls never let an exception through: E_FAIL instead.
    HRESULT VY_STDCALL Render(void* buffer, std::uint32_t frames, std::uint32_t* rendered,
                              std::uint32_t* status) override;
    HRESULT VY_STDCALL SetPosition(std::uint64_t position) override;

    // Opens the track list `url` (".mtrk" or ".mchx", by extension) and fills
    // `formatOut` with the mixed format (always float). False for any other
    // extension (nothing reported) or when the list cannot be played
    // (reported through the callback's Log).
    [[nodiscard]] bool Open(const char16_t* url, HSSWaveFormat& formatOut) override;
    // Opens with `mixer` in place of the one the extension would choose.
    [[nodiscard]] bool OpenWithMixer(std::unique_ptr<RenderMixerInterface> mixer, const char16_t* url,
                                     HSSWaveFormat& formatOut);
    // Mixes one block of `frames` frames into `buffer` as 32-bit float; the
    // whole block is written (silence past the end), `rendered` gets the
    // frames the mixer produced. Always true.
    [[nodiscard]] bool DecodeSamples(void* buffer, std::uint32_t frames, std::uint32_t& rendered) override;
    // Moves the play position to frame `position` and seeks the sources.
    [[nodiscard]] bool SeekSamples(std::uint64_t position) override;
    void CloseSources() override;

    std::uint32_t SetTrackMask(const char16_t* const* names, std::uint32_t count, float volume,
                               std::uint32_t fadeMs) override;
    bool RebindID(const char16_t* id) override;
    void BeginDelayedMask() override;
    void CommitDelayedMask(const std::uint64_t* points, std::uint32_t count) override;

    // For tests and diagnostics; read them only while no block is mixed.
    [[nodiscard]] const std::vector<TrackGainState>& TrackStates() const { return trackStates; }
    [[nodiscard]] std::uint64_t Position() const { return position; }
    [[nodiscard]] const std::u16string& MultiTrackId() const { return multiTrackId; }
    [[nodiscard]] std::size_t ArmedChangeCount() const { return delayedChanges.size(); }

protected:
    ~MultiTrackDecoderBaseImpl() override;
    // Mixes one block under the lock into mixBuffer (channel count × frames
    // floats) and advances the position by `frames`; returns mixBuffer.
    const float* MixBlock(std::size_t sampleCount, std::uint32_t frames, std::uint32_t& rendered);

private:
    // The ...Locked functions expect the caller to hold the lock (asserted
    // in debug builds).
    void ApplyChangesLocked(const std::vector<TrackMaskChange>& changes);
    // Applies the armed delayed change and disarms it.
    void ApplyArmedChangeLocked();
    // Takes the lock and exchanges the armed change and its switch points
    // with `changes` and `points`, which then hold the old ones.
    void SwapArmedChange(std::vector<TrackMaskChange>& changes, std::vector<std::uint64_t>& points);
    void AppendChangeForAllTracks(std::uint32_t fadeMs, float volume);
    void SetUpTracks(const TrackListInfo& info);
    void ReportNames(const TrackListInfo& info, const char16_t* url);
    bool FailOpen(const std::u16string& message, const char16_t* url);
    [[nodiscard]] std::uint32_t SplitFrameLocked(std::uint32_t frames) const;

    platform::SpinLock lock;
    HSSStorageProvider* storage;          // one reference while set
    MultiTrackCallbackIntf* callback;     // not owned; may be null
    std::unique_ptr<RenderMixerInterface> mixer;
    std::vector<TrackGainState> trackStates;  // guarded by lock
    std::vector<float> mixBuffer;             // guarded by lock
    std::vector<float> splitBuffer;           // second half of a block with a switch; guarded by lock
    std::unordered_map<std::u16string, std::int32_t> trackIndexByName;
    std::u16string multiTrackId;
    std::vector<TrackMaskChange> pendingChanges; // script side only
    std::vector<TrackMaskChange> delayedChanges; // guarded by lock
    std::vector<std::uint64_t> switchPoints;     // guarded by lock
    std::uint64_t position = 0;                  // guarded by lock
    bool delayMode = false;                      // script side only
};

// Frames a fade of `fadeMs` milliseconds lasts at `sampleRate`: the product
// formed in 64 bits, divided by 1000 rounding down, clamped to 2^32 − 1.
[[nodiscard]] std::uint32_t FadeFrames(std::uint32_t fadeMs, std::uint32_t sampleRate);
