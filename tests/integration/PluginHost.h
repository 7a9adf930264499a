// One loaded plug-in for the whole test process, with a file storage
// provider over a scratch folder and the multi-track module it hands out.
// The provider and module live until the process ends (the plug-in keeps
// the provider until its script face is unlinked).
#pragma once

#include <host/FileStorageProvider.h>
#include <host/PluginLibrary.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

class PluginHost {
public:
    static PluginHost& Get()
    {
        static PluginHost host;
        return host;
    }

    // Writes `bytes` as <root>/<name> (name with '/').
    void WriteFile(const std::string& name, const std::vector<std::uint8_t>& bytes) const;
    void WriteText(const std::string& name, const std::string& text) const;

    IHSSModule* Module() const { return module; }
    const std::filesystem::path& Root() const { return root; }

private:
    PluginHost();
    ~PluginHost();

    // Never unloaded: like the engine, the process keeps the plug-in until it
    // exits (the plug-in's process-wide state stays reachable meanwhile).
    host::PluginLibrary* plugin;
    std::filesystem::path root;
    host::FileStorageProvider* provider = nullptr; // one reference of our own
    IHSSModule* module = nullptr;
};
