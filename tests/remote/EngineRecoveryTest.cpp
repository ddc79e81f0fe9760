// An engine in its own process that crashes, is killed or hangs costs a
// moment of silence: the host goes on, the engine host is started again at
// the next idle call with everything the host expects, and an engine that
// keeps crashing is given up until the next resume.
#include <windows.h>

#include <psapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "../host/HostTestSupport.h"
#include "../shell/ShellTestSupport.h"
#include "../support/DebugOutputCapture.h"
#include "RemoteTestSupport.h"

using namespace remote_test;
using velmorant_test::DebugOutputCapture;
using velmorant_test::RecordingHost;
using velmorant_test::StagedEffect;

namespace {

const char restartedMessage[] = "The sound engine stopped unexpectedly and was started again with your settings.\n"
                                "Notes that were sounding at that moment were cut off.";
const char givenUpMessage[] =
    "The sound engine stopped unexpectedly three times within a minute and was not started again.\n"
    "Velmorant stays silent until the host switches it off and on again; your settings are kept.";

class EngineRecovery : public ::testing::Test {
protected:
    void SetUp() override
    {
        EngineProcessSetting::erase(HKEY_CURRENT_USER);
        setting.reset(new EngineProcessSetting(1));
        stage.reset(new RemoteStage("RemoteTestEngine.dll"));
        ASSERT_TRUE(stage->ready());
    }
    void TearDown() override
    {
        runner.reset();
        effect.reset();
        stage.reset();
        setting.reset();
    }

    StagedEffect instantiate() { return StagedEffect(stage->instantiate(host.callback())); }

    // The instance whose engine host is to stop, resumed at 64 frames.
    void open(int32_t processLevel = kVstProcessLevelOffline)
    {
        effect.reset(new StagedEffect(instantiate()));
        ASSERT_TRUE(*effect);
        runner.reset(new BlockRunner(*effect, host));
        runner->start(processLevel);
    }

    // The trace lines about the engine host seen by `capture`.
    static int linesStarting(const DebugOutputCapture& capture, const std::string& start)
    {
        int count = 0;
        for (const std::string& text : capture.texts())
            count += text.compare(0, start.size(), start) == 0 ? 1 : 0;
        return count;
    }

    std::unique_ptr<EngineProcessSetting> setting;
    std::unique_ptr<RemoteStage> stage;
    RecordingHost host;
    std::unique_ptr<StagedEffect> effect;
    std::unique_ptr<BlockRunner> runner;
};

TEST_F(EngineRecovery, AnEngineHostKilledMidRenderIsReplacedAtTheNextIdleCallSaidOnceAndTracedOnce)
{
    shell_test::MessageBoxRecorder boxes(stage->module());
    ASSERT_NO_FATAL_FAILURE(open());
    DebugOutputCapture capture;
    runner->block({{0x90, 60, 100, 0}});
    runner->silentBlocks(3);
    EXPECT_GT(peakOf(runner->output, 0, runner->output.size()), 0.1f);

    const std::vector<DWORD> before = engineHostsOf();
    ASSERT_EQ(before.size(), 1u);
    ASSERT_TRUE(killProcess(before[0]));
    const size_t killedAt = runner->output.size();
    runner->silentBlocks(3);
    EXPECT_EQ(peakOf(runner->output, killedAt, runner->output.size()), 0.0f);

    effect->dispatch(effIdle);
    const std::vector<DWORD> after = engineHostsOf();
    ASSERT_EQ(after.size(), 1u);
    EXPECT_NE(after[0], before[0]);
    const size_t restartedAt = runner->output.size();
    runner->block({{0x90, 64, 100, 0}});
    runner->silentBlocks(2);
    EXPECT_GT(peakOf(runner->output, restartedAt, runner->output.size()), 0.1f);

    EXPECT_EQ(linesStarting(capture, "engine host stopped: the process ended"), 1);
    EXPECT_EQ(linesStarting(capture, "engine host started again, "), 1);
    const std::vector<shell_test::ShownMessage> messages = boxes.messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, restartedMessage);
}

