#include "TrackListReader.h"

#include "PathPieces.h"
#include "TextPieces.h"

#include <vymultitrack/AsciiCase.h>

namespace {

constexpr std::size_t kFieldsPerLine = 3; // track name, source, decoder choice

// The names a track answers to: its own name (may be empty), then the
// source's stem and file name; empty names are left out.
std::vector<std::u16string> TrackNames(const std::u16string& trackName, const std::u16string& source)
{
    const std::u16string fileName = FileNameOf(source);
    std::vector<std::u16string> names;
    for (std::u16string name : {trackName, StemOf(fileName), fileName})
        if (!name.empty())
            names.push_back(std::move(name));
    return names;
}

void ReadInline(const std::u16string& directory, const std::vector<std::u16string>& parts,
                TrackListDescription& list)
{
    for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
        std::u16string source = directory + parts[i];
        list.sources.push_back({source, {}, TrackNames({}, source), 0});
    }
    list.listName = parts.back();
}

void ReadFile(std::u16string_view text, TrackListDescription& list)
{
    for (const TextLine& line : SplitLines(text)) {
        std::vector<std::u16string> fields = SplitFields(line.text, u'\t');
        fields.resize(kFieldsPerLine);
        if (fields[1].empty())
            continue;
        list.sources.push_back({fields[1], fields[2], TrackNames(fields[0], fields[1]), line.number});
    }
}

} // namespace

std::optional<TrackListForm> TrackListFormOf(std::u16string_view path)
{
    const std::u16string extension = AsciiLowerCase(ExtensionOf(path));
    if (extension == u".mchx")
        return TrackListForm::Mchx;
    if (extension != u".mtrk")
        return std::nullopt;
    return IsInlineMtrkName(FileNameOf(path)) ? TrackListForm::MtrkInline : TrackListForm::MtrkFile;
}

bool IsInlineMtrkName(std::u16string_view fileName)
{
    return SplitFields(fileName, u'|').size() >= 2;
}

TrackListDescription ReadMtrkList(std::u16string_view path, std::u16string_view text)
{
    TrackListDescription list;
    const std::u16string name = FileNameOf(path);
    if (name.empty()) {
        list.refused = true;
        return list;
    }
    const std::vector<std::u16string> parts = SplitFields(name, u'|');
    if (parts.size() >= 2) {
        list.form = TrackListForm::MtrkInline;
        ReadInline(DirectoryOf(path), parts, list);
    } else {
        list.form = TrackListForm::MtrkFile;
        list.listName = name;
        ReadFile(text, list);
    }
    return list;
}

TrackListDescription ReadTrackList(std::u16string_view path, std::u16string_view text)
{
    const std::optional<TrackListForm> form = TrackListFormOf(path);
    if (!form) {
        TrackListDescription list;
        list.refused = true;
        return list;
    }
    return *form == TrackListForm::Mchx ? ReadMchxList(path, text) : ReadMtrkList(path, text);
}
