#include "ListSources.h"

#include "Text.h"

#include <host/StorageName.h>
#include <multitrack/lists/PathPieces.h>
#include <multitrack/lists/TrackListEncoding.h>
#include <multitrack/lists/TrackListReader.h>

#include <vymultitrack/AsciiCase.h>
#include <vymultitrack/Utf16Text.h>

#include <fstream>
#include <iterator>

namespace mtrk {
namespace {

std::string Bytes(const std::filesystem::path& root, const std::u16string& url)
{
    const auto relative = host::RelativePathOfStorageName(url);
    if (!relative)
        return {};
    std::ifstream in(root / *relative, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool Present(const std::filesystem::path& root, const std::u16string& storageName)
{
    const auto relative = host::RelativePathOfStorageName(storageName);
    std::error_code ignored;
    return relative && std::filesystem::is_regular_file(root / *relative, ignored);
}

} // namespace

bool NamesModule(const std::u16string& choice)
{
    return !choice.empty() && choice.front() != u'*';
}

TrackListDescription ReadListDescription(const std::filesystem::path& root, const std::u16string& url)
{
    std::u16string text;
    if (TrackListFormOf(url) != TrackListForm::MtrkInline) {
        const std::string bytes = Bytes(root, url);
        text = DecodeTrackListText(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    }
    return ReadTrackList(url, text);
}

const char* FormName(TrackListForm form)
{
    switch (form) {
    case TrackListForm::MtrkFile: return ".mtrk file";
    case TrackListForm::MtrkInline: return ".mtrk inline name";
    case TrackListForm::Mchx: return ".mchx file";
    }
    return "";
}

void ModuleLinkLog::Read(const std::vector<std::string>& logLines)
{
    static constexpr std::string_view kLinked = ": module linked:";
    static constexpr std::string_view kFailed = ": module not found/cannot linked:";
    for (const std::string& line : logLines) {
        if (const std::size_t at = line.find(kLinked); at != std::string::npos)
            linked_[line.substr(at + kLinked.size())] = true;
        else if (const std::size_t at = line.find(kFailed); at != std::string::npos)
            linked_.try_emplace(line.substr(at + kFailed.size()), false);
    }
}

const bool* ModuleLinkLog::Linked(const std::u16string& choice) const
{
    const auto entry = linked_.find(vytext::ToUtf8(AsciiUpperCase(choice)));
    return entry == linked_.end() ? nullptr : &entry->second;
}

std::vector<SourcePlan> PlanSources(const TrackListDescription& list, const ModuleLinkLog& modules,
                                    const std::filesystem::path& root)
{
    std::vector<SourcePlan> plans;
    bool preferBuiltin = true;
    std::string note;
    for (const ListedSource& source : list.sources) {
        if (list.form == TrackListForm::Mchx)
            preferBuiltin = true; // a ".mchx" source line starts afresh
        if (!source.decoderChoice.empty() && source.decoderChoice.front() == u'*') {
            preferBuiltin = true;
            note.clear();
        } else if (NamesModule(source.decoderChoice)) {
            const std::string name = vytext::ToUtf8(source.decoderChoice);
            const bool* linked = modules.Linked(source.decoderChoice);
            if (linked && *linked)
                preferBuiltin = false;
            note = Join(name, !linked ? " (link outcome not reported)" : *linked ? " linked" : " failed to link");
        }
        const std::u16string extension = AsciiLowerCase(ExtensionOf(source.storageName));
        SourcePlan plan;
        if (preferBuiltin && extension == u".opus")
            plan.decoder = "built-in Opus decoder";
        else if (preferBuiltin && extension == u".ogg")
            plan.decoder = "built-in Vorbis decoder";
        else
            plan.decoder = Join("decoder module for '", vytext::ToUtf8(extension), "'");
        plan.moduleNote = note;
        plan.present = Present(root, source.storageName);
        plans.push_back(std::move(plan));
    }
    return plans;
}

} // namespace mtrk
