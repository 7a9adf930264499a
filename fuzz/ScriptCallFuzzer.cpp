// Fuzz target for the script members. The input is a sequence of calls, one
// byte choosing each and the next bytes its arguments, run through the
// reference script runtime on the plug-in's WaveSoundBuffer members as a
// game script calls them: setMultiTrackMask, setDelayMultiTrackMask (with
// several switch points, and with a changes array that throws),
// rebindMultiTrackID, open callbacks that return, throw or call members
// themselves, interleaved with opening, rendering, seeking and releasing
// streams of three small WAV lists.
//
// Every input gets a fresh runtime linked with V2Link and a module from
// GetModuleInstance (the static core's entry points), and must leave
// nothing behind: after V2Unlink every host object it made is gone and the
// host noticed no fault; every block keeps its length and format.
#include "CheckedRender.h"
#include "FuzzBytes.h"
#include "PluginEntryPoints.h"
#include "TestSources.h"
#include "ThrowingArray.h"
#include "WavModulePreload.h"

#include <host/MemoryStorageProvider.h>
#include <host/WavWriter.h>
#include <host/script/Script.h>
#include <host/script/ScriptException.h>

#include <array>
#include <cstdint>
#include <limits>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr std::uint32_t kStemFrames = 4800;
constexpr std::size_t kMaxStreams = 3;
constexpr int kMaxCalls = 48;

const char16_t* const kLists[] = {u"BGM.mtrk", u"Duo.mchx", u"d.wav|l.wav|Inline.mtrk"};
const char16_t* const kIds[] = {u"bgm.mtrk", u"BGM.MTRK", u"f.wav", u"inline.mtrk", u"battle", u"", u"x/y"};
const std::array<double, 8> kExtremes = {1e30, -1e30, std::numeric_limits<double>::infinity(),
                                          -std::numeric_limits<double>::infinity(),
                                          std::numeric_limits<double>::quiet_NaN(), 1e-310, 4294967296.0, -4294967297.0};
const char16_t* const kTracks[] = {u"drums", u"Bass", u"lead", u"d", u"l.wav", u"left", u"right", u"nosuch"};

void AddText(host::MemoryStorageProvider* storage, const char16_t* name, const std::string& text)
{
    storage->Add(name, std::vector<std::uint8_t>(text.begin(), text.end()));
}

host::MemoryStorageProvider* MakeStorage()
{
    host::MemoryStorageProvider* storage = host::MemoryStorageProvider::Create();
    const std::pair<const char16_t*, float> stems[] = {{u"d.wav", 1.0f}, {u"b.wav", 2.0f}, {u"l.wav", 4.0f}};
    for (const auto& [name, level] : stems)
        storage->Add(name, host::WriteWavFloat(std::vector<float>(kStemFrames, level), 1, 48000));
    storage->Add(u"f.wav", fuzz::TestSourceBytes(u"f.wav"));
    AddText(storage, u"BGM.mtrk", "Drums\td.wav\tlibvywav.so\nBass\tb.wav\nLead\tl.wav\n");
    AddText(storage, u"Duo.mchx", "channel\t1\nsource\tf.wav\ntrack\tleft\t0\ntrack\tright\t1\nvolume\tright\t0.5\n");
    return storage;
}

host::MemoryStorageProvider* TheStorage()
{
    static host::MemoryStorageProvider* const storage = MakeStorage();
    return storage;
}

struct Stream {
    IHSSWaveDecoder* decoder;
    HSSWaveFormat format;
};

// One input's calls, against one linked runtime and one module.
class CallSequence {
public:
    CallSequence(host::Script& script, IHSSModule* module, fuzz::FuzzBytes& input)
        : script_(script), module_(module), input_(input)
    {
    }
    CallSequence(const CallSequence&) = delete;
    CallSequence& operator=(const CallSequence&) = delete;
    ~CallSequence() { Finish(); }

