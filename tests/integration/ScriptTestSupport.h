// What the integration tests share: the plug-in's three entry points (the
// shared library loaded once for the process and never unloaded, as the
// engine keeps it), a reference script runtime per test, a memory storage
// provider with the multi-track module made over it, and a three-track list
// of constant (DC) WAV stems whose mix tells every track's gain apart.
#pragma once

#include <host/MemoryStorageProvider.h>
#include <host/script/Script.h>

#include <vymultitrack/GetModuleInstance.h>
#include <vymultitrack/HostEngine.h>
#include <vymultitrack/IHSSWaveDecoder.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace scripttest {

struct EntryPoints {
    GetModuleInstanceFunction getModuleInstance;
    V2LinkFunction link;
    V2UnlinkFunction unlink;
};
// The entry points of the plug-in at VY_PLUGIN_PATH; the test process stops
// when the library or one of them is missing.
const EntryPoints& Plugin();

inline constexpr std::uint32_t kRate = 48000;
inline constexpr HRESULT kFail = static_cast<HRESULT>(0x80004005);

using Samples = std::vector<float>;

// The mix the plug-in's kernels make of the stems of WriteThreeTrackList
// (levels 1, 2 and 4: a mix of gains 0 and 1 names its tracks) with these
// gains: each track added in track order onto 0, out + s × g in floats.
float Mix(float drums, float bass, float lead);

void ExpectSameSamples(const Samples& actual, const Samples& expected);

// A script function that, unlike host::Function, takes no reference on
// itself while it runs and touches itself after its body: a caller that
// does not hold the function for the call lets it die under its own feet,
// which the sanitizers see. Answers 0 with the body's value as the result.
class FragileFunction final : public host::DispatchObject {
public:
    // A new function; the variant holds the only reference.
    static host::Variant Make(std::function<host::Variant()> body);

    pkq_int VY_CDECL CallMember(pkq_uint32 flags, const pkq_char* name, pkq_uint32* hint,
                                tPKQVariant* result, pkq_int count, tPKQVariant** params,
                                iPKQDispatch2* objThis) override;

private:
    explicit FragileFunction(std::function<host::Variant()> body) : body(std::move(body)) {}

    std::function<host::Variant()> body;
    int calls = 0;
};

// Each test gets a plug-in whose script face is unlinked and whose registry
// is gone (a link and an unlink bring it there), and a fresh runtime. At
// the end the script face is unlinked again and the host objects the test
// made must all be gone.
class ScriptFaceTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    HRESULT Link() { return Plugin().link(runtime.Exporter()); }
    HRESULT Unlink() { return Plugin().unlink(); }

    // The multi-track module over `storage` (GetModuleInstance on first use).
    IHSSModule* Module();
    void Add(const std::u16string& name, const std::string& text) const
    {
        storage->Add(name, std::vector<std::uint8_t>(text.begin(), text.end()));
    }
    // Writes the list `name` of three mono DC stems of `frames` frames —
    // tracks "Drums" (d.wav), "Bass" (b.wav), "Lead" (l.wav) — decoded by
    // the WAV decoder module.
    void WriteThreeTrackList(const std::u16string& name, std::uint32_t frames = kRate);
    // Opens `url` through the module; the decoder or null (with a failure).
    IHSSWaveDecoder* Open(const std::u16string& url);
    // Renders up to `frames` frames in blocks of `block`, all channels.
    static Samples Render(IHSSWaveDecoder* decoder, std::uint32_t frames,
                          std::uint32_t block = 512);
    // Renders one frame of a mono stream: the current mix.
    static float Level(IHSSWaveDecoder* decoder) { return Render(decoder, 1, 1).at(0); }

    // setMultiTrackMask(id, tracks, volume), which answers 0: its result,
    // void for a stream it found, -1 otherwise.
    host::Variant Mask(const host::Variant& id, const host::Variant& tracks, double volume)
    {
        const auto r = script.Call(u"setMultiTrackMask", {id, tracks, volume});
        EXPECT_EQ(r.code, 0);
        return r.value;
    }

    // The texts of the log lines of one importance (-1: all).
    std::vector<std::u16string> Lines(int importance = -1) const
    {
        return runtime.LogTexts(importance);
    }

    host::ScriptRuntime runtime;
    host::Script script{runtime};
    host::MemoryStorageProvider* storage = nullptr;

private:
    IHSSModule* module = nullptr;
    long objectsAtStart = 0;
};

} // namespace scripttest
