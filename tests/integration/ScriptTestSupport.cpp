#include "ScriptTestSupport.h"

#include <host/PluginLibrary.h>
#include <host/WavWriter.h>

#include <vymultitrack/Utf16Text.h>

#include <cstdlib>
#include <iostream>

namespace scripttest {

const EntryPoints& Plugin()
{
    // Never unloaded: decoders and host objects may outlive any test.
    static host::PluginLibrary* const library = new host::PluginLibrary;
    static const EntryPoints entryPoints = [] {
        if (!library->Load(VY_PLUGIN_PATH)) {
            std::cerr << "cannot load the plug-in: " << library->Error() << '\n';
            std::abort();
        }
        const EntryPoints found{
            library->GetModuleInstance(),
            reinterpret_cast<V2LinkFunction>(library->FindExport("V2Link")),
            reinterpret_cast<V2UnlinkFunction>(library->FindExport("V2Unlink"))};
        if (!found.getModuleInstance || !found.link || !found.unlink) {
            std::cerr << "the plug-in lacks an entry point\n";
            std::abort();
        }
        return found;
    }();
    return entryPoints;
}

float Mix(float drums, float bass, float lead)
{
    float out = 0.0f;
    out = out + 1.0f * drums;
    out = out + 2.0f * bass;
    out = out + 4.0f * lead;
    return out;
}

void ExpectSameSamples(const Samples& actual, const Samples& expected)
{
    ASSERT_EQ(actual.size(), expected.size());
    std::size_t mismatches = 0;
    for (std::size_t i = 0; i < actual.size(); ++i)
        if (actual[i] != expected[i] && ++mismatches < 5)
            ADD_FAILURE() << "sample " << i << ": " << actual[i] << " != " << expected[i];
    EXPECT_EQ(mismatches, 0u);
}

host::Variant FragileFunction::Make(std::function<host::Variant()> body)
{
    return host::Variant::Adopt(new FragileFunction(std::move(body)));
}

pkq_int FragileFunction::CallMember(pkq_uint32, const pkq_char* name, pkq_uint32*,
                                    tPKQVariant* result, pkq_int, tPKQVariant**, iPKQDispatch2*)
{
    if (name)
        return PKQ_E_MEMBERNOTFOUND;
    const host::Variant value = body();
    ++calls;
    if (result)
        host::Variant::View(*result) = value;
    return PKQ_S_OK;
}

void ScriptFaceTest::SetUp()
{
    ASSERT_EQ(Link(), S_OK);
    ASSERT_EQ(Unlink(), S_OK);
    runtime.ClearLog();
    storage = host::MemoryStorageProvider::Create();
    objectsAtStart = host::DispatchObject::LiveObjects();
}

void ScriptFaceTest::TearDown()
{
    if (module)
        module->Release();
    module = nullptr;
    EXPECT_EQ(Unlink(), S_OK);
    EXPECT_EQ(host::DispatchObject::LiveObjects(), objectsAtStart) << "host objects left behind";
    EXPECT_TRUE(runtime.Faults().empty()) << runtime.Faults().front();
    if (storage)
        storage->Release();
}

IHSSModule* ScriptFaceTest::Module()
{
    if (!module) {
        EXPECT_EQ(Plugin().getModuleInstance(&module, storage, nullptr, nullptr), S_OK);
        EXPECT_NE(module, nullptr);
    }
    return module;
}

void ScriptFaceTest::WriteThreeTrackList(const std::u16string& name, std::uint32_t frames)
{
    const char16_t* files[] = {u"d.wav", u"b.wav", u"l.wav"};
    const float levels[] = {1.0f, 2.0f, 4.0f};
    for (int track = 0; track < 3; ++track)
        storage->Add(files[track], host::WriteWavFloat(Samples(frames, levels[track]), 1, kRate));
    Add(name, std::string("Drums\td.wav\t") + VY_WAV_MODULE_PATH + "\nBass\tb.wav\nLead\tl.wav\n");
}

IHSSWaveDecoder* ScriptFaceTest::Open(const std::u16string& url)
{
    IHSSWaveDecoder* decoder = nullptr;
    EXPECT_EQ(Module()->OpenMediaInstance(url.c_str(), &decoder), S_OK) << vytext::ToUtf8(url);
    return decoder;
}

Samples ScriptFaceTest::Render(IHSSWaveDecoder* decoder, std::uint32_t frames, std::uint32_t block)
{
    HSSWaveFormat format{};
    EXPECT_EQ(decoder->GetFormat(&format), S_OK);
    const std::size_t channels = format.channelCount;
    Samples out;
    std::vector<float> buffer(block * channels);
    while (out.size() < frames * channels) {
        const auto ask = std::min<std::size_t>(block, frames - out.size() / channels);
        std::uint32_t rendered = 0;
        std::uint32_t status = 0;
        EXPECT_EQ(
            decoder->Render(buffer.data(), static_cast<std::uint32_t>(ask), &rendered, &status),
            S_OK);
        if (rendered == 0)
            break;
        out.insert(out.end(), buffer.begin(), buffer.begin() + rendered * channels);
    }
    return out;
}

} // namespace scripttest
