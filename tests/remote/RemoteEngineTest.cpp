// An engine in a process of its own behaves as the same engine in the host's
// process: the same audio, state, MIDI out, reports and transport news, at
// the same blocks; and its engine host never outlives its plug-in.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "../host/HostTestSupport.h"
#include "../support/AllocationCounters.h"
#include "../shell/ShellTestSupport.h"
#include "RemoteTestSupport.h"

using namespace remote_test;
using velmorant_test::RecordingHost;
using velmorant_test::StagedEffect;

namespace {

class RemoteEngine : public ::testing::Test {
protected:
    void SetUp() override { EngineProcessSetting::erase(HKEY_CURRENT_USER); }
    void TearDown() override { EngineProcessSetting::erase(HKEY_CURRENT_USER); }
};

// What the host saw of one block: its index and a request's opcode with the
// MIDI bytes or the automated index.
struct Seen {
    int block;
    int32_t opcode;
    int32_t value;
    bool operator==(const Seen& other) const
    {
        return block == other.block && opcode == other.opcode && value == other.value;
    }
};

std::vector<Seen> seenSince(const RecordingHost& host, size_t from, size_t midiFrom, int block)
{
    std::vector<Seen> seen;
    size_t midi = midiFrom;
    for (size_t i = from; i < host.requests().size(); ++i) {
        const velmorant_test::HostRequest& request = host.requests()[i];
        if (request.opcode == audioMasterProcessEvents && midi < host.midiEvents().size()) {
            const VstMidiEvent& event = host.midiEvents()[midi++];
            const int32_t bytes =
                (event.midiData[0] & 0xFF) << 16 | (event.midiData[1] & 0xFF) << 8 | (event.midiData[2] & 0xFF);
            seen.push_back({block, request.opcode, bytes});
        } else if (request.opcode == audioMasterAutomate) {
            seen.push_back({block, request.opcode, request.index});
        }
    }
    return seen;
}

// The MIDI out, automation and audio of a run with transport changes and
// reports, in either mode.
struct Observed {
    std::vector<Seen> seen;
    std::vector<float> output;
    float reported = 0.0f;
};

Observed runTransportAndReports(bool ownProcess)
{
    EngineProcessSetting setting(ownProcess ? 1 : 0);
    RemoteStage stage("RemoteTestEngine.dll");
    EXPECT_TRUE(stage.ready());
    RecordingHost host;
    StagedEffect effect(stage.instantiate(host.callback()));
    Observed observed;
    EXPECT_TRUE(effect);
    if (!effect)
        return observed;
    BlockRunner runner(effect, host);
    runner.start();
    host.clear();
    // Playing from block 2, a cycle jump at 6, stopped at 9; a note, and the
    // engine's own MIDI out and report in block 4.
    for (int block = 0; block < 12; ++block) {
        const size_t requests = host.requests().size();
        const size_t midi = host.midiEvents().size();
        int32_t flags = 0;
        if (block >= 2 && block < 9)
            flags |= kVstTransportPlaying;
        if (block == 2 || block == 9)
            flags |= kVstTransportChanged;
        if (block >= 5 && block < 9)
            flags |= kVstTransportCycleActive | kVstCyclePosValid;
        runner.time().cycleStartPos = 0.0;
        runner.time().cycleEndPos = 1.0;
        if (block == 6)
            runner.time().ppqPos = 0.0;
        std::vector<BlockRunner::Message> messages;
        if (block == 1)
            messages.push_back({0x90, 60, 100, 3});
        if (block == 4)
            messages.push_back({0x90, 102, 100, 0});
        runner.block(messages, flags);
        const std::vector<Seen> seen = seenSince(host, requests, midi, block);
        observed.seen.insert(observed.seen.end(), seen.begin(), seen.end());
    }
    observed.output = runner.output;
    observed.reported = effect.getParameter(5);
    return observed;
}

// Instantiating through the stage fails; the one message box shown says why.
std::string onlyMessageOfAFailedInstantiation(RemoteStage& stage)
{
    shell_test::MessageBoxRecorder boxes(stage.module());
    RecordingHost host;
    StagedEffect effect(stage.instantiate(host.callback()));
    EXPECT_FALSE(effect);
    const std::vector<shell_test::ShownMessage> messages = boxes.messages();
    EXPECT_EQ(messages.size(), 1u);
    return messages.empty() ? std::string() : messages[0].text;
}

const char* const failedEngineText = "Cannot instantiate Zandoruvel2:\ninitialization faied!";

TEST_F(RemoteEngine, TransportNewsMidiOutAndReportsComeAtTheSameBlocksInTheSameOrderAsInTheHostsProcess)
{
    const Observed inProcess = runTransportAndReports(false);
    const Observed ownProcess = runTransportAndReports(true);

    // The engine tells every transport change back as MIDI out (status byte
    // first): the host must hear the start when the position first moves,
    // the cycle at the jump back, the stop, and the block-4 sequence.
    const auto has = [&](int block, int32_t opcode, int32_t status) {
        for (const Seen& seen : inProcess.seen)
            if (seen.block == block && seen.opcode == opcode &&
                (opcode != audioMasterProcessEvents || seen.value >> 16 == status))
                return true;
        return false;
    };
    EXPECT_TRUE(has(1, audioMasterProcessEvents, 0xFA));
    EXPECT_TRUE(has(6, audioMasterProcessEvents, 0xF2));
    EXPECT_TRUE(has(9, audioMasterProcessEvents, 0xFC));
    EXPECT_TRUE(has(4, audioMasterAutomate, 0));
    ASSERT_FALSE(inProcess.seen.empty());
    EXPECT_EQ(ownProcess.seen.size(), inProcess.seen.size());
    EXPECT_TRUE(ownProcess.seen == inProcess.seen);

    // Within block 4: MIDI out, the report, MIDI out, in the engine's order.
    std::vector<Seen> block4;
    for (const Seen& seen : ownProcess.seen)
        if (seen.block == 4)
            block4.push_back(seen);
    ASSERT_EQ(block4.size(), 3u);
    EXPECT_EQ(block4[0].value, 0xB01001);
    EXPECT_EQ(block4[1].opcode, audioMasterAutomate);
    EXPECT_EQ(block4[2].value, 0xB01002);

    EXPECT_EQ(ownProcess.output, inProcess.output);
    EXPECT_GT(peakOf(ownProcess.output, 0, ownProcess.output.size()), 0.1f);
    EXPECT_FLOAT_EQ(ownProcess.reported, 0.75f);
    EXPECT_FLOAT_EQ(inProcess.reported, 0.75f);
}

// A chunk from one mode restores in the other and reads back unchanged.
TEST_F(RemoteEngine, StateSavedInOneModeRestoresInTheOtherByteForByte)
{
    std::vector<uint8_t> fromHostProcess;
    {
        RemoteStage stage("VelmorantEngine.dll");
        RecordingHost host;
        StagedEffect effect(stage.instantiate(host.callback()));
        ASSERT_TRUE(effect);
        effect.setParameter(3, 0.125f);
        effect.setParameter(7, 0.875f);
        fromHostProcess = chunkOf(effect);
        ASSERT_FALSE(fromHostProcess.empty());
    }
    std::vector<uint8_t> fromOwnProcess;
    {
        EngineProcessSetting setting(1);
        RemoteStage stage("VelmorantEngine.dll");
        RecordingHost host;
        StagedEffect effect(stage.instantiate(host.callback()));
        ASSERT_TRUE(effect);
        ASSERT_EQ(engineHostsOf().size(), 1u);
        restoreChunk(effect, fromHostProcess);
        EXPECT_EQ(chunkOf(effect), fromHostProcess);
        EXPECT_FLOAT_EQ(effect.getParameter(3), 0.125f);
        effect.setParameter(3, 0.25f);
        fromOwnProcess = chunkOf(effect);
        EXPECT_NE(fromOwnProcess, fromHostProcess);
    }
    {
        RemoteStage stage("VelmorantEngine.dll");
        RecordingHost host;
        StagedEffect effect(stage.instantiate(host.callback()));
        ASSERT_TRUE(effect);
        EXPECT_TRUE(engineHostsOf().empty());
        restoreChunk(effect, fromOwnProcess);
        EXPECT_EQ(chunkOf(effect), fromOwnProcess);
        EXPECT_FLOAT_EQ(effect.getParameter(3), 0.25f);
    }
}

TEST_F(RemoteEngine, ASixteenMebibyteStateCrossesWithExactlyTheEnginesBytes)
{
    EngineProcessSetting setting(1);
    RemoteStage stage("RemoteTestEngine.dll");
    RecordingHost host;
    StagedEffect first(stage.instantiate(host.callback()));
    StagedEffect second(stage.instantiate(host.callback()));
    ASSERT_TRUE(first && second);
    first.setParameter(2, 0.5f);  // 16 MiB of pattern
    first.setParameter(0, 0.25f);
    std::vector<uint8_t> state = chunkOf(first);
    ASSERT_EQ(state.size(), 8u + 6 * 4 + (16u << 20) + 4);
    // The pattern the engine made, byte for byte.
    uint32_t x = 0x9E3779B9u;
    size_t wrong = 0;
    for (size_t i = 8 + 6 * 4; i < state.size() - 4; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        wrong += state[i] != static_cast<uint8_t>(x) ? 1 : 0;
    }
    EXPECT_EQ(wrong, 0u);
    // The other instance's engine takes it only if its checksum holds, and
    // saves the same bytes again.
    restoreChunk(second, state);
    EXPECT_FLOAT_EQ(second.getParameter(0), 0.25f);
    EXPECT_EQ(chunkOf(second), state);
}

TEST_F(RemoteEngine, SixteenInstancesEachWithItsEngineHostRenderAndLeaveNothingRunning)
{
    EngineProcessSetting setting(1);
    RemoteStage stage("RemoteTestEngine.dll");
    RecordingHost host;
    const int count = 16;
    {
        std::vector<std::unique_ptr<StagedEffect>> effects;
        for (int i = 0; i < count; ++i) {
            effects.emplace_back(new StagedEffect(stage.instantiate(host.callback())));
            ASSERT_TRUE(*effects.back());
        }
        EXPECT_EQ(engineHostsOf().size(), static_cast<size_t>(count));
        for (int i = 0; i < count; ++i) {
            BlockRunner runner(*effects[static_cast<size_t>(i)], host);
            runner.start();
            runner.block({{0x90, static_cast<unsigned char>(48 + i), 100, 0}});
            runner.silentBlocks(3);
            EXPECT_GT(peakOf(runner.output, 0, runner.output.size()), 0.05f) << "instance " << i;
        }
    }
    EXPECT_TRUE(noEngineHostsWithin(10000));
}

// The plug-in's process ends without closing anything: its engine host
// follows by itself.
TEST_F(RemoteEngine, TheEngineHostEndsWhenThePlugInsProcessIsKilled)
{
    EngineProcessSetting setting(1);
    ScratchFolder scratch;
    const std::string command = quoted(binaryFolder() + "velmorant-host.exe") + " " +
                                quoted(binaryFolder() + "Velmorant.dll") + " --soak 100000 --quiet";
    std::vector<char> line(command.begin(), command.end());
    line.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child = {};
    ASSERT_TRUE(CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, scratch.path.c_str(),
                               &startup, &child));
    std::vector<DWORD> hosts;
    const ULONGLONG end = GetTickCount64() + 60000;
    while ((hosts = engineHostsOf(child.dwProcessId)).empty() && GetTickCount64() < end)
        Sleep(50);
    ASSERT_EQ(hosts.size(), 1u);
    HANDLE engineHost = OpenProcess(SYNCHRONIZE, FALSE, hosts[0]);
    ASSERT_NE(engineHost, nullptr);

