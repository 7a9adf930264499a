// Text built from pieces with append: GCC 12 warns falsely (-Wrestrict) on
// chains of std::string '+' in optimised builds.
#pragma once

#include <string>
#include <string_view>

namespace mtrk {

template <typename... Pieces> [[nodiscard]] std::string Join(const Pieces&... pieces)
{
    std::string text;
    (text.append(std::string_view(pieces)), ...);
    return text;
}

} // namespace mtrk
