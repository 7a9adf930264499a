// Shared pieces of the track-list and mixer tests: scripted in-memory
// sources and the module that opens them, a logger that keeps its lines,
// and a fixture whose plug-in state holds a memory storage provider and a
// registry with that module linked under the extension ".fake".
#pragma once

#include "PluginStateGuard.h"

#include <multitrack/ModuleLinking.h>
#include <plugin/BasicHSSLogger.h>
#include <plugin/ProcessState.h>

#include <host/ComObject.h>
#include <host/MemoryStorageProvider.h>

#include <vymultitrack/IHSSModule.h>
#include <vymultitrack/Utf16Text.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace mttest {

// What a scripted source delivers. Sample (frame, channel) is
// signal(frame, channel), frame counted from the start of the source; for
// 16-bit sources it is converted to int16 (so keep it in range).
struct FakeSourceSetup {
    std::uint32_t channels = 2;
    bool isFloat = true;
    std::uint32_t sampleRate = 48000;
    std::uint64_t totalFrames = 1000; // the length its format reports
    // Where delivery ends, when earlier than totalFrames.
    std::optional<std::uint64_t> endsAt;
    std::uint32_t totalMilliseconds = 0;
    HRESULT formatResult = S_OK;
    std::function<float(std::uint64_t frame, std::uint32_t channel)> signal =
        [](std::uint64_t, std::uint32_t) { return 1.0f; };
    // Render calls (counted from 0) that answer E_FAIL, delivering nothing.
    std::set<std::uint32_t> failingCalls;
    // Added to the frame count reported (a misbehaving source).
    std::uint32_t overstatedFrames = 0;
    // Called by every SetPosition, before it answers.
    std::function<void(std::uint64_t sample)> onSetPosition;
};

// A source decoder that delivers what its setup describes, from memory.
class FakeSource final : public host::ComObject<IHSSWaveDecoder> {
public:
    static FakeSource* Create(FakeSourceSetup setup) { return new FakeSource(std::move(setup)); }

    HRESULT VY_STDCALL GetFormat(HSSWaveFormat* format) override
    {
        if (setup.formatResult != S_OK)
            return setup.formatResult;
        *format = HSSWaveFormat{};
        format->sampleRate = setup.sampleRate;
        format->channelCount = setup.channels;
        format->sampleFormat = setup.isFloat ? kSampleFormatFloat32 : kSampleFormatInt16;
        format->seekCapability = kSeekCapabilitySampleExact;
        format->totalSamples = setup.totalFrames;
        format->totalMilliseconds = setup.totalMilliseconds;
        return S_OK;
    }

    HRESULT VY_STDCALL Render(void* buffer, std::uint32_t frames, std::uint32_t* rendered,
                              std::uint32_t* status) override
    {
        const std::uint32_t call = renderCalls++;
        if (setup.failingCalls.count(call) != 0)
            return E_FAIL;
        const std::uint64_t end = setup.endsAt.value_or(setup.totalFrames);
        const std::uint64_t left = position < end ? end - position : 0;
        const auto count = static_cast<std::uint32_t>(std::min<std::uint64_t>(frames, left));
        for (std::uint32_t f = 0; f < count; ++f) {
            for (std::uint32_t c = 0; c < setup.channels; ++c) {
                const float value = setup.signal(position + f, c);
                const std::size_t index = std::size_t{f} * setup.channels + c;
                if (setup.isFloat)
                    static_cast<float*>(buffer)[index] = value;
                else
                    static_cast<std::int16_t*>(buffer)[index] = static_cast<std::int16_t>(value);
            }
        }
        position += count;
        if (rendered)
            *rendered = count + setup.overstatedFrames;
        if (status)
            *status = count == frames ? 1 : 0;
        return S_OK;
    }

    HRESULT VY_STDCALL SetPosition(std::uint64_t sample) override
    {
        positions.push_back(sample);
        if (setup.onSetPosition)
            setup.onSetPosition(sample);
        position = sample;
        return sample <= setup.totalFrames ? S_OK : E_FAIL;
    }

    FakeSourceSetup setup;
    std::uint64_t position = 0;
    std::uint32_t renderCalls = 0;
    std::vector<std::uint64_t> positions; // every SetPosition asked for

private:
    explicit FakeSource(FakeSourceSetup s) : setup(std::move(s)) {}
    ~FakeSource() override = default;
};

// The number of references `object` holds.
inline ULONG References(IUnknown* object)
{
    object->AddRef();
    return object->Release();
}

