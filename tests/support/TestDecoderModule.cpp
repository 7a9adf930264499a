// A decoder module image for the linking tests. What its entry point and its
// extension walk do is chosen at build time (see CMakeLists.txt):
//   VY_TEST_ENTRY_RESULT        the HRESULT GetModuleInstance answers (default S_OK)
//   VY_TEST_ENTRY_GIVES_MODULE  whether it hands out a module with it (default 1)
//   VY_TEST_WALK_FAILS          EnumSupportedExtension answers E_FAIL at index 0
//   VY_TEST_EXTENSION_SET       0: none, 1 or 2: see TestDecoderModule.h
// The modules decode nothing: OpenMediaInstance answers E_NOTIMPL.
#include "TestDecoderModule.h"

#include <vymultitrack/ComObject.h>
#include <vymultitrack/GetModuleInstance.h>
#include <vymultitrack/Guid.h>

#include <new>

#ifndef VY_TEST_ENTRY_RESULT
#define VY_TEST_ENTRY_RESULT 0
#endif
#ifndef VY_TEST_ENTRY_GIVES_MODULE
#define VY_TEST_ENTRY_GIVES_MODULE 1
#endif
#ifndef VY_TEST_WALK_FAILS
#define VY_TEST_WALK_FAILS 0
#endif
#ifndef VY_TEST_EXTENSION_SET
#define VY_TEST_EXTENSION_SET 0
#endif

namespace {

TestModuleStatistics statistics;

// Twenty characters: the longest short name the host's buffers must hold.
constexpr const char16_t* kShortName = u"Test module 20 chars";

#if VY_TEST_EXTENSION_SET == 1
constexpr const char16_t* kExtensions[] = {u".OGG", u".Oga", nullptr};
constexpr std::uint32_t kLongExtensionIndex = 2;
#elif VY_TEST_EXTENSION_SET == 2
constexpr const char16_t* kExtensions[] = {u".ogg", u".xyz"};
constexpr std::uint32_t kLongExtensionIndex = 0xFFFFFFFFu;
#else
constexpr const char16_t* kExtensions[] = {nullptr};
constexpr std::uint32_t kLongExtensionIndex = 0xFFFFFFFFu;
#endif
constexpr std::uint32_t kExtensionCount =
    VY_TEST_EXTENSION_SET == 0 ? 0 : static_cast<std::uint32_t>(sizeof kExtensions / sizeof kExtensions[0]);

class TestModule final : public vy::ComObject<IHSSModule, IID_IHSSObject> {
public:
    TestModule()
    {
        ++statistics.modulesMade;
        ++statistics.modulesAlive;
    }

    HRESULT VY_STDCALL GetCopyrightText(char16_t*, std::uint32_t) override { return E_NOTIMPL; }
    HRESULT VY_STDCALL GetDescriptionText(char16_t*, std::uint32_t) override { return E_NOTIMPL; }
    HRESULT VY_STDCALL EnumSupportedExtension(std::uint32_t index, char16_t* shortName, char16_t* extension,
                                              std::uint32_t length) override
    {
        ++statistics.extensionWalkCalls;
        statistics.lastExtensionLength = length;
        if (VY_TEST_WALK_FAILS)
            return E_FAIL;
        if (index >= kExtensionCount)
            return S_FALSE;
        std::uint32_t n = 0;
        for (; kShortName[n] != 0; ++n)
            shortName[n] = kShortName[n];
        shortName[n] = 0;
        if (index == kLongExtensionIndex) {
            // One unit more than asked: `length` units, then the terminator.
            extension[0] = u'.';
            for (n = 1; n < length && n < kLongExtensionSourceLength; ++n)
                extension[n] = u'x';
            extension[n] = 0;
            return S_OK;
        }
        const char16_t* text = kExtensions[index];
        for (n = 0; n + 1 < length && text[n] != 0; ++n)
            extension[n] = text[n];
        if (length != 0)
            extension[n] = 0;
        return S_OK;
    }
    HRESULT VY_STDCALL GetMediaInformation(const char16_t*, void**) override { return E_NOTIMPL; }
    HRESULT VY_STDCALL CheckMediaSupport(const char16_t*) override { return E_NOTIMPL; }
    HRESULT VY_STDCALL OpenMediaInstance(const char16_t*, IHSSWaveDecoder** out) override
    {
        if (out)
            *out = nullptr;
        return E_NOTIMPL;
    }

private:
    ~TestModule() override { --statistics.modulesAlive; }
};

} // namespace

VY_EXPORT HRESULT VY_STDCALL GetModuleInstance(IHSSModule** out, HSSStorageProvider* storageProvider,
                                               IStream* configStream, void* mainWindow)
{
    ++statistics.instanceRequests;
    statistics.lastStorageProvider = storageProvider;
    statistics.lastConfigStream = configStream;
    statistics.lastMainWindow = mainWindow;
    *out = VY_TEST_ENTRY_GIVES_MODULE ? new (std::nothrow) TestModule() : nullptr;
    return static_cast<HRESULT>(VY_TEST_ENTRY_RESULT);
}

VY_EXPORT TestModuleStatistics* VyTestModuleStatistics()
{
    return &statistics;
}
