// The default output device through PortAudio. Its callback runs on
// PortAudio's sound thread and does only what the engine's sound thread
// does: PlaySource::Pull, the plug-in's Render and a copy. The main thread
// meanwhile carries out the commands.
#include "SoundDevice.h"

#include <platform/QuietStandardError.h>

#include <portaudio.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace mtrk {
namespace {

std::string Describe(const char* what, PaError code)
{
    std::string text = what;
    return text.append(": ").append(Pa_GetErrorText(code));
}

class PortAudioSink final : public PlaySink {
public:
    ~PortAudioSink() override
    {
        if (stream_)
            Pa_CloseStream(stream_);
        if (initialised_)
            Pa_Terminate();
    }

    bool Open(const StreamFormat& format, std::uint32_t block, std::string& error)
    {
        PaError code = paNoError;
        {
            // ALSA and JACK report every card and server they do not find
            // on stderr; the one line we print says it better.
            const platform::QuietStandardError quiet;
            code = Pa_Initialize();
        }
        if (code != paNoError) {
            error = Describe("--play: the sound system did not start", code);
            return false;
        }
        initialised_ = true;
        const PaDeviceIndex device = Pa_GetDefaultOutputDevice();
        const PaDeviceInfo* info = device == paNoDevice ? nullptr : Pa_GetDeviceInfo(device);
        if (!info) {
            error = "--play: no sound output device found (use --play-to FILE.wav to hear it later)";
            return false;
        }
        PaStreamParameters output{};
        output.device = device;
        output.channelCount = format.channels;
        output.sampleFormat = format.float32 ? paFloat32 : paInt16;
        output.suggestedLatency = info->defaultLowOutputLatency;
        code = Pa_OpenStream(&stream_, nullptr, &output, format.rate, block, paNoFlag, &PortAudioSink::Callback, this);
        if (code != paNoError) {
            stream_ = nullptr;
            error = Describe("--play: the sound output refused the stream", code);
            return false;
        }
        return true;
    }

    bool Play(PlaySource& source, PlayControl& control, std::string& error) override
    {
        source_.store(&source);
        const PaError code = Pa_StartStream(stream_);
        if (code != paNoError) {
            error = Describe("--play: the sound output did not start", code);
            return false;
        }
        while (control.Step(source.Clock()) && !source.Ended())
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        Pa_StopStream(stream_);
        return true;
    }

    std::uint64_t Underruns() const override { return underruns_.load(); }

private:
    static int Callback(const void*, void* output, unsigned long frames, const PaStreamCallbackTimeInfo*,
                        PaStreamCallbackFlags flags, void* self)
    {
        auto& sink = *static_cast<PortAudioSink*>(self);
        if (flags & paOutputUnderflow)
            sink.underruns_.fetch_add(1);
        sink.source_.load()->Pull(output, static_cast<std::uint32_t>(frames));
        return paContinue;
    }

    bool initialised_ = false;
    PaStream* stream_ = nullptr;
    std::atomic<PlaySource*> source_{nullptr};
    std::atomic<std::uint64_t> underruns_{0};
};

} // namespace

std::unique_ptr<PlaySink> OpenSoundDevice(const StreamFormat& format, std::uint32_t block, std::string& error)
{
    auto sink = std::make_unique<PortAudioSink>();
    if (!sink->Open(format, block, error))
        return nullptr;
    return sink;
}

} // namespace mtrk