// A module for the extension ".fake" that opens the sources it was given
// by name. It keeps one reference on every source it opened, so tests can
// look at them after the mixer let them go.
class FakeModule final : public host::ComObject<IHSSModule> {
public:
    static FakeModule* Create() { return new FakeModule(); }

    HRESULT VY_STDCALL GetCopyrightText(char16_t*, std::uint32_t) override { return E_NOTIMPL; }
    HRESULT VY_STDCALL GetDescriptionText(char16_t*, std::uint32_t) override { return E_NOTIMPL; }
    HRESULT VY_STDCALL EnumSupportedExtension(std::uint32_t index, char16_t* shortName,
                                              char16_t* extension, std::uint32_t length) override
    {
        if (index != 0)
            return S_FALSE;
        shortName[0] = 0;
        const std::u16string_view ext = u".FAKE"; // the registry folds it
        if (length <= ext.size())
            return E_INVALIDARG;
        std::copy(ext.begin(), ext.end(), extension);
        extension[ext.size()] = 0;
        return S_OK;
    }
    HRESULT VY_STDCALL GetMediaInformation(const char16_t*, void**) override { return E_NOTIMPL; }
    HRESULT VY_STDCALL CheckMediaSupport(const char16_t*) override { return E_NOTIMPL; }

    // Sources named in `setups` open; with `handBackOnFailure` a source named
    // in `failing` comes back together with a failure code.
    HRESULT VY_STDCALL OpenMediaInstance(const char16_t* name, IHSSWaveDecoder** out) override
    {
        *out = nullptr;
        const std::u16string key = name;
        requests.push_back(key);
        const auto setup = setups.find(key);
        if (setup == setups.end())
            return STG_E_FILENOTFOUND;
        FakeSource* source = FakeSource::Create(setup->second);
        source->AddRef();
        opened[key].push_back(source);
        *out = source;
        return failing.count(key) != 0 ? E_FAIL : S_OK;
    }

    // The last source opened under `name`, or null.
    FakeSource* Opened(const std::u16string& name) const
    {
        const auto found = opened.find(name);
        return found == opened.end() || found->second.empty() ? nullptr : found->second.back();
    }

    std::map<std::u16string, FakeSourceSetup> setups;
    std::set<std::u16string> failing;
    std::vector<std::u16string> requests;
    std::map<std::u16string, std::vector<FakeSource*>> opened;

private:
    FakeModule() = default;
    ~FakeModule() override
    {
        for (auto& [name, sources] : opened)
            for (FakeSource* source : sources)
                source->Release();
    }
};

// Keeps every line it is given.
class RecordingLogger final : public BasicHSSLogger {
public:
    void Log(std::int32_t level, const char16_t* text) override
    {
        lines.emplace_back(level, text ? text : u"");
    }
    std::vector<std::pair<std::int32_t, std::u16string>> lines;
};

inline std::vector<std::uint8_t> Bytes(std::string_view text)
{
    return {text.begin(), text.end()};
}

// UTF-16 little-endian with its byte-order mark.
inline std::vector<std::uint8_t> Utf16LeBytes(std::u16string_view text)
{
    std::vector<std::uint8_t> bytes{0xFF, 0xFE};
    for (char16_t unit : text) {
        bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    return bytes;
}

// The plug-in holds a memory storage provider; a registry named "VyModules"
// with a recording logger has a FakeModule linked for ".fake".
class MultiTrackTest : public PluginStateTest {
protected:
    void SetUp() override
    {
        PluginStateTest::SetUp();
        provider = host::MemoryStorageProvider::Create();
        TheProcessState().KeepStorageProvider(provider);
        ModuleRegistry* registry = TheProcessState().EnsureRegistry(u"VyModules");
        ASSERT_NE(registry, nullptr);
        registry->logger = &logger;
        module = FakeModule::Create();
        module->AddRef(); // one for the registry, one for the test
        (void)RegisterModule(*registry, u"FAKE.DLL", module);
    }
    void TearDown() override
    {
        PluginStateTest::TearDown();
        module->Release();
        provider->Release();
    }

    void AddFile(std::u16string_view name, std::string_view text)
    {
        provider->Add(name, Bytes(text));
    }

    // Makes `name` a source the fake module opens.
    void AddSource(const std::u16string& name, FakeSourceSetup setup = {})
    {
        module->setups[name] = std::move(setup);
    }

    host::MemoryStorageProvider* provider = nullptr;
    FakeModule* module = nullptr;
    RecordingLogger logger;
};

} // namespace mttest
