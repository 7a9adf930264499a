#include "WavModulePreload.h"

#include "CheckedRender.h"

#include <multitrack/sources/ModuleLinking.h>
#include <plugin/ProcessState.h>

namespace fuzz {

namespace {

class SilentLogger final : public BasicHSSLogger {
public:
    void Log(std::int32_t, const char16_t*) override {}
};

ModuleRegistry& RegistryOrFail()
{
    ModuleRegistry* registry = TheProcessState().registry;
    if (!registry)
        Fail("the plug-in has no module registry");
    return *registry;
}

} // namespace

void LinkWavModule()
{
    if (!LinkModule(RegistryOrFail(), u"" VY_WAV_MODULE_PATH))
        Fail("the WAV module does not link");
}

void SilenceRegistryLog()
{
    static SilentLogger silent;
    RegistryOrFail().logger = &silent;
}

} // namespace fuzz
