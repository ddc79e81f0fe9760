#include "StagedPlugin.h"

#include <windows.h>

#include "ChildChannel.h"
#include "Verdict.h"

namespace validator {

namespace {

const char* const pluginFile = "Velmorant.dll";

VstTimeInfo hostTime = {};  // a stopped host at the song's start
int32_t midiEvents = 0;

intptr_t __cdecl hostCallback(EffectRecord*, int32_t opcode, int32_t, intptr_t, void* ptr, float)
{
    switch (opcode) {
    case audioMasterVersion:
        return 2400;
    case audioMasterGetTime:
        hostTime.sampleRate = 44100.0;
        hostTime.tempo = 120.0;
        hostTime.timeSigNumerator = 4;
        hostTime.timeSigDenominator = 4;
        hostTime.flags = kVstPpqPosValid | kVstTempoValid | kVstTimeSigValid;
        return reinterpret_cast<intptr_t>(&hostTime);
    case audioMasterGetCurrentProcessLevel:
        return kVstProcessLevelRealtime;
    case audioMasterProcessEvents: {
        const VstEvents* events = static_cast<const VstEvents*>(ptr);
        midiEvents += events != nullptr ? events->numEvents : 0;
        return 1;
    }
    case audioMasterWantMidi:
    case audioMasterNeedIdle:
        return 1;
    default:
        return 0;
    }
}

}  // namespace

StagedPlugin::StagedPlugin(const std::string& pluginFolder, const std::string& enginePath)
    // The name is the engine file's and the plug-in's registry value: unique per process.
    : stage("VelVal", "VelVal" + std::to_string(GetCurrentProcessId()))
{
    const std::string plugin = pluginFolder + pluginFile;
    if (GetFileAttributesA(plugin.c_str()) == INVALID_FILE_ATTRIBUTES) {
        error = "no " + std::string(pluginFile) + " beside the validator (" + pluginFolder + ")";
        return;
    }
    if (!stage.created() || !stage.stagePlugin(plugin) || !stage.stageEngine(enginePath)) {
        error = "cannot stage the plug-in and the engine in " + stage.folder();
        return;
    }
    if (!stage.stageRuntime(pluginFolder)) {
        error = "cannot stage the " + std::string(common::runtimeFolderName) + " folder from " + pluginFolder;
        return;
    }
    lastCall("LoadLibrary(staged %s)", pluginFile);
    if (!stage.load()) {
        error = format("the staged plug-in does not load (error %lu)", static_cast<unsigned long>(GetLastError()));
    }
}

StagedPlugin::~StagedPlugin() = default;

EffectRecord* StagedPlugin::instantiate()
{
    if (stage.module() == nullptr) {
        return nullptr;
    }
    VstPluginMainProc entry = reinterpret_cast<VstPluginMainProc>(
        reinterpret_cast<void (*)()>(GetProcAddress(static_cast<HMODULE>(stage.module()), "VSTPluginMain")));
    if (entry == nullptr) {
        return nullptr;
    }
    lastCall("VSTPluginMain(hostCallback)");
    EffectRecord* effect = entry(&hostCallback);
    if (effect != nullptr) {
        dispatch(effect, effOpen);
    }
    return effect;
}

intptr_t StagedPlugin::dispatch(EffectRecord* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                                float opt)
{
    lastCall("plug-in dispatcher(opcode %d, index %d)", static_cast<int>(opcode), static_cast<int>(index));
    return effect->dispatcherEntry(effect, opcode, index, value, ptr, opt);
}

void StagedPlugin::processReplacing(EffectRecord* effect, float** outputs, int32_t frames)
{
    lastCall("plug-in processReplacing(%d)", static_cast<int>(frames));
    effect->processReplacingEntry(effect, outputs, outputs, frames);
}

void StagedPlugin::close(EffectRecord* effect)
{
    if (effect != nullptr) {
        dispatch(effect, effClose);
    }
}

int32_t StagedPlugin::midiEventsReceived()
{
    return midiEvents;
}

}  // namespace validator