    TerminateProcess(child.hProcess, 9);
    WaitForSingleObject(child.hProcess, 10000);
    EXPECT_EQ(WaitForSingleObject(engineHost, 10000), WAIT_OBJECT_0);
    CloseHandle(engineHost);
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
}

TEST_F(RemoteEngine, AMissingEngineHostProgramIsReportedOnceByItsPath)
{
    EngineProcessSetting setting(1);
    RemoteStage stage("RemoteTestEngine.dll", false);
    ASSERT_TRUE(stage.loaded());
    shell_test::MessageBoxRecorder boxes(stage.module());
    ASSERT_TRUE(boxes.patched());
    RecordingHost host;
    StagedEffect effect(stage.instantiate(host.callback()));
    EXPECT_FALSE(effect);
    const std::vector<shell_test::ShownMessage> messages = boxes.messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "Error loading the following executable:\n" + stage.folder() + ownEngineHost);
    EXPECT_EQ(messages[0].caption, "Zandoruvel2 VSTi");
}

// Whatever answers in the engine host's place without speaking its protocol
// (here a program that ends at once) is a failed engine: one message, no record.
TEST_F(RemoteEngine, AnEngineHostThatDoesNotAnswerIsAFailedEngine)
{
    EngineProcessSetting setting(1);
    RemoteStage stage("RemoteTestEngine.dll", false);
    char system[MAX_PATH] = {};
    GetSystemDirectoryA(system, MAX_PATH);
    ASSERT_TRUE(stage.stage(std::string(system) + "\\hostname.exe", ownEngineHost));
    EXPECT_EQ(onlyMessageOfAFailedInstantiation(stage), failedEngineText);
}

