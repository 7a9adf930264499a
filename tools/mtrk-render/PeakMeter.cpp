#include "PeakMeter.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstring>

namespace mtrk {
namespace {

// For floats that are not NaN, the magnitude's bit pattern (sign bit
// cleared) orders like the magnitude itself, so the peak is an integer
// maximum, which vectorises without fast-math.
// Held as signed values (never negative once the sign bit is cleared):
// SSE2 has signed 32-bit compares only.
constexpr std::int32_t kMagnitudeBits = 0x7FFFFFFF;
constexpr std::int32_t kInfinityBits = 0x7F800000;

std::int32_t FloatPeakBits(const unsigned char* bytes, std::size_t count, std::int32_t peak)
{
    for (std::size_t i = 0; i < count; ++i) {
        std::int32_t bits;
        std::memcpy(&bits, bytes + 4 * i, 4);
        bits &= kMagnitudeBits;
        bits = bits > kInfinityBits ? 0 : bits; // NaN
        peak = std::max(peak, bits);
    }
    return peak;
}

std::int32_t Int16Peak(const unsigned char* bytes, std::size_t count, std::int32_t peak)
{
    for (std::size_t i = 0; i < count; ++i) {
        std::int16_t sample;
        std::memcpy(&sample, bytes + 2 * i, 2);
        const std::int32_t magnitude = sample < 0 ? -std::int32_t{sample} : std::int32_t{sample};
        peak = std::max(peak, magnitude);
    }
    return peak;
}

} // namespace

bool PeakMeter::OnBlock(const void* samples, std::uint32_t frames, std::string& /*error*/)
{
    const auto* bytes = static_cast<const unsigned char*>(samples);
    const std::size_t count = std::size_t{frames} * format_.channels;
    if (format_.float32)
        floatBits_ = FloatPeakBits(bytes, count, floatBits_);
    else
        int16Peak_ = Int16Peak(bytes, count, int16Peak_);
    return true;
}

float PeakMeter::Peak() const
{
    return format_.float32 ? std::bit_cast<float>(floatBits_) : static_cast<float>(int16Peak_) / 32768.0f;
}

} // namespace mtrk
