#include "Terminal.h"

#if defined(_WIN32)
#include <io.h>
#define VY_ISATTY _isatty
#else
#include <unistd.h>
#define VY_ISATTY isatty
#endif

namespace platform {

bool IsTerminal(StandardStream stream)
{
    return VY_ISATTY(stream == StandardStream::Output ? 1 : 2) != 0;
}

} // namespace platform
