#include "NumberFields.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <system_error>

namespace {

bool IsBlank(char16_t c)
{
    return c == u' ' || (c >= u'\t' && c <= u'\r');
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Drops leading blanks and a sign; answers whether the sign was '-'.
bool TakeSign(std::u16string_view& text)
{
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    const bool negative = !text.empty() && text.front() == u'-';
    if (!text.empty() && (text.front() == u'-' || text.front() == u'+'))
        text.remove_prefix(1);
    return negative;
}

// The leading ASCII part of `text`: every number character is ASCII.
std::string AsciiPrefix(std::u16string_view text)
{
    std::string ascii;
    for (char16_t c : text) {
        if (c >= 0x80)
            break;
        ascii.push_back(static_cast<char>(c));
    }
    return ascii;
}

// Whether a number that std::from_chars found out of range is too large
// (true) or too small (false). Out-of-range numbers lie hundreds of decades
// away from 1, so the position of the first significant digit against the
// point, plus the exponent, tells them apart.
bool IsTooLarge(std::string_view number, bool hexadecimal)
{
    const std::size_t mark = number.find_first_of(hexadecimal ? "pP" : "eE");
    long long exponent = 0;
    if (mark != std::string_view::npos) {
        std::string_view text = number.substr(mark + 1);
        const bool negative = !text.empty() && text.front() == '-';
        if (!text.empty() && (text.front() == '-' || text.front() == '+'))
            text.remove_prefix(1);
        for (char c : text) {
            if (!IsDigit(c) || exponent > 1'000'000'000)
                break;
            exponent = exponent * 10 + (c - '0');
        }
        exponent = negative ? -exponent : exponent;
    }
    const long long digitWeight = hexadecimal ? 4 : 1; // binary exponent per hex digit
    long long position = 0; // digits before the point from the first significant one
    bool significant = false;
    bool afterPoint = false;
    for (char c : number.substr(0, mark)) {
        if (c == '.') {
            afterPoint = true;
            continue;
        }
        significant = significant || c != '0';
        if (significant && !afterPoint)
            position += digitWeight;
        else if (!significant && afterPoint)
            position -= digitWeight;
    }
    return position + exponent > 0;
}

double ParseMagnitude(const std::string& ascii)
{
    const char* const begin = ascii.data();
    const char* const end = begin + ascii.size();
    double value = 0.0;
    // std::from_chars takes a '-' of its own; the sign has been taken already.
    if (ascii.empty() || ascii.front() == '-')
        return 0.0;
    const bool hexPrefix = ascii.size() > 2 && ascii[0] == '0' &&
                           (ascii[1] == 'x' || ascii[1] == 'X') && ascii[2] != '-';
    if (hexPrefix) {
        const auto [stop, error] = std::from_chars(begin + 2, end, value, std::chars_format::hex);
        if (error == std::errc{})
            return value;
        if (error == std::errc::result_out_of_range)
            return IsTooLarge({begin + 2, stop}, true) ? HUGE_VAL : 0.0;
        // "0x" without hex digits: the number is the "0" before the 'x'.
    }
    const auto [stop, error] = std::from_chars(begin, end, value, std::chars_format::general);
    if (error == std::errc{})
        return value;
    if (error == std::errc::result_out_of_range)
        return IsTooLarge({begin, stop}, false) ? HUGE_VAL : 0.0;
    return 0.0;
}

// double → float as the hardware rounds it, without relying on an
// out-of-range conversion: values that round beyond FLT_MAX become infinity.
float NarrowToFloat(double value)
{
    constexpr double kOverflowThreshold = 0x1.ffffffp127; // FLT_MAX + half an ulp
    if (std::isnan(value))
        return std::numeric_limits<float>::quiet_NaN();
    constexpr float kInfinity = std::numeric_limits<float>::infinity();
    if (std::fabs(value) >= kOverflowThreshold)
        return value > 0 ? kInfinity : -kInfinity;
    return static_cast<float>(value);
}

} // namespace

std::int32_t ParseIntegerField(std::u16string_view field)
{
    const bool negative = TakeSign(field);
    // The magnitude, capped at 2^31 (the lowest value's) so it cannot grow
    // further; the sign then picks the end it saturates at.
    constexpr std::int64_t kCap = std::int64_t{1} << 31;
    std::int64_t magnitude = 0;
    for (char16_t c : field) {
        if (c < u'0' || c > u'9')
            break;
        magnitude = std::min(magnitude * 10 + (c - u'0'), kCap);
    }
    return static_cast<std::int32_t>(negative ? -magnitude : std::min(magnitude, kCap - 1));
}

float ParseFloatField(std::u16string_view field)
{
    const bool negative = TakeSign(field);
    const double magnitude = ParseMagnitude(AsciiPrefix(field));
    return NarrowToFloat(negative ? -magnitude : magnitude);
}
