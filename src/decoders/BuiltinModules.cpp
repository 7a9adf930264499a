#include "BuiltinModules.h"

#include "Over8chSupportOpusDecoder.h"
#include "SimpleVorbisDecoder.h"

#include <plugin/ProcessState.h>
#include <sound/BasicHSSModule.h>

#include <new>

namespace {

template <typename Decoder>
IHSSModule* CreateModule(HSSStorageProvider* provider)
{
    // The built-in modules carry no information record.
    return new (std::nothrow) BasicHSSModule<Decoder>(provider, nullptr);
}

IHSSModule*& ModuleSlot(ProcessState& state, BuiltinDecoderKind kind)
{
    return kind == BuiltinDecoderKind::Opus ? state.opusModule : state.vorbisModule;
}

} // namespace

IHSSWaveDecoder* OpenBuiltinDecoder(BuiltinDecoderKind kind, const char16_t* sourceName)
{
    ProcessState& state = TheProcessState();
    IHSSModule*& module = ModuleSlot(state, kind);
    if (!module && state.storageProvider)
        module = kind == BuiltinDecoderKind::Opus
                     ? CreateModule<Over8chSupportOpusDecoder>(state.storageProvider)
                     : CreateModule<SimpleVorbisDecoder>(state.storageProvider);
    if (!module)
        return nullptr;
    IHSSWaveDecoder* decoder = nullptr;
    if (FAILED(module->OpenMediaInstance(sourceName, &decoder))) {
        if (decoder)
            decoder->Release();
        return nullptr;
    }
    return decoder;
}

void ReleaseBuiltinModules()
{
    ProcessState& state = TheProcessState();
    for (IHSSModule** slot : {&state.vorbisModule, &state.opusModule}) {
        if (*slot)
            (*slot)->Release();
        *slot = nullptr;
    }
}
