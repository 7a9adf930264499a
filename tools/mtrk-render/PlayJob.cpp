#include "PlayJob.h"

#include "FileSink.h"
#include "KeyControl.h"
#include "PlayController.h"
#include "RenderJob.h"
#include "SoundDevice.h"
#include "StreamJob.h"
#include "Text.h"

#include <platform/Terminal.h>

#include <cstdio>
#include <optional>

namespace mtrk {
namespace {

// The sink of --play-to or --play; null with `error` when there is none.
std::unique_ptr<PlaySink> OpenSink(const StreamJob& job, WavOutput& wav, std::string& error)
{
    const Options& options = job.options;
    if (options.playTo.empty())
        return OpenSoundDevice(job.format, options.block, error);
    if (!wav.Open(options.playTo, job.format.channels, job.format.rate, job.format.float32, error))
        return nullptr;
    return std::make_unique<FileSink>(wav, options.block);
}

void Report(const StreamJob& job, const PlaySource& source, const PlaySink& sink)
{
    const std::string length = FormatSeconds(source.Clock(), job.format.rate);
    if (!job.options.playTo.empty())
        std::printf("wrote %s: %llu frames (%s)\n", job.options.playTo.c_str(),
                    static_cast<unsigned long long>(source.Clock()), length.c_str());
    else
        std::printf("played %s, %llu under-runs\n", length.c_str(), static_cast<unsigned long long>(sink.Underruns()));
}

} // namespace

int RunPlay(const Options& options, const std::atomic<bool>* stop)
{
    StreamJob job{options, stop, {}, {}, {}, {}, {}, {}, 0, std::nullopt};
    std::string error;
    Decoder decoder;
    int code = kExitFailed;
    if (!OpenStream(job, decoder, error, code))
        return Fail(code, error);
    WavOutput wav;
    const std::unique_ptr<PlaySink> sink = OpenSink(job, wav, error);
    if (!sink)
        return Fail(kExitFailed, error);

    const bool device = options.playTo.empty();
    const bool keys = device && platform::IsTerminal(platform::StandardStream::Input);
    std::optional<KeyControl> keyControl;
    const auto say = [&](const std::string& line) {
        if (options.quiet)
            return;
        if (keyControl)
            keyControl->Clear();
        std::printf("%s\n", line.c_str());
        std::fflush(stdout);
    };
    SampleRing tap(static_cast<std::size_t>(job.format.rate) * job.format.FrameBytes());
    PlaySource source(*decoder, job.format, job.start, keys ? &tap : nullptr);
    ScriptActions actions(job.session, job.stream.id, job.format, job.schedule.tempo, say);
    PlayController controller(source, actions, job.schedule.tempo, job.duration, stop);
    controller.Add(job.schedule);
    std::optional<LineInput> lines;
    if (!platform::IsTerminal(platform::StandardStream::Input))
        controller.Listen(&lines.emplace(), !device);
    std::optional<platform::RawKeyboard> keyboard;
    if (keys) {
        std::fputs(KeyHelp(), stdout);
        keyControl.emplace(keyboard.emplace(), source, tap,
                           KeySetup{job.stream.firstNames, job.stream.otherNames, job.schedule.tempo, options.fadeMs, job.start}, say);
        controller.UseKeys(&*keyControl);
    }
    const bool played = sink->Play(source, controller, error);
    if (keyControl)
        keyControl->Clear();
    if (!played)
        return Fail(kExitFailed, error);
    if (stop && stop->load())
        return Fail(kExitFailed, "interrupted");
    if (!device && !wav.Commit(error))
        return Fail(kExitFailed, error);
    Report(job, source, *sink);
    return kExitOk;
}

} // namespace mtrk
