// The HostFunctionExporter of the reference runtime (see ScriptRuntime).
#pragma once

#include <vymultitrack/HostEngine.h>

#include <map>
#include <set>
#include <string>
#include <string_view>

namespace host {

// The HostFunctionExporter of a runtime. It answers all 52 signatures of
// the engine (vyhostfn::kAllSignatures) by their exact text; a test may hide
// any of them to see how the plug-in copes with a missing host function.
class ScriptExporter final : public HostFunctionExporter {
public:
    // Wide-name lookup: the names are converted unit by unit (ASCII) and
    // looked up as QueryFunctionsByNarrowString does.
    bool VY_STDCALL QueryFunctions(const pkq_char** names, void** functions,
                                   pkq_uint32 count) override;
    // Fills functions[i] for every known, not hidden signature names[i];
    // unknown, hidden or null names leave null. True when all were found.
    bool VY_STDCALL QueryFunctionsByNarrowString(const char** names, void** functions,
                                                 pkq_uint32 count) override;

    void Hide(std::string_view signature);
    void Unhide(std::string_view signature);
    void UnhideAll();

    // How many times `signature` was asked for (found or not).
    int QueryCount(std::string_view signature) const;
    int TotalQueries() const { return totalQueries_; }

    // The host function of `signature`, null when unknown (hiding ignored).
    static void* Lookup(std::string_view signature);

private:
    void* Find(std::string_view signature);

    std::set<std::string, std::less<>> hidden_;
    std::map<std::string, int, std::less<>> queries_;
    int totalQueries_ = 0;
};

// The 52 host functions by signature (HostFunctions.cpp).
void* FindHostFunction(std::string_view signature);

} // namespace host
