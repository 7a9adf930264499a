// What a render and a real-time play share: the track list opened through
// the plug-in, its timeline resolved against the stream, and --start done.
#pragma once

#include "Options.h"
#include "PluginSession.h"
#include "RenderLoop.h"
#include "ListLocation.h"
#include "Schedule.h"

#include <atomic>
#include <optional>

namespace mtrk {

// Everything fixed once the stream is open.
struct StreamJob {
    const Options& options;
    const std::atomic<bool>* stop;
    Timeline timeline;
    ListLocation location;
    PluginSession session;
    StreamFormat format;
    OpenReport stream;
    Schedule schedule;
    std::uint64_t start = 0;
    std::optional<std::uint64_t> duration;
};

// Loads the timeline of job.options, opens its list, resolves the timeline
// and seeks to --start. False with `error` and the exit `code` for the failure.
[[nodiscard]] bool OpenStream(StreamJob& job, Decoder& decoder, std::string& error, int& code);

} // namespace mtrk
