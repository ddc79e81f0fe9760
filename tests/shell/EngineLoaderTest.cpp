// Locating the engine module, choosing its factory, and what the user is shown
// when either fails.
#include <gtest/gtest.h>

#include <memory>
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

const char loadErrorCaption[] = "Zandoruvel2 VSTi";
const char factoryFailure[] = "Cannot instantiate Zandoruvel2:\ninitialization faied!";

std::string libraryFailure(const std::string& path)
{
    return "Error loading the following executable:\n" + path;
}

class ShellEngineLoader : public ::testing::Test {
protected:
    void SetUp() override { resetJournal(); }

    static bool loaded(const std::string& path) { return GetModuleHandleA(path.c_str()) != nullptr; }

    // A fresh stage owned by the fixture, so that an effect still open at the
    // end of a test is closed before its plug-in is unloaded.
    PluginStage& makeStage(const std::string& engineDll = "")
    {
        effect_.reset();
        stage_.reset(new PluginStage("Velmorant.dll", engineDll));
        return *stage_;
    }

    // Instantiates with the message boxes recorded; the effect (if any) stays open.
    void instantiate(PluginStage& stage)
    {
        ASSERT_TRUE(stage.loaded());
        MessageBoxRecorder boxes(stage.module());
        ASSERT_TRUE(boxes.patched());
        effect_.reset(new StagedEffect(stage.instantiate(host.callback())));
        messages = boxes.messages();
    }

    void expectOneMessage(const std::string& text) const
    {
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0].text, text);
        EXPECT_EQ(messages[0].caption, loadErrorCaption);
        EXPECT_EQ(messages[0].style, static_cast<UINT>(MB_ICONERROR | MB_OK));
    }

    StagedEffect& effect() { return *effect_; }

    void TearDown() override
    {
        effect_.reset();
        stage_.reset();
    }

    RecordingHost host;
    std::vector<ShownMessage> messages;
    std::unique_ptr<PluginStage> stage_;
    std::unique_ptr<StagedEffect> effect_;
};

TEST_F(ShellEngineLoader, AnEngineWithBothFactoriesHasOnlyThePluginFactoryCalledWithTheDerivedName)
{
    PluginStage& stage = makeStage("ShellBothFactories.dll");
    instantiate(stage);
    ASSERT_TRUE(effect());
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(journalCount(CallPluginFactory), 1);
    EXPECT_EQ(journalCount(CallLegacyFactory), 0);
    EXPECT_FALSE(testJournal().factoryNameWasNull);
    EXPECT_EQ(std::string(testJournal().factoryName), stage.name());
}

TEST_F(ShellEngineLoader, AnEngineWithOnlyTheOlderFactoryGetsZeroAnd128AndNoHostLink)
{
    PluginStage& stage = makeStage("ShellLegacyFactory.dll");
    instantiate(stage);
    ASSERT_TRUE(effect());
    EXPECT_EQ(testJournal().legacyFlag, 0);
    EXPECT_EQ(testJournal().legacyValue, 128);
    EXPECT_EQ(journalCount(CallAttachHost), 0);

    effect().close();
    EXPECT_EQ(journalCount(CallDetachHost), 0);
    EXPECT_EQ(journalCount(CallRelease), 1);
    EXPECT_FALSE(loaded(stage.enginePath()));
}

TEST_F(ShellEngineLoader, AMissingEngineShowsTheDefaultPathBesideThePlugin)
{
    PluginStage& stage = makeStage();
    instantiate(stage);
    EXPECT_FALSE(effect());
    expectOneMessage(libraryFailure(stage.enginePath()));
}

TEST_F(ShellEngineLoader, ALibraryWithoutFactoriesShowsItsPathAndIsUnloadedWithTheInstance)
{
    PluginStage& stage = makeStage("ShellNoFactory.dll");
    instantiate(stage);
    EXPECT_FALSE(effect());
    expectOneMessage(libraryFailure(stage.enginePath()));
    EXPECT_FALSE(loaded(stage.enginePath()));
}

TEST_F(ShellEngineLoader, AThrowingFactoryShowsTheInstantiationFailureAndNothingItStoredIsCalled)
{
    PluginStage& stage = makeStage("ShellThrowingFactory.dll");
    instantiate(stage);
    EXPECT_FALSE(effect());
    expectOneMessage(factoryFailure);
    EXPECT_EQ(journalCalls(), (std::vector<int32_t>{CallPluginFactory}));
    EXPECT_FALSE(loaded(stage.enginePath()));
}

