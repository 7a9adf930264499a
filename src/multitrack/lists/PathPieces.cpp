#include "PathPieces.h"

namespace {

// Index just past the last separator; 0 when there is none.
std::size_t FileNameStart(std::u16string_view path)
{
    for (std::size_t i = path.size(); i > 0; --i)
        if (IsPathSeparator(path[i - 1]))
            return i;
    return 0;
}

// Length of the extension at the end of `path` (0 when there is none).
std::size_t ExtensionLength(std::u16string_view path)
{
    const std::u16string_view name = path.substr(FileNameStart(path));
    const std::size_t dot = name.rfind(u'.');
    return dot == std::u16string_view::npos ? 0 : name.size() - dot;
}

} // namespace

std::u16string DirectoryOf(std::u16string_view path)
{
    return std::u16string(path.substr(0, FileNameStart(path)));
}

std::u16string FileNameOf(std::u16string_view path)
{
    return std::u16string(path.substr(FileNameStart(path)));
}

std::u16string ExtensionOf(std::u16string_view path)
{
    return std::u16string(path.substr(path.size() - ExtensionLength(path)));
}

std::u16string StemOf(std::u16string_view name)
{
    return std::u16string(name.substr(0, name.size() - ExtensionLength(name)));
}
