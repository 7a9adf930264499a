// The process-wide list of linked decoder modules and the map from library
// name and file extension to module, with the name that prefixes its log
// lines, the storage provider it hands to linked modules and its logger.
#pragma once

#include "BasicHSSLogger.h"

#include <vymultitrack/HSSStorageProvider.h>
#include <vymultitrack/IHSSModule.h>

#include <string>
#include <unordered_map>
#include <vector>

class ModuleRegistry {
public:
    // `registryName`: "VyModules" or "VyMultiTrack", whichever entry point
    // created the registry. `initialLogger` is not owned and may be null.
    ModuleRegistry(std::u16string registryName, BasicHSSLogger* initialLogger);
    // Releases every module once, in the order they were linked.
    ~ModuleRegistry();
    ModuleRegistry(const ModuleRegistry&) = delete;
    ModuleRegistry& operator=(const ModuleRegistry&) = delete;

    // The linked modules, one reference each.
    std::vector<IHSSModule*> modules;
    // Upper-cased library name or lower-cased extension → module (null after
    // a failed link).
    std::unordered_map<std::u16string, IHSSModule*> moduleByName;
    const std::u16string name;
    // Plain copy, no reference of its own; may be null.
    HSSStorageProvider* storageProvider = nullptr;
    // Not owned; may be null.
    BasicHSSLogger* logger;
};