TEST_F(RemoteEngine, AnEngineHostOfAnotherProtocolVersionIsAFailedEngineAndIsEnded)
{
    EngineProcessSetting setting(1);
    RemoteStage stage("RemoteTestEngine.dll", false);
    ASSERT_TRUE(stage.stage("FakeEngineHost.exe", ownEngineHost));
    EXPECT_EQ(onlyMessageOfAFailedInstantiation(stage), failedEngineText);
    EXPECT_TRUE(noEngineHostsWithin(5000));
}

TEST_F(RemoteEngine, AnEngineThatFailsToLoadInItsProcessIsReportedAsInTheHostsProcess)
{
    EngineProcessSetting setting(1);
    RemoteStage stage("ShellThrowingFactory.dll");
    EXPECT_EQ(onlyMessageOfAFailedInstantiation(stage), failedEngineText);

    RemoteStage missing("");
    EXPECT_EQ(onlyMessageOfAFailedInstantiation(missing),
              "Error loading the following executable:\n" + missing.enginePath());
    EXPECT_TRUE(noEngineHostsWithin(5000));
}

TEST_F(RemoteEngine, ReportsFromTheEnginesOwnThreadsReachTheHostAtAnIdleCall)
{
    OwnProcessInstance instance("RemoteTestEngine.dll");
    ASSERT_TRUE(instance.effect);
    StagedEffect& effect = instance.effect;
    RecordingHost& host = instance.host;
    instance.runner.block({{0x90, 103, 100, 0}});
    host.clear();
    const ULONGLONG end = GetTickCount64() + 5000;
    while (host.count(audioMasterAutomate) == 0 && GetTickCount64() < end) {
        Sleep(10);
        effect.dispatch(effIdle);
    }
    const std::vector<velmorant_test::HostRequest> automated = host.requests(audioMasterAutomate);
    ASSERT_EQ(automated.size(), 1u);
    EXPECT_EQ(automated[0].index, 4);
    EXPECT_FLOAT_EQ(automated[0].opt, 0.5f);
    EXPECT_FLOAT_EQ(effect.getParameter(4), 0.5f);
}

