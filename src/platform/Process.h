// Running another program and collecting what it printed: the stand-in for
// CreateProcessW and its exit code, for the tools' tests, which run the
// tools as a user does. Not part of the plug-in.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace platform {

struct ProcessResult {
    int exitCode = -1; // -1 when the program could not be started
    // Its standard output and standard error, read as text files are read:
    // where the C runtime writes a line end as "\r\n" (Windows), it reads
    // back as "\n".
    std::string output;
    std::string errors;
};

// Runs `program` (a path, UTF-8) with `arguments` (each passed as one
// argument, whatever it contains) in `workingDirectory` (empty: the current
// one), its standard input reading `input` (a file's bytes, then its end;
// without it, the caller's own), waits for it to end and returns its exit
// code and output.
[[nodiscard]] ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& arguments,
                                       const std::string& workingDirectory = {},
                                       const std::optional<std::string>& input = std::nullopt);

} // namespace platform
