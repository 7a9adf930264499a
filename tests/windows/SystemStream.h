// Streams of the system's own COM library, for the test that hands them to
// the plug-in. This header names no Windows type: the system's IStream and
// the one in include/ cannot meet in one translation unit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace systemcom {

// A system IStream (CreateStreamOnHGlobal) holding a copy of `bytes`,
// positioned at its start, with one reference for the caller; null when the
// system refuses.
[[nodiscard]] void* CreateMemoryStream(const std::vector<std::uint8_t>& bytes);

// sizeof(STATSTG) and offsetof(STATSTG, cbSize) as the system declares them.
struct StatLayout {
    std::size_t size;
    std::size_t sizeOffset;
};
[[nodiscard]] StatLayout SystemStatLayout();

} // namespace systemcom
