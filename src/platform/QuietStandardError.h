// Standard error sent nowhere for the lifetime of the object: for library
// calls that report on it what the caller reports better in one line.
#pragma once

namespace platform {

class QuietStandardError {
public:
    QuietStandardError();
    ~QuietStandardError();
    QuietStandardError(const QuietStandardError&) = delete;
    QuietStandardError& operator=(const QuietStandardError&) = delete;

private:
    int saved_ = -1;
};

} // namespace platform
