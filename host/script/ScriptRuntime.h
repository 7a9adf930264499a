// The reference script runtime: the engine side of the script interface.
//
// One ScriptRuntime owns the engine's global state: the function exporter
// handed to V2Link, the global object (with the class object
// "WaveSoundBuffer"), the log, the command-line options and the record of
// faults the host noticed in its callers.
//
// Threads: the runtime is single-threaded, like a script engine. Create it,
// use it, its objects and every exported host function, and destroy it on
// one thread; nothing here takes a lock.
//
// The "current" runtime: the exported host functions are plain functions
// without a context argument, so the ones that need the engine's state (log,
// options, global object) reach it through one process-wide pointer, set by
// the constructor and restored to the previous value by the destructor
// (runtimes nest like a stack; destroy them in reverse order). Strings,
// variants and objects need no runtime. Without a current runtime the log
// functions write to stderr, HMRGetScriptDispatch gives null,
// HMRGetCommandLine false and the generation 0.
//
// Destroy the runtime after the plug-in has been unlinked (V2Unlink) and
// before its library is unloaded: releasing the global object releases
// whatever the plug-in still left in it.
#pragma once

#include "DictionaryObject.h"
#include "ScriptExporter.h"

#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace host {

class ScriptRuntime {
public:
    struct LogLine {
        std::u16string text;
        int importance; // 0 HMRAddLog, 1 HMRAddImportantLog
    };

    ScriptRuntime();
    ~ScriptRuntime();
    ScriptRuntime(const ScriptRuntime&) = delete;
    ScriptRuntime& operator=(const ScriptRuntime&) = delete;

    // The runtime the exported functions reach; null when none exists.
    static ScriptRuntime* Current();

    // What V2Link receives.
    HostFunctionExporter* Exporter() { return &exporter_; }
    ScriptExporter& Functions() { return exporter_; }

    // The global object and the class object "WaveSoundBuffer" (no
    // reference added; they live as long as the runtime).
    DictionaryObject* Global() { return global_; }
    DictionaryObject* WaveSoundBufferClass() { return waveSoundBuffer_; }
    // HMRGetScriptDispatch gives null while this is false (default true).
    void SetGlobalAvailable(bool available) { globalAvailable_ = available; }
    // The next `count` PKQCreateArrayObject calls give null, as a host out
    // of memory would; the one after that succeeds again.
    void FailArrayCreations(int count) { arrayFailures_ = count; }
    // Takes one of those failures; true when this creation is to fail.
    bool TakeArrayCreationFailure()
    {
        if (arrayFailures_ <= 0)
            return false;
        --arrayFailures_;
        return true;
    }
    // What HMRGetScriptDispatch gives: the global object with a reference
    // for the caller, or null.
    iPKQDispatch2* GlobalForCaller();

    // ---- log
    void AddLog(std::u16string text, int importance);
    const std::vector<LogLine>& Log() const { return log_; }
    // The texts of the lines of one importance (-1: all).
    std::vector<std::u16string> LogTexts(int importance = -1) const;
    void ClearLog() { log_.clear(); }

    // ---- command-line options ("-name" → value); every Set, and every
    // Remove of a present option, adds 1 to the generation (which starts
    // at 0), even when the value stays the same.
    void SetOption(std::u16string_view name, std::u16string_view value);
    void RemoveOption(std::u16string_view name);
    // Sets each "-name=value" argument (a bare "-name" gets the value "yes");
    // other arguments are ignored.
    void ParseCommandLine(const std::vector<std::u16string>& arguments);
    std::optional<std::u16string> Option(std::u16string_view name) const;
    pkq_int Generation() const { return generation_; }

    // ---- faults the host noticed in its callers (a wrong member hint,
    // AsObjectClosure on a non-object, ...). Tests expect none.
    void NoteFault(std::string text);
    const std::vector<std::string>& Faults() const { return faults_; }

private:
    ScriptRuntime* previous_;
    ScriptExporter exporter_;
    DictionaryObject* global_;
    DictionaryObject* waveSoundBuffer_;
    bool globalAvailable_ = true;
    int arrayFailures_ = 0;
    std::vector<LogLine> log_;
    std::map<std::u16string, std::u16string, std::less<>> options_;
    pkq_int generation_ = 0;
    std::vector<std::string> faults_;
};

// Records a fault in the current runtime (stderr when there is none).
void NoteHostFault(std::string text);

} // namespace host
