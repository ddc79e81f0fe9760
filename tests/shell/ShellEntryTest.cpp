// The exported entry, the effect record of a new instance, and the
// instance's lifecycle as the host and the engine see it.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "../support/PluginStage.h"
#include "../support/RecordingHost.h"
#include "ShellTestSupport.h"

using namespace shell_test;
using velmorant_test::PluginStage;
using velmorant_test::RecordingHost;
using velmorant_test::StagedEffect;

namespace {

class ShellEntry : public ::testing::Test {
protected:
    void SetUp() override { resetJournal(); }

    bool engineLoaded(const PluginStage& stage) const
    {
        return GetModuleHandleA(stage.enginePath().c_str()) != nullptr;
    }

    RecordingHost host;
};

TEST_F(ShellEntry, AHostAnsweringZeroToTheVersion_GetsNullAndNoEngineIsLoaded)
{
    PluginStage stage("Velmorant.dll", "ShellBothFactories.dll");
    ASSERT_TRUE(stage.loaded());
    host.answer(audioMasterVersion, 0);

    EXPECT_EQ(stage.instantiate(host.callback()), nullptr);
    ASSERT_EQ(host.requests().size(), 1u);
    EXPECT_EQ(host.requests()[0].opcode, audioMasterVersion);
    EXPECT_EQ(host.requests()[0].effect, nullptr);
    EXPECT_FALSE(engineLoaded(stage));
    EXPECT_EQ(testJournal().entryCount, 0);
}

TEST_F(ShellEntry, ANullHostCallback_GetsNullAndNoEngineIsLoaded)
{
    PluginStage stage("Velmorant.dll", "ShellBothFactories.dll");
    ASSERT_TRUE(stage.loaded());
    EXPECT_EQ(stage.instantiate(nullptr), nullptr);
    EXPECT_FALSE(engineLoaded(stage));
}

TEST_F(ShellEntry, TheRecordCarriesTheEngineCountsAndIdWithSynthFlagsAndAnEditor)
{
    PluginStage stage("Velmorant.dll", "ShellBothFactories.dll");
    StagedEffect effect(stage.instantiate(host.callback()));
    ASSERT_TRUE(effect);
    EXPECT_EQ(effect->magic, 0x56737450);
    EXPECT_EQ(effect->numInputs, 0);
    EXPECT_EQ(effect->numOutputs, 2);
    EXPECT_EQ(effect->numParams, 40);
    EXPECT_EQ(effect->numPrograms, 512);
    EXPECT_EQ(effect->uniqueID, 0x566d5431);
    EXPECT_EQ(effect->flags, 0x131);
    EXPECT_EQ(lastJournalEntry(CallGetOutputCount).number, 2);
    effect.close();

    // Other answers from another engine reach the record unchanged.
    resetJournal();
    testJournal().outputCount = 6;
    testJournal().parameterCount = 0;
    testJournal().uniqueId = -7;
    StagedEffect other(stage.instantiate(host.callback()));
    ASSERT_TRUE(other);
    EXPECT_EQ(other->numOutputs, 6);
    EXPECT_EQ(other->numParams, 0);
    EXPECT_EQ(other->uniqueID, -7);
}

TEST_F(ShellEntry, ConstructionWiresTheEngineThenSuspendsItOnceAndAttachesTheHostLast)
{
    PluginStage stage("Velmorant.dll", "ShellBothFactories.dll");
    StagedEffect effect(stage.instantiate(host.callback()));
    ASSERT_TRUE(effect);

    const std::vector<int32_t> expected{CallPluginFactory, CallGetOutputCount, CallGetParameterCount,
                                        CallGetUniqueId,   CallSuspend,        CallAttachHost};
    EXPECT_EQ(journalCalls(), expected);
    // The callback words are in place before the engine first hears from the
    // plug-in as a running instrument; the context is the instance itself.
    EXPECT_NE(testJournal().callbackAtSuspend, nullptr);
    EXPECT_NE(testJournal().contextAtSuspend, nullptr);
    EXPECT_EQ(testJournal().contextAtSuspend, effect->object);
    // The host link receives a service facet, not the effect record.
    const void* attached = lastJournalEntry(CallAttachHost).pointer;
    EXPECT_NE(attached, nullptr);
    EXPECT_NE(attached, static_cast<const void*>(effect.record()));
}

TEST_F(ShellEntry, EffCloseDetachesTheLinkClearsTheCallbackReleasesTheEngineAndUnloadsIt)
{
    PluginStage stage("Velmorant.dll", "ShellBothFactories.dll");
    StagedEffect effect(stage.instantiate(host.callback()));
    ASSERT_TRUE(effect);
    ASSERT_TRUE(engineLoaded(stage));
    testJournal().entryCount = 0;

    EXPECT_EQ(effect.close(), 1);
    EXPECT_EQ(journalCalls(), (std::vector<int32_t>{CallDetachHost, CallRelease}));
    EXPECT_EQ(testJournal().callbackAtRelease, nullptr);
    EXPECT_EQ(testJournal().contextAtRelease, nullptr);
    EXPECT_FALSE(engineLoaded(stage));
}

TEST_F(ShellEntry, AnEngineThrowingFromReleaseStillHasItsModuleUnloadedAndTheHostGetsOne)
{
    PluginStage stage("Velmorant.dll", "ShellBothFactories.dll");
    StagedEffect effect(stage.instantiate(host.callback()));
    ASSERT_TRUE(effect);
    testJournal().throwInRelease = true;

    EXPECT_EQ(effect.close(), 1);
    EXPECT_EQ(journalCount(CallRelease), 1);
    EXPECT_FALSE(engineLoaded(stage));
}

TEST_F(ShellEntry, ResumeTellsTheEngineThenAsksForIdleBeforeMidiAndSuspendOnlyTellsTheEngine)
{
    PluginStage stage("Velmorant.dll", "ShellBothFactories.dll");
    StagedEffect effect(stage.instantiate(host.callback()));
    ASSERT_TRUE(effect);
    testJournal().entryCount = 0;
    host.clear();

    EXPECT_EQ(effect.dispatch(effMainsChanged, 0, 1), 0);
    EXPECT_EQ(journalCalls(), (std::vector<int32_t>{CallResume}));
    EXPECT_EQ(host.opcodes(), (std::vector<int32_t>{audioMasterNeedIdle, audioMasterWantMidi}));
    EXPECT_EQ(host.requests(audioMasterWantMidi)[0].value, 1);
    EXPECT_EQ(host.requests(audioMasterNeedIdle)[0].effect, effect.record());

    testJournal().entryCount = 0;
    host.clear();
    EXPECT_EQ(effect.dispatch(effMainsChanged, 0, 0), 0);
    EXPECT_EQ(journalCalls(), (std::vector<int32_t>{CallSuspend}));
    EXPECT_TRUE(host.requests().empty());
}

TEST_F(ShellEntry, TheEngineHearsOfRateAndBlockSizeOnlyThroughTheirOwnOpcodes)
{
    PluginStage stage("Velmorant.dll", "ShellBothFactories.dll");
    StagedEffect effect(stage.instantiate(host.callback()));
    ASSERT_TRUE(effect);
    testJournal().entryCount = 0;

    effect.dispatch(effSetSampleRate, 0, 0, nullptr, 48000.0f);
    effect.dispatch(effSetBlockSize, 0, 256);
    effect.dispatch(effSetBlockSizeAndSampleRate, 0, 512, nullptr, 96000.0f);

    EXPECT_EQ(journalCalls(), (std::vector<int32_t>{CallSetSampleRate, CallSetBlockSize}));
    EXPECT_EQ(lastJournalEntry(CallSetSampleRate).rate, 48000.0f);
    EXPECT_EQ(lastJournalEntry(CallSetBlockSize).number, 256);
}

TEST_F(ShellEntry, AnEngineThrowingWhileTheInstanceIsBuilt_GivesNullAndIsReleasedAndUnloaded)
{
    PluginStage stage("Velmorant.dll", "ShellBothFactories.dll");
    ASSERT_TRUE(stage.loaded());
    MessageBoxRecorder boxes(stage.module());
    ASSERT_TRUE(boxes.patched());
    testJournal().throwInGetOutputCount = true;

    EXPECT_EQ(stage.instantiate(host.callback()), nullptr);
    EXPECT_EQ(journalCount(CallRelease), 1);
    EXPECT_EQ(journalCount(CallAttachHost), 0);
    EXPECT_EQ(journalCount(CallDetachHost), 0);
    EXPECT_FALSE(engineLoaded(stage));
    ASSERT_EQ(boxes.messages().size(), 1u);
    EXPECT_EQ(boxes.messages()[0].text, "Cannot instantiate Zandoruvel2:\ninitialization faied!");
}

TEST_F(ShellEntry, ThePluginExportsExactlyTheEntryUnderItsThreeNames)
{
    PluginStage stage("Velmorant.dll");
    ASSERT_TRUE(stage.loaded());
    std::vector<std::string> names = exportNames(stage.module());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"VSTPluginMain", "main", "main_plugin"}));
    const FARPROC entry = stage.proc("VSTPluginMain");
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(stage.proc("main"), entry);
    EXPECT_EQ(stage.proc("main_plugin"), entry);
}

}  // namespace
