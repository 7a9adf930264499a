// The registry's logger once the script face is linked: writes to the host's
// log. One process-wide instance (ScriptLogger() in ProcessState.h).
#pragma once

#include "BasicHSSLogger.h"

class ScriptHSSLogger : public BasicHSSLogger {
public:
    // kLogLevelNormal → HMRAddLog, kLogLevelImportant → HMRAddImportantLog,
    // any other level → nothing. A null `text` writes an empty line.
    void Log(std::int32_t level, const char16_t* text) override;
};