    void Run()
    {
        for (int call = 0; call < kMaxCalls && !input_.Empty(); ++call) {
            try {
                Step(input_.Byte() % 10);
            } catch (const host::ScriptException&) {
                // A callback or a changes array raised it; the script goes on.
            }
        }
    }

private:
    void Step(int op)
    {
        switch (op) {
        case 0: return Open();
        case 1: return Close();
        case 2: return Render();
        case 3: return Seek();
        case 4: return (void)script_.Call(u"setMultiTrackMask", MaskArguments());
        case 5: return (void)script_.Call(u"setDelayMultiTrackMask", DelayArguments());
        case 6: return (void)script_.Call(u"rebindMultiTrackID", {Id(), Id()});
        case 7: return AddCallback();
        case 8: return ClearCallbacks();
        default: return (void)script_.Call(u"setDelayMultiTrackMask", {Id(), Points(), fuzz::ThrowingArray::Make(6, input_.Below(6))});
        }
    }

    host::Variant Id() { return host::Variant(kIds[input_.Below(std::size(kIds) - 1)]); }
    host::Variant TrackName() { return host::Variant(kTracks[input_.Below(std::size(kTracks) - 1)]); }
    // Mostly an ordinary level; the top byte values give what a script may
    // pass as well (huge, infinite, not a number, subnormal), after which
    // the output need not stay finite.
    double Volume()
    {
        const std::uint8_t byte = input_.Byte();
        if (byte < kExtremes.size()) {
            extremeVolume_ = true;
            return kExtremes[byte];
        }
        return byte / 64.0 - 0.5;
    }
    // A real that no integer type holds, or none at all.
    double ExtremeReal() { return kExtremes[input_.Below(kExtremes.size() - 1)]; }

    host::Variant Tracks()
    {
        switch (input_.Byte() % 4) {
        case 0: return {};
        case 1: return TrackName();
        case 2: {
            std::vector<host::Variant> names;
            for (std::uint32_t n = input_.Below(3); n > 0; --n)
                names.push_back(TrackName());
            return host::Array(names);
        }
        default: return host::Variant(5);
        }
    }

    // Absent (left out of the call), milliseconds, negative, or a real.
    void AppendFade(host::Args& args)
    {
        switch (input_.Byte() % 4) {
        case 0: return;
        case 1: args.emplace_back(static_cast<int>(input_.Below(999))); return;
        case 2: args.emplace_back(-5); return;
        default: args.emplace_back(input_.Byte() % 2 == 0 ? 12.5 : ExtremeReal()); return;
        }
    }

    host::Args MaskArguments()
    {
        host::Args args{Id(), Tracks(), Volume()};
        AppendFade(args);
        return args;
    }

    host::Variant Points()
    {
        switch (input_.Byte() % 4) {
        case 0: return host::Variant(static_cast<int>(input_.Below(9600)));
        case 1: {
            std::vector<host::Variant> points;
            for (std::uint32_t n = input_.Below(5); n > 0; --n)
                points.emplace_back(static_cast<int>(input_.Below(9600)));
            return host::Array(points);
        }
        case 2: return host::Variant(input_.Byte() % 2 == 0 ? 1234.75 : ExtremeReal());
        default: return host::Variant(u"480");
        }
    }

    host::Variant Changes()
    {
        std::vector<host::Variant> changes;
        for (std::uint32_t n = input_.Below(5); n > 0; --n) {
            changes.push_back(Tracks());
            if (n > 1 || input_.Byte() % 2 == 0)
                changes.emplace_back(Volume());
        }
        return host::Array(changes);
    }

    host::Args DelayArguments()
    {
        host::Args args{Id(), Points(), Changes()};
        AppendFade(args);
        return args;
    }

