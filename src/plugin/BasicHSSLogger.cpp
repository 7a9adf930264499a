#include "BasicHSSLogger.h"

#include <platform/DebugOutput.h>

void BasicHSSLogger::Log(std::int32_t, const char16_t* text)
{
    platform::OutputDebugString(text);
}