// HKEY_CURRENT_USER decides where it holds a DWORD; HKEY_LOCAL_MACHINE else.
TEST_F(RemoteEngine, TheSettingIsTakenFromTheCurrentUserBeforeTheMachine)
{
    struct Case {
        int user;  // -1: none, -2: the text "1"
        int machine;
        bool ownProcess;
    };
    const Case cases[] = {{-1, 1, true}, {0, 1, false}, {1, 0, true}, {-2, -1, false}, {-1, -1, false}};
    for (const Case& c : cases) {
        EngineProcessSetting::erase(HKEY_CURRENT_USER);
        EngineProcessSetting::erase(HKEY_LOCAL_MACHINE);
        std::unique_ptr<EngineProcessSetting> user, machine;
        if (c.user >= 0)
            user.reset(new EngineProcessSetting(static_cast<DWORD>(c.user), HKEY_CURRENT_USER));
        if (c.machine >= 0)
            machine.reset(new EngineProcessSetting(static_cast<DWORD>(c.machine), HKEY_LOCAL_MACHINE));
        HKEY key = nullptr;
        if (c.user == -2 && RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Korvanta\\Velmorant", 0, nullptr, 0,
                                            KEY_SET_VALUE, nullptr, &key, nullptr) == ERROR_SUCCESS) {
            RegSetValueExA(key, "EngineProcess", 0, REG_SZ, reinterpret_cast<const BYTE*>("1"), 2);
            RegCloseKey(key);
        }
        RemoteStage stage("RemoteTestEngine.dll");
        RecordingHost host;
        StagedEffect effect(stage.instantiate(host.callback()));
        ASSERT_TRUE(effect);
        EXPECT_EQ(engineHostsOf().size(), c.ownProcess ? 1u : 0u) << "user " << c.user << ", machine " << c.machine;
        effect.close();
        EngineProcessSetting::erase(HKEY_CURRENT_USER);
        EngineProcessSetting::erase(HKEY_LOCAL_MACHINE);
    }
}

