// Shared pieces of the track-list and mixer tests: scripted in-memory
// sources and the module that opens them, a logger that keeps its lines,
// and a fixture whose plug-in state holds a memory storage provider and a
// registry with that module linked under the extension ".fake".
#pragma once

#include "PluginStateGuard.h"

#include <multitrack/sources/ModuleLinking.h>

#include <host/MemoryStorageProvider.h>

#include <vymultitrack/Utf16Text.h>

#include <algorithm>
#include <map>
#include <set>

namespace mttest {

// Sample (frame, channel) = 1 + 10 × channel + 1000 × frame: every value
// tells where it came from, and all stay exact in float.
inline float Counting(std::uint64_t frame, std::uint32_t channel)
{
    return 1.0f + 10.0f * static_cast<float>(channel) + 1000.0f * static_cast<float>(frame);
}

// What a scripted source delivers: every sample `dc`, or Counting when
// that is 0; converted to int16 for 16-bit sources.
struct FakeSourceSetup {
    std::uint32_t channels = 2;
    bool isFloat = true;
    std::uint32_t sampleRate = 48000;
    std::uint64_t totalFrames = 1000;   // the length its format reports
    std::uint64_t endsAt = ~0ull;       // where delivery ends, when earlier
    std::uint32_t totalMilliseconds = 0;
    HRESULT formatResult = S_OK;
    float dc = 1.0f;
    std::set<std::uint32_t> failingCalls{}; // Render calls (from 0) that answer E_FAIL
    std::uint32_t overstatedFrames = 0;   // added to the frame count reported
};

class FakeSource final : public vy::ComObject<IHSSWaveDecoder> {
public:
    explicit FakeSource(FakeSourceSetup s) : setup(std::move(s)) {}

    HRESULT VY_STDCALL GetFormat(HSSWaveFormat* format) override
    {
        *format = HSSWaveFormat{setup.sampleRate, setup.channels, setup.isFloat ? kSampleFormatFloat32 : kSampleFormatInt16,
                                kSeekCapabilitySampleExact, setup.totalFrames, setup.totalMilliseconds, {}};
        return setup.formatResult;
    }
    HRESULT VY_STDCALL Render(void* buffer, std::uint32_t frames, std::uint32_t* rendered, std::uint32_t* status) override
    {
        if (setup.failingCalls.count(renderCalls++) != 0)
            return E_FAIL;
        const std::uint64_t end = std::min(setup.endsAt, setup.totalFrames);
        const auto count = static_cast<std::uint32_t>(std::min<std::uint64_t>(frames, position < end ? end - position : 0));
        for (std::uint32_t i = 0; i < count * setup.channels; ++i) {
            const float value = setup.dc != 0.0f ? setup.dc : Counting(position + i / setup.channels, i % setup.channels);
            if (setup.isFloat)
                static_cast<float*>(buffer)[i] = value;
            else
                static_cast<std::int16_t*>(buffer)[i] = static_cast<std::int16_t>(value);
        }
        position += count;
        *rendered = count + setup.overstatedFrames;
        *status = count == frames ? 1 : 0;
        return S_OK;
    }
    HRESULT VY_STDCALL SetPosition(std::uint64_t sample) override
    {
        positions.push_back(position = sample);
        return S_OK;
    }

    FakeSourceSetup setup;
    std::uint64_t position = 0;
    std::uint32_t renderCalls = 0;
    std::vector<std::uint64_t> positions; // every SetPosition asked for
};

// The number of references `object` holds.
inline ULONG References(IUnknown* object)
{
    object->AddRef();
    return object->Release();
}

// A module for ".FAKE" that
// opens the sources named in `setups`; one named in `failing` comes back
// together with E_FAIL. It keeps a reference on every source it opened.
class FakeModule final : public vy::ComObject<IHSSModule> {
public:
    HRESULT VY_STDCALL GetCopyrightText(char16_t*, std::uint32_t) override { return E_NOTIMPL; }
    HRESULT VY_STDCALL GetDescriptionText(char16_t*, std::uint32_t) override { return E_NOTIMPL; }
    HRESULT VY_STDCALL EnumSupportedExtension(std::uint32_t index, char16_t* shortName, char16_t* extension,
                                              std::uint32_t) override
    {
        shortName[0] = 0;
        std::copy_n(u".FAKE", 6, extension); // the registry folds it
        return index == 0 ? S_OK : S_FALSE;
    }
    HRESULT VY_STDCALL GetMediaInformation(const char16_t*, void**) override { return E_NOTIMPL; }
    HRESULT VY_STDCALL CheckMediaSupport(const char16_t*) override { return E_NOTIMPL; }
    HRESULT VY_STDCALL OpenMediaInstance(const char16_t* name, IHSSWaveDecoder** out) override
    {
        *out = nullptr;
        requests.emplace_back(name);
        const auto setup = setups.find(name);
        if (setup == setups.end())
            return STG_E_FILENOTFOUND;
        auto* source = new FakeSource(setup->second);
        source->AddRef();
        opened.emplace_back(name, source);
        *out = source;
        return failing.count(name) != 0 ? E_FAIL : S_OK;
    }
    // The last source opened under `name`, or null.
    FakeSource* Opened(const std::u16string& name) const
    {
        const auto found = std::find_if(opened.rbegin(), opened.rend(), [&](const auto& o) { return o.first == name; });
        return found == opened.rend() ? nullptr : found->second;
    }

    std::map<std::u16string, FakeSourceSetup> setups;
    std::set<std::u16string> failing;
    std::vector<std::u16string> requests;

private:
    ~FakeModule() override
    {
        for (auto& [name, source] : opened)
            source->Release();
    }
    std::vector<std::pair<std::u16string, FakeSource*>> opened;
};

// Keeps every line it is given.
class RecordingLogger final : public BasicHSSLogger {
public:
    void Log(std::int32_t level, const char16_t* text) override { lines.emplace_back(level, text ? text : u""); }
    std::vector<std::pair<std::int32_t, std::u16string>> lines;
};

// The plug-in holds a memory storage provider; a registry named "VyModules"
// with a recording logger has a FakeModule linked for ".fake".
class MultiTrackTest : public PluginStateTest {
protected:
    void SetUp() override
    {
        PluginStateTest::SetUp();
        TheProcessState().KeepStorageProvider(provider);
        ModuleRegistry* registry = TheProcessState().EnsureRegistry(u"VyModules");
        ASSERT_NE(registry, nullptr);
        registry->logger = &logger;
        module->AddRef(); // one for the registry, one for the test
        (void)RegisterModule(*registry, u"FAKE.DLL", module);
    }
    void TearDown() override
    {
        PluginStateTest::TearDown();
        module->Release();
        provider->Release();
    }
    void AddFile(std::u16string_view name, std::string_view text) { provider->Add(name, {text.begin(), text.end()}); }
    // Makes `name` a source the fake module opens.
    void AddSource(const std::u16string& name, FakeSourceSetup setup = {}) { module->setups[name] = std::move(setup); }

    host::MemoryStorageProvider* provider = host::MemoryStorageProvider::Create();
    FakeModule* module = new FakeModule();
    RecordingLogger logger;
};

} // namespace mttest
