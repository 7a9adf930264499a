#include "HostFunctions.h"

#include "HostBinding.h"

using namespace vyhostfn;

namespace hostapi {

iPKQDispatch2* HMRGetScriptDispatch()
{
    return HostFunction<HMRGetScriptDispatchFn, kHMRGetScriptDispatch>()();
}

void HMRAddLog(const tPKQString& text)
{
    HostFunction<HMRAddLogFn, kHMRAddLog>()(text);
}

void HMRAddImportantLog(const tPKQString& text)
{
    HostFunction<HMRAddImportantLogFn, kHMRAddImportantLog>()(text);
}

bool HMRGetCommandLine(const pkq_char* name, tPKQVariant* value)
{
    return HostFunction<HMRGetCommandLineFn, kHMRGetCommandLine>()(name, value);
}

pkq_int HMRGetCommandLineArgumentGeneration()
{
    return HostFunction<HMRGetCommandLineArgumentGenerationFn,
                        kHMRGetCommandLineArgumentGeneration>()();
}

tPKQString HMRFormatMessage(const pkq_char* format, const tPKQString& first,
                            const tPKQString& second)
{
    return StringBuiltByHost([&](tPKQString* out) {
        HostFunction<HMRFormatMessageFn, kHMRFormatMessage>()(out, format, first, second);
    });
}

void HMRDoTryBlock(tHMRTryBlockFunction tryBlock, tHMRCatchBlockFunction catchBlock,
                   tHMRFinallyBlockFunction finallyBlock, void* data)
{
    HostFunction<HMRDoTryBlockFn, kHMRDoTryBlock>()(tryBlock, catchBlock, finallyBlock, data);
}

pkq_char* PKQ_int_to_str(pkq_int value, pkq_char* buffer)
{
    return HostFunction<PKQIntToStrFn, kPKQIntToStr>()(value, buffer);
}

pkq_int PKQ_stricmp(const pkq_char* left, const pkq_char* right)
{
    return HostFunction<PKQStricmpFn, kPKQStricmp>()(left, right);
}

iPKQDispatch2* PKQCreateArrayObject()
{
    return HostFunction<PKQCreateArrayObjectFn, kPKQCreateArrayObject>()(nullptr);
}

iPKQDispatch2* PKQCreateDictionaryObject()
{
    return HostFunction<PKQCreateDictionaryObjectFn, kPKQCreateDictionaryObject>()(nullptr);
}

void PKQDoVariantOperation(pkq_int code, tPKQVariant& target, const tPKQVariant* operand)
{
    HostFunction<PKQDoVariantOperationFn, kPKQDoVariantOperation>()(code, target, operand);
}

void HMRThrowPluginUnboundFunctionError(const char* signature)
{
    HostFunction<HMRThrowPluginUnboundFunctionErrorFn, kHMRThrowPluginUnboundFunctionError>()(
        signature);
    // The host's error function does not come back; if it does, there is no
    // way on.
    StopForMissingHostFunction(signature);
}

} // namespace hostapi
