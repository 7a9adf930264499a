// A reference script runtime whose exporter the plug-in binds through, as
// after V2Link. Host functions bound in one test stay bound for the next
// (the binding is never cleared); every runtime exports the same functions.
#pragma once

#include <host/script/ScriptRuntime.h>
#include <plugin/ProcessState.h>

#include <gtest/gtest.h>

class LinkedRuntimeTest : public ::testing::Test {
protected:
    void SetUp() override { TheProcessState().exporter = runtime.Exporter(); }
    void TearDown() override
    {
        EXPECT_TRUE(runtime.Faults().empty()) << runtime.Faults().front();
        TheProcessState().exporter = previousExporter;
    }

    // How much DispatchRefCount moved since `before` (since the test began).
    static std::int32_t RefCountChange(std::int32_t before) { return TheProcessState().dispatchRefCount - before; }
    std::int32_t RefCountChange() const { return RefCountChange(refCountBefore); }

    HostFunctionExporter* const previousExporter = TheProcessState().exporter;
    const std::int32_t refCountBefore = TheProcessState().dispatchRefCount;
    host::ScriptRuntime runtime;
};
