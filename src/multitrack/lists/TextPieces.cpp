#include "TextPieces.h"

std::vector<TextLine> SplitLines(std::u16string_view text)
{
    text = text.substr(0, text.find(u'\0'));
    std::vector<TextLine> lines;
    std::size_t start = 0;
    int number = 0;
    for (std::size_t end = text.find(u'\n'); end != std::u16string_view::npos;
         end = text.find(u'\n', start)) {
        std::u16string_view piece = text.substr(start, end - start);
        start = end + 1;
        ++number;
        if (piece.empty())
            continue;
        while (!piece.empty() && piece.back() == u'\r')
            piece.remove_suffix(1);
        lines.push_back({std::u16string(piece), number});
    }
    if (start < text.size())
        lines.push_back({std::u16string(text.substr(start)), number + 1});
    return lines;
}

std::vector<std::u16string> SplitFields(std::u16string_view line, char16_t separator)
{
    std::vector<std::u16string> fields;
    std::size_t start = 0;
    while (start <= line.size()) {
        std::size_t end = line.find(separator, start);
        if (end == std::u16string_view::npos)
            end = line.size();
        if (end > start)
            fields.emplace_back(line.substr(start, end - start));
        start = end + 1;
    }
    return fields;
}
