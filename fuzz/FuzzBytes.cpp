#include "FuzzBytes.h"

#include <algorithm>

namespace fuzz {

std::uint8_t FuzzBytes::Byte()
{
    return Empty() ? 0 : bytes_[at_++];
}

std::uint32_t FuzzBytes::Below(std::uint32_t bound)
{
    if (bound == 0)
        return 0;
    std::uint64_t value = 0;
    for (std::uint64_t span = bound; span != 0; span >>= 8)
        value = (value << 8) | Byte();
    return static_cast<std::uint32_t>(value % (std::uint64_t{bound} + 1));
}

std::span<const std::uint8_t> FuzzBytes::Rest()
{
    const std::span<const std::uint8_t> rest = Empty() ? std::span<const std::uint8_t>() : bytes_.subspan(at_);
    at_ = bytes_.size();
    return rest;
}

std::u16string FuzzBytes::Text(std::size_t count)
{
    std::u16string text;
    const std::size_t n = std::min(count, Remaining());
    for (std::size_t i = 0; i < n; ++i)
        text.push_back(static_cast<char16_t>(Byte()));
    return text;
}

} // namespace fuzz