// After a crash every parameter reads back as it was, changes made since the
// last state included, and a state saved then renders as one taken before.
TEST_F(EngineRecovery, AfterACrashTheParametersAndTheStateAreAsJustBeforeIt)
{
    std::vector<uint8_t> start;
    {
        StagedEffect maker(instantiate());
        ASSERT_TRUE(maker);
        maker.setParameter(0, 0.25f);
        start = chunkOf(maker);
    }
    // Twins: one crashes, the other keeps the state of just before the crash.
    StagedEffect crashing(instantiate());
    StagedEffect twin(instantiate());
    ASSERT_TRUE(crashing && twin);
    BlockRunner crashingRunner(crashing, host);
    BlockRunner twinRunner(twin, host);
    crashingRunner.start();
    twinRunner.start();
    for (StagedEffect* effect : {&crashing, &twin}) {
        restoreChunk(*effect, start);
        effect->setParameter(1, 0.75f);  // after the last state, from the main thread
    }
    crashingRunner.block({{0x90, 102, 100, 0}});  // the engine reports parameter 5 itself
    twinRunner.block({{0x90, 102, 100, 0}});
    crashingRunner.block({}, 0);
    std::vector<float> before;
    for (int32_t i = 0; i < 6; ++i)
        before.push_back(crashing.getParameter(i));
    EXPECT_FLOAT_EQ(before[0], 0.25f);
    EXPECT_FLOAT_EQ(before[1], 0.75f);
    EXPECT_FLOAT_EQ(before[5], 0.75f);
    const std::vector<uint8_t> justBefore = chunkOf(twin);

    crashingRunner.block({{0x90, 100, 100, 0}});
    crashingRunner.silentBlocks(1);
    crashing.dispatch(effIdle);
    for (int32_t i = 0; i < 6; ++i)
        EXPECT_FLOAT_EQ(crashing.getParameter(i), before[static_cast<size_t>(i)]) << "parameter " << i;
    const std::vector<uint8_t> after = chunkOf(crashing);
    EXPECT_EQ(after, justBefore);

    // Rendered by fresh instances, the two states sound the same.
    std::vector<float> renders[2];
    const std::vector<uint8_t>* states[2] = {&justBefore, &after};
    for (int i = 0; i < 2; ++i) {
        StagedEffect fresh(instantiate());
        ASSERT_TRUE(fresh);
        BlockRunner runner(fresh, host);
        runner.start();
        std::vector<uint8_t> state = *states[i];
        restoreChunk(fresh, state);
        runner.block({{0x90, 57, 90, 5}});
        runner.silentBlocks(4);
        renders[i] = runner.output;
    }
    EXPECT_GT(peakOf(renders[0], 0, renders[0].size()), 0.05f);
    EXPECT_EQ(renders[1], renders[0]);
}

// A render that never returns costs silent blocks, never a stuck audio
// thread; after about two seconds the engine host is ended and replaced.
TEST_F(EngineRecovery, AnEngineHangingInItsRenderIsEndedAndTheAudioThreadNeverWaitsLong)
{
    ASSERT_NO_FATAL_FAILURE(open(kVstProcessLevelRealtime));
    DebugOutputCapture capture;
    runner->block({{0x90, 60, 100, 0}});
    runner->block({{0x90, 101, 100, 0}});
    double longest = 0.0;
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    const ULONGLONG end = GetTickCount64() + 8000;
    while (linesStarting(capture, "engine host stopped: no answer in time") == 0 && GetTickCount64() < end) {
        LARGE_INTEGER from, to;
        QueryPerformanceCounter(&from);
        runner->block();
        QueryPerformanceCounter(&to);
        longest = std::max(longest, static_cast<double>(to.QuadPart - from.QuadPart) * 1000.0 / frequency.QuadPart);
        Sleep(1);
    }
    EXPECT_EQ(linesStarting(capture, "engine host stopped: no answer in time"), 1);
    // A block's deadline is at most 50 ms; the wake-up adds little.
    EXPECT_LT(longest, 120.0);

    effect->dispatch(effEditIdle);
    const size_t restartedAt = runner->output.size();
    runner->block({{0x90, 64, 100, 0}});
    runner->silentBlocks(2);
    EXPECT_GT(peakOf(runner->output, restartedAt, runner->output.size()), 0.1f);
    EXPECT_EQ(linesStarting(capture, "engine host started again, "), 1);
}

