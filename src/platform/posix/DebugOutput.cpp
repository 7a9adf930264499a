#include <platform/DebugOutput.h>

#include <vymultitrack/Utf16Text.h>

#include <cstdio>

namespace platform {

void OutputDebugString(const char16_t* text)
{
    std::string line = vytext::ToUtf8(text);
    if (line.empty() || line.back() != '\n')
        line.push_back('\n');
    // One write per line so that lines from several threads do not interleave.
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

} // namespace platform
