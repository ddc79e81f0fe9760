// The plug-in under a randomized host, with the reference engine and with the
// bridge's recording engine: every seed must run its calls without a crash, a
// hang, a write outside the host's memory or a malformed request back.
#include <algorithm>
#include <cstdio>

#include <gtest/gtest.h>

#include "../support/PluginStage.h"
#include "HeapCensus.h"
#include "HostileHost.h"
#include "HostileTestSettings.h"

namespace {

using hostile_test::HostileHost;
using hostile_test::HostileOptions;
using velmorant_test::PluginStage;

void runSeeds(const char* engineDll, float maxAmplitude, bool chunksRoundTrip = true)
{
    PluginStage stage("Velmorant.dll", engineDll);
    ASSERT_TRUE(stage.loaded()) << engineDll;
    hostile_test::installCrashReporter(hostile_test::hangSeconds());
    const uint64_t first = hostile_test::firstSeed();
    for (uint64_t seed = first; seed < first + static_cast<uint64_t>(hostile_test::seedCount()); ++seed) {
        hostile_test::SeededEngine engine(stage.enginePath(), seed);
        HostileOptions options;
        options.seed = seed;
        options.maxAmplitude = maxAmplitude;
        options.engineBreaches = engine.breaches();
        options.chunksRoundTrip = chunksRoundTrip;
        HostileHost host(options);
        ASSERT_TRUE(host.open(stage.procAs<VstPluginMainProc>(hostile_test::entryNameFor(seed)))) << host.report();
        const bool ran = host.run(hostile_test::callsPerSeed());
        EXPECT_TRUE(host.close() && ran) << host.report();
    }
}

TEST(HostileHost, RandomCallsWithTheReferenceEngineKeepToTheHostsMemoryAndRenderBoundedAudio)
{
    runSeeds("VelmorantEngine.dll", 1.0f);
}

TEST(HostileHost, RandomCallsWithTheRecordingEngineKeepToTheHostsMemory)
{
    runSeeds("BridgeTestEngine.dll", 0.0f);
}

// The engine throws, answers null or unterminated texts and calls the
// services with boundary arguments; the plug-in must keep its promises to
// both sides (HostileEngine.cpp lists what the engine checks).
TEST(HostileHost, RandomCallsWithAMisbehavingEngineKeepToTheHostsMemoryAndTheEngineContract)
{
    runSeeds("HostileEngine.dll", 0.0f, false);
}

// The same seed run again and again, each time from instantiation to effClose:
// once the first runs have paid for what is made once per process, the bytes
// in use on the heaps stay put.
TEST(HostileHost, RepeatedSessionsGiveBackTheirMemory)
{
    PluginStage stage("Velmorant.dll", "VelmorantEngine.dll");
    ASSERT_TRUE(stage.loaded());
    hostile_test::installCrashReporter(hostile_test::hangSeconds());
    // The census compares the second session with the last one.
    const int sessions = static_cast<int>(std::max<int64_t>(hostile_test::sessionCount(), 3));
    const int64_t calls = hostile_test::callsPerSession();
    hostile_test::HeapCensus settled;
    for (int session = 0; session < sessions; ++session) {
        {
            HostileOptions options;
            options.seed = 77;
            HostileHost host(options);
            ASSERT_TRUE(host.open(stage.entry())) << host.report();
            ASSERT_TRUE(host.run(calls)) << host.report();
            ASSERT_TRUE(host.close()) << host.report();
        }
        if (session == 1)
            settled = hostile_test::takeHeapCensus();
    }
    const hostile_test::HeapCensus last = hostile_test::takeHeapCensus();
    ASSERT_TRUE(settled.walked && last.walked) << "the heaps could not be walked";
    std::printf("heap in use after session 2: %zu bytes in %zu blocks; after session %d: %zu bytes in %zu blocks\n",
                settled.bytes, settled.blocks, sessions, last.bytes, last.blocks);
    EXPECT_LE(last.bytes, settled.bytes + 4096);
    EXPECT_LE(last.blocks, settled.blocks + 16);
}

}  // namespace
