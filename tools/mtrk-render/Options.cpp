#include "Options.h"

#include "Text.h"

#include <vymultitrack/Utf16Text.h>

#include <filesystem>

namespace mtrk {
namespace {

class ArgumentReader {
public:
    explicit ArgumentReader(const std::vector<std::string>& arguments) : arguments_(arguments) {}

    bool Done() const { return next_ >= arguments_.size(); }
    std::string Take() { return arguments_[next_++]; }
    bool PeekIsValue() const { return !Done() && !arguments_[next_].starts_with("-"); }

    // The value of option `name`: the part after '=' in "--name=value", or
    // the next argument.
    bool Value(const std::string& name, const std::optional<std::string>& inline_, std::string& value,
               std::string& error)
    {
        if (inline_) {
            value = *inline_;
            return true;
        }
        if (Done()) {
            error = name;
            error.append(" needs a value");
            return false;
        }
        value = Take();
        return true;
    }

private:
    const std::vector<std::string>& arguments_;
    std::size_t next_ = 0;
};

bool ParseBlock(const std::string& text, std::uint32_t& block, std::string& error)
{
    const auto value = ParseCount(text);
    if (!value || *value < 1 || *value > kMaxBlock) {
        error = "--block takes a frame count from 1 to ";
        error.append(std::to_string(kMaxBlock)).append(", not '").append(text).append("'");
        return false;
    }
    block = static_cast<std::uint32_t>(*value);
    return true;
}

bool ParseOption(const std::string& name, const std::optional<std::string>& inline_, ArgumentReader& reader,
                 Options& out, std::string& error)
{
    std::string value;
    const auto take = [&] { return reader.Value(name, inline_, value, error); };
    if (name == "--check" || name == "--pcm16" || name == "--quiet" || name == "-q" || name == "--help" ||
        name == "-h" || name == "--demo" || name == "--loudness-per-state" || name == "--no-loudness" ||
        name == "--play") {
        if (inline_ && name != "--demo") {
            error = name;
            error.append(" takes no value");
            return false;
        }
        if (name == "--check")
            out.mode = Mode::Check;
        else if (name == "--pcm16")
            out.pcm16 = true;
        else if (name == "--quiet" || name == "-q")
            out.quiet = true;
        else if (name == "--loudness-per-state")
            out.loudnessPerState = true;
        else if (name == "--no-loudness")
            out.loudness = false;
        else if (name == "--play")
            out.mode = Mode::Play;
        else if (name == "--help" || name == "-h")
            out.mode = Mode::Help;
        else {
            out.mode = Mode::Demo;
            if (inline_)
                out.demoFolder = *inline_;
            else if (reader.PeekIsValue())
                out.demoFolder = reader.Take();
        }
        return true;
    }
    if (name == "--play-to")
        out.mode = Mode::Play;
    std::string* path = name == "--output" || name == "-o" ? &out.output
                        : name == "--play-to"              ? &out.playTo
                        : name == "--plot"                 ? &out.plot
                        : name == "--timeline"             ? &out.timeline
                        : name == "--plugin"               ? &out.plugin
                        : name == "--root"                 ? &out.root
                                                           : nullptr;
    if (path) {
        if (!take())
            return false;
        if (value.empty()) {
            error = name;
            error.append(" needs a non-empty value");
            return false;
        }
        *path = value;
        return true;
    }
    if (name == "--block") {
        out.blockGiven = true;
        return take() && ParseBlock(value, out.block, error);
    }
    if (name == "--fade") {
        const auto fade = take() ? ParseNumber(value, false) : std::nullopt;
        if (fade && *fade <= 60000.0) {
            out.fadeMs = static_cast<std::int32_t>(*fade);
            return true;
        }
        if (error.empty())
            error = Join("--fade takes milliseconds from 0 to 60000, not '", value, "'");
        return false;
    }
    if (name == "--bpm") {
        if (!take())
            return false;
        const auto bpm = ParseBpm(value, error);
        out.bpm = bpm.value_or(0.0);
        return bpm.has_value();
    }
    if (name == "--meter")
        return take() && ParseMeter(value, out.meter.emplace(), error);
    if (name == "--start" || name == "--duration") {
        if (!take())
            return false;
        auto& slot = name == "--start" ? out.start : out.duration;
        slot = ParseTime(value, error);
        if (slot && name == "--duration" && slot->unit == TimeValue::Unit::BarBeat) {
            error = "--duration takes seconds or frames, not bar:beat";
            return false;
        }
        if (slot)
            return true;
        error.insert(0, Join(name, ": "));
        return false;
    }
    if (name == "--opt") {
        if (!take())
            return false;
        if (value.size() < 2 || value[0] != '-') {
            error = "--opt takes a host option like -opus_gain=-6, not '";
            error.append(value).append("'");
            return false;
        }
        out.hostOptions.push_back(vytext::ToUtf16(value));
        return true;
    }
    error = "unknown option ";
    error.append(name).append(" (see --help)");
    return false;
}

bool CheckCombination(Options& out, std::string& error)
{
    if (out.mode == Mode::Help || out.mode == Mode::Demo)
        return true;
    if (out.loudnessPerState && out.timeline.empty()) {
        error = "--loudness-per-state needs --timeline: it measures the spans between the timeline's actions";
        return false;
    }
    if (out.mode == Mode::Play) {
        if (!out.output.empty() || !out.plot.empty() || out.loudnessPerState) {
            error = "--play and --play-to take no --output, --plot or --loudness-per-state";
            return false;
        }
        if (!out.blockGiven)
            out.block = kPlayBlock;
    }
    if (out.mode == Mode::Check) {
        if (!out.output.empty() || !out.plot.empty() || !out.timeline.empty() || out.start || out.duration) {
            error = "--check takes lists only, no --output, --plot, --timeline, --start or --duration";
            return false;
        }
        if (out.lists.empty()) {
            error = "--check needs at least one track list";
            return false;
        }
        return true;
    }
    if (out.lists.size() != 1) {
        error = out.lists.empty() ? "no track list given (see --help)" : "give one track list to render (several only with --check)";
        return false;
    }
    if (out.output.empty() && out.mode == Mode::Render)
        out.output = DefaultOutputFor(out.lists.front());
    return true;
}

} // namespace

bool ParseOptions(const std::vector<std::string>& arguments, Options& out, std::string& error)
{
    out = Options{};
    ArgumentReader reader(arguments);
    bool onlyLists = false;
    while (!reader.Done()) {
        std::string argument = reader.Take();
        if (onlyLists || argument == "-" || !argument.starts_with("-")) {
            out.lists.push_back(argument);
            continue;
        }
        if (argument == "--") {
            onlyLists = true;
            continue;
        }
        std::optional<std::string> inline_;
        const std::size_t eq = argument.find('=');
        if (argument.starts_with("--") && eq != std::string::npos) {
            inline_ = argument.substr(eq + 1);
            argument.resize(eq);
        }
        if (!ParseOption(argument, inline_, reader, out, error))
            return false;
    }
    return CheckCombination(out, error);
}

std::string DefaultOutputFor(const std::string& list)
{
    std::string name = std::filesystem::path(list).filename().string();
    const std::size_t bar = name.find_last_of('|');
    if (bar != std::string::npos)
        name.erase(0, bar + 1);
    std::string stem = std::filesystem::path(name).stem().string();
    if (stem.empty())
        stem = "out";
    return stem.append(".wav");
}

const char* UsageText()
{
    return R"(usage: mtrk-render [options] LIST           render a track list to a WAV file
       mtrk-render --check [options] LIST...  load lists and report what they hold
       mtrk-render --demo [DIR]               write the demo set into DIR (demo/) and render it
       mtrk-render --play [options] LIST      play it on the sound card, steered live
       mtrk-render --play-to FILE [options] LIST  the same real-time loop into a WAV file

LIST is a .mtrk or .mchx file, or an inline name: a.opus|b.ogg|name.mtrk.

  -o, --output FILE   WAV file to write (default: the list's name with .wav)
      --plot FILE     also draw the render as an SVG picture
      --timeline FILE script actions to carry out while rendering
      --bpm N         tempo for bar:beat times, in quarter notes per minute
      --meter N/D     bar of N beats of 1/D notes (default 4/4)
      --start TIME    seek there before rendering
      --duration TIME render this long (default: to the end of the stream)
      --block N       frames per Render call (default 4096)
      --pcm16         16-bit output through the plug-in's 16-bit decoder
      --opt -NAME=VAL host command-line option (e.g. --opt -opus_gain=-6)
      --plugin FILE   plug-in library (default: the one built with this tool)
      --root DIR      storage root (default: the list's folder)
      --loudness-per-state
                      with --timeline: the loudness of each span between actions
      --no-loudness   no loudness in the summary or plot (it costs about as much as the render)
      --play          play on the default sound output (blocks of 512 frames unless
                      --block); at a terminal, keys steer it (shown at the start),
                      otherwise command lines from stdin: timeline lines, with or
                      without their time (e.g. 'mask pad 0 500', '8 delay next-bar lead 1'),
                      or 'quit'
      --play-to FILE  the real-time loop at full speed into a WAV file, commands
                      from stdin at their times on the audio clock (plain lines at
                      the next block)
      --fade MS       fade of a track toggled by key (default 500)
  -q, --quiet         no progress bar and no log lines
  -h, --help          this text

TIME: 12.5 or 12.5s (seconds), 48000f (frames), 5:1 (bar:beat, needs --bpm).
The summary gives the loudness by EBU R 128: integrated (LUFS), its range
(LU) and the true peak (dBTP); "n/a" where nothing was measured (--no-loudness,
or more than 64 channels).
Exit codes: 0 done, 1 a list did not load or the output failed, 2 bad usage.
)";
}

} // namespace mtrk
