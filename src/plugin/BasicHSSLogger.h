// The registry's logger. This base writes to the debugger output; the
// script side's logger, which writes to the host's log, derives from it.
#pragma once

#include <cstdint>

inline constexpr std::int32_t kLogLevelNormal = 0;
inline constexpr std::int32_t kLogLevelImportant = 1;

class BasicHSSLogger {
public:
    virtual ~BasicHSSLogger() = default;
    // Writes one line. `level`: kLogLevelNormal or kLogLevelImportant (this
    // base writes every level alike); `text`: zero-terminated, may be null.
    virtual void Log(std::int32_t level, const char16_t* text);
};
