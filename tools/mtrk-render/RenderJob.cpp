#include "RenderJob.h"

#include "StreamJob.h"

#include "CheckReport.h"
#include "Envelope.h"
#include "PeakMeter.h"
#include "GainLanes.h"
#include "ListLocation.h"
#include "LoudnessMeter.h"
#include "MomentaryLoudness.h"
#include "PluginSession.h"
#include "Progress.h"
#include "ScriptActions.h"
#include "SpanLoudness.h"
#include "SvgPlot.h"
#include "SwitchProbe.h"
#include "Text.h"
#include "ToolPaths.h"
#include "WavOutput.h"

#include <platform/Terminal.h>

#include <vymultitrack/Utf16Text.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace mtrk {
namespace {

// The stream frame that output frame `frame` played, following the seeks.
std::uint64_t StreamPositionAt(const StreamJob& job, std::uint64_t frame)
{
    std::uint64_t position = job.start + frame;
    for (const ScheduledAction& action : job.schedule.actions)
        if (action.action->kind == ActionKind::Seek && action.frame <= frame)
            position = action.seekTarget + (frame - action.frame);
    return position;
}

// The output frames the render should reach (0: unknown).
std::uint64_t ExpectedFrames(const StreamJob& job)
{
    return job.duration.value_or(job.format.totalFrames > job.start ? job.format.totalFrames - job.start : 0);
}

// "bar 5:1" (or "bar 4:2.5") for a stream frame, when there is a tempo.
std::string BarBeat(const StreamJob& job, std::uint64_t position)
{
    const Tempo& tempo = job.schedule.tempo;
    if (tempo.bpm <= 0.0)
        return {};
    const double beats = static_cast<double>(position) / tempo.BeatFrames(job.format.rate);
    const double bar = std::floor(beats / tempo.beatsPerBar + 1e-9);
    char text[64];
    std::snprintf(text, sizeof text, "bar %.0f:%g", bar + 1, std::round((beats - bar * tempo.beatsPerBar + 1) * 1000) / 1000);
    return text;
}

std::string Where(const TimelineAction& action, const StreamJob& job)
{
    return Join(job.timeline.file, ":", std::to_string(action.line));
}

// Renders the stream once more from the start, leaving `skip` out.
bool RenderWithout(StreamJob& job, const TimelineAction* skip, BlockObserver& observer)
{
    std::string ignored;
    Decoder decoder = job.session.Open(job.location.url, ignored);
    if (!decoder || (job.start > 0 && decoder->SetPosition(job.start) < 0))
        return false;
    ScriptActions quiet(job.session, job.stream.id, job.format, job.schedule.tempo, [](const std::string&) {}, skip);
    RenderRequest request;
    request.block = kMaxBlock / 16;
    request.outputFrames = job.duration;
    request.startPosition = job.start;
    request.stop = job.stop;
    const RenderOutcome outcome = RenderStream(*decoder, job.format, job.schedule, request, quiet, {&observer});
    static_cast<void>(job.session.TakeLog());
    return outcome.ok;
}

std::vector<PlotMarker> Markers(StreamJob& job, const std::vector<ActionRecord>& records,
                                std::vector<std::optional<std::uint64_t>>& effects, const Recorder& recorder,
                                bool quiet)
{
    std::vector<PlotMarker> markers;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const ActionRecord& record = records[i];
        const TimelineAction& action = *record.action;
        const std::string where = Where(action, job);
        if (action.kind != ActionKind::Delay) {
            effects.push_back(record.outputFrame);
            const char* kind = action.kind == ActionKind::Rebind ? "rebind" : action.kind == ActionKind::Seek ? "seek" : "line";
            markers.push_back({record.outputFrame, MarkerKind::Immediate, Join(kind, " ", std::to_string(action.line))});
            continue;
        }
        markers.push_back({record.outputFrame, MarkerKind::Armed, Join("armed (line ", std::to_string(action.line), ")")});
        effects.push_back(record.accepted ? FindSwitchFrame(recorder.Bytes(), job.format.FrameBytes(),
                                                            [&](BlockObserver& o) { return RenderWithout(job, &action, o); })
                                          : std::nullopt);
        if (!effects.back()) {
            if (!quiet)
                std::printf("%s: the delayed change made no difference to the output\n", where.c_str());
            continue;
        }
        const std::uint64_t frame = *effects.back();
        const std::string bar = BarBeat(job, StreamPositionAt(job, frame));
        markers.push_back({frame, MarkerKind::Switch, Join("switch ", bar.empty() ? FormatSeconds(frame, job.format.rate) : bar)});
        std::printf("%s: the delayed change first altered output frame %llu (%s%s%s)\n", where.c_str(),
                    static_cast<unsigned long long>(frame), FormatSeconds(frame, job.format.rate).c_str(),
                    bar.empty() ? "" : ", ", bar.c_str());
    }
    return markers;
}

// The output frames where --loudness-per-state begins a new span: those
// of the timeline's actions.
std::vector<std::uint64_t> SpanCuts(const StreamJob& job)
{
    std::vector<std::uint64_t> cuts;
    for (const ScheduledAction& action : job.schedule.actions)
        cuts.push_back(action.frame);
    return cuts;
}