    void Open()
    {
        if (streams_.size() == kMaxStreams)
            Close();
        IHSSWaveDecoder* decoder = nullptr;
        const HRESULT result = module_->OpenMediaInstance(kLists[input_.Below(std::size(kLists) - 1)], &decoder);
        if (result != S_OK) {
            if (decoder)
                fuzz::Fail("a failed open handed out a decoder");
            return;
        }
        if (!decoder)
            fuzz::Fail("an open that succeeded handed out no decoder");
        streams_.push_back({decoder, fuzz::FormatOrFail(decoder)});
    }

    void Close()
    {
        if (streams_.empty())
            return;
        const std::size_t k = input_.Below(static_cast<std::uint32_t>(streams_.size() - 1));
        streams_[k].decoder->Release();
        streams_.erase(streams_.begin() + static_cast<std::ptrdiff_t>(k));
    }

    Stream* Pick()
    {
        if (streams_.empty())
            return nullptr;
        return &streams_[input_.Below(static_cast<std::uint32_t>(streams_.size() - 1))];
    }

    void Render()
    {
        if (Stream* stream = Pick())
            (void)fuzz::RenderChecked(stream->decoder, stream->format, 1 + input_.Below(2047), !extremeVolume_);
    }

    void Seek()
    {
        if (Stream* stream = Pick())
            (void)stream->decoder->SetPosition(input_.Below(9600));
    }

    host::ScriptObject Callbacks() const { return host::ScriptObject(script_.Get(u"multiTrackOpenCallbacks").value); }

    void AddCallback()
    {
        host::Script& script = script_;
        const int kind = input_.Byte() % 6;
        const double volume = Volume();
        const host::Variant id = Id();
        const host::Variant callback = host::Function([&script, kind, volume, id](const host::CallArgs& args) {
            switch (kind) {
            case 0: return host::Variant(true);
            case 1: return host::Variant(false);
            case 2: throw host::ScriptException(u"callback failed");
            case 3: return script.Call(u"setMultiTrackMask", {args[0], host::Variant(), volume}).value;
            case 4:
                return script
                    .Call(u"setDelayMultiTrackMask",
                          {args[0], host::Array({480, 960}), host::Array({host::Variant(), volume}), 10})
                    .value;
            default: return script.Call(u"rebindMultiTrackID", {args[0], id}).value;
            }
        });
        (void)Callbacks().Push(callback);
    }

    void ClearCallbacks() const
    {
        const host::ScriptObject callbacks = Callbacks();
        for (pkq_int i = callbacks.Count() - 1; i >= 0; --i)
            (void)callbacks.SetAt(i, host::Variant());
    }

    void Finish()
    {
        for (const Stream& stream : streams_)
            stream.decoder->Release();
        streams_.clear();
        ClearCallbacks();
    }

    host::Script& script_;
    IHSSModule* module_;
    fuzz::FuzzBytes& input_;
    std::vector<Stream> streams_;
    bool extremeVolume_ = false;
};

void RunLinked(host::ScriptRuntime& runtime, fuzz::FuzzBytes& input)
{
    IHSSModule* module = nullptr;
    if (GetModuleInstance(&module, TheStorage(), nullptr, nullptr) != S_OK || !module)
        fuzz::Fail("GetModuleInstance gave no module");
    fuzz::LinkWavModule();
    host::Script script(runtime);
    {
        CallSequence calls(script, module, input);
        calls.Run();
    }
    module->Release();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    host::ScriptRuntime runtime;
    const long objectsAtStart = host::DispatchObject::LiveObjects();
    if (V2Link(runtime.Exporter()) != S_OK)
        fuzz::Fail("V2Link failed");
    fuzz::FuzzBytes input(data, size);
    RunLinked(runtime, input);
    if (V2Unlink() != S_OK)
        fuzz::Fail("V2Unlink refused: the script still holds an object of the plug-in");
    if (host::DispatchObject::LiveObjects() != objectsAtStart)
        fuzz::Fail("host objects were left behind");
    if (!runtime.Faults().empty())
        fuzz::Fail(runtime.Faults().front().c_str());
    return 0;
}
