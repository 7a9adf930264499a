#include "CheckReport.h"

#include "ListSources.h"
#include "Text.h"

#include "AsciiCase.h"

#include <vymultitrack/Utf16Text.h>

#include <algorithm>
#include <cinttypes>

namespace mtrk {
namespace {

// The track a source became: its file name is one of the track's names.
int TrackOf(const OpenReport& report, const ListSource& source)
{
    const std::size_t cut = source.storageName.find_last_of("\\/>");
    const std::string fileName = AsciiLower(cut == std::string::npos ? source.storageName : source.storageName.substr(cut + 1));
    for (std::size_t t = 0; t < report.firstNames.size(); ++t)
        if (vytext::ToUtf8(report.firstNames[t]) == fileName)
            return static_cast<int>(t);
    for (const auto& [name, track] : report.otherNames)
        if (vytext::ToUtf8(name) == fileName)
            return track;
    return -1;
}

void PrintSources(const ListContents& contents, const OpenReport* report, std::FILE* out)
{
    if (!contents.modules.empty()) {
        std::fprintf(out, "  modules: ");
        for (std::size_t i = 0; i < contents.modules.size(); ++i)
            std::fprintf(out, "%s%s", i ? ", " : "", contents.modules[i].c_str());
        std::fprintf(out, "\n");
    }
    std::fprintf(out, "  sources: %zu\n", contents.sources.size());
    const bool gather = contents.form.starts_with(".mchx");
    for (const ListSource& source : contents.sources) {
        std::string where = source.line ? Join("line ", std::to_string(source.line)) : std::string("inline");
        std::string outcome = source.present ? "" : "  [no such file]";
        if (report && gather) {
            outcome = Join("  -> all ", std::to_string(report->trackCount), " tracks");
        } else if (report && source.present) {
            const int track = TrackOf(*report, source);
            outcome = track >= 0 ? Join("  -> track ", std::to_string(track)) : std::string("  [not opened]");
        }
        std::fprintf(out, "    %-8s %s  (%s)%s\n", where.c_str(), source.storageName.c_str(), source.decoder.c_str(),
                     outcome.c_str());
    }
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

bool CheckList(PluginSession& session, const std::string& list, const std::string& root, std::FILE* out)
{
    ListLocation location;
    std::string error;
    if (!LocateList(list, root, location, error) || !session.UseStorage(location.root, error)) {
        std::fprintf(out, "%s\n", error.c_str());
        return false;
    }
    const ListContents contents = ReadListContents(location.root, location.url);
    Decoder decoder = session.Open(location.url, error);
    HSSWaveFormat format{};
    if (decoder && decoder->GetFormat(&format) < 0) {
        decoder.reset();
        error = "the decoder reports no format";
    }
    if (!decoder) {
        std::fprintf(out, "%s: does not load: %s\n", list.c_str(),
                     error.empty() ? "the plug-in gave no message" : error.c_str());
        std::fprintf(out, "  list:    %s\n", contents.form.c_str());
        PrintSources(contents, nullptr, out);
        for (const std::string& line : session.TakeLog())
            if (line != error) // already given as the reason
                std::fprintf(out, "  plug-in: %s\n", line.c_str());
        return false;
    }
    std::fprintf(out, "%s: loads\n", list.c_str());
    std::fprintf(out, "  list:    %s\n", contents.form.c_str());
    std::fprintf(out, "  format:  %s\n", DescribeFormat(format).c_str());
    const auto& report = session.LastOpen();
    if (report) {
        std::fprintf(out, "  id:      %s\n", vytext::ToUtf8(report->id).c_str());
        std::fprintf(out, "  tracks:  %d\n", report->trackCount);
        for (int t = 0; t < report->trackCount; ++t) {
            std::string names = static_cast<std::size_t>(t) < report->firstNames.size()
                                    ? vytext::ToUtf8(report->firstNames[static_cast<std::size_t>(t)])
                                    : std::string();
            std::vector<std::u16string> seen{static_cast<std::size_t>(t) < report->firstNames.size()
                                                 ? report->firstNames[static_cast<std::size_t>(t)]
                                                 : std::u16string()};
            for (const auto& [name, track] : report->otherNames) {
                if (track != t || std::find(seen.begin(), seen.end(), name) != seen.end())
                    continue;
                seen.push_back(name);
                names.append(names.empty() ? "" : ", ").append(vytext::ToUtf8(name));
            }
            std::fprintf(out, "    %d: %s\n", t, names.c_str());
        }
    } else {
        std::fprintf(out, "  tracks:  (names unknown: %s)\n",
                     session.ScriptFaceLinked() ? "the stream has no multi-track ID" : "the plug-in has no script face");
    }
    PrintSources(contents, report ? &*report : nullptr, out);
    for (const std::string& line : session.TakeLog())
        std::fprintf(out, "  plug-in: %s\n", line.c_str());
    return true;
}

} // namespace mtrk
