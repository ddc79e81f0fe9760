// The extended effect: opcodes 25 to 79, the host requests of the later
// interface versions, flag setters and speaker-arrangement helpers.
#pragma once

#include <cstdint>

#include "vst/AudioEffect.h"
#include "vst/VstAbi.h"

class AudioEffectX : public AudioEffect {
public:
    AudioEffectX(HostCallback hostCallback, int32_t numPrograms, int32_t numParams);
    ~AudioEffectX() override;

    // Opcodes 25 to 79 here; every other opcode goes to AudioEffect::dispatcher.
    intptr_t dispatcher(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) override;
    // Asks the host for MIDI when the effect is a synth or can receive MIDI.
    void resume() override;

    // The slot order below is fixed; subclasses override in place.
    virtual bool canBeAutomated(int32_t index);
    virtual bool string2Parameter(int32_t index, char* text);
    virtual bool getParameterProperties(int32_t index, VstParameterProperties* properties);
    virtual bool beginEdit(int32_t index);
    virtual bool endEdit(int32_t index);
    virtual bool getProgramNameIndexed(int32_t category, int32_t index, char* text);
    virtual bool beginSetProgram();
    virtual bool endSetProgram();
    virtual int32_t beginLoadBank(VstPatchChunkInfo* bank);
    virtual int32_t beginLoadProgram(VstPatchChunkInfo* program);
    virtual bool ioChanged();
    virtual float updateSampleRate();
    virtual int32_t updateBlockSize();
    virtual int32_t getInputLatency();
    virtual int32_t getOutputLatency();
    virtual bool getInputProperties(int32_t index, VstPinProperties* properties);
    virtual bool getOutputProperties(int32_t index, VstPinProperties* properties);
    virtual bool setSpeakerArrangement(VstSpeakerArrangement* input, VstSpeakerArrangement* output);
    virtual bool getSpeakerArrangement(VstSpeakerArrangement** input, VstSpeakerArrangement** output);
    virtual bool setBypass(bool onOff);
    virtual bool setPanLaw(int32_t type, float value);
    virtual bool setProcessPrecision(int32_t precision);
    virtual int32_t getNumMidiInputChannels();
    virtual int32_t getNumMidiOutputChannels();
    // The host's time record, or null; valid until the host's next block.
    virtual VstTimeInfo* getTimeInfo(int32_t filter);
    virtual int32_t getCurrentProcessLevel();
    virtual int32_t getAutomationState();
    virtual int32_t processEvents(VstEvents* events);
    virtual int32_t startProcess();
    virtual int32_t stopProcess();
    virtual bool processVarIo(VstVariableIo* varIo);
    virtual int32_t setTotalSampleToProcess(int32_t value);
    virtual bool getHostVendorString(char* text);
    virtual bool getHostProductString(char* text);
    virtual int32_t getHostVendorVersion();
    virtual intptr_t hostVendorSpecific(int32_t index, intptr_t value, void* ptr, float opt);
    virtual int32_t canHostDo(char* text);
    virtual int32_t getHostLanguage();
    virtual void isSynth(bool state);
    virtual void noSoundInStop(bool state);
    virtual int32_t getTailSize();
    virtual void* getDirectory();
    virtual bool getEffectName(char* name);
    virtual bool getVendorString(char* text);
    virtual bool getProductString(char* text);
    virtual int32_t getVendorVersion();
    virtual intptr_t vendorSpecific(int32_t index, intptr_t value, void* ptr, float opt);
    virtual int32_t canDo(char* text);
    virtual int32_t getVstVersion();
    virtual int32_t getPlugCategory();
    virtual int32_t getMidiProgramName(int32_t channel, MidiProgramName* midiProgramName);
    virtual int32_t getCurrentMidiProgram(int32_t channel, MidiProgramName* currentProgram);
    virtual int32_t getMidiProgramCategory(int32_t channel, MidiProgramCategory* category);
    virtual bool hasMidiProgramsChanged(int32_t channel);
    virtual bool getMidiKeyName(int32_t channel, MidiKeyName* keyName);
    virtual bool updateDisplay();
    virtual bool sizeWindow(int32_t width, int32_t height);
    virtual bool openFileSelector(VstFileSelect* selector);
    virtual bool closeFileSelector(VstFileSelect* selector);
    virtual int32_t shellGetNextPlugin(char* name);
    // Arrangements are malloc'ed blocks of 8 + 112 * numChannels bytes.
    virtual bool allocateArrangement(VstSpeakerArrangement** arrangement, int32_t numChannels);
    virtual bool deallocateArrangement(VstSpeakerArrangement** arrangement);
    virtual bool copySpeaker(VstSpeakerProperties* to, VstSpeakerProperties* from);
    virtual bool matchArrangement(VstSpeakerArrangement** to, VstSpeakerArrangement* from);
    virtual bool offlineRead(VstOfflineTask* offline, int32_t option, bool readSource);
    virtual bool offlineWrite(VstOfflineTask* offline, int32_t option);
    virtual bool offlineStart(VstAudioFile* audioFiles, int32_t numAudioFiles, int32_t numNewAudioFiles);
    virtual bool offlineGetCurrentPass();
    virtual bool offlineGetCurrentMetaPass();
    virtual bool offlineNotify(VstAudioFile* audioFiles, int32_t numAudioFiles, bool start);
    virtual bool offlinePrepare(VstOfflineTask* offline, int32_t count);
    virtual bool offlineRun(VstOfflineTask* offline, int32_t count);
    virtual int32_t offlineGetNumPasses();
    virtual int32_t offlineGetNumMetaPasses();
    virtual void wantEvents(int32_t filter);
    virtual int32_t tempoAt(int32_t position);
    virtual int32_t getNumAutomatableParameters();
    virtual int32_t getParameterQuantization();
    virtual int32_t getNumProgramCategories();
    virtual bool copyProgram(int32_t destination);
    virtual bool needIdle();
    virtual EffectRecord* getPreviousPlug(int32_t input);
    virtual EffectRecord* getNextPlug(int32_t output);
    virtual void connectInput(int32_t index, bool state);
    virtual void connectOutput(int32_t index, bool state);
    virtual int32_t willReplaceOrAccumulate();
    virtual void setExtIsAsync(bool state);
    virtual void setExtHasBuffer(bool state);
    virtual int32_t getCurrentPosition();
    virtual float* getDestinationBuffer();
    virtual void setOutputSampleRate(float sampleRate);
    virtual VstSpeakerArrangement* getInputSpeakerArrangement();
    virtual VstSpeakerArrangement* getOutputSpeakerArrangement();
    virtual void* openWindow(VstWindow* window);
    virtual bool closeWindow(VstWindow* window);
    // Stores both members directly: setBlockSize and setSampleRate do not run.
    virtual void setBlockSizeAndSampleRate(int32_t blockSize, float sampleRate);
    virtual bool getErrorText(char* text);
    virtual void* getIcon();
    virtual bool setViewPosition(int32_t x, int32_t y);
    virtual int32_t idle();
    virtual bool keysRequired();
    virtual bool getChunkFile(void* nativePath);

    // Sends the list to the host; true only when the host answers exactly 1.
    bool sendVstEventsToHost(VstEvents* events);
};
