// The format record's totalMilliseconds from a decoder's duration: whole
// milliseconds (rounded down), or 0, "unknown", for a duration that is not
// positive, not a number, or too long for the 32-bit field (about 49.7
// days), rather than a conversion whose result C++ leaves undefined.
#pragma once

#include <cstdint>

inline std::uint32_t TotalMillisecondsField(double milliseconds)
{
    return milliseconds > 0 && milliseconds < 4294967296.0 ? static_cast<std::uint32_t>(milliseconds) : 0;
}
