// The host's render loop: Render in blocks of the requested size, cut at
// the frames where timeline actions are due, each action carried out
// between two blocks exactly at its frame. Whatever the block size, the
// decoder sees the same actions at the same frames, so the output is the
// same bit for bit.
#pragma once

#include "Schedule.h"

#include <vymultitrack/IHSSWaveDecoder.h>

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace mtrk {

struct StreamFormat {
    std::uint32_t rate = 0;
    std::uint16_t channels = 0;
    bool float32 = true;
    std::uint64_t totalFrames = 0; // 0: unknown

    [[nodiscard]] std::uint32_t FrameBytes() const { return channels * (float32 ? 4u : 2u); }
};

// Carries out the script actions. Seeks the loop does on the decoder
// itself and then reports here, with the new stream position.
class ActionPerformer {
public:
    virtual void Perform(const ScheduledAction& action, std::uint64_t outputFrame, std::uint64_t streamPosition) = 0;

protected:
    ~ActionPerformer() = default;
};

// Receives every rendered block. Answers false to stop the render: with
// `error` set that is a failure, without it an early end.
class BlockObserver {
public:
    virtual bool OnBlock(const void* samples, std::uint32_t frames, std::string& error) = 0;

protected:
    ~BlockObserver() = default;
};

struct RenderRequest {
    std::uint32_t block = 4096;
    std::optional<std::uint64_t> outputFrames; // --duration
    std::uint64_t startPosition = 0;           // stream frame the decoder stands at
    const std::atomic<bool>* stop = nullptr;   // set from outside to interrupt
};

struct RenderOutcome {
    std::uint64_t frames = 0;    // output frames rendered
    std::size_t actionsRun = 0;  // schedule entries carried out, from the first
    bool ok = true;
    std::string error;
};

[[nodiscard]] RenderOutcome RenderStream(IHSSWaveDecoder& decoder, const StreamFormat& format,
                                         const Schedule& schedule, const RenderRequest& request,
                                         ActionPerformer& performer, const std::vector<BlockObserver*>& observers);

} // namespace mtrk