TEST_F(ShellEngineLoader, AFactoryStoringNoEngineShowsTheInstantiationFailure)
{
    PluginStage& stage = makeStage("ShellEmptyFactory.dll");
    instantiate(stage);
    EXPECT_FALSE(effect());
    expectOneMessage(factoryFailure);
    EXPECT_FALSE(loaded(stage.enginePath()));
}

TEST_F(ShellEngineLoader, TheCurrentUserValueWinsOverTheMachineValue)
{
    PluginStage& stage = makeStage("ShellBothFactories.dll");
    ASSERT_TRUE(stage.stage("ShellBothFactories.dll", "FromUser.dll"));
    ASSERT_TRUE(stage.stage("ShellBothFactories.dll", "FromMachine.dll"));
    const EngineKeyValue user = EngineKeyValue::text(HKEY_CURRENT_USER, stage.name(), stage.folder() + "FromUser.dll");
    const EngineKeyValue machine =
        EngineKeyValue::text(HKEY_LOCAL_MACHINE, stage.name(), stage.folder() + "FromMachine.dll");
    ASSERT_TRUE(user.written() && machine.written());

    instantiate(stage);
    ASSERT_TRUE(effect());
    EXPECT_TRUE(loaded(stage.folder() + "FromUser.dll"));
    EXPECT_FALSE(loaded(stage.folder() + "FromMachine.dll"));
    EXPECT_FALSE(loaded(stage.enginePath()));
}

TEST_F(ShellEngineLoader, AnEmptyOrNumericCurrentUserValueCountsAsAbsent)
{
    PluginStage& stage = makeStage("ShellBothFactories.dll");
    ASSERT_TRUE(stage.stage("ShellBothFactories.dll", "FromMachine.dll"));
    const std::string machinePath = stage.folder() + "FromMachine.dll";
    {
        const EngineKeyValue user = EngineKeyValue::text(HKEY_CURRENT_USER, stage.name(), "");
        const EngineKeyValue machine = EngineKeyValue::text(HKEY_LOCAL_MACHINE, stage.name(), machinePath);
        ASSERT_TRUE(user.written() && machine.written());
        instantiate(stage);
        ASSERT_TRUE(effect());
        EXPECT_TRUE(loaded(machinePath));
        effect().close();
    }
    {
        const DWORD number = 1;
        const EngineKeyValue user(HKEY_CURRENT_USER, stage.name(), REG_DWORD, &number, sizeof number);
        ASSERT_TRUE(user.written());
        instantiate(stage);
        ASSERT_TRUE(effect());
        EXPECT_TRUE(loaded(stage.enginePath()));
    }
}

TEST_F(ShellEngineLoader, ARegistryPathThatFailsToLoadIsShownAsStoredAndTheDefaultIsNotTried)
{
    PluginStage& stage = makeStage("ShellBothFactories.dll");
    // Taken as stored: an expandable value is not expanded.
    const std::string missing = "%SystemRoot%\\NoSuchEngine.dll";
    const EngineKeyValue user = EngineKeyValue::text(HKEY_CURRENT_USER, stage.name(), missing, REG_EXPAND_SZ);
    ASSERT_TRUE(user.written());

    instantiate(stage);
    EXPECT_FALSE(effect());
    expectOneMessage(libraryFailure(missing));
    EXPECT_EQ(testJournal().entryCount, 0);
}

TEST_F(ShellEngineLoader, AModuleNameTooShortForAnExtensionGivesAnEmptyEngineName)
{
    PluginStage stage("Velmorant.dll", "", "", false);
    ASSERT_TRUE(stage.staged());
    ASSERT_TRUE(stage.stage("Velmorant.dll", "a.d"));
    ASSERT_TRUE(stage.stage("ShellBothFactories.dll", "Engine.dll"));
    HMODULE plugin = LoadLibraryA((stage.folder() + "a.d").c_str());
    ASSERT_NE(plugin, nullptr);
    auto entry =
        reinterpret_cast<VstPluginMainProc>(reinterpret_cast<void (*)()>(GetProcAddress(plugin, "VSTPluginMain")));
    ASSERT_NE(entry, nullptr);
    {
        StagedEffect shortNamed(entry(host.callback()));
        ASSERT_TRUE(shortNamed);
        EXPECT_TRUE(loaded(stage.folder() + "Engine.dll"));
        EXPECT_EQ(std::string(testJournal().factoryName), "");
        EXPECT_FALSE(testJournal().factoryNameWasNull);
    }
    FreeLibrary(plugin);
}

}  // namespace
