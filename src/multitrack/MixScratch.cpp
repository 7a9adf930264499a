#include "MixScratch.h"

#include <new>

bool GrowScratch(std::vector<std::uint32_t>& scratch, std::uint64_t words) noexcept
{
    if (words <= scratch.size())
        return true;
    if (words > scratch.max_size())
        return false;
    try {
        scratch.resize(static_cast<std::size_t>(words));
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}
