// The static record a module reports through its information slots: the
// copyright and description texts and the list of (media short name,
// extension) pairs it decodes.
#pragma once

#include <cstdint>

struct ModuleExtensionEntry {
    const char16_t* shortName; // e.g. u"Multi track mixing"; at most 20 characters
    const char16_t* extension; // with its leading dot, e.g. u".mtrk"
};

struct ModuleInformation {
    const char16_t* copyright;
    const char16_t* description;
    std::int32_t entryCount;
    const ModuleExtensionEntry* entries;
};
