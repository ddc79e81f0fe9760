// The engine driven through the real plug-in: a copy of Velmorant.dll and of
// the engine staged in a fresh temp folder as <stem>.dll and <stem>Engine.dll
// (with the Velmorant.Runtime folder on i686), loaded and instantiated
// through VSTPluginMain with a small host callback of the validator's.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/PluginStage.h"
#include "vst/VstAbi.h"

namespace validator {

class StagedPlugin {
public:
    // pluginFolder holds Velmorant.dll (and Velmorant.Runtime on i686).
    StagedPlugin(const std::string& pluginFolder, const std::string& enginePath);
    ~StagedPlugin();
    StagedPlugin(const StagedPlugin&) = delete;
    StagedPlugin& operator=(const StagedPlugin&) = delete;

    // Empty when staged and loaded; otherwise why not.
    const std::string& problem() const { return error; }

    // A new effect from VSTPluginMain, or null.
    EffectRecord* instantiate();

    // Calls through the effect record, each leaving a breadcrumb.
    static intptr_t dispatch(EffectRecord* effect, int32_t opcode, int32_t index = 0, intptr_t value = 0,
                             void* ptr = nullptr, float opt = 0.0f);
    static void processReplacing(EffectRecord* effect, float** outputs, int32_t frames);
    static void close(EffectRecord* effect);

    // MIDI events the plug-in sent to the host.
    static int32_t midiEventsReceived();

private:
    common::PluginStage stage;
    std::string error;
};

}  // namespace validator
