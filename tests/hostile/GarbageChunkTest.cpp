// Damaged copies of a real saved state of the reference engine, restored
// through effSetChunk: see GarbageChunks.h for what each restore must keep.
#include <cmath>

#include <gtest/gtest.h>

#include "../support/PluginStage.h"
#include "GarbageChunks.h"
#include "HostileHost.h"
#include "HostileTestSettings.h"

namespace {

TEST(HostileChunks, DamagedStatesAnswerOneLeaveTheStateAndTheGoodStateStillRendersTheSameSamples)
{
    velmorant_test::PluginStage stage("Velmorant.dll", "VelmorantEngine.dll");
    ASSERT_TRUE(stage.loaded());
    hostile_test::installCrashReporter(hostile_test::hangSeconds());
    const int64_t mutations = hostile_test::mutationCount();
    const hostile_test::GarbageOutcome outcome =
        hostile_test::restoreGarbageChunks(stage.entry(), hostile_test::firstSeed(), mutations);
    EXPECT_TRUE(outcome.passed) << outcome.failure;
    EXPECT_EQ(outcome.mutations, mutations) << outcome.failure;

    // The comparison means something only if the good state makes sound.
    double energy = 0.0;
    for (float sample : outcome.phrase)
        energy += static_cast<double>(sample) * sample;
    EXPECT_GT(energy, 1.0);
    EXPECT_GT(outcome.state.size(), 8u);
}

}  // namespace