// One line per span that the render reached: "span 2.000 s - 8.000 s
// from demo.timeline:5 (mask lead -> 1): -18.2 LUFS".
void PrintSpans(const StreamJob& job, const SpanLoudness& spans, const std::vector<ActionRecord>& records,
                std::uint64_t frames)
{
    for (std::size_t i = 0; i < spans.Count() && spans.Start(i) < frames; ++i) {
        const std::uint64_t end = i + 1 < spans.Count() ? std::min(spans.Start(i + 1), frames) : frames;
        std::string from;
        for (const ActionRecord& record : records) {
            if (record.outputFrame < spans.Start(i) || record.outputFrame >= end)
                continue;
            from.append(from.empty() ? "from " : "; ").append(Where(*record.action, job));
            from.append(" (").append(record.what).append(")");
        }
        std::printf("span %s - %s  %s: %s LUFS\n", FormatSeconds(spans.Start(i), job.format.rate).c_str(),
                    FormatSeconds(end, job.format.rate).c_str(), from.empty() ? "from the start" : from.c_str(),
                    FormatLevel(spans.Integrated(i)).c_str());
    }
}

} // namespace

int Fail(int code, const std::string& message)
{
    std::fprintf(stderr, "mtrk-render: %s\n", message.c_str());
    return code;
}

int RunRender(const Options& options, const std::atomic<bool>* stop)
{
    StreamJob job{options, stop, {}, {}, {}, {}, {}, {}, 0, std::nullopt};
    std::string error;
    Decoder decoder;
    int code = kExitFailed;
    if (!OpenStream(job, decoder, error, code))
        return Fail(code, error);

    WavOutput wav;
    OutputFile plotFile;
    if (!wav.Open(options.output, job.format.channels, job.format.rate, job.format.float32, error) ||
        (!options.plot.empty() && !plotFile.Open(options.plot, error)))
        return Fail(kExitFailed, error);

    Progress progress(!options.quiet && platform::IsTerminal(platform::StandardStream::Error), job.format.rate,
                      ExpectedFrames(job));
    const auto say = [&](const std::string& line) {
        if (options.quiet)
            return;
        progress.Clear();
        std::printf("%s\n", line.c_str());
        std::fflush(stdout);
    };
    const HSSWaveFormat opened{job.format.rate, job.format.channels,
                               job.format.float32 ? kSampleFormatFloat32 : kSampleFormatInt16,
                               0, job.format.totalFrames, 0, {0, 0, 0}};
    say(Join("open: ", DescribeOpen(job.stream), "; ", DescribeFormat(opened)));
    PeakMeter peak(job.format);
    LoudnessMeter loudness(job.format, options.loudness ? kLoudnessSummary : 0);
    std::optional<Envelope> envelope;            // per-bucket peak and RMS, for the plot only
    std::optional<MomentaryLoudness> momentary;  // for the plot only
    std::optional<SpanLoudness> spans;           // --loudness-per-state
    Recorder recorder(job.format.FrameBytes());
    std::vector<BlockObserver*> observers{&wav, &peak, &progress};
    if (loudness.Measures())
        observers.push_back(&loudness);
    if (!options.plot.empty())
        observers.push_back(&envelope.emplace(job.format));
    if (!options.plot.empty() && loudness.Measures())
        observers.push_back(&momentary.emplace(job.format, ExpectedFrames(job)));
    if (options.loudnessPerState)
        observers.push_back(&spans.emplace(job.format, SpanCuts(job)));
    const bool probe = !options.plot.empty() &&
                       std::any_of(job.timeline.actions.begin(), job.timeline.actions.end(),
                                   [](const TimelineAction& a) { return a.kind == ActionKind::Delay; });
    if (probe)
        observers.push_back(&recorder);
    ScriptActions actions(job.session, job.stream.id, job.format, job.schedule.tempo, say);
    RenderRequest request;
    request.block = options.block;
    request.outputFrames = job.duration;
    request.startPosition = job.start;
    request.stop = stop;
    const RenderOutcome outcome = RenderStream(*decoder, job.format, job.schedule, request, actions, observers);
    progress.Clear();
    const double seconds = progress.ElapsedSeconds();
    decoder.reset();
    if (!outcome.ok)
        return Fail(kExitFailed, outcome.error);
    for (std::size_t i = outcome.actionsRun; i < job.schedule.actions.size(); ++i)
        std::fprintf(stderr, "mtrk-render: %s: after the end of the render, not carried out\n",
                     Where(*job.schedule.actions[i].action, job).c_str());

    if (!options.plot.empty()) {
        std::vector<std::optional<std::uint64_t>> effects;
        PlotInput plot;
        plot.markers = Markers(job, actions.Records(), effects, recorder, options.quiet);
        plot.title = Join(options.lists.front(), " -> ", options.output);
        plot.envelope = &*envelope;
        plot.loudness = momentary ? &*momentary : nullptr;
        plot.integrated = loudness.Integrated();
        plot.rate = job.format.rate;
        plot.frames = outcome.frames;
        plot.startPosition = job.start;
        plot.tempo = job.schedule.tempo;
        for (const auto& name : job.stream.firstNames)
            plot.trackNames.push_back(vytext::ToUtf8(name));
        plot.gains = RequestedGains(job.stream, actions.Records(), effects, job.format.rate, outcome.frames);
        const std::string svg = DrawSvg(plot);
        if (!plotFile.Write(svg.data(), svg.size(), error))
            return Fail(kExitFailed, error);
    }
    if (!options.plot.empty() && !plotFile.Commit(error))
        return Fail(kExitFailed, error);
    if (!wav.Commit(error)) {
        std::error_code ignored;
        if (!options.plot.empty())
            std::filesystem::remove(options.plot, ignored);
        return Fail(kExitFailed, error);
    }
    Summary summary{options.output, outcome.frames, job.format.rate, job.format.channels, job.format.float32,
                    peak.Peak(), loudness.TruePeak(), loudness.Integrated(), loudness.Range(), seconds};
    std::printf("%s\n", FormatSummary(summary).c_str());
    if (spans)
        PrintSpans(job, *spans, actions.Records(), outcome.frames);
    if (!options.plot.empty())
        std::printf("plot: %s\n", options.plot.c_str());
    return kExitOk;
}

} // namespace mtrk
