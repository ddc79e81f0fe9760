// One VST 2.4 plug-in loaded from a DLL and instantiated: the host's side of
// the effect record. Everything the plug-in answers is checked before use.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "vst/VstAbi.h"

namespace host {

// Why a plug-in could not be brought up; each maps to an exit code.
enum class LoadFailure { None, FileMissing, NotLoadable, NotAPlugin, Refused };

class PluginInstance {
public:
    PluginInstance() = default;
    ~PluginInstance();
    PluginInstance(const PluginInstance&) = delete;
    PluginInstance& operator=(const PluginInstance&) = delete;

    // Loads the DLL, calls its entry and checks the record; on failure
    // `error` says why in a sentence for the user.
    LoadFailure load(const std::string& path, std::string& error);
    void close();

    // Answers the plug-in's requests; set before rendering.
    void setTimeInfo(const VstTimeInfo& info) { timeInfo = info; }
    void setProcessLevel(int32_t level) { processLevel = level; }
    void setSampleRateAndBlockSize(float rate, int32_t block);

    intptr_t dispatch(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr, float opt = 0.0f);
    // A text from the plug-in, read into a generous zeroed buffer and cut to `limit` characters.
    std::string text(int32_t opcode, int32_t index, size_t limit);
    int32_t canDo(const char* capability);

    int32_t parameterCount() const;
    int32_t outputCount() const;
    int32_t inputCount() const;
    const EffectRecord& record() const { return *effect; }
    float getParameter(int32_t index);
    void setParameter(int32_t index, float value);

    void processEvents(VstEvents* events);
    // Renders into `outputs` (outputCount() channels), inputs silent.
    void process(float** outputs, int32_t frames);

    // The state chunk, of the bank or (isPreset) of the current program;
    // false when the plug-in keeps none or answers nonsense.
    bool getChunk(std::vector<uint8_t>& bytes, std::string& error, bool isPreset = false);
    bool setChunk(const std::vector<uint8_t>& bytes, std::string& error, bool isPreset = false);

    // What the plug-in sent back while running.
    int64_t midiEventsReceived = 0;
    int64_t automationReceived = 0;
    // The plug-in asked for idle calls ("audioMasterNeedIdle"): a host's user
    // interface thread then gives them between blocks.
    bool idleRequested = false;

private:
    static intptr_t __cdecl hostCallback(EffectRecord* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                                         float opt);
    intptr_t answer(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt);

    void* module = nullptr;
    EffectRecord* effect = nullptr;
    std::string folder;
    VstTimeInfo timeInfo = {};
    int32_t processLevel = kVstProcessLevelOffline;
    float sampleRate = 44100.0f;
    int32_t blockSize = 512;
    std::vector<float> silence;
    std::vector<float*> inputPointers;
    std::vector<uint8_t> lentChunk;  // the bytes of the last setChunk, kept while the plug-in may view them
};

}  // namespace host
