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

std::vector<std::uint8_t> DcWav(float level, std::uint32_t frames)
{
    return host::WriteWavFloat(std::vector<float>(frames, level), 1, kRate);
}

float Mix(float drums, float bass, float lead)
{
    float out = 0.0f;
    out = out + kDrums * drums;
    out = out + kBass * bass;
    out = out + kLead * lead;
    return out;
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
    storage->Add(u"d.wav", DcWav(kDrums, frames));
    storage->Add(u"b.wav", DcWav(kBass, frames));
    storage->Add(u"l.wav", DcWav(kLead, frames));
    std::string list = "Drums\td.wav\t";
    list.append(VY_WAV_MODULE_PATH).append("\nBass\tb.wav\nLead\tl.wav\n");
    storage->Add(name, std::vector<std::uint8_t>(list.begin(), list.end()));
}

IHSSWaveDecoder* ScriptFaceTest::Open(const std::u16string& url)
{
    IHSSWaveDecoder* decoder = nullptr;
    EXPECT_EQ(Module()->OpenMediaInstance(url.c_str(), &decoder), S_OK) << vytext::ToUtf8(url);
    return decoder;
}

Samples ScriptFaceTest::Render(IHSSWaveDecoder* decoder, std::uint32_t frames, std::uint32_t block)
{
    Samples out;
    std::vector<float> buffer(block);
    while (out.size() < frames) {
        const std::uint32_t ask =
            std::min<std::uint32_t>(block, frames - static_cast<std::uint32_t>(out.size()));
        std::uint32_t rendered = 0;
        std::uint32_t status = 0;
        EXPECT_EQ(decoder->Render(buffer.data(), ask, &rendered, &status), S_OK);
        if (rendered == 0)
            break;
        out.insert(out.end(), buffer.begin(), buffer.begin() + rendered);
    }
    return out;
}

} // namespace scripttest
