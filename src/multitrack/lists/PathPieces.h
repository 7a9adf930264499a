// Cutting a storage path into directory, file name, stem and extension. The
// separators are '\\', '/' and '>' (the host's separator between an archive
// and a member inside it). Every piece is a copy; nothing is folded to
// another case.
#pragma once

#include <string>
#include <string_view>

// True for '\\', '/' and '>'.
[[nodiscard]] constexpr bool IsPathSeparator(char16_t c)
{
    return c == u'\\' || c == u'/' || c == u'>';
}

// The path up to and including its last separator; empty when it has none.
[[nodiscard]] std::u16string DirectoryOf(std::u16string_view path);
// What follows the last separator; the whole path when it has none.
[[nodiscard]] std::u16string FileNameOf(std::u16string_view path);
// From the last '.' that stands after the last separator to the end, dot
// included; empty when there is no such dot.
[[nodiscard]] std::u16string ExtensionOf(std::u16string_view path);
// `name` without ExtensionOf(name): what stands before that last dot, or the
// whole name when there is none (".ogg" gives an empty stem).
[[nodiscard]] std::u16string StemOf(std::u16string_view name);
