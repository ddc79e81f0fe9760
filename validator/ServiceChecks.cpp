// services.*: the engine's use of the host services: only the known names
// asked for, transport listeners changed only outside processing and all
// removed again by detach and release, MIDI sent only while processing.
#include "Checks.h"
#include "Rendering.h"

namespace validator {

namespace {

Scenario transportScenario()
{
    Scenario scenario = chordScenario(44100.0, 0.3);
    scenario.transport.push_back({2000, TransportChange::Start});
    scenario.transport.push_back({30000, TransportChange::Stop});
    scenario.transport.push_back({35000, TransportChange::Start});
    scenario.transport.push_back({50000, TransportChange::Stop});
    return scenario;
}

// Renders with each parameter pattern (defaults, all halfway, all at 1, the
// distinct pattern), so that a MIDI output mode behind a parameter is heard.
void exercise(EngineInstance& engine)
{
    engine.start(44100.0f, 512);
    const Scenario scenario = transportScenario();
    for (int pattern = 0; pattern < 4; ++pattern) {
        const int32_t count = engine.getParameterCount();
        for (int32_t index = 0; pattern > 0 && pattern < 3 && index < count && index < 10000; ++index) {
            engine.setParameter(index, pattern == 1 ? 0.5f : 1.0f);
        }
        if (pattern == 3) {
            setDistinctParameters(engine, 1);
        }
        render(engine, scenario, RenderOptions());
    }
}

bool linked(EngineInstance& engine, Verdict& verdict)
{
    if (!engine.created()) {
        verdict.fail("no engine object from the factory");
        return false;
    }
    if (engine.link() == nullptr) {
        verdict.skip("the engine module offers no host link, so it uses no host services");
        return false;
    }
    return true;
}

void names(CheckContext& context, Verdict& verdict)
{
    EngineInstance engine(context.module);
    if (!linked(engine, verdict)) {
        return;
    }
    exercise(engine);
    const FakeHostServices& services = engine.services();
    if (!services.unknownNames.empty()) {
        std::string asked;
        for (const std::string& name : services.unknownNames) {
            asked += (asked.empty() ? "\"" : ", \"") + name + "\"";
        }
        verdict.fail("get_interface names",
                     "only \"Korvanta::MidiContext\", \"Korvanta::MidiTransportNotifier\" and \"IMidiOut\"", asked);
    }
    verdict.note(format("%d service lookups", services.namesAsked));
}

void listeners(CheckContext& context, Verdict& verdict)
{
    EngineInstance engine(context.module);
    if (!linked(engine, verdict)) {
        return;
    }
    exercise(engine);
    engine.detach();
    engine.releaseOnly();
    const FakeHostServices& services = engine.services();
    if (services.listenerChangesWhileProcessing > 0) {
        verdict.fail("listeners added or removed", "only outside processing calls",
                     format("%d changes during processing", services.listenerChangesWhileProcessing));
    }
    if (!services.listeners.empty()) {
        verdict.fail("listeners registered after detachHost and release", "none",
                     format("%u still registered (%d added, %d removed)",
                            static_cast<unsigned>(services.listeners.size()), services.listenersAdded,
                            services.listenersRemoved));
    }
    if (services.removalsOfUnknownListeners > 0) {
        verdict.fail("removeListener calls", "only for registered listeners",
                     format("%d for listeners never added", services.removalsOfUnknownListeners));
    }
    verdict.note(format("%d listeners added, %d removed", services.listenersAdded, services.listenersRemoved));

    EngineInstance early(context.module);
    if (early.created()) {
        early.releaseOnly();
        if (!early.services().listeners.empty()) {
            verdict.note("release without detachHost first leaves listeners registered (the plug-in always detaches)");
        }
    }
}

void midiOut(CheckContext& context, Verdict& verdict)
{
    EngineInstance engine(context.module);
    if (!linked(engine, verdict)) {
        return;
    }
    exercise(engine);
    const FakeHostServices& services = engine.services();
    if (services.midiSentOutsideProcessing > 0) {
        verdict.fail("IMidiOut::sendMidi calls", "only inside receiveMidi, the renders and transport notifications",
                     format("%d outside them", services.midiSentOutsideProcessing));
    }
    verdict.note(format("%d MIDI messages sent while processing", services.midiSentInProcessing));
}

}  // namespace

void addServiceChecks(std::vector<CheckDefinition>& checks)
{
    checks.push_back({"services.names", names});
    checks.push_back({"services.listeners", listeners});
    checks.push_back({"services.midi-out", midiOut});
}

}  // namespace validator
