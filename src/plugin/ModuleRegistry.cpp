#include "ModuleRegistry.h"

#include <utility>

ModuleRegistry::ModuleRegistry(std::u16string registryName, BasicHSSLogger* initialLogger)
    : name(std::move(registryName)), logger(initialLogger)
{
    moduleByName.max_load_factor(1.0f);
    moduleByName.rehash(8);
}

ModuleRegistry::~ModuleRegistry()
{
    for (IHSSModule* module : modules)
        if (module)
            module->Release();
    modules.clear();
    moduleByName.clear();
}
