// A host loads and unloads plug-ins as it scans and as projects open and
// close; the plug-in loads its engine for every instance. Neither may leave
// memory behind per load.
#include <string>

#include <gtest/gtest.h>
#include <windows.h>

#include "../support/PluginStage.h"
#include "HeapCensus.h"

namespace {

void loadAndFree(const std::string& path, int times)
{
    for (int n = 0; n < times; ++n) {
        HMODULE module = LoadLibraryA(path.c_str());
        ASSERT_NE(module, nullptr) << path;
        FreeLibrary(module);
    }
}

TEST(HostileRuntime, LoadingAndUnloadingTheModulesAgainAndAgainLeavesNoMemoryBehind)
{
    for (const char* file : {"Velmorant.dll", "VelmorantEngine.dll"}) {
        const std::string path = velmorant_test::besideTestExecutable(file);
        loadAndFree(path, 2);
        const hostile_test::HeapCensus before = hostile_test::takeHeapCensus();
        loadAndFree(path, 12);
        const hostile_test::HeapCensus after = hostile_test::takeHeapCensus();
        ASSERT_TRUE(before.walked && after.walked);
        EXPECT_LE(after.bytes, before.bytes + 4096) << file;
    }
}

}  // namespace
