#include "MixScratch.h"

#include <new>

bool MixScratch::Grow(std::uint64_t count) noexcept
{
    if (count <= words.size())
        return true;
    if (count > words.max_size())
        return false;
    try {
        words.resize(static_cast<std::size_t>(count));
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}
