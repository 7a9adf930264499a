// The debugger output channel (OutputDebugStringW). On POSIX the text goes
// to standard error as UTF-8, one line per call.
#pragma once

namespace platform {

// Writes `text` (zero-terminated UTF-16, may be null) and a line end.
void OutputDebugString(const char16_t* text);

} // namespace platform