// The processing thread's side allocates nothing: queued commands, the round
// trip, and handing the engine's MIDI out and reports to the host.
TEST_F(RemoteEngine, TheRealTimePathsOfAnEngineInItsOwnProcessAllocateNothing)
{
    OwnProcessInstance instance("RemoteTestEngine.dll", kVstProcessLevelRealtime);
    ASSERT_TRUE(instance.effect);
    StagedEffect& effect = instance.effect;
    RemoteStage& stage = instance.stage;
    BlockRunner& runner = instance.runner;
    RecordingHost& host = instance.host;
    runner.block({{0x90, 102, 100, 0}});
    runner.silentBlocks(2);

    velmorant_test::ImportCounters counters(stage.module());
    const long beforeChunk = velmorant_test::allocations.load();
    chunkOf(effect);
    ASSERT_GT(velmorant_test::allocations.load(), beforeChunk) << "the counters miss the plug-in's allocations";

    const long before = velmorant_test::allocations.load();
    float read = 0.0f;
    for (int block = 0; block < 400; ++block) {
        std::vector<BlockRunner::Message> messages;
        if (block % 50 == 0)
            messages.push_back({0x90, 102, 100, 0});
        if (block % 7 == 0)
            messages.push_back({0x90, static_cast<unsigned char>(40 + block % 30), 90, block % 64});
        int32_t flags = block % 40 < 30 ? kVstTransportPlaying : 0;
        if (block % 40 == 0 || block % 40 == 30)
            flags |= kVstTransportChanged;
        effect.setParameter(1, static_cast<float>(block % 10) / 10.0f);
        runner.block(messages, flags);
        read += effect.getParameter(1) + effect.getParameter(5);
    }
    EXPECT_EQ(velmorant_test::allocations.load() - before, 0) << "allocations on the processing paths";
    EXPECT_EQ(host.count(audioMasterAutomate), 9u);
    EXPECT_GT(read, 0.0f);
}

std::atomic<long> setEvents{0};
std::atomic<long> waits{0};
decltype(&SetEvent) realSetEvent = nullptr;
decltype(&WaitForMultipleObjects) realWait = nullptr;

BOOL WINAPI countedSetEvent(HANDLE event)
{
    ++setEvents;
    return realSetEvent(event);
}

