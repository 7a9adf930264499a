// Leaves the plug-in's process-wide state as a fresh process has it before
// and after each test that touches it.
#pragma once

#include <decoders/BuiltinModules.h>
#include <plugin/ProcessState.h>

#include <gtest/gtest.h>

class PluginStateTest : public ::testing::Test {
protected:
    void SetUp() override { Reset(); }
    void TearDown() override { Reset(); }

    static void Reset()
    {
        ProcessState& state = TheProcessState();
        ReleaseBuiltinModules();
        state.ReleaseStorageProvider();
        state.DestroyRegistry();
        state.opusGainQuery = nullptr;
        state.vorbisGainQuery = nullptr;
        state.scriptInterface = nullptr;
    }
};