TEST_F(EngineRecovery, AnEngineCrashingInItsSaveAnswersTheLastStateTheHostSaw)
{
    StagedEffect effect(instantiate());
    ASSERT_TRUE(effect);
    effect.setParameter(0, 0.375f);
    const std::vector<uint8_t> saved = chunkOf(effect);
    ASSERT_FALSE(saved.empty());
    effect.setParameter(3, 1.0f);  // the next save crashes
    EXPECT_EQ(chunkOf(effect), saved);
    EXPECT_TRUE(noEngineHostsWithin(2000));
    // The next main-thread request starts it again.
    effect.dispatch(effIdle);
    EXPECT_EQ(engineHostsOf().size(), 1u);
    EXPECT_FLOAT_EQ(effect.getParameter(0), 0.375f);
}

TEST_F(EngineRecovery, AnEngineThatKeepsCrashingIsGivenUpAfterThreeStopsUntilTheNextResume)
{
    shell_test::MessageBoxRecorder boxes(stage->module());
    ASSERT_NO_FATAL_FAILURE(open());
    DebugOutputCapture capture;
    for (int crash = 0; crash < 4; ++crash) {
        runner->block({{0x90, 100, 100, 0}});
        effect->dispatch(effIdle);
    }
    EXPECT_TRUE(engineHostsOf().empty());
    const size_t givenUpAt = runner->output.size();
    runner->block({{0x90, 60, 100, 0}});
    effect->dispatch(effIdle);
    runner->silentBlocks(2);
    EXPECT_EQ(peakOf(runner->output, givenUpAt, runner->output.size()), 0.0f);
    EXPECT_TRUE(engineHostsOf().empty());

    std::vector<shell_test::ShownMessage> messages = boxes.messages();
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[0].text, restartedMessage);
    EXPECT_EQ(messages[1].text, restartedMessage);
    EXPECT_EQ(messages[2].text, givenUpMessage);
    EXPECT_EQ(linesStarting(capture, "engine host stopped: "), 3);
    EXPECT_EQ(linesStarting(capture, "engine host not started again: 3 stops within a minute"), 1);

    effect->dispatch(effMainsChanged, 0, 0);
    effect->dispatch(effMainsChanged, 0, 1);
    EXPECT_EQ(engineHostsOf().size(), 1u);
    const size_t resumedAt = runner->output.size();
    runner->block({{0x90, 64, 100, 0}});
    runner->silentBlocks(2);
    EXPECT_GT(peakOf(runner->output, resumedAt, runner->output.size()), 0.1f);
}

// The committed private memory of this process, region by region (Wine's
// process counters leave it 0).
size_t privateBytes()
{
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    size_t total = 0;
    MEMORY_BASIC_INFORMATION region = {};
    const char* at = static_cast<const char*>(system.lpMinimumApplicationAddress);
    while (at < static_cast<const char*>(system.lpMaximumApplicationAddress) &&
           VirtualQuery(at, &region, sizeof region) == sizeof region) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE)
            total += region.RegionSize;
        at = static_cast<const char*>(region.BaseAddress) + region.RegionSize;
    }
    return total;
}

// The handles this process holds, found by asking about every handle value
// below 64 Ki (Wine's process counters leave the count 0).
DWORD handleCount()
{
    DWORD count = 0;
    for (uintptr_t value = 4; value < 0x10000; value += 4) {
        DWORD flags = 0;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags))
            ++count;
    }
    return count;
}

TEST_F(EngineRecovery, AHundredStopsAndRestartsLeaveHandlesAndMemoryFlat)
{
    ASSERT_NO_FATAL_FAILURE(open());
    const int cycles = 100;
    const int warmUp = 10;
    size_t memoryAfterWarmUp = 0;
    DWORD handlesAfterWarmUp = 0;
    for (int cycle = 0; cycle < cycles; ++cycle) {
        if (cycle == warmUp) {
            memoryAfterWarmUp = privateBytes();
            handlesAfterWarmUp = handleCount();
        }
        const std::vector<DWORD> hosts = engineHostsOf();
        ASSERT_EQ(hosts.size(), 1u) << "cycle " << cycle << ", first " << (hosts.empty() ? 0 : hosts[0]);
        killProcess(hosts[0]);
        runner->block();
        effect->dispatch(effIdle);
        // Every third stop within a minute is given up; a resume starts again.
        if (engineHostsOf().empty()) {
            effect->dispatch(effMainsChanged, 0, 0);
            effect->dispatch(effMainsChanged, 0, 1);
        }
        runner->block({{0x90, 60, 100, 0}});
        ASSERT_GT(peakOf(runner->output, runner->output.size() - 64, runner->output.size()), 0.05f)
            << "cycle " << cycle << ", engine hosts " << engineHostsOf().size();
        runner->block({{0x80, 60, 0, 0}});
    }
    const size_t grown = privateBytes() > memoryAfterWarmUp ? privateBytes() - memoryAfterWarmUp : 0;
    EXPECT_GT(handlesAfterWarmUp, 0u);
    EXPECT_GT(memoryAfterWarmUp, 0u);
    EXPECT_LE(handleCount(), handlesAfterWarmUp + 8);
    EXPECT_LT(grown, static_cast<size_t>(4) << 20);
}

