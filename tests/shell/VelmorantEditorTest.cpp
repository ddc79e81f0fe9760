// The editor bridge: size, open and close reach the engine; the host always
// gets a rectangle and a true answer.
#include <gtest/gtest.h>

#include <vector>

#include "../support/PluginStage.h"
#include "../support/RecordingHost.h"
#include "ShellTestSupport.h"

using namespace shell_test;
using velmorant_test::PluginStage;
using velmorant_test::RecordingHost;
using velmorant_test::StagedEffect;

namespace {

class ShellEditor : public ::testing::Test {
protected:
    void SetUp() override { resetJournal(); }

    // The rectangle the host is given for the current engine size.
    ERect hostRectangle(StagedEffect& effect, intptr_t* answer)
    {
        ERect* rect = nullptr;
        *answer = effect.dispatch(effEditGetRect, 0, 0, &rect);
        return rect != nullptr ? *rect : ERect{-1, -1, -1, -1};
    }

    RecordingHost host;
};

TEST_F(ShellEditor, TheHostGetsTheEngineSizeAsBottomAndRightOfARectangleAtTheOrigin)
{
    PluginStage stage("Velmorant.dll", "ShellBothFactories.dll");
    StagedEffect effect(stage.instantiate(host.callback()));
    ASSERT_TRUE(effect);

    intptr_t answer = 0;
    ERect rect = hostRectangle(effect, &answer);
    EXPECT_EQ(answer, 1);
    EXPECT_EQ(rect.top, 0);
    EXPECT_EQ(rect.left, 0);
    EXPECT_EQ(rect.bottom, 480);
    EXPECT_EQ(rect.right, 640);

    // Asked again each time, sizes cut to their low 16 bits.
    testJournal().editorWidth = 0x11170;  // low bits 0x1170
    testJournal().editorHeight = -1;
    rect = hostRectangle(effect, &answer);
    EXPECT_EQ(rect.right, 0x1170);
    EXPECT_EQ(rect.bottom, -1);

    // An engine that writes nothing yields the empty rectangle.
    testJournal().editorWritesSize = false;
    rect = hostRectangle(effect, &answer);
    EXPECT_EQ(answer, 1);
    EXPECT_EQ(rect.right, 0);
    EXPECT_EQ(rect.bottom, 0);
    EXPECT_EQ(journalCount(CallGetEditorSize), 3);
}

TEST_F(ShellEditor, OpenHandsTheParentWindowToTheEngineUntouchedAndCloseFollows)
{
    PluginStage stage("Velmorant.dll", "ShellBothFactories.dll");
    StagedEffect effect(stage.instantiate(host.callback()));
    ASSERT_TRUE(effect);
    testJournal().entryCount = 0;
    void* const window = reinterpret_cast<void*>(static_cast<intptr_t>(0x12345678));

    EXPECT_EQ(effect.dispatch(effEditOpen, 0, 0, window), 1);
    EXPECT_EQ(effect.dispatch(effEditIdle), 0);
    EXPECT_EQ(effect.dispatch(effEditClose), 0);
    EXPECT_EQ(journalCalls(), (std::vector<int32_t>{CallOpenEditor, CallCloseEditor}));
    EXPECT_EQ(testJournal().entries[0].pointer, window);
}

TEST_F(ShellEditor, AnEngineThrowingFromItsSizeQueryGivesTheHostZeroNotAnException)
{
    PluginStage stage("Velmorant.dll", "ShellBothFactories.dll");
    StagedEffect effect(stage.instantiate(host.callback()));
    ASSERT_TRUE(effect);
    ERect* rect = nullptr;
    testJournal().throwInGetEditorSize = true;
    EXPECT_EQ(effect.dispatch(effEditGetRect, 0, 0, &rect), 0);
    // The instance goes on answering.
    testJournal().throwInGetEditorSize = false;
    EXPECT_EQ(effect.dispatch(effEditGetRect, 0, 0, &rect), 1);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->right, 640);
}

}  // namespace
