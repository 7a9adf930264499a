#include "ListSources.h"

#include "AsciiCase.h"
#include "Text.h"

#include <host/StorageName.h>

#include <vymultitrack/Utf16Text.h>

#include <fstream>
#include <sstream>

namespace mtrk {
namespace {

std::vector<std::string> Split(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(text);
    while (std::getline(in, part, separator))
        if (!part.empty())
            parts.push_back(part);
    return parts;
}

// The list's text in UTF-8: UTF-16 little-endian after its byte-order mark,
// otherwise UTF-8 (its mark dropped); a zero ends it.
std::string ReadText(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE') {
        std::u16string wide;
        for (std::size_t i = 2; i + 1 < bytes.size(); i += 2)
            wide.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                                 static_cast<unsigned char>(bytes[i + 1]) << 8));
        bytes = vytext::ToUtf8(wide.substr(0, wide.find(u'\0')));
    } else if (bytes.starts_with("\xEF\xBB\xBF")) {
        bytes.erase(0, 3);
    }
    bytes.resize(std::min(bytes.size(), bytes.find('\0')));
    return bytes;
}

} // namespace

std::string ExtensionOf(const std::string& path)
{
    const std::size_t cut = path.find_last_of("\\/>");
    const std::size_t dot = path.find_last_of('.');
    return dot == std::string::npos || (cut != std::string::npos && dot < cut) ? std::string() : AsciiLower(path.substr(dot));
}

namespace {

// The rules the mixers follow: with the built-in decoders preferred, .opus
// and .ogg go to them; everything else to the module linked for the
// extension.
std::string DecoderFor(const std::string& file, bool preferBuiltin, const std::vector<std::string>& modules)
{
    const std::string extension = ExtensionOf(file);
    if (preferBuiltin && extension == ".opus")
        return "built-in Opus decoder";
    if (preferBuiltin && extension == ".ogg")
        return "built-in Vorbis decoder";
    std::string text = Join("decoder module for '", extension, "'");
    if (!modules.empty())
        text.append(" (linked: ").append(modules.back()).append(")");
    return text;
}

// A decoder-choice field: '*' prefers the built-in decoders, anything else
// names a module library to link (and then use).
void Choose(const std::string& choice, bool& preferBuiltin, std::vector<std::string>& modules)
{
    if (choice.empty())
        return;
    if (choice.front() == '*') {
        preferBuiltin = true;
        return;
    }
    modules.push_back(choice);
    preferBuiltin = false;
}

bool Present(const std::filesystem::path& root, const std::string& storageName)
{
    const auto relative = host::RelativePathOfStorageName(vytext::ToUtf16(storageName));
    std::error_code ignored;
    return relative && std::filesystem::is_regular_file(root / *relative, ignored);
}

} // namespace

bool IsInlineName(const std::string& name)
{
    return Split(name, '|').size() >= 2;
}

ListContents ReadListContents(const std::filesystem::path& root, const std::u16string& url)
{
    ListContents contents;
    const std::string path = vytext::ToUtf8(url);
    const std::size_t cut = path.find_last_of("\\/>");
    const std::string folder = cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
    const std::string name = path.substr(folder.size());
    bool preferBuiltin = true;
    if (IsInlineName(name)) {
        contents.form = ".mtrk inline name";
        const auto parts = Split(name, '|');
        for (std::size_t i = 0; i + 1 < parts.size(); ++i)
            contents.sources.push_back({0, std::string(), folder + parts[i], DecoderFor(parts[i], true, {}), false});
    } else {
        const bool gather = ExtensionOf(name) == ".mchx";
        contents.form = gather ? ".mchx file" : ".mtrk file";
        const auto relative = host::RelativePathOfStorageName(url);
        const std::string text = relative ? ReadText(root / *relative) : std::string();
        std::istringstream in(text);
        int number = 0;
        for (std::string line; std::getline(in, line);) {
            ++number;
            while (!line.empty() && line.back() == '\r')
                line.pop_back();
            auto fields = Split(line, '\t');
            if (gather) {
                if (fields.size() < 2 || fields[0] != "source")
                    continue;
                bool builtin = true;
                Choose(fields.size() > 2 ? fields[2] : std::string(), builtin, contents.modules);
                contents.sources.push_back({number, std::string(), folder + fields[1],
                                            DecoderFor(fields[1], builtin, contents.modules), false});
                continue;
            }
            if (fields.size() < 2)
                continue; // as the mixer skips it (comments among them)
            Choose(fields.size() > 2 ? fields[2] : std::string(), preferBuiltin, contents.modules);
            contents.sources.push_back({number, fields[0], fields[1], DecoderFor(fields[1], preferBuiltin, contents.modules), false});
        }
    }
    for (ListSource& source : contents.sources)
        source.present = Present(root, source.storageName);
    return contents;
}

} // namespace mtrk
