#include "CheckReport.h"

#include "ListSources.h"
#include "Text.h"

#include <vymultitrack/AsciiCase.h>

#include <vymultitrack/Utf16Text.h>

#include <algorithm>
#include <cinttypes>

namespace mtrk {
namespace {

// The names the open callback gave track `t`.
std::vector<std::u16string> NamesOfTrack(const OpenReport& report, int t)
{
    std::vector<std::u16string> names;
    if (static_cast<std::size_t>(t) < report.firstNames.size())
        names.push_back(report.firstNames[static_cast<std::size_t>(t)]);
    for (const auto& [name, track] : report.otherNames)
        if (track == t && std::find(names.begin(), names.end(), name) == names.end())
            names.push_back(name);
    return names;
}

// The track each ".mtrk" source became, or -1: the mixer adds the sources
// that open as tracks in list order, each answering to its listed names, so
// the tracks are matched to the sources one after the other.
std::vector<int> TracksOfSources(const TrackListDescription& list, const OpenReport& report)
{
    std::vector<int> tracks;
    int next = 0;
    for (const ListedSource& source : list.sources) {
        std::vector<std::u16string> expected;
        for (const std::u16string& name : source.trackNames)
            expected.push_back(AsciiLowerCase(name));
        const std::vector<std::u16string> names = NamesOfTrack(report, next);
        const bool matches = next < report.trackCount && !names.empty() && !expected.empty() &&
                             names.front() == expected.front();
        tracks.push_back(matches ? next++ : -1);
    }
    return tracks;
}

void PrintSources(const TrackListDescription& list, const std::vector<SourcePlan>& plans, const OpenReport* report,
                  std::FILE* out)
{
    std::vector<std::u16string> modules;
    for (const ListedSource& source : list.sources)
        if (NamesModule(source.decoderChoice) &&
            std::find(modules.begin(), modules.end(), source.decoderChoice) == modules.end())
            modules.push_back(source.decoderChoice);
    for (std::size_t i = 0; i < modules.size(); ++i)
        std::fprintf(out, "%s%s%s", i ? ", " : "  modules: ", vytext::ToUtf8(modules[i]).c_str(),
                     i + 1 == modules.size() ? "\n" : "");
    std::fprintf(out, "  sources: %zu\n", list.sources.size());
    const std::vector<int> tracks =
        report && list.form != TrackListForm::Mchx ? TracksOfSources(list, *report) : std::vector<int>();
    for (std::size_t i = 0; i < list.sources.size(); ++i) {
        const ListedSource& source = list.sources[i];
        const SourcePlan& plan = plans[i];
        const std::string where = source.line ? Join("line ", std::to_string(source.line)) : std::string("inline");
        std::string outcome = plan.present ? "" : "  [no such file]";
        if (report && list.form == TrackListForm::Mchx)
            outcome = Join("  -> all ", std::to_string(report->trackCount), " tracks");
        else if (report)
            outcome = tracks[i] >= 0 ? Join("  -> track ", std::to_string(tracks[i])) : outcome + "  [not opened]";
        const std::string note = plan.moduleNote.empty() ? std::string() : Join("; module ", plan.moduleNote);
        std::fprintf(out, "    %-8s %s  (%s%s)%s\n", where.c_str(), vytext::ToUtf8(source.storageName).c_str(),
                     plan.decoder.c_str(), note.c_str(), outcome.c_str());
    }
}

// The line a refusal came from, when the reader or the mixer ties it to one.
std::string LineOfFailure(const TrackListDescription& list, const std::string& message)
{
    const auto says = [&](std::string_view what) { return !what.empty() && message.find(what) != std::string::npos; };
    int line = 0;
    if (list.refused && says(vytext::ToUtf8(list.errorMessage)))
        line = list.errorLine;
    else if (says("source not found") && !list.sources.empty())
        line = list.sources.front().line;
    return line > 0 ? Join(" (line ", std::to_string(line), ")") : std::string();
}

} // namespace

std::string DescribeFormat(const HSSWaveFormat& format)
{
    const char* sample = format.sampleFormat == kSampleFormatFloat32 ? "float32"
                         : format.sampleFormat == kSampleFormatInt16 ? "pcm16"
                                                                     : "unknown sample format";
    char text[160];
    std::snprintf(text, sizeof text, "%u Hz, %u channels, %s, %" PRIu64 " frames (%.3f s)", format.sampleRate,
                  format.channelCount, sample, format.totalSamples,
                  format.sampleRate ? static_cast<double>(format.totalSamples) / format.sampleRate : 0.0);
    return text;
}

std::string DescribeOpen(const OpenReport& report)
{
    std::string text = "id ";
    text.append(vytext::ToUtf8(report.id)).append(", url ").append(vytext::ToUtf8(report.url)).append(", ");
    text.append(std::to_string(report.trackCount)).append(report.trackCount == 1 ? " track" : " tracks");
    for (std::size_t t = 0; t < report.firstNames.size(); ++t)
        text.append(t ? ", " : ": ").append(vytext::ToUtf8(report.firstNames[t]));
    return text;
}

bool CheckList(PluginSession& session, ModuleLinkLog& modules, const std::string& list, const std::string& root,
               std::FILE* out)
{
    ListLocation location;
    std::string error;
    if (!LocateList(list, root, location, error) || !session.UseStorage(location.root, error)) {
        std::fprintf(out, "%s\n", error.c_str());
        return false;
    }
    const TrackListDescription description = ReadListDescription(location.root, location.url);
    Decoder decoder = session.Open(location.url, error);
    HSSWaveFormat format{};
    if (decoder && decoder->GetFormat(&format) < 0) {
        decoder.reset();
        error = "the decoder reports no format";
    }
    const std::vector<std::string> log = session.TakeLog();
    modules.Read(log);
    const std::vector<SourcePlan> plans = PlanSources(description, modules, location.root);
    const auto& report = session.LastOpen();
    if (!decoder) {
        std::fprintf(out, "%s: does not load: %s%s\n", list.c_str(),
                     error.empty() ? "the plug-in gave no message" : error.c_str(),
                     LineOfFailure(description, error).c_str());
        std::fprintf(out, "  list:    %s\n", FormName(description.form));
        PrintSources(description, plans, nullptr, out);
    } else {
        std::fprintf(out, "%s: loads\n", list.c_str());
        std::fprintf(out, "  list:    %s\n", FormName(description.form));
        std::fprintf(out, "  format:  %s\n", DescribeFormat(format).c_str());
        if (report) {
            std::fprintf(out, "  id:      %s\n", vytext::ToUtf8(report->id).c_str());
            std::fprintf(out, "  tracks:  %d\n", report->trackCount);
            for (int t = 0; t < report->trackCount; ++t) {
                std::string names;
                for (const std::u16string& name : NamesOfTrack(*report, t))
                    names.append(names.empty() ? "" : ", ").append(vytext::ToUtf8(name));
                std::fprintf(out, "    %d: %s\n", t, names.c_str());
            }
        } else {
            std::fprintf(out, "  tracks:  (names unknown: %s)\n",
                         session.ScriptFaceLinked() ? "the stream has no multi-track ID" : "the plug-in has no script face");
        }
        PrintSources(description, plans, report ? &*report : nullptr, out);
    }
    for (const std::string& line : log)
        if (decoder || line != error) // a failure's message is already given as the reason
            std::fprintf(out, "  plug-in: %s\n", line.c_str());
    return decoder != nullptr;
}

} // namespace mtrk
