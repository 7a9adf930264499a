// The lines of standard input, read on a thread of their own so that the
// main thread can either wait for the next one (--play-to) or only take
// what has come (--play). The reading thread is left behind at exit: it
// may be waiting for a line that never comes.
#pragma once

#include <memory>
#include <string>

namespace mtrk {

class LineInput {
public:
    LineInput();

    // Waits for the next line; false once the input has ended.
    [[nodiscard]] bool Next(std::string& line);
    // The next line if one has come; false when none is waiting.
    [[nodiscard]] bool TryNext(std::string& line);
    [[nodiscard]] bool Ended() const;

private:
    struct Shared;
    std::shared_ptr<Shared> shared_;
};

} // namespace mtrk
