#include "StreamJob.h"

#include "RenderJob.h"
#include "Text.h"
#include "ToolPaths.h"

#include <cstdio>

namespace mtrk {

bool OpenStream(StreamJob& job, Decoder& decoder, std::string& error, int& code)
{
    const Options& options = job.options;
    code = kExitUsage;
    if (!options.timeline.empty() && !LoadTimeline(options.timeline, job.timeline, error))
        return false;
    code = kExitFailed;
    if (!LocateList(options.lists.front(), options.root, job.location, error))
        return false;
    SessionSetup setup;
    setup.plugin = PluginPath(options.plugin);
    setup.hostOptions = options.hostOptions;
    if (options.pcm16)
        setup.hostModule = HostModulePath();
    if (!job.session.Start(setup, error) || !job.session.UseStorage(job.location.root, error))
        return false;
    decoder = job.session.Open(job.location.url, error);
    HSSWaveFormat format{};
    if (!decoder || decoder->GetFormat(&format) < 0) {
        error = Join(options.lists.front(), ": does not load: ", error.empty() ? "the plug-in gave no message" : error);
        return false;
    }
    if (format.sampleFormat != kSampleFormatFloat32 && format.sampleFormat != kSampleFormatInt16) {
        error = Join(options.lists.front(), ": unexpected sample format ", std::to_string(format.sampleFormat));
        return false;
    }
    job.format = {format.sampleRate, static_cast<std::uint16_t>(format.channelCount),
                  format.sampleFormat == kSampleFormatFloat32, format.totalSamples};
    if (job.session.LastOpen())
        job.stream = *job.session.LastOpen();
    if (!job.timeline.actions.empty() && !job.session.LastOpen()) {
        error = job.session.ScriptFaceLinked() ? "the stream has no multi-track ID, so timeline actions cannot reach it"
                                               : "--timeline needs the plug-in's script face (V2Link), which it lacks";
        return false;
    }
    code = kExitUsage;
    job.schedule.tempo = EffectiveTempo(job.timeline, options.bpm, options.meter);
    if (options.start && !ToFrames(*options.start, job.format.rate, job.schedule.tempo, job.start, error)) {
        error.insert(0, "--start: ");
        return false;
    }
    if (job.format.totalFrames > 0 && job.start >= job.format.totalFrames) {
        error = Join("--start is past the end of the stream (", FormatSeconds(job.format.totalFrames, job.format.rate), ")");
        return false;
    }
    std::uint64_t frames = 0;
    if (options.duration) {
        if (!ToFrames(*options.duration, job.format.rate, job.schedule.tempo, frames, error))
            return false;
        job.duration = frames;
    }
    if (!BuildSchedule(job.timeline, job.schedule.tempo, job.format.rate, job.format.totalFrames, job.schedule, error))
        return false;
    for (const std::string& warning : job.schedule.warnings)
        std::fprintf(stderr, "warning: %s\n", warning.c_str());
    code = kExitFailed;
    if (job.start > 0 && decoder->SetPosition(job.start) < 0) {
        error = "the stream refused the seek to --start";
        return false;
    }
    return true;
}

} // namespace mtrk
