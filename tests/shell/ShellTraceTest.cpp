// The traced dispatcher as the host drives it through the real plug-in.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../support/DebugOutputCapture.h"
#include "../support/PluginStage.h"
#include "../support/RecordingHost.h"
#include "ShellTestSupport.h"

using namespace shell_test;
using velmorant_test::DebugOutputCapture;
using velmorant_test::PluginStage;
using velmorant_test::RecordingHost;
using velmorant_test::StagedEffect;

namespace {

class ShellTrace : public ::testing::Test {
protected:
    void SetUp() override { resetJournal(); }
    RecordingHost host;
};

TEST_F(ShellTrace, RunsAreCondensedIdleCallsAreExemptAndEveryAnswerIsTheFrameworks)
{
    PluginStage stage("Velmorant.dll", "ShellBothFactories.dll");
    StagedEffect effect(stage.instantiate(host.callback()));
    ASSERT_TRUE(effect);
    DebugOutputCapture capture;
    ASSERT_TRUE(capture.active());

    EXPECT_EQ(effect.dispatch(effOpen), 0);
    EXPECT_EQ(effect.dispatch(effGetVstVersion), 2400);
    EXPECT_EQ(effect.dispatch(effIdle), 1);
    EXPECT_EQ(effect.dispatch(effEditIdle), 0);
    EXPECT_EQ(effect.dispatch(effGetVstVersion, 3), 2400);
    EXPECT_EQ(effect.dispatch(effGetVstVersion), 2400);
    EXPECT_EQ(effect.dispatch(effIdentify), 0x4E764566);
    EXPECT_EQ(effect.close(), 1);

    const std::vector<std::string> expected{
        "  (0 times repeated)\n",
        "effOpen |0 0 00000000 0.000000\n",
        "  (1 times repeated)\n",
        "effGetVstVersion |0 0 00000000 0.000000\n",
        "effGetVstVersion |3 0 00000000 0.000000\n",
        "  (3 times repeated)\n",
        "effIdentify |0 0 00000000 0.000000\n",
        "  (1 times repeated)\n",
        "effClose |0 0 00000000 0.000000\n",
    };
    EXPECT_EQ(capture.texts(), expected);
}

TEST_F(ShellTrace, EachInstanceStartsItsOwnRun)
{
    PluginStage stage("Velmorant.dll", "ShellBothFactories.dll");
    StagedEffect first(stage.instantiate(host.callback()));
    StagedEffect second(stage.instantiate(host.callback()));
    ASSERT_TRUE(first && second);
    DebugOutputCapture capture;

    first.dispatch(effGetPlugCategory);
    second.dispatch(effGetPlugCategory);
    const std::vector<std::string> expected{"  (0 times repeated)\n", "effGetPlugCategory |0 0 00000000 0.000000\n",
                                            "  (0 times repeated)\n", "effGetPlugCategory |0 0 00000000 0.000000\n"};
    EXPECT_EQ(capture.texts(), expected);
}

}  // namespace
