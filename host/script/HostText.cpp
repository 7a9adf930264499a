#include "HostText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

namespace host {

char16_t LowerUnit(char16_t c)
{
    if (c >= u'A' && c <= u'Z')
        return static_cast<char16_t>(c + 0x20);
    if (c < 0x80)
        return c;
    if (c >= 0x00C0 && c <= 0x00DE && c != 0x00D7)
        return static_cast<char16_t>(c + 0x20);
    if (c >= 0x0391 && c <= 0x03A9 && c != 0x03A2)
        return static_cast<char16_t>(c + 0x20);
    if (c >= 0x0400 && c <= 0x040F)
        return static_cast<char16_t>(c + 0x50);
    if (c >= 0x0410 && c <= 0x042F)
        return static_cast<char16_t>(c + 0x20);
    if (c >= 0xFF21 && c <= 0xFF3A)
        return static_cast<char16_t>(c + 0x20);
    return c;
}

std::u16string LowerCase(std::u16string_view text)
{
    std::u16string out(text);
    for (char16_t& c : out)
        c = LowerUnit(c);
    return out;
}

int CompareIgnoringCase(const char16_t* a, const char16_t* b)
{
    if (!a)
        a = u"";
    if (!b)
        b = u"";
    for (;; ++a, ++b) {
        const char16_t x = LowerUnit(*a);
        const char16_t y = LowerUnit(*b);
        if (x != y)
            return x < y ? -1 : 1;
        if (x == 0)
            return 0;
    }
}

void ReplaceText(std::u16string& text, std::u16string_view from, std::u16string_view to, bool all)
{
    if (from.empty())
        return;
    std::u16string out;
    std::size_t pos = 0;
    for (;;) {
        const std::size_t hit = text.find(from, pos);
        if (hit == std::u16string::npos)
            break;
        out.append(text, pos, hit - pos);
        out.append(to);
        pos = hit + from.size();
        if (!all)
            break;
    }
    if (pos == 0 && out.empty())
        return; // no occurrence
    out.append(text, pos, std::u16string::npos);
    text = std::move(out);
}

pkq_uint32 HashOf(std::u16string_view name)
{
    pkq_uint32 h = 2166136261u;
    for (char16_t c : name) {
        h ^= static_cast<pkq_uint32>(c);
        h *= 16777619u;
    }
    return h ? h : 1u;
}

std::u16string IntegerToText(pkq_int64 value)
{
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, value);
    return std::u16string(buf, r.ptr);
}

std::u16string RealToText(double value)
{
    if (std::isnan(value))
        return u"NaN";
    if (std::isinf(value))
        return value < 0 ? u"-Infinity" : u"Infinity";
    if (value == 0)
        return u"0";
    // Shortest round-trip digits and exponent, from the scientific form.
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific);
    std::string sci(buf, r.ptr); // "-d.ddde+XX"
    std::string sign;
    if (sci[0] == '-') {
        sign = "-";
        sci.erase(0, 1);
    }
    const std::size_t e = sci.find('e');
    std::string digits = sci.substr(0, e);
    digits.erase(std::remove(digits.begin(), digits.end(), '.'), digits.end());
    const int exp10 = std::atoi(sci.c_str() + e + 1); // value = d.ddd × 10^exp10
    const int k = static_cast<int>(digits.size());
    const int n = exp10 + 1; // value = 0.ddd × 10^n
    std::string out = sign;
    if (k <= n && n <= 21) {
        out += digits;
        out.append(static_cast<std::size_t>(n - k), '0');
    } else if (0 < n && n <= 21) {
        out += digits.substr(0, static_cast<std::size_t>(n));
        out += '.';
        out += digits.substr(static_cast<std::size_t>(n));
    } else if (-6 < n && n <= 0) {
        out += "0.";
        out.append(static_cast<std::size_t>(-n), '0');
        out += digits;
    } else {
        out += digits.substr(0, 1);
        if (k > 1) {
            out += '.';
            out += digits.substr(1);
        }
        out += 'e';
        out += n - 1 >= 0 ? '+' : '-';
        out += std::to_string(std::abs(n - 1));
    }
    return std::u16string(out.begin(), out.end());
}

