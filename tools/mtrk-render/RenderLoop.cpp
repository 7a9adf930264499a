#include "RenderLoop.h"

#include "Text.h"

#include <algorithm>

namespace mtrk {
namespace {

RenderOutcome Failed(RenderOutcome outcome, std::string error)
{
    outcome.ok = false;
    outcome.error = std::move(error);
    return outcome;
}

} // namespace

RenderOutcome RenderStream(IHSSWaveDecoder& decoder, const StreamFormat& format, const Schedule& schedule,
                           const RenderRequest& request, ActionPerformer& performer,
                           const std::vector<BlockObserver*>& observers)
{
    RenderOutcome outcome;
    std::vector<unsigned char> buffer(static_cast<std::size_t>(request.block) * format.FrameBytes());
    std::uint64_t streamPosition = request.startPosition;
    const auto& actions = schedule.actions;
    for (;;) {
        if (request.stop && request.stop->load())
            return Failed(outcome, "interrupted");
        for (; outcome.actionsRun < actions.size() && actions[outcome.actionsRun].frame <= outcome.frames;
             ++outcome.actionsRun) {
            const ScheduledAction& due = actions[outcome.actionsRun];
            if (due.action->kind == ActionKind::Seek) {
                if (decoder.SetPosition(due.seekTarget) < 0)
                    return Failed(outcome, Join("the stream refused a seek to frame ", std::to_string(due.seekTarget)));
                streamPosition = due.seekTarget;
            }
            performer.Perform(due, outcome.frames, streamPosition);
        }
        std::optional<std::uint64_t> nextAction;
        if (outcome.actionsRun < actions.size())
            nextAction = actions[outcome.actionsRun].frame;
        std::uint32_t want = NextBlock(outcome.frames, request.block, nextAction, request.outputFrames);
        if (format.totalFrames > 0)
            want = static_cast<std::uint32_t>(
                std::min<std::uint64_t>(want, format.totalFrames - std::min(streamPosition, format.totalFrames)));
        if (want == 0)
            return outcome;
        std::uint32_t rendered = 0;
        std::uint32_t status = 0;
        if (decoder.Render(buffer.data(), want, &rendered, &status) < 0)
            return Failed(outcome, Join("the decoder failed to render at frame ", std::to_string(outcome.frames)));
        rendered = std::min(rendered, want);
        for (BlockObserver* observer : observers) {
            std::string error;
            if (rendered > 0 && !observer->OnBlock(buffer.data(), rendered, error)) {
                if (!error.empty())
                    return Failed(outcome, error);
                outcome.frames += rendered;
                return outcome;
            }
        }
        outcome.frames += rendered;
        streamPosition += rendered;
        if (rendered < want || status == 0)
            return outcome;
    }
}

} // namespace mtrk
