// The plug-in instance: the VST effect the host drives, the owner of the
// loaded engine, and the set of services the engine looks up by name. It is
// an adapter: the work behind each operation is done by the bridge's parts
// (src/bridge), which reach the host through VelmorantHost.
//
// The bases come in a fixed order: the engine receives the service facets as
// raw interface pointers, so the object layout behind them must not move.
#pragma once

#include <cstdint>

#include "EngineLoader.h"
#include "IKorvantaHost.h"
#include "IMidiOut.h"
#include "MidiContext.h"
#include "MidiTransportNotifier.h"
#include "SoftSynth.h"
#include "bridge/ChunkStore.h"
#include "bridge/ParameterEchoGuard.h"
#include "bridge/ProcessLevelReporter.h"
#include "bridge/TransportTracker.h"
#include "shell/VelmorantHost.h"
#include "vst/AudioEffectX.h"
#include "vst/VstAbi.h"

namespace remote {
class RemoteEngine;
}

// MIDI program records of the extended dispatcher; the plug-in never writes them.
struct MidiProgramName;
struct MidiProgramCategory;
struct MidiKeyName;

class Velmorant : public AudioEffectX,
                  public IKorvantaHost,
                  public Korvanta::MidiContext,
                  public Korvanta::MidiTransportNotifier,
                  public IMidiOut {
public:
    // Loads the engine when there is a host callback; without an engine the
    // instance is only good for destruction (hasEngine answers false).
    explicit Velmorant(HostCallback hostCallback);
    ~Velmorant() override;

    Velmorant(const Velmorant&) = delete;
    Velmorant& operator=(const Velmorant&) = delete;

    bool hasEngine() const { return engine != nullptr; }

    // Traces the call, then lets the extended dispatcher answer it unchanged.
    intptr_t dispatcher(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) override;

    // Instance lifecycle toward the engine.
    void suspend() override;
    void resume() override;
    void setSampleRate(float rate) override;
    void setBlockSize(int32_t size) override;

    // Audio processing and MIDI event intake.
    int32_t processEvents(VstEvents* events) override;
    void processReplacing(float** inputs, float** outputs, int32_t sampleFrames) final;
    void process(float** inputs, float** outputs, int32_t sampleFrames) override;

    // Parameters, programs, names and capabilities.
    void setParameter(int32_t index, float value) override;
    float getParameter(int32_t index) override;
    void getParamLabel(int32_t index, char* text) override;
    void getParamDisplay(int32_t index, char* text) override;
    void getParamName(int32_t index, char* text) override;
    void setProgram(int32_t program) override;
    void getProgramName(char* name) override;
    bool getProgramNameIndexed(int32_t category, int32_t index, char* text) override;
    bool getEffectName(char* name) override;
    bool getVendorString(char* text) override;
    bool getProductString(char* text) override;
    int32_t getVendorVersion() override;
    bool getOutputProperties(int32_t index, VstPinProperties* properties) override;
    int32_t canDo(char* text) override;
    bool setBypass(bool onOff) override;
    int32_t getMidiProgramName(int32_t channel, MidiProgramName* midiProgramName) override;
    int32_t getCurrentMidiProgram(int32_t channel, MidiProgramName* currentProgram) override;
    int32_t getMidiProgramCategory(int32_t channel, MidiProgramCategory* category) override;
    bool hasMidiProgramsChanged(int32_t channel) override;
    bool getMidiKeyName(int32_t channel, MidiKeyName* keyName) override;
    int32_t idle() override;

    // State chunks.
    int32_t getChunk(void** data, bool isPreset) override;
    int32_t setChunk(void* data, int32_t byteSize, bool isPreset) override;

    // The record's replacing entry: straight to processReplacing, without the
    // framework's entry and its virtual call, once in every block.
    static void __cdecl replacingEntry(EffectRecord* record, float** inputs, float** outputs, int32_t sampleFrames);

    // Written into the engine object: request 1 reports a parameter change.
    static void __cdecl engineCallback(int32_t index, int32_t request, void* context);

    // IKorvantaHost
    void* get_interface(const char* name) override;

    // Korvanta::MidiContext
    int32_t getTicksPerQuarter() override;
    double getTempo() override;
    int32_t barBeatTickToTicks(int32_t bar, int32_t beat, int32_t tick) override;
    void ticksToBarBeatTick(int32_t ticks, int32_t* bar, int32_t* beat, int32_t* tick) override;
    int32_t getTimeSigNumerator() override;
    int32_t getTimeSigDenominator() override;

    // Korvanta::MidiTransportNotifier
    void addListener(Korvanta::MidiTransportListener* listener) override;
    void removeListener(Korvanta::MidiTransportListener* listener) override;
    int32_t isPlaying() override;
    int32_t isCycleActive() override;
    double getSamplePosition() override;
    double getPpqPosition() override;
    double getCycleStart() override;
    double getCycleEnd() override;

    // IMidiOut
    void sendMidi(const unsigned char* midi, int32_t deltaFrames) override;

protected:
    friend class VelmorantHost;

    // Gives back an engine that failed during construction and tells the user;
    // the instance is then engine-less and the entry discards it.
    void abandonEngine();
    // Clears the engine's callback words, releases it and unloads its module.
    void releaseEngine();

    // Host-driven parameter writes in progress; engine reports during one are echoes.
    bridge::ParameterEchoGuard parameterChangeDepth;
    EngineLoader loader;
    SoftSynth* engine;          // copied from loader; the loader releases it
    bridge::ChunkStore chunks;  // the last chunk's bytes
    // The block's time information, the announced transport state and the
    // engine's transport listeners.
    bridge::TransportTracker transport;
    bridge::ProcessLevelReporter processLevel;
    int32_t lastTracedOpcode;
    int32_t repeatCount;
    VelmorantHost host;  // the parts' way to the host
    // Set when the engine runs in an engine host of its own (then also
    // `engine`): it is given the host's idle calls.
    remote::RemoteEngine* remoteEngine;
};

// The time request goes straight to the host callback, as the framework's
// getTimeInfo sends it.
inline const VstTimeInfo* VelmorantHost::requestTimeInfo(int32_t filter)
{
    const HostCallback callback = effect.hostCallback;
    return callback != nullptr ? reinterpret_cast<const VstTimeInfo*>(
                                     callback(&effect.effect, audioMasterGetTime, 0, filter, nullptr, 0.0f))
                               : nullptr;
}
