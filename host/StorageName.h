// Storage names: the UTF-16 names under which the engine asks for files.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace host {

// Whether `c` separates the parts of a storage name: '\\', '/', or '>' (the
// engine's separator between an archive and one of its members, which the
// host treats as a folder).
[[nodiscard]] constexpr bool IsStorageNameSeparator(char16_t c)
{
    return c == u'\\' || c == u'/' || c == u'>';
}

// `name` with every separator written as '/'.
[[nodiscard]] std::u16string WithForwardSlashes(std::u16string_view name);

// The relative path that `name` denotes, resolved by its text alone: empty
// parts (leading, trailing or doubled separators) and "." are skipped, ".."
// drops the part before it. Null (no path) when the name goes above its
// starting folder, a part names a drive or root of its own (as "C:" does on
// Windows), or nothing is left. Text that is not valid UTF-16 has its
// unpaired surrogates replaced by U+FFFD.
[[nodiscard]] std::optional<std::filesystem::path>
RelativePathOfStorageName(std::u16string_view name);

} // namespace host
