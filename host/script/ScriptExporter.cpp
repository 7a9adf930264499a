#include "ScriptExporter.h"

namespace host {

void* ScriptExporter::Lookup(std::string_view signature)
{
    return FindHostFunction(signature);
}

void* ScriptExporter::Find(std::string_view signature)
{
    ++totalQueries_;
    auto q = queries_.find(signature);
    if (q == queries_.end())
        queries_.emplace(std::string(signature), 1);
    else
        ++q->second;
    if (hidden_.count(signature))
        return nullptr;
    return Lookup(signature);
}

bool ScriptExporter::QueryFunctionsByNarrowString(const char** names, void** functions,
                                                  pkq_uint32 count)
{
    if (count > 0 && (!names || !functions))
        return false;
    bool all = true;
    for (pkq_uint32 i = 0; i < count; ++i) {
        functions[i] = names[i] ? Find(names[i]) : nullptr;
        all = all && functions[i];
    }
    return all;
}

bool ScriptExporter::QueryFunctions(const pkq_char** names, void** functions, pkq_uint32 count)
{
    if (count > 0 && (!names || !functions))
        return false;
    bool all = true;
    for (pkq_uint32 i = 0; i < count; ++i) {
        functions[i] = nullptr;
        if (names[i]) {
            std::string narrow;
            for (const pkq_char* p = names[i]; *p; ++p)
                narrow += *p < 0x80 ? static_cast<char>(*p) : '?';
            functions[i] = Find(narrow);
        }
        all = all && functions[i];
    }
    return all;
}

void ScriptExporter::Hide(std::string_view signature)
{
    hidden_.emplace(signature);
}

void ScriptExporter::Unhide(std::string_view signature)
{
    auto it = hidden_.find(signature);
    if (it != hidden_.end())
        hidden_.erase(it);
}

void ScriptExporter::UnhideAll()
{
    hidden_.clear();
}

int ScriptExporter::QueryCount(std::string_view signature) const
{
    auto it = queries_.find(signature);
    return it == queries_.end() ? 0 : it->second;
}

} // namespace host
