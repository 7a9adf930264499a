// "Is this standard stream a terminal": the stand-in for _isatty / isatty,
// so that tools can show progress only to a person watching.
#pragma once

namespace platform {

enum class StandardStream { Input, Output, Error };

// True when `stream` is attached to a terminal (not a file or a pipe).
[[nodiscard]] bool IsTerminal(StandardStream stream);

} // namespace platform
