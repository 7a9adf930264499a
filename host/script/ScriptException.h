// A host (script) exception: what a script function throws, what failing
// host operations raise, and what HMRDoTryBlock hands to its catch function
// as a tHMRExceptionDesc (type and message).
#pragma once

#include <exception>
#include <string>

namespace host {

class ScriptException : public std::exception {
public:
    // The type of exceptions a script raises with `throw`.
    static constexpr const char16_t* kScriptError = u"ScriptError";
    // The type of HMRThrowPluginUnboundFunctionError's exception.
    static constexpr const char16_t* kPluginError = u"PluginError";
    // The type of the host's own failures (bad conversion, bad operation).
    static constexpr const char16_t* kHostError = u"HostError";

    ScriptException(std::u16string type, std::u16string message);
    explicit ScriptException(std::u16string message); // type kScriptError

    const std::u16string& Type() const { return type_; }
    const std::u16string& Message() const { return message_; }
    const char* what() const noexcept override { return what_.c_str(); } // "type: message" in UTF-8

private:
    std::u16string type_;
    std::u16string message_;
    std::string what_;
};

} // namespace host