namespace {

bool IsSpace(char16_t c)
{
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\v' || c == u'\f';
}

// The number at the start of `text` (after white space): as a double, and
// whether it had a fraction or exponent. A hex integer is exact up to 2^53
// as a double; TextToInteger re-reads it exactly.
struct Scanned {
    bool ok = false;
    bool hex = false;
    bool negative = false;
    std::string body; // ASCII text of the number without its sign
};

Scanned Scan(std::u16string_view text)
{
    Scanned s;
    std::size_t i = 0;
    while (i < text.size() && IsSpace(text[i]))
        ++i;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        s.negative = text[i] == u'-';
        ++i;
    }
    if (i + 1 < text.size() && text[i] == u'0' && (text[i + 1] == u'x' || text[i + 1] == u'X')) {
        i += 2;
        s.hex = true;
        while (i < text.size()) {
            const char16_t c = text[i];
            if ((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F'))
                s.body += static_cast<char>(c);
            else
                break;
            ++i;
        }
        s.ok = !s.body.empty();
        return s;
    }
    bool digits = false;
    while (i < text.size() && text[i] >= u'0' && text[i] <= u'9') {
        s.body += static_cast<char>(text[i++]);
        digits = true;
    }
    if (i < text.size() && text[i] == u'.') {
        s.body += '.';
        ++i;
        while (i < text.size() && text[i] >= u'0' && text[i] <= u'9') {
            s.body += static_cast<char>(text[i++]);
            digits = true;
        }
    }
    if (!digits)
        return s;
    if (i < text.size() && (text[i] == u'e' || text[i] == u'E')) {
        std::string exp = "e";
        std::size_t j = i + 1;
        if (j < text.size() && (text[j] == u'+' || text[j] == u'-'))
            exp += static_cast<char>(text[j++]);
        bool expDigits = false;
        while (j < text.size() && text[j] >= u'0' && text[j] <= u'9') {
            exp += static_cast<char>(text[j++]);
            expDigits = true;
        }
        if (expDigits)
            s.body += exp;
    }
    s.ok = true;
    return s;
}

} // namespace

double TextToReal(std::u16string_view text)
{
    const Scanned s = Scan(text);
    if (!s.ok)
        return 0.0;
    double v = 0.0;
    if (s.hex) {
        for (char c : s.body)
            v = v * 16 + (c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10);
    } else {
        std::from_chars(s.body.data(), s.body.data() + s.body.size(), v);
    }
    return s.negative ? -v : v;
}

pkq_int64 TextToInteger(std::u16string_view text)
{
    const Scanned s = Scan(text);
    if (!s.ok)
        return 0;
    if (s.hex) {
        std::uint64_t v = 0;
        for (char c : s.body)
            v = v * 16 + static_cast<std::uint64_t>(c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10);
        return s.negative ? static_cast<pkq_int64>(0 - v) : static_cast<pkq_int64>(v);
    }
    if (s.body.find_first_of(".eE") == std::string::npos) {
        std::uint64_t v = 0;
        for (char c : s.body)
            v = v * 10 + static_cast<std::uint64_t>(c - '0');
        return s.negative ? static_cast<pkq_int64>(0 - v) : static_cast<pkq_int64>(v);
    }
    const double r = TextToReal(text);
    if (!(r == r))
        return 0;
    if (r >= 9.2233720368547758e18)
        return std::numeric_limits<pkq_int64>::max();
    if (r <= -9.2233720368547758e18)
        return std::numeric_limits<pkq_int64>::min();
    return static_cast<pkq_int64>(r);
}

std::u16string NarrowToText(const char* text)
{
    std::u16string out;
    if (!text)
        return out;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p)
        out += static_cast<char16_t>(*p);
    return out;
}

} // namespace host
