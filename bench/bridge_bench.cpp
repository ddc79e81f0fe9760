// Cost of the bridge's real-time paths, driven through the staged plug-in's
// effect record with an engine that does no work (the bridge test engine in
// its idle mode), each beside its floor measured in the same run:
// - processReplacing with two outputs at 32, 64 and 512 frames, beside its
//   floor: clearing the same buffers, one time request through the host
//   callback with the copy of the 88-byte record it returns, and one virtual
//   call (the work every block must do; the rest is the bridge's own);
// - processEvents per MIDI event, beside one virtual call plus one trace line
//   of the same format per event.
// Needs Velmorant.dll and BridgeTestEngine.dll beside the program.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "BenchHost.h"
#include "BenchTiming.h"
#include "../tests/bridge/BridgeProbe.h"
#include "../tests/support/PluginStage.h"
#include "trace/TraceMessage.h"
#include "vst/VstAbi.h"

namespace {

using bench::benchHost;
using bench::hostTime;

// The floor's engine: one virtual call that does nothing, reached through a
// pointer the compiler cannot see through.
class IdleEngine {
public:
    virtual ~IdleEngine() = default;
    virtual void render(float** outputs, int32_t frames);
    virtual void receive(const unsigned char* midi, int32_t deltaFrames);
};

void IdleEngine::render(float**, int32_t) {}
void IdleEngine::receive(const unsigned char*, int32_t) {}

IdleEngine idleEngine;
IdleEngine* volatile floorEngine = &idleEngine;
volatile float sink;

// The floor's time request: the same host callback the plug-in calls, read
// through a volatile pointer so that the call is made, and the record copied
// into storage the compiler must write.
HostCallback volatile floorHost = &benchHost;
VstTimeInfo floorTime;
// The filter the plug-in sends: positions, tempo, bars, cycle, signature.
constexpr intptr_t timeFilter = 0x3E00;
static_assert(sizeof(VstTimeInfo) == 88, "the floor copies the 88-byte record");

using bench::bestNanoseconds;
using bench::now;

}  // namespace

int main()
{
    velmorant_test::PluginStage stage("Velmorant.dll", "BridgeTestEngine.dll");
    if (!stage.loaded()) {
        std::printf("bridge_bench: cannot stage Velmorant.dll with BridgeTestEngine.dll beside this program\n");
        return 1;
    }
    HMODULE engineModule = LoadLibraryA(stage.enginePath().c_str());
    auto getProbe = engineModule != nullptr ? reinterpret_cast<bridge_test::BridgeProbeProc>(reinterpret_cast<void*>(
                                                  GetProcAddress(engineModule, "GetBridgeProbe")))
                                            : nullptr;
    if (getProbe == nullptr) {
        std::printf("bridge_bench: the staged engine has no probe\n");
        return 1;
    }
    getProbe(1)->idle = 1;

    hostTime.sampleRate = 44100.0;
    hostTime.tempo = 120.0;
    hostTime.flags = kVstTempoValid | kVstTimeSigValid | kVstPpqPosValid;
    hostTime.timeSigNumerator = 4;
    hostTime.timeSigDenominator = 4;

    int status = 0;
    {
        velmorant_test::StagedEffect effect(stage.instantiate(&benchHost));
        if (!effect) {
            std::printf("bridge_bench: the plug-in gave no effect\n");
            FreeLibrary(engineModule);
            return 1;
        }
        effect.dispatch(effMainsChanged, 0, 1);

        std::vector<float> left(512), right(512);
        float* outputs[2] = {left.data(), right.data()};

        std::printf("processReplacing, 2 outputs, idle engine (ns per block)\n");
        std::printf("%8s %12s %12s %8s\n", "frames", "bridge", "floor", "ratio");
        for (int32_t frames : {32, 64, 512}) {
            const int repetitions = 20000;
            const double bridge =
                bestNanoseconds(repetitions, [&](int) { effect.processReplacing(nullptr, outputs, frames); });
            const double floor = bestNanoseconds(repetitions, [&](int) {
                for (float* channel : outputs)
                    std::memset(channel, 0, sizeof(float) * static_cast<size_t>(frames));
                const auto* time = reinterpret_cast<const VstTimeInfo*>(
                    floorHost(nullptr, audioMasterGetTime, 0, timeFilter, nullptr, 0.0f));
                if (time != nullptr)
                    std::memcpy(&floorTime, time, sizeof floorTime);
                floorEngine->render(outputs, frames);
                sink = left[0] + static_cast<float>(floorTime.flags);
            });
            std::printf("%8d %12.1f %12.1f %8.2f\n", static_cast<int>(frames), bridge, floor, bridge / floor);
        }

        // One list of 64 note events; processEvents alone keeps the block's time.
        constexpr int eventCount = 64;
        std::vector<VstMidiEvent> events(eventCount);
        std::vector<void*> listStorage(sizeof(VstEvents) / sizeof(void*) + eventCount);
        auto* list = reinterpret_cast<VstEvents*>(listStorage.data());
        list->numEvents = eventCount;
        for (int i = 0; i < eventCount; ++i) {
            std::memset(&events[i], 0, sizeof events[i]);
            events[i].type = kVstMidiType;
            events[i].byteSize = 24;
            events[i].deltaFrames = i;
            events[i].midiData[0] = static_cast<char>(0x90);
            events[i].midiData[1] = static_cast<char>(0x30 + i % 32);
            events[i].midiData[2] = 0x64;
            list->events[i] = reinterpret_cast<VstEvent*>(&events[i]);
        }

        // Trace lines dominate here and are slow under an emulator: fewer runs.
        const int lists = 100;
        const double bridgePerList = bestNanoseconds(
            lists, [&](int) { effect.dispatch(effProcessEvents, 0, 0, list); }, 3);
        const double floorPerList = bestNanoseconds(
            lists,
            [&](int) {
                for (int i = 0; i < eventCount; ++i) {
                    unsigned char message[4];
                    std::memcpy(message, events[i].midiData, sizeof message);
                    traceMessage("%12f  vst->processEvents(%d): { %02X %02X %02X %02X } deltaFrames %ld\n",
                                 hostTime.ppqPos, i, message[0], message[1], message[2], message[3],
                                 static_cast<long>(events[i].deltaFrames));
                    floorEngine->receive(message, events[i].deltaFrames);
                }
            },
            3);
        std::printf("\nprocessEvents, lists of %d MIDI events, idle engine (ns per event)\n", eventCount);
        std::printf("%12s %12s %8s\n", "bridge", "floor", "ratio");
        std::printf("%12.1f %12.1f %8.2f\n", bridgePerList / eventCount, floorPerList / eventCount,
                    bridgePerList / floorPerList);
        if (!(bridgePerList > 0.0 && floorPerList > 0.0))
            status = 1;
    }
    FreeLibrary(engineModule);
    return status;
}
