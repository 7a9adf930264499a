#include "ScriptRuntime.h"

#include <vymultitrack/Utf16Text.h>

#include <cstdio>
#include <utility>

namespace host {

namespace {
// The runtime the exported host functions reach (see ScriptRuntime.h).
ScriptRuntime* g_current = nullptr;
} // namespace

void NoteHostFault(std::string text)
{
    if (g_current)
        g_current->NoteFault(std::move(text));
    else
        std::fprintf(stderr, "[host fault] %s\n", text.c_str());
}

ScriptRuntime* ScriptRuntime::Current()
{
    return g_current;
}

ScriptRuntime::ScriptRuntime()
    : previous_(g_current),
      global_(DictionaryObject::Create(DictionaryObject::Kind::Object, u"Global")),
      waveSoundBuffer_(DictionaryObject::Create(DictionaryObject::Kind::Class, u"WaveSoundBuffer"))
{
    global_->Put(u"WaveSoundBuffer", Variant::Object(waveSoundBuffer_, nullptr));
    g_current = this;
}

ScriptRuntime::~ScriptRuntime()
{
    // While the objects go, the runtime is still current (what they release
    // may still log) but gives out no global object.
    globalAvailable_ = false;
    waveSoundBuffer_->Release();
    global_->Release();
    g_current = previous_;
}

iPKQDispatch2* ScriptRuntime::GlobalForCaller()
{
    if (!globalAvailable_)
        return nullptr;
    global_->AddRef();
    return global_;
}

void ScriptRuntime::AddLog(std::u16string text, int importance)
{
    log_.push_back(LogLine{std::move(text), importance});
}

std::vector<std::u16string> ScriptRuntime::LogTexts(int importance) const
{
    std::vector<std::u16string> texts;
    for (const LogLine& line : log_)
        if (importance < 0 || line.importance == importance)
            texts.push_back(line.text);
    return texts;
}

void ScriptRuntime::SetOption(std::u16string_view name, std::u16string_view value)
{
    auto it = options_.find(name);
    if (it == options_.end())
        options_.emplace(std::u16string(name), std::u16string(value));
    else
        it->second = std::u16string(value);
    ++generation_;
}

void ScriptRuntime::RemoveOption(std::u16string_view name)
{
    auto it = options_.find(name);
    if (it == options_.end())
        return;
    options_.erase(it);
    ++generation_;
}

void ScriptRuntime::ParseCommandLine(const std::vector<std::u16string>& arguments)
{
    for (const std::u16string& argument : arguments) {
        if (argument.size() < 2 || argument[0] != u'-')
            continue;
        const std::size_t eq = argument.find(u'=');
        if (eq == std::u16string::npos)
            SetOption(argument, u"yes");
        else
            SetOption(std::u16string_view(argument).substr(0, eq),
                      std::u16string_view(argument).substr(eq + 1));
    }
}

std::optional<std::u16string> ScriptRuntime::Option(std::u16string_view name) const
{
    auto it = options_.find(name);
    if (it == options_.end())
        return std::nullopt;
    return it->second;
}

void ScriptRuntime::NoteFault(std::string text)
{
    faults_.push_back(std::move(text));
}

} // namespace host
