// realtime.*: nothing on the audio path allocates or waits. The engine
// module's imports of the heap and wait functions are pointed at counting
// hooks, armed only while the engine takes MIDI, hears the transport and renders.
#include <algorithm>

#include "Checks.h"
#include "ImportPatcher.h"
#include "Rendering.h"

namespace validator {

namespace {

// Notes, pedal, pitch bend, all-notes-off and the transport starting and
// stopping: the messages an audio thread hands an engine.
Scenario busyScenario(double rate)
{
    Scenario scenario = chordScenario(rate, 0.5);
    const auto at = [&](double seconds) {
        return static_cast<int64_t>(seconds * rate);
    };
    scenario.midi.push_back({at(0.40), {0xB0, 64, 127, 0}});
    scenario.midi.push_back({at(0.45), {0xE0, 0, 96, 0}});
    scenario.midi.push_back({at(0.80), {0xB0, 64, 0, 0}});
    scenario.midi.push_back({at(1.00), {0xB0, 123, 0, 0}});
    scenario.midi.push_back({at(1.05), {0x90, 72, 80, 0}});
    scenario.midi.push_back({at(1.20), {0x80, 72, 0, 0}});
    std::stable_sort(scenario.midi.begin(), scenario.midi.end(),
                     [](const TimedMidi& a, const TimedMidi& b) { return a.frame < b.frame; });
    scenario.frames = at(1.6);
    scenario.transport.push_back({at(0.1), TransportChange::Start});
    scenario.transport.push_back({at(1.3), TransportChange::Stop});
    return scenario;
}

void countCalls(CheckContext& context, Verdict& verdict, CallKind kind, const char* what)
{
    ImportPatcher patcher(context.module.handle());
    std::string watched;
    for (const std::string& name : patcher.patched()) {
        watched += (watched.empty() ? "" : ", ") + name;
    }
    verdict.note(watched.empty() ? std::string("the engine module imports none of the watched functions")
                                 : "watched imports: " + watched);
    ImportPatcher::resetCounts();
    for (int variant = 0; variant < 2; ++variant) {
        for (int32_t block : {64, 512}) {
            EngineInstance engine(context.module);
            if (!engine.created()) {
                verdict.fail("no engine object from the factory");
                return;
            }
            engine.start(44100.0f, block);
            if (variant == 1) {
                setDistinctParameters(engine, 1);
            }
            RenderOptions options;
            options.blockSize = block;
            const Scenario scenario = busyScenario(44100.0);
            ImportPatcher::arm(true);
            render(engine, scenario, options);
            ImportPatcher::arm(false);
        }
    }
    std::string seen;
    for (const CallCount& count : ImportPatcher::counts()) {
        if (count.kind == kind) {
            seen += format("%s%s %u", seen.empty() ? "" : ", ", count.function, static_cast<unsigned>(count.count));
        }
    }
    if (!seen.empty()) {
        verdict.fail(std::string("calls while rendering and taking MIDI"), std::string("no ") + what + " call", seen);
    }
}

void allocation(CheckContext& context, Verdict& verdict)
{
    countCalls(context, verdict, CallKind::Allocation, "heap");
}

void blocking(CheckContext& context, Verdict& verdict)
{
    countCalls(context, verdict, CallKind::Blocking, "wait");
}

}  // namespace

void addRealtimeChecks(std::vector<CheckDefinition>& checks)
{
    checks.push_back({"realtime.allocation", allocation});
    checks.push_back({"realtime.blocking", blocking});
}

}  // namespace validator
