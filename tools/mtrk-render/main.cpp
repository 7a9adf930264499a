// mtrk-render: renders track lists through the plug-in as the engine plays
// them, checks why a list does or does not load, and makes the demo. See
// --help and the README.
#include "CheckReport.h"
#include "Demo.h"
#include "Options.h"
#include "PlayJob.h"
#include "PluginSession.h"
#include "RenderJob.h"
#include "ToolPaths.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <exception>

namespace {

std::atomic<bool> interrupted{false};

extern "C" void OnInterrupt(int)
{
    interrupted = true;
}

int Check(const mtrk::Options& options)
{
    mtrk::SessionSetup setup;
    setup.plugin = mtrk::PluginPath(options.plugin);
    setup.hostOptions = options.hostOptions;
    if (options.pcm16)
        setup.hostModule = mtrk::HostModulePath();
    mtrk::PluginSession session;
    std::string error;
    if (!session.Start(setup, error))
        return mtrk::Fail(mtrk::kExitFailed, error);
    bool allLoaded = true;
    mtrk::ModuleLinkLog modules;
    for (const std::string& list : options.lists)
        allLoaded = mtrk::CheckList(session, modules, list, options.root, stdout) && allLoaded;
    return allLoaded ? mtrk::kExitOk : mtrk::kExitFailed;
}

} // namespace

int main(int argc, char** argv)
{
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);
    try {
        mtrk::Options options;
        std::string error;
        if (!mtrk::ParseOptions(std::vector<std::string>(argv + 1, argv + argc), options, error))
            return mtrk::Fail(mtrk::kExitUsage, error);
        switch (options.mode) {
        case mtrk::Mode::Help:
            std::fputs(mtrk::UsageText(), stdout);
            return mtrk::kExitOk;
        case mtrk::Mode::Check:
            return Check(options);
        case mtrk::Mode::Demo:
            return mtrk::RunDemo(options, argc > 0 ? argv[0] : "mtrk-render", &interrupted);
        case mtrk::Mode::Play:
            return mtrk::RunPlay(options, &interrupted);
        case mtrk::Mode::Render:
            break;
        }
        return mtrk::RunRender(options, &interrupted);
    } catch (const std::exception& e) {
        return mtrk::Fail(mtrk::kExitFailed, e.what());
    }
}
