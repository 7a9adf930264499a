// ASCII lower-casing, the plug-in's rule for names, IDs and extensions:
// only 'A' to 'Z' change.
#pragma once

#include <string>

namespace mtrk {

template <typename Char> std::basic_string<Char> AsciiLower(std::basic_string<Char> text)
{
    for (Char& c : text)
        if (c >= Char('A') && c <= Char('Z'))
            c = static_cast<Char>(c - Char('A') + Char('a'));
    return text;
}

} // namespace mtrk
