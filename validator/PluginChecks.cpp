// plugin.*: the engine as a host meets it, through a staged copy of the real
// plug-in: the effect record, the texts in host buffers of exactly the
// VST 2.4 sizes (guard page behind), the state chunk, and the same samples
// as the engine driven directly.
#include <algorithm>
#include <cstring>

#include "ChildChannel.h"
#include "Checks.h"
#include "GuardedBuffer.h"
#include "Rendering.h"
#include "StagedPlugin.h"

namespace validator {

namespace {

constexpr float sampleRate = 44100.0f;
constexpr int32_t blockSize = 512;

// An effect instantiated from a staged plug-in, closed at the end of scope.
class Effect {
public:
    Effect(StagedPlugin& plugin) : record(plugin.instantiate()) {}
    ~Effect() { StagedPlugin::close(record); }
    Effect(const Effect&) = delete;
    Effect& operator=(const Effect&) = delete;
    EffectRecord* record;
};

bool staged(StagedPlugin& plugin, Verdict& verdict)
{
    if (!plugin.problem().empty()) {
        verdict.skip(plugin.problem());
        return false;
    }
    return true;
}

void load(CheckContext& context, Verdict& verdict)
{
    StagedPlugin plugin(context.validatorFolder, context.module.path());
    if (!staged(plugin, verdict)) {
        return;
    }
    EngineInstance engine(context.module);
    Effect effect(plugin);
    if (effect.record == nullptr || !engine.created()) {
        verdict.fail("VSTPluginMain with the staged engine", "an effect record", "null");
        return;
    }
    const EffectRecord& record = *effect.record;
    if (record.magic != kEffectMagic) {
        verdict.fail("the effect record's magic", "'VstP'", format("0x%08X", static_cast<unsigned>(record.magic)));
    }
    if (record.numOutputs != engine.getOutputCount(2) || record.numParams != engine.getParameterCount() ||
        record.uniqueID != engine.getUniqueId()) {
        verdict.fail("outputs, parameters and unique id in the effect record",
                     format("the engine's %d, %d, 0x%08X", engine.getOutputCount(2), engine.getParameterCount(),
                            engine.getUniqueId()),
                     format("%d, %d, 0x%08X", record.numOutputs, record.numParams, record.uniqueID));
    }
    verdict.note(format("flags 0x%X", static_cast<unsigned>(record.flags)));
}

void hostText(EffectRecord* effect, Verdict& verdict, const char* what, int32_t opcode, int32_t index, size_t size)
{
    GuardedBuffer buffer(size);
    StagedPlugin::dispatch(effect, opcode, index, 0, buffer.data());
    if (buffer.terminatedLength() < 0) {
        verdict.fail(format("%s (index %d) into a %u-byte host buffer", what, index, static_cast<unsigned>(size)),
                     "a terminated text", "no terminator in the buffer");
    }
}

void texts(CheckContext& context, Verdict& verdict)
{
    StagedPlugin plugin(context.validatorFolder, context.module.path());
    if (!staged(plugin, verdict)) {
        return;
    }
    Effect effect(plugin);
    if (effect.record == nullptr) {
        verdict.fail("VSTPluginMain with the staged engine", "an effect record", "null");
        return;
    }
    hostText(effect.record, verdict, "effGetVendorString", effGetVendorString, 0, 64);
    hostText(effect.record, verdict, "effGetProductString", effGetProductString, 0, 64);
    hostText(effect.record, verdict, "effGetEffectName", effGetEffectName, 0, 32);
    const int32_t parameters = effect.record->numParams < 10000 ? effect.record->numParams : 10000;
    for (int32_t index = 0; index < parameters; ++index) {
        hostText(effect.record, verdict, "effGetParamName", effGetParamName, index, 9);
        hostText(effect.record, verdict, "effGetParamLabel", effGetParamLabel, index, 9);
        hostText(effect.record, verdict, "effGetParamDisplay", effGetParamDisplay, index, 9);
    }
    for (int32_t pin = 0; pin < 2; ++pin) {
        VstPinProperties properties;
        std::memset(&properties, 0xA5, sizeof properties);
        StagedPlugin::dispatch(effect.record, effGetOutputProperties, pin, 0, &properties);
        if (std::memchr(properties.label, 0, sizeof properties.label) == nullptr) {
            verdict.fail(format("effGetOutputProperties(%d)", pin), "a pin label terminated within 64 bytes",
                         "no terminator");
        }
    }
}

bool chunk(EffectRecord* effect, std::vector<uint8_t>& bytes)
{
    void* data = nullptr;
    const intptr_t size = StagedPlugin::dispatch(effect, effGetChunk, 0, 0, &data);
    if (size < 0 || (size > 0 && data == nullptr)) {
        return false;
    }
    const uint8_t* begin = static_cast<const uint8_t*>(data);
    bytes.assign(begin, begin + size);
    return true;
}

void state(CheckContext& context, Verdict& verdict)
{
    StagedPlugin plugin(context.validatorFolder, context.module.path());
    if (!staged(plugin, verdict)) {
        return;
    }
    Effect first(plugin);
    Effect second(plugin);
    if (first.record == nullptr || second.record == nullptr) {
        verdict.fail("VSTPluginMain with the staged engine", "an effect record", "null");
        return;
    }
    for (int32_t index = 0; index < first.record->numParams && index < 10000; ++index) {
        lastCall("plug-in setParameter(%d)", static_cast<int>(index));
        first.record->setParameterEntry(first.record, index, 0.05f + 0.09f * static_cast<float>((index * 7) % 11));
    }
    std::vector<uint8_t> saved;
    std::vector<uint8_t> again;
    if (!chunk(first.record, saved)) {
        verdict.fail("effGetChunk", "a chunk", "an unusable answer");
        return;
    }
    StagedPlugin::dispatch(second.record, effSetChunk, 0, static_cast<intptr_t>(saved.size()),
                           saved.empty() ? nullptr : saved.data());
    if (!chunk(second.record, again) || again != saved) {
        verdict.fail("effGetChunk, effSetChunk into a second instance, effGetChunk",
                     format("the same %u bytes", static_cast<unsigned>(saved.size())),
                     format("%u other bytes", static_cast<unsigned>(again.size())));
    }
}

void renderThrough(CheckContext& context, Verdict& verdict)
{
    StagedPlugin plugin(context.validatorFolder, context.module.path());
    if (!staged(plugin, verdict)) {
        return;
    }
    Effect effect(plugin);
    EngineInstance engine(context.module);
    if (effect.record == nullptr || !engine.created()) {
        verdict.fail("VSTPluginMain with the staged engine", "an effect record", "null");
        return;
    }
    const Scenario scenario = chordScenario(sampleRate, 0.5);
    engine.start(sampleRate, blockSize);
    const Sound direct = render(engine, scenario, RenderOptions());

    StagedPlugin::dispatch(effect.record, effSetSampleRate, 0, 0, nullptr, sampleRate);
    StagedPlugin::dispatch(effect.record, effSetBlockSize, 0, blockSize);
    StagedPlugin::dispatch(effect.record, effMainsChanged, 0, 1);
    const int32_t channels = static_cast<int32_t>(direct.size());
    if (effect.record->numOutputs != channels) {
        verdict.fail("outputs", std::to_string(channels), std::to_string(effect.record->numOutputs));
        return;
    }
    Sound through(direct.size(), std::vector<float>(static_cast<size_t>(scenario.frames)));
    std::vector<float*> outputs(direct.size());
    size_t next = 0;
    for (int64_t position = 0; position < scenario.frames; position += blockSize) {
        const int32_t frames = static_cast<int32_t>(std::min<int64_t>(blockSize, scenario.frames - position));
        std::vector<VstMidiEvent> midi;
        while (next < scenario.midi.size() && scenario.midi[next].frame < position + frames) {
            VstMidiEvent event = {};
            event.type = kVstMidiType;
            event.byteSize = sizeof(VstMidiEvent);
            event.deltaFrames = static_cast<int32_t>(scenario.midi[next].frame - position);
            std::memcpy(event.midiData, scenario.midi[next].bytes, 4);
            midi.push_back(event);
            ++next;
        }
        std::vector<VstEvent*> pointers;
        for (VstMidiEvent& event : midi) {
            pointers.push_back(reinterpret_cast<VstEvent*>(&event));
        }
        std::vector<uint8_t> list(sizeof(VstEvents) + pointers.size() * sizeof(VstEvent*));
        VstEvents* events = reinterpret_cast<VstEvents*>(list.data());
        events->numEvents = static_cast<int32_t>(pointers.size());
        if (!pointers.empty()) {  // memcpy from an empty vector's null data is undefined
            std::memcpy(events->events, pointers.data(), pointers.size() * sizeof(VstEvent*));
        }
        StagedPlugin::dispatch(effect.record, effProcessEvents, 0, 0, events);
        for (int32_t c = 0; c < channels; ++c) {
            outputs[static_cast<size_t>(c)] = through[static_cast<size_t>(c)].data() + position;
        }
        StagedPlugin::processReplacing(effect.record, outputs.data(), frames);
    }
    const double difference = largestDifference(direct, through);
    if (difference != 0.0) {
        verdict.fail("the chord through the plug-in", "the samples of the engine driven directly",
                     format("a largest difference of %g", difference));
    }
}

}  // namespace

void addPluginChecks(std::vector<CheckDefinition>& checks)
{
    checks.push_back({"plugin.load", load});
    checks.push_back({"plugin.texts", texts});
    checks.push_back({"plugin.state", state});
    checks.push_back({"plugin.render", renderThrough});
}

}  // namespace validator