// velmorant-host renders through a crash with exit code 0: sound, a gap of
// at most a few blocks, sound again.
TEST_F(EngineRecovery, TheCommandLineHostRendersThroughACrashWithAShortGap)
{
    // A phrase at 120 beats a minute, 480 ticks a beat: a long note, the
    // crash at 1.2 s, a note one block later.
    auto vlq = [](std::vector<uint8_t>& out, uint32_t value) {
        uint8_t bytes[4];
        int count = 0;
        do {
            bytes[count++] = static_cast<uint8_t>(value & 0x7F);
            value >>= 7;
        } while (value != 0);
        while (count > 0) {
            const uint8_t byte = bytes[--count];
            out.push_back(count > 0 ? (byte | 0x80) : byte);
        }
    };
    const uint32_t crashTick = 1152;           // 1.2 s
    const uint32_t nextTick = crashTick + 12;  // 12.5 ms later
    std::vector<uint8_t> track;
    auto event = [&](uint32_t delta, uint8_t status, uint8_t data1, uint8_t data2) {
        vlq(track, delta);
        track.insert(track.end(), {status, data1, data2});
    };
    event(0, 0x90, 48, 100);
    event(crashTick, 0x90, 100, 100);
    event(nextTick - crashTick, 0x90, 67, 100);
    event(960, 0x80, 67, 0);
    event(0, 0x80, 48, 0);
    track.insert(track.end(), {0x00, 0xFF, 0x2F, 0x00});
    std::vector<uint8_t> file = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0x01, 0xE0, 'M', 'T', 'r', 'k'};
    const uint32_t length = static_cast<uint32_t>(track.size());
    file.insert(file.end(), {static_cast<uint8_t>(length >> 24), static_cast<uint8_t>(length >> 16),
                             static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length)});
    file.insert(file.end(), track.begin(), track.end());
    ScratchFolder scratch;
    common::writeFile(scratch / "crash.mid", file);

    const HostRun run = runHost({stage->path(), "--midi", scratch / "crash.mid", "--out", scratch / "crash.wav",
                                 "--format", "float", "--block", "256", "--tail", "0.5", "--trace"},
                                scratch);
    ASSERT_EQ(run.exitCode, 0u) << run.err;
    EXPECT_NE(run.err.find("engine host stopped: the process ended"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("engine host started again, "), std::string::npos);
    const FloatWav wav = readFloatWav(readBytes(scratch / "crash.wav"));
    ASSERT_EQ(wav.channels, 2u);
    const size_t crashFrame = 52920;  // 1.2 s
    const size_t nextFrame = crashFrame + 551;
    std::vector<float> left;
    for (size_t i = 0; i < wav.samples.size(); i += 2)
        left.push_back(wav.samples[i]);
    ASSERT_GT(left.size(), nextFrame + 44100);
    EXPECT_GT(peakOf(left, crashFrame - 4410, crashFrame - 256), 0.1f);
    // Silence from the crash's block until the engine host is back...
    size_t silentFrom = crashFrame - 256;
    while (silentFrom < left.size() && left[silentFrom] != 0.0f)
        ++silentFrom;
    size_t soundAgain = silentFrom;
    while (soundAgain < left.size() && left[soundAgain] == 0.0f)
        ++soundAgain;
    EXPECT_LE(silentFrom, crashFrame + 256);
    // ...and the next note sounds at most two blocks late.
    EXPECT_LE(soundAgain, nextFrame + 2 * 256);
    EXPECT_GT(peakOf(left, soundAgain, soundAgain + 4410), 0.1f);
}

}  // namespace
