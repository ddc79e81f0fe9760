// The shared test support: debug-output capture, the recording host and the
// plug-in stage, checked against the real platform under Wine.
#include <cctype>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <windows.h>

#include "../support/DebugOutputCapture.h"
#include "../support/PluginStage.h"
#include "../support/RecordingHost.h"

namespace {

using velmorant_test::DebugOutputCapture;
using velmorant_test::HostRequest;
using velmorant_test::PluginStage;
using velmorant_test::RecordingHost;
using velmorant_test::StagedEffect;
using Lines = std::vector<std::string>;

bool exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string lower(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

DWORD WINAPI traceFromThread(void*)
{
    OutputDebugStringA("from another thread\n");
    return 0;
}

TEST(SupportDebugOutputCapture, KeepsEveryTextExactlyAsPassed)
{
    DebugOutputCapture capture;
    ASSERT_TRUE(capture.active());
    OutputDebugStringA("first\n");
    OutputDebugStringA("");
    OutputDebugStringA("two\nlines without end");
    const std::string wide(4000, 'w');
    OutputDebugStringA(wide.c_str());
    EXPECT_EQ(capture.texts(), (Lines{"first\n", "", "two\nlines without end", wide}));
    EXPECT_EQ(capture.joined(), "first\ntwo\nlines without end" + wide);
    capture.clear();
    EXPECT_EQ(capture.count(), 0u);
    OutputDebugStringA("after clear");
    EXPECT_EQ(capture.texts(), (Lines{"after clear"}));
}

TEST(SupportDebugOutputCapture, SeesTextsFromOtherThreads)
{
    DebugOutputCapture capture;
    HANDLE thread = CreateThread(nullptr, 0, &traceFromThread, nullptr, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    EXPECT_EQ(capture.texts(), (Lines{"from another thread\n"}));
}

TEST(SupportDebugOutputCapture, InnermostCaptureReceivesAndTheOuterOneResumesAfterIt)
{
    DebugOutputCapture outer;
    OutputDebugStringA("a");
    {
        DebugOutputCapture inner;
        OutputDebugStringA("b");
        EXPECT_EQ(inner.texts(), (Lines{"b"}));
    }
    OutputDebugStringA("c");
    EXPECT_EQ(outer.texts(), (Lines{"a", "c"}));
}

TEST(SupportDebugOutputCapture, CountsWhatDoesNotFitInsteadOfGrowing)
{
    DebugOutputCapture capture(8, 2);
    OutputDebugStringA("1234");
    OutputDebugStringA("123456");  // 10 bytes in all: over the storage
    OutputDebugStringA("56");
    OutputDebugStringA("x");  // a third text: over the count
    EXPECT_EQ(capture.texts(), (Lines{"1234", "56"}));
    EXPECT_EQ(capture.dropped(), 2u);
}

TEST(SupportRecordingHost, RecordsEachRequestWithItsArgumentsAndDefaultAnswers)
{
    RecordingHost host;
    HostCallback callback = RecordingHost::callback();
    EffectRecord record{};
    int marker = 0;
    EXPECT_EQ(callback(&record, audioMasterVersion, 0, 0, nullptr, 0.0f), 2400);
    EXPECT_EQ(callback(&record, audioMasterAutomate, 7, -3, &marker, 0.25f), 0);
    EXPECT_EQ(callback(nullptr, audioMasterGetTime, 0, 0x3E00, nullptr, 0.0f), 0);
    EXPECT_EQ(callback(nullptr, audioMasterGetCurrentProcessLevel, 0, 0, nullptr, 0.0f), 0);
    EXPECT_EQ(callback(nullptr, audioMasterProcessEvents, 0, 0, nullptr, 0.0f), 1);
    EXPECT_EQ(callback(nullptr, 1000, 0, 0, nullptr, 0.0f), 0);

    ASSERT_EQ(host.requests().size(), 6u);
    const HostRequest& automate = host.requests()[1];
    EXPECT_EQ(automate.effect, &record);
    EXPECT_EQ(automate.opcode, audioMasterAutomate);
    EXPECT_EQ(automate.index, 7);
    EXPECT_EQ(automate.value, -3);
    EXPECT_EQ(automate.ptr, &marker);
    EXPECT_EQ(automate.opt, 0.25f);
    EXPECT_EQ(host.requests()[2].value, 0x3E00);
    EXPECT_EQ(host.opcodes(),
              (std::vector<int32_t>{audioMasterVersion, audioMasterAutomate, audioMasterGetTime,
                                    audioMasterGetCurrentProcessLevel, audioMasterProcessEvents, 1000}));
    EXPECT_EQ(host.count(audioMasterVersion), 1u);
    EXPECT_EQ(host.requests(audioMasterAutomate).size(), 1u);
}

TEST(SupportRecordingHost, AnswersAsConfigured)
{
    RecordingHost host;
    HostCallback callback = RecordingHost::callback();
    VstTimeInfo time{};
    host.answer(audioMasterVersion, 0);
    host.answerTime(&time);
    host.processLevel(kVstProcessLevelRealtime);
    host.answer(audioMasterProcessEvents, 0);
    host.answer(audioMasterCanDo, -1);
    EXPECT_EQ(callback(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f), 0);
    EXPECT_EQ(callback(nullptr, audioMasterGetTime, 0, 0, nullptr, 0.0f), reinterpret_cast<intptr_t>(&time));
    EXPECT_EQ(callback(nullptr, audioMasterGetCurrentProcessLevel, 0, 0, nullptr, 0.0f), 2);
    EXPECT_EQ(callback(nullptr, audioMasterProcessEvents, 0, 0, nullptr, 0.0f), 0);
    EXPECT_EQ(callback(nullptr, audioMasterCanDo, 0, 0, nullptr, 0.0f), -1);

    host.onRequest = [](const HostRequest& request) -> std::optional<intptr_t> {
        if (request.opcode != audioMasterGetVendorString)
            return std::nullopt;
        std::strcpy(static_cast<char*>(request.ptr), "Fake Host");
        return 1;
    };
    char vendor[64] = {};
    EXPECT_EQ(callback(nullptr, audioMasterGetVendorString, 0, 0, vendor, 0.0f), 1);
    EXPECT_STREQ(vendor, "Fake Host");
    EXPECT_EQ(callback(nullptr, audioMasterCanDo, 0, 0, nullptr, 0.0f), -1) << "table answers when the hook declines";
}

TEST(SupportRecordingHost, CopiesMidiEventsBecauseTheListLivesOnlyForTheCall)
{
    RecordingHost host;
    VstMidiEvent noteOn{};
    noteOn.type = kVstMidiType;
    noteOn.byteSize = sizeof(VstMidiEvent) - 8;
    noteOn.deltaFrames = 17;
    noteOn.midiData[0] = static_cast<char>(0x90);
    noteOn.midiData[1] = 60;
    noteOn.midiData[2] = 100;
    VstMidiSysexEvent sysex{};
    sysex.type = kVstSysExType;
    struct {
        int32_t numEvents;
        intptr_t reserved;
        VstEvent* events[3];
    } list{3, 0, {reinterpret_cast<VstEvent*>(&noteOn), reinterpret_cast<VstEvent*>(&sysex), nullptr}};

    RecordingHost::callback()(nullptr, audioMasterProcessEvents, 0, 0, &list, 0.0f);
    noteOn.midiData[1] = 0;
    noteOn.deltaFrames = 0;

    ASSERT_EQ(host.midiEvents().size(), 1u);
    EXPECT_EQ(host.midiEvents()[0].deltaFrames, 17);
    EXPECT_EQ(static_cast<unsigned char>(host.midiEvents()[0].midiData[0]), 0x90);
    EXPECT_EQ(host.midiEvents()[0].midiData[1], 60);
    EXPECT_EQ(host.midiEvents()[0].midiData[2], 100);
    EXPECT_EQ(host.otherEvents(), 1u);

    list.numEvents = -4;
    RecordingHost::callback()(nullptr, audioMasterProcessEvents, 0, 0, &list, 0.0f);
    RecordingHost::callback()(nullptr, audioMasterProcessEvents, 0, 0, nullptr, 0.0f);
    EXPECT_EQ(host.midiEvents().size(), 1u);
    EXPECT_EQ(host.count(audioMasterProcessEvents), 3u);
}

TEST(SupportRecordingHost, CallbackReachesTheCurrentHostAndAnswersZeroWithoutOne)
{
    HostCallback callback = RecordingHost::callback();
    EXPECT_EQ(callback(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f), 0);
    RecordingHost outer;
    {
        RecordingHost inner;
        callback(nullptr, audioMasterIdle, 0, 0, nullptr, 0.0f);
        EXPECT_EQ(inner.count(audioMasterIdle), 1u);
    }
    callback(nullptr, audioMasterNeedIdle, 0, 0, nullptr, 0.0f);
    EXPECT_EQ(outer.opcodes(), (std::vector<int32_t>{audioMasterNeedIdle}));
}

TEST(SupportRecordingHost, CountsWhatDoesNotFitInsteadOfGrowing)
{
    RecordingHost host(2, 1);
    VstMidiEvent note{};
    note.type = kVstMidiType;
    VstEvents list{2, 0, {reinterpret_cast<VstEvent*>(&note), reinterpret_cast<VstEvent*>(&note)}};
    HostCallback callback = RecordingHost::callback();
    callback(nullptr, audioMasterProcessEvents, 0, 0, &list, 0.0f);
    callback(nullptr, audioMasterIdle, 0, 0, nullptr, 0.0f);
    EXPECT_EQ(callback(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f), 2400) << "still answers when full";
    EXPECT_EQ(host.requests().size(), 2u);
    EXPECT_EQ(host.midiEvents().size(), 1u);
    EXPECT_EQ(host.dropped(), 2u);
}

TEST(SupportPluginStage, StagesUnderAUniqueNameWithTheEngineBesideAndLoadsFromThere)
{
    PluginStage first("TraceStageProbe.dll", "TraceStageProbe.dll");
    PluginStage second("TraceStageProbe.dll");
    ASSERT_TRUE(first.staged());
    ASSERT_TRUE(first.loaded());
    ASSERT_TRUE(second.loaded());
    EXPECT_NE(first.name(), second.name());
    EXPECT_NE(first.folder(), second.folder());
    EXPECT_EQ(first.name().rfind("VelT" + std::to_string(GetCurrentProcessId()) + "_", 0), 0u);

    EXPECT_EQ(first.path(), first.folder() + first.name() + ".dll");
    EXPECT_EQ(first.enginePath(), first.folder() + first.name() + "Engine.dll");
    EXPECT_TRUE(exists(first.enginePath()));
    EXPECT_FALSE(exists(second.enginePath()));
#if !defined(_WIN64)
    EXPECT_TRUE(exists(first.folder() + "Velmorant.Runtime"));
#endif

    char loadedFrom[MAX_PATH] = {};
    GetModuleFileNameA(first.module(), loadedFrom, sizeof loadedFrom);
    EXPECT_EQ(lower(loadedFrom), lower(first.path()));
    EXPECT_NE(first.module(), second.module());
}

TEST(SupportPluginStage, EntryAndEffectCallsReachTheStagedModule)
{
    PluginStage stage("TraceStageProbe.dll");
    RecordingHost host;
    DebugOutputCapture capture;
    ASSERT_NE(stage.entry(), nullptr);
    StagedEffect effect(stage.instantiate(RecordingHost::callback()));
    ASSERT_TRUE(effect);
    EXPECT_EQ(effect->magic, kEffectMagic);
    EXPECT_EQ(host.opcodes(), (std::vector<int32_t>{audioMasterVersion}));
    ASSERT_EQ(capture.count(), 1u) << "the probe traces its own path";
    EXPECT_EQ(lower(capture.texts()[0]), lower(stage.path()));

    EXPECT_EQ(effect.dispatch(effGetParamName, 2, 3), effGetParamName * 10000 + 2 * 100 + 3);
    EXPECT_EQ(effect.close(), effClose * 10000);
    EXPECT_FALSE(effect);
    EXPECT_EQ(effect.dispatch(effOpen), 0) << "a closed effect is not called again";
}

TEST(SupportPluginStage, DestructionUnloadsAndDeletesTheFolder)
{
    std::string folder;
    std::string module;
    std::string engine;
    {
        PluginStage stage("TraceStageProbe.dll", "TraceStageProbe.dll");
        ASSERT_TRUE(stage.loaded());
        folder = stage.folder();
        module = stage.name() + ".dll";
        engine = stage.enginePath();
        EXPECT_NE(GetModuleHandleA(module.c_str()), nullptr);
    }
    EXPECT_EQ(GetModuleHandleA(module.c_str()), nullptr);
    EXPECT_FALSE(exists(folder + module));
    EXPECT_FALSE(exists(engine));
    // On i686 GCC's shared libgcc pins itself once loaded, so the staged
    // runtime folder stays until the process ends.
    if (sizeof(void*) == 8) {
        EXPECT_FALSE(exists(folder));
    }
}

TEST(SupportPluginStage, MissingSourceStagesNothingAndInstantiatesNothing)
{
    PluginStage stage("NoSuchPlugin.dll");
    EXPECT_FALSE(stage.staged());
    EXPECT_FALSE(stage.loaded());
    EXPECT_EQ(stage.entry(), nullptr);
    EXPECT_EQ(stage.instantiate(RecordingHost::callback()), nullptr);
}

TEST(SupportPluginStage, ChosenNameAndLaterLoadAreKept)
{
    const std::string name = "VelNamed" + std::to_string(GetCurrentProcessId());
    PluginStage stage("TraceStageProbe.dll", "", name, false);
    ASSERT_TRUE(stage.staged());
    EXPECT_FALSE(stage.loaded());
    EXPECT_TRUE(stage.stage("TraceStageProbe.dll", "Other.dll"));
    EXPECT_TRUE(exists(stage.folder() + "Other.dll"));
    ASSERT_TRUE(stage.load());
    char loadedFrom[MAX_PATH] = {};
    GetModuleFileNameA(stage.module(), loadedFrom, sizeof loadedFrom);
    EXPECT_EQ(lower(loadedFrom), lower(stage.folder() + name + ".dll"));
}

}  // namespace
