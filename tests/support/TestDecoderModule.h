// What the test decoder module images (TestDecoderModule.cpp) count, read
// by the linking tests through the export "VyTestModuleStatistics". Each
// image has its own counters.
#pragma once

#include <vymultitrack/CallingConvention.h>
#include <vymultitrack/HSSStorageProvider.h>
#include <vymultitrack/Stream.h>

#include <cstdint>

struct TestModuleStatistics {
    std::int32_t modulesMade = 0;         // modules made
    std::int32_t modulesAlive = 0;        // modules made and not destroyed yet
    std::int32_t instanceRequests = 0;    // GetModuleInstance calls
    HSSStorageProvider* lastStorageProvider = nullptr; // as GetModuleInstance got them
    IStream* lastConfigStream = nullptr;
    void* lastMainWindow = nullptr;
    std::int32_t extensionWalkCalls = 0;  // EnumSupportedExtension calls
    std::uint32_t lastExtensionLength = 0; // their `length` argument
};

using TestModuleStatisticsFunction = TestModuleStatistics* (*)();
inline constexpr const char* kTestModuleStatisticsExport = "VyTestModuleStatistics";

// The extension sets an image can report (VY_TEST_EXTENSION_SET).
// Set 1 (the "VyVorbis.dll" image): ".OGG", ".Oga" and a long one, "."
// followed by 'x's, which the module copies one unit longer than asked (as
// a careless module might): `length` units and a terminator.
// Set 2: ".ogg" and ".xyz".
inline constexpr std::uint32_t kLongExtensionSourceLength = 300;
