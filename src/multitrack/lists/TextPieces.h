// Cutting track-list text into lines and a line into fields.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// Cuts `text` (scanned up to its first U+0000) at every line feed. A piece
// ended by a line feed is dropped when it is empty; otherwise the carriage
// returns at its end are removed and it is kept, even when that leaves it
// empty. The piece after the last line feed is kept unchanged (carriage
// returns included) when it is not empty. So LF and CRLF endings read alike
// and blank lines mostly vanish; callers still skip empty lines.
// Each line comes with its 1-based number in the text (line feeds counted).
struct TextLine {
    std::u16string text;
    int number;
};
[[nodiscard]] std::vector<TextLine> SplitLines(std::u16string_view text);

// Cuts `line` at every `separator` and drops the empty pieces: runs of
// separators act as one, and separators at either end add nothing. The
// result's size is the line's field count (0 for an empty line).
[[nodiscard]] std::vector<std::u16string> SplitFields(std::u16string_view line, char16_t separator);
