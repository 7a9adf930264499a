// Host functions bound by signature on first use. (The wrappers over them,
// tPKQString, tPKQVariant and the free host functions, are reached by the
// tests of their callers.)
#include "LinkedRuntimeTest.h"

#include <plugin/HostBinding.h>

#include <host/script/ScriptException.h>

#include <string>

namespace {

using HostBindingTest = LinkedRuntimeTest;
using HostBindingDeathTest = LinkedRuntimeTest;

// Slots of the test's own, so that bindings the process table already
// holds do not hide what a first bind does.
struct FreshSlots {
    HostFunctionSlot function;
    HostFunctionSlot unboundError;

    explicit FreshSlots(const char* signature)
    {
        function.signature = signature;
        unboundError.signature = vyhostfn::kHMRThrowPluginUnboundFunctionError;
    }
};

TEST_F(HostBindingTest, BindsOnFirstUseOneFunctionPerRequestAndKeepsIt)
{
    FreshSlots slots(vyhostfn::kPKQStricmp);
    host::ScriptExporter& exporter = runtime.Functions();
    const int queriesBefore = exporter.TotalQueries();
    void* bound = hostapi::BindHostFunction(runtime.Exporter(), slots.function, slots.unboundError);
    EXPECT_EQ(bound, host::ScriptExporter::Lookup(vyhostfn::kPKQStricmp));
    EXPECT_EQ(exporter.TotalQueries(), queriesBefore + 1) << "one signature per request";
    // Kept: neither asked again nor lost when the host later hides it.
    exporter.Hide(vyhostfn::kPKQStricmp);
    EXPECT_EQ(hostapi::BindHostFunction(nullptr, slots.function, slots.unboundError), bound);
    EXPECT_EQ(exporter.QueryCount(vyhostfn::kPKQStricmp), 1);
}

TEST_F(HostBindingTest, EveryTableEntryBindsToTheHostFunctionOfItsSignature)
{
    for (std::size_t i = 0; i < vyhostfn::kSignatureCount; ++i) {
        const char* signature = vyhostfn::kAllSignatures[i];
        EXPECT_EQ(TheProcessState().hostFunctions.Slot(i).signature, signature);
        EXPECT_EQ(hostapi::BoundHostFunction(i), host::ScriptExporter::Lookup(signature)) << signature;
    }
    EXPECT_EQ(SignatureIndex("tPKQString::tPKQString()"), SignatureIndex(vyhostfn::kPKQStringCtor));
    EXPECT_EQ(SignatureIndex("tPKQString::tPKQString( )"), vyhostfn::kSignatureCount);
}

TEST_F(HostBindingTest, AMissingFunctionRaisesTheHostsUnboundFunctionErrorUntilTheHostHasIt)
{
    FreshSlots slots(vyhostfn::kHMRFormatMessage);
    runtime.Functions().Hide(vyhostfn::kHMRFormatMessage);
    try {
        (void)hostapi::BindHostFunction(runtime.Exporter(), slots.function, slots.unboundError);
        ADD_FAILURE() << "the binding came back without the function";
    } catch (const host::ScriptException& error) {
        EXPECT_EQ(error.Type(), host::ScriptException::kPluginError);
        EXPECT_NE(error.Message().find(u"ttstr ::HMRFormatMessage(const pkq_char *,const ttstr &,const ttstr &)"),
                  std::u16string::npos);
    }
    EXPECT_EQ(slots.function.function.load(), nullptr) << "a miss is not kept";
    runtime.Functions().Unhide(vyhostfn::kHMRFormatMessage);
    EXPECT_EQ(hostapi::BindHostFunction(runtime.Exporter(), slots.function, slots.unboundError),
              host::ScriptExporter::Lookup(vyhostfn::kHMRFormatMessage));
}

TEST_F(HostBindingDeathTest, WithoutEvenTheUnboundErrorTheProcessStops)
{
    FreshSlots slots(vyhostfn::kHMRAddLog);
    runtime.Functions().Hide(vyhostfn::kHMRAddLog);
    runtime.Functions().Hide(vyhostfn::kHMRThrowPluginUnboundFunctionError);
    EXPECT_DEATH((void)hostapi::BindHostFunction(runtime.Exporter(), slots.function, slots.unboundError),
                 "does not export \"void ::HMRAddLog\\(const ttstr &\\)\"");
    EXPECT_DEATH((void)hostapi::BindHostFunction(nullptr, slots.function, slots.unboundError), "does not export");
    runtime.Functions().UnhideAll();
}

} // namespace
