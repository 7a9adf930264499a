#include "LicenceNotices.h"

#include "HostFunctions.h"

#include <platform/EmbeddedResources.h>
#include <platform/ModuleHandle.h>
#include <resources/PluginResources.h>

#include <cstdio>
#include <string>

namespace {

constexpr int kFirstTitleId = 1000;
constexpr int kTitleBufferLength = 256;
constexpr std::size_t kResourceNameLength = 32;

// The plug-in's own module, with its compiled-in resources registered the
// first time they are needed.
platform::LibraryHandle PluginModule()
{
    static const platform::LibraryHandle module = [] {
        const platform::LibraryHandle own = platform::OwnModuleHandle();
        platform::RegisterEmbeddedResources(own, &PluginResourceTable());
        return own;
    }();
    return module;
}

// "title\n", or empty when `titleId` is 0 or below or names no string.
tPKQString LoadTitle(platform::LibraryHandle module, int titleId)
{
    tPKQString title;
    if (titleId <= 0)
        return title;
    char16_t buffer[kTitleBufferLength] = {};
    if (platform::LoadString(module, static_cast<std::uint32_t>(titleId), buffer,
                             kTitleBufferLength) > 0) {
        title = buffer;
        title += u"\n";
    }
    return title;
}

} // namespace

void ShowLicenceNotices()
{
    ShowLicenceNotices(PluginModule());
}

void ShowLicenceNotices(platform::LibraryHandle module)
{
    bool anyShown = false;
    for (int i = 0;; ++i) {
        char name[kResourceNameLength];
        std::snprintf(name, sizeof name, "LICENSE%d", i);
        const bool shown = ShowLicence(module, name, kFirstTitleId + i);
        anyShown = anyShown || shown;
        if (!shown && i > 0)
            break;
    }
    if (!anyShown)
        ShowLicence(module, "LICENSE", kFirstTitleId);
}

bool ShowLicence(const char* resourceName, int titleId)
{
    return ShowLicence(PluginModule(), resourceName, titleId);
}

bool ShowLicence(platform::LibraryHandle module, const char* resourceName, int titleId)
{
    const platform::ResourceHandle resource =
        platform::FindResource(module, resourceName, platform::kResourceTypeRcData);
    if (!resource)
        return false;
    const std::uint32_t size = platform::SizeofResource(module, resource);
    const platform::LoadedResource loaded = platform::LoadResource(module, resource);
    if (!loaded)
        return false;
    const void* data = platform::LockResource(loaded);
    if (!data)
        return false;

    const tPKQString title = LoadTitle(module, titleId);
    // The data is not terminated: copy exactly its size.
    const std::string bytes(static_cast<const char*>(data), size);
    tPKQString text(bytes.c_str());
    text.Replace(tPKQString(u"\r\n"), tPKQString(u"\n"), true);
    if (!text.IsEmpty())
        hostapi::HMRAddImportantLog(title + text);
    return true;
}
