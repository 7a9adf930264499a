// Decoder module linking: the registry's map from upper-cased
// library name and lower-cased extension to module, the linking of module
// libraries through the platform's dynamic loading, and the lookup by file
// extension.
#include <multitrack/sources/ModuleLinking.h>

#include <vymultitrack/AsciiCase.h>
#include <plugin/BasicHSSLogger.h>
#include <multitrack/lists/PathPieces.h>
#include <platform/DynamicLibrary.h>
#include <platform/ModuleOfAddress.h>

#include <vymultitrack/GetModuleInstance.h>
#include <vymultitrack/Utf16Text.h>

#include <cstdint>
#include <string_view>

namespace {

// Buffers handed to a module's EnumSupportedExtension. The extension buffer
// holds 256 code units and is announced as 255 long, so even a module that
// writes one unit more than it is told to stays inside it. The short name is
// not used; a module copies it whole, so its buffer is generous (the longest
// known short name has 20 characters).
constexpr std::uint32_t kExtensionBufferLength = 256;
constexpr std::uint32_t kExtensionLengthArgument = 255;
constexpr std::uint32_t kShortNameBufferLength = 256;

void LogLine(const ModuleRegistry& registry, std::int32_t level, std::u16string_view message,
             std::u16string_view subject)
{
    if (!registry.logger)
        return;
    std::u16string line = registry.name;
    line += message;
    line += subject;
    registry.logger->Log(level, line.c_str());
}

// A bare library name is looked for in the plug-in's own folder first, then
// on the loader's search path (on Windows that starts in the application's
// folder); a name with a folder is loaded as it is.
platform::LibraryHandle LoadModuleLibrary(const char16_t* fileName)
{
    const std::u16string_view name(fileName, vytext::Utf16Length(fileName));
    if (name.find_first_of(u"\\/") == std::u16string_view::npos) {
        static const char anchor = 0; // an address inside the plug-in
        std::u16string beside = DirectoryOf(platform::PathOfModuleContaining(&anchor));
        if (!beside.empty()) {
            beside.append(name);
            if (platform::LibraryHandle library = platform::LoadLibrary(beside.c_str()))
                return library;
        }
    }
    return platform::LoadLibrary(fileName);
}

} // namespace

std::pair<bool, IHSSModule*> LookupModule(const ModuleRegistry& registry, const std::u16string& key)
{
    const auto entry = registry.moduleByName.find(key);
    if (entry == registry.moduleByName.end())
        return {false, nullptr};
    return {true, entry->second};
}

void SetModuleEntry(ModuleRegistry& registry, const std::u16string& key, IHSSModule* module)
{
    registry.moduleByName.insert_or_assign(key, module);
}

IHSSModule* LinkModule(ModuleRegistry& registry, const char16_t* fileName)
{
    if (!fileName)
        return nullptr;
    const std::u16string key = AsciiUpperCase(std::u16string_view(fileName, vytext::Utf16Length(fileName)));

    const auto [known, linked] = LookupModule(registry, key);
    if (linked)
        return linked; // linked already: nothing else happens

    // A failure that is recorded and logged however often it happens: a
    // library this call loaded itself has no entry point.
    bool reportAlways = false;

    platform::LibraryHandle library = platform::FindLoadedLibrary(fileName);
    bool loadedHere = false;
    if (!library) {
        library = LoadModuleLibrary(fileName);
        loadedHere = library != nullptr;
    }
    if (library) {
        const auto entryPoint = reinterpret_cast<GetModuleInstanceFunction>(
            platform::FindExport(library, kGetModuleInstanceExport));
        if (!entryPoint) {
            if (loadedHere) {
                platform::FreeLibrary(library);
                reportAlways = true;
            }
        } else {
            IHSSModule* module = nullptr;
            const HRESULT result = entryPoint(&module, registry.storageProvider, nullptr, nullptr);
            if (result == S_OK && module) {
                LogLine(registry, kLogLevelNormal, u": module linked:", key);
                RegisterModule(registry, key, module);
                // The registry keeps the module's reference; the library
                // stays loaded for as long as the registry lives (and longer).
                return module;
            }
            if (module)
                module->Release();
            // A library this call loaded stays loaded, as on Windows.
        }
    }

    if (known && !reportAlways)
        return nullptr; // an earlier attempt failed and was reported

    SetModuleEntry(registry, key, nullptr);
    LogLine(registry, kLogLevelImportant, u": module not found/cannot linked:", key);
    return nullptr;
}

HRESULT RegisterModule(ModuleRegistry& registry, const std::u16string& key, IHSSModule* module)
{
    if (!module)
        return E_POINTER;
    registry.modules.push_back(module);
    SetModuleEntry(registry, key, module);
    for (std::uint32_t index = 0;; ++index) {
        char16_t shortName[kShortNameBufferLength] = {};
        char16_t extension[kExtensionBufferLength] = {};
        const HRESULT result =
            module->EnumSupportedExtension(index, shortName, extension, kExtensionLengthArgument);
        if (result != S_OK)
            return result;
        extension[kExtensionBufferLength - 1] = 0; // whatever the module wrote
        SetModuleEntry(registry, AsciiLowerCase(extension), module);
    }
}

IHSSModule* FindModuleForFile(ModuleRegistry& registry, const char16_t* fileName)
{
    if (!fileName || !*fileName)
        return nullptr;
    const std::u16string_view name(fileName, vytext::Utf16Length(fileName));
    const std::size_t dot = name.rfind(u'.');
    if (dot == std::u16string_view::npos)
        return nullptr; // no extension: nothing logged
    const auto [found, module] = LookupModule(registry, AsciiLowerCase(name.substr(dot)));
    if (found && module)
        return module;
    LogLine(registry, kLogLevelImportant, u": unknown file exts:", name);
    return nullptr;
}
