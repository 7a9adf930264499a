#include <platform/Terminal.h>

#include <unistd.h>

namespace platform {

bool IsTerminal(StandardStream stream)
{
    const int descriptor = stream == StandardStream::Input    ? STDIN_FILENO
                           : stream == StandardStream::Output ? STDOUT_FILENO
                                                              : STDERR_FILENO;
    return isatty(descriptor) != 0;
}

} // namespace platform
