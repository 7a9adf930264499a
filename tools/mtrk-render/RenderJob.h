// The render command: opens the list through the plug-in, carries out the
// timeline while rendering to a WAV file, optionally draws the SVG plot,
// and prints the summary. Errors are reported on stderr as one line.
#pragma once

#include "Options.h"

#include <atomic>

namespace mtrk {

// Exit codes.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

// Prints "mtrk-render: <message>" on stderr and answers `code`.
int Fail(int code, const std::string& message);

// Runs Mode::Render; `stop`, when set, interrupts the render (nothing is
// left behind).
[[nodiscard]] int RunRender(const Options& options, const std::atomic<bool>* stop);

} // namespace mtrk
