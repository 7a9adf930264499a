// The plug-in as the engine holds it: the shared library loaded with the
// dynamic loader, the reference script runtime with the script face linked
// through V2Link (host options set first), an open callback in
// "multiTrackOpenCallbacks" that records what each stream reports, and the
// multi-track module made by GetModuleInstance over the reference file
// storage (through the "hmdevui.dll" image for 16-bit output).
#pragma once

#include <host/FileStorageProvider.h>
#include <host/PluginLibrary.h>
#include <host/script/Script.h>

#include <vymultitrack/IHSSWaveDecoder.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace mtrk {

// What the open callback received for one stream.
struct OpenReport {
    std::u16string id;
    std::u16string url;
    int trackCount = 0;
    std::vector<std::u16string> firstNames;                   // by track index
    std::vector<std::pair<std::u16string, int>> otherNames;   // further names and their track
};

struct DecoderRelease {
    void operator()(IHSSWaveDecoder* decoder) const { decoder->Release(); }
};
using Decoder = std::unique_ptr<IHSSWaveDecoder, DecoderRelease>;

struct SessionSetup {
    std::filesystem::path plugin;
    std::filesystem::path hostModule; // the "hmdevui.dll" image; empty for float output
    std::vector<std::u16string> hostOptions;
};

class PluginSession {
public:
    PluginSession() = default;
    ~PluginSession();
    PluginSession(const PluginSession&) = delete;
    PluginSession& operator=(const PluginSession&) = delete;

    // Loads the library, sets the host options and links the script face
    // (a library without V2Link plays without it). False with `error`.
    [[nodiscard]] bool Start(const SessionSetup& setup, std::string& error);
    [[nodiscard]] bool ScriptFaceLinked() const { return linked_; }

    // Serves the files under `root` from now on. The plug-in keeps the one
    // storage provider it was given (its built-in decoders hold a plain
    // copy), so the provider stays and only the folder behind it changes;
    // the multi-track module is made on first use.
    [[nodiscard]] bool UseStorage(const std::filesystem::path& root, std::string& error);

    // Opens `url` through the module. On failure the result is null and
    // `error` holds the plug-in's own message when it logged one.
    [[nodiscard]] Decoder Open(const std::u16string& url, std::string& error);
    // What the open callback received during the last Open, if it ran.
    [[nodiscard]] const std::optional<OpenReport>& LastOpen() const { return lastOpen_; }

    // WaveSoundBuffer.member(args), as a script calls it.
    [[nodiscard]] host::CallResult Call(std::u16string_view member, const host::Args& args);

    // The host log lines written since the last call, in UTF-8.
    [[nodiscard]] std::vector<std::string> TakeLog();

private:
    void OnOpen(const host::CallArgs& args);

    std::unique_ptr<host::PluginLibrary> library_;
    std::unique_ptr<host::PluginLibrary> hostModule_;
    std::unique_ptr<host::ScriptRuntime> runtime_;
    std::unique_ptr<host::Script> script_;
    host::Variant callbacks_;
    bool linked_ = false;
    std::size_t logRead_ = 0;
    HSSStorageProvider* storage_ = nullptr; // what the plug-in was given
    host::FileStorageProvider* files_ = nullptr;
    IHSSModule* module_ = nullptr;
    std::optional<OpenReport> lastOpen_;
};

} // namespace mtrk
