#include <platform/Terminal.h>

#include <platform/windows/WindowsApi.h>

namespace platform {

bool IsTerminal(StandardStream stream)
{
    // A console answers GetConsoleMode; a file, a pipe or nothing does not.
    const DWORD which = stream == StandardStream::Input    ? STD_INPUT_HANDLE
                        : stream == StandardStream::Output ? STD_OUTPUT_HANDLE
                                                           : STD_ERROR_HANDLE;
    const HANDLE handle = ::GetStdHandle(which);
    DWORD mode = 0;
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && ::GetConsoleMode(handle, &mode) != 0;
}

} // namespace platform
