#include "SourceOpening.h"

#include <multitrack/sources/ModuleLinking.h>
#include <multitrack/lists/PathPieces.h>

#include <decoders/BuiltinModules.h>
#include <vymultitrack/AsciiCase.h>
#include <plugin/ProcessState.h>

namespace {

IHSSWaveDecoder* OpenBuiltinSource(const std::u16string& path, const std::u16string& extension)
{
    if (extension == u".opus")
        return OpenBuiltinDecoder(BuiltinDecoderKind::Opus, path.c_str());
    if (extension == u".ogg")
        return OpenBuiltinDecoder(BuiltinDecoderKind::Vorbis, path.c_str());
    return nullptr;
}

IHSSWaveDecoder* OpenModuleSource(const std::u16string& path)
{
    ModuleRegistry* registry = TheProcessState().registry;
    if (!registry)
        return nullptr;
    IHSSModule* module = FindModuleForFile(*registry, path.c_str());
    if (!module)
        return nullptr;
    IHSSWaveDecoder* decoder = nullptr;
    if (FAILED(module->OpenMediaInstance(path.c_str(), &decoder))) {
        if (decoder)
            decoder->Release();
        return nullptr;
    }
    return decoder;
}

} // namespace

IHSSWaveDecoder* OpenSource(const std::u16string& path, bool preferBuiltin)
{
    const std::u16string extension = AsciiLowerCase(ExtensionOf(path));
    // A module that takes track lists (the plug-in's own, linked by name)
    // would let a list reach itself and recurse without end.
    if (extension == u".mtrk" || extension == u".mchx")
        return nullptr;
    if (preferBuiltin)
        if (IHSSWaveDecoder* decoder = OpenBuiltinSource(path, extension))
            return decoder;
    return OpenModuleSource(path);
}

bool ChooseDecoders(const std::u16string& field, bool preferBuiltin)
{
    if (field.empty())
        return preferBuiltin;
    if (field.front() == u'*')
        return true;
    ModuleRegistry* registry = TheProcessState().registry;
    if (registry && LinkModule(*registry, field.c_str()))
        return false;
    return preferBuiltin;
}