DWORD WINAPI countedWait(DWORD count, const HANDLE* handles, BOOL all, DWORD milliseconds)
{
    ++waits;
    return realWait(count, handles, all, milliseconds);
}

// Points one import slot of the plug-in elsewhere for the life of the object.
class ImportPatch {
public:
    ImportPatch(HMODULE module, const char* function, void* replacement, void** original)
        : slot(shell_test::MessageBoxRecorder::importSlot(module, "kernel32.dll", function))
    {
        if (slot == nullptr)
            return;
        saved = *slot;
        *original = saved;
        write(replacement);
    }
    ~ImportPatch()
    {
        if (slot != nullptr)
            write(saved);
    }
    ImportPatch(const ImportPatch&) = delete;
    ImportPatch& operator=(const ImportPatch&) = delete;
    bool patched() const { return slot != nullptr; }

private:
    void write(void* value)
    {
        DWORD protection = 0;
        VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &protection);
        *slot = value;
        VirtualProtect(slot, sizeof *slot, protection, &protection);
    }
    void** slot;
    void* saved = nullptr;
};

// Blocks at the pace of a live host: the engine host sleeps between them and
// is woken at most once a block; the plug-in sleeps on the answer at most once.
TEST_F(RemoteEngine, ABlockWakesTheEngineHostAtMostOnceAndSleepsOnTheAnswerAtMostOnce)
{
    OwnProcessInstance instance("RemoteTestEngine.dll", kVstProcessLevelRealtime);
    ASSERT_TRUE(instance.effect);
    BlockRunner& runner = instance.runner;
    runner.block({{0x90, 60, 100, 0}});
    const HMODULE plugin = instance.stage.module();
    ImportPatch setEventPatch(plugin, "SetEvent", reinterpret_cast<void*>(&countedSetEvent),
                              reinterpret_cast<void**>(&realSetEvent));
    ImportPatch waitPatch(plugin, "WaitForMultipleObjects", reinterpret_cast<void*>(&countedWait),
                          reinterpret_cast<void**>(&realWait));
    ASSERT_TRUE(setEventPatch.patched() && waitPatch.patched());
    const int blocks = 150;
    for (int block = 0; block < blocks; ++block) {
        Sleep(2);
        runner.block();
    }
    EXPECT_GE(setEvents.load(), 1);
    EXPECT_LE(setEvents.load(), blocks);
    EXPECT_LE(waits.load(), blocks);
    EXPECT_GT(peakOf(runner.output, runner.output.size() - 64, runner.output.size()), 0.1f);
}

// velmorant-host renders the reference engine the same in both modes, at
// both block sizes, MIDI out and the saved state included.
TEST_F(RemoteEngine, TheCommandLineHostRendersTheDemoPhraseBitIdenticallyInBothModes)
{
    for (int blockSize : {64, 512}) {
        ScratchFolder scratch;
        std::string reports[2];
        for (int own = 0; own < 2; ++own) {
            EngineProcessSetting setting(static_cast<DWORD>(own));
            const std::string name = own != 0 ? "own" : "host";
            const HostRun run = runHost({binaryFolder() + "Velmorant.dll", "--midi", binaryFolder() + "demo-phrase.mid",
                                         "--out", scratch / (name + ".wav"), "--block", std::to_string(blockSize),
                                         "--set", "MIDI Out=1", "--save-state", scratch / (name + ".state")},
                                        scratch);
            ASSERT_EQ(run.exitCode, 0u) << run.err;
            reports[own] = run.out.substr(run.out.find("peak:"));
        }
        const std::vector<uint8_t> host = readBytes(scratch / "host.wav");
        ASSERT_GT(host.size(), 100000u);
        EXPECT_TRUE(readBytes(scratch / "own.wav") == host) << "block size " << blockSize;
        EXPECT_TRUE(readBytes(scratch / "own.state") == readBytes(scratch / "host.state"));
        EXPECT_EQ(reports[1], reports[0]);
        EXPECT_EQ(reports[0].find("MIDI events from the plug-in: 0"), std::string::npos);
    }
}

}  // namespace
