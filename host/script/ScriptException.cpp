#include "ScriptException.h"

#include <vymultitrack/Utf16Text.h>

#include <utility>

namespace host {

ScriptException::ScriptException(std::u16string type, std::u16string message)
    : type_(std::move(type)), message_(std::move(message)),
      what_(vytext::ToUtf8(type_) + ": " + vytext::ToUtf8(message_))
{
}

ScriptException::ScriptException(std::u16string message)
    : ScriptException(kScriptError, std::move(message))
{
}

} // namespace host
