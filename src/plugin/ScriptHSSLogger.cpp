#include "ScriptHSSLogger.h"

#include "HostFunctions.h"

void ScriptHSSLogger::Log(std::int32_t level, const char16_t* text)
{
    if (level == kLogLevelNormal)
        hostapi::HMRAddLog(tPKQString(text));
    else if (level == kLogLevelImportant)
        hostapi::HMRAddImportantLog(tPKQString(text));
}
