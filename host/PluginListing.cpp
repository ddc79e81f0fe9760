#include "PluginListing.h"

#include <cstdio>

#include "common/FourCharacterCode.h"

namespace host {

void listPlugin(PluginInstance& plugin)
{
    const EffectRecord& record = plugin.record();
    std::printf("name: %s\n", plugin.text(effGetEffectName, 0, 64).c_str());
    std::printf("vendor: %s\n", plugin.text(effGetVendorString, 0, 64).c_str());
    std::printf("product: %s\n", plugin.text(effGetProductString, 0, 64).c_str());
    std::printf("vendor version: %lld\n", static_cast<long long>(plugin.dispatch(effGetVendorVersion)));
    std::printf("VST version: %lld\n", static_cast<long long>(plugin.dispatch(effGetVstVersion)));
    std::printf("unique id: '%s' (0x%08X)\n", common::fourCharacterText(record.uniqueID).c_str(),
                static_cast<unsigned>(record.uniqueID));
    const intptr_t category = plugin.dispatch(effGetPlugCategory);
    std::printf("category: %lld%s\n", static_cast<long long>(category), category == 2 ? " (instrument)" : "");
    std::printf(
        "flags: 0x%X%s%s%s%s\n", static_cast<unsigned>(record.flags),
        (record.flags & effFlagsHasEditor) ? " editor" : "", (record.flags & effFlagsCanReplacing) ? " replacing" : "",
        (record.flags & effFlagsProgramChunks) ? " chunks" : "", (record.flags & effFlagsIsSynth) ? " synth" : "");
    std::printf("inputs: %d, outputs: %d, programs: %d, parameters: %d\n", record.numInputs, record.numOutputs,
                record.numPrograms, record.numParams);
    for (int32_t output = 0; output < plugin.outputCount(); ++output) {
        VstPinProperties pin = {};
        if (plugin.dispatch(effGetOutputProperties, output, 0, &pin) == 1) {
            pin.label[sizeof pin.label - 1] = '\0';
            std::printf("output %d: %s\n", output + 1, pin.label);
        }
    }
    std::printf("parameters:\n");
    for (int32_t index = 0; index < plugin.parameterCount(); ++index) {
        const std::string name = plugin.text(effGetParamName, index, 24);
        const std::string display = plugin.text(effGetParamDisplay, index, 24);
        const std::string label = plugin.text(effGetParamLabel, index, 24);
        std::printf("  %3d  %-10s %-10s %-8s (%.4f)\n", index, name.c_str(), display.c_str(), label.c_str(),
                    static_cast<double>(plugin.getParameter(index)));
    }
    std::printf("capabilities:\n");
    for (const char* capability : {"receiveVstEvents", "receiveVstMidiEvent", "sendVstEvents", "sendVstMidiEvent",
                                   "receiveVstTimeInfo", "offline", "midiProgramNames", "bypass"}) {
        const int32_t answer = plugin.canDo(capability);
        std::printf("  %-20s %s\n", capability, answer > 0 ? "yes" : (answer < 0 ? "no" : "don't know"));
    }
}

}  // namespace host
