// The plug-in side of the effect record: owns the record the host holds,
// installs its entry points, and turns the core opcodes 0 to 24 into virtual
// operations with default behaviour.
#pragma once

#include <cstdint>

#include "vst/VstAbi.h"

class AEffEditor;

class AudioEffect {
public:
    // A null hostCallback is accepted: every host request then gives its
    // answer for a missing host.
    AudioEffect(HostCallback hostCallback, int32_t numPrograms, int32_t numParams);
    virtual ~AudioEffect();

    AudioEffect(const AudioEffect&) = delete;
    AudioEffect& operator=(const AudioEffect&) = delete;

    // The slot order below is fixed; subclasses override in place.

    // opcode, index, value, ptr, opt -> the host's answer; 0 for unknown opcodes.
    virtual intptr_t dispatcher(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt);

    virtual void open();
    virtual void close();
    virtual void suspend();
    virtual void resume();
    virtual void setSampleRate(float sampleRate);
    virtual void setBlockSize(int32_t blockSize);

    virtual void processReplacing(float** inputs, float** outputs, int32_t sampleFrames) = 0;
    virtual void processDoubleReplacing(double** inputs, double** outputs, int32_t sampleFrames);

    virtual void setParameter(int32_t index, float value);
    virtual float getParameter(int32_t index);
    // setParameter, then reports the change to the host as automation.
    virtual void setParameterAutomated(int32_t index, float value);

    virtual int32_t getProgram();
    virtual void setProgram(int32_t program);
    virtual void setProgramName(char* name);
    // The default text operations leave a null buffer alone.
    virtual void getProgramName(char* name);
    virtual void getParamLabel(int32_t index, char* label);
    virtual void getParamDisplay(int32_t index, char* text);
    virtual void getParamName(int32_t index, char* text);

    // Stores the chunk's address through data and answers its size in bytes.
    virtual int32_t getChunk(void** data, bool isPreset);
    virtual int32_t setChunk(void* data, int32_t byteSize, bool isPreset);

    virtual void setUniqueID(int32_t uniqueID);
    virtual void setNumInputs(int32_t inputs);
    virtual void setNumOutputs(int32_t outputs);
    virtual void canProcessReplacing(bool state);
    virtual void canDoubleReplacing(bool state);
    virtual void programsAreChunks(bool state);
    virtual void setInitialDelay(int32_t delay);

    virtual AEffEditor* getEditor();
    virtual EffectRecord* getEffectRecord();
    virtual float getSampleRate();
    virtual int32_t getBlockSize();

    // Host requests.
    virtual int32_t getMasterVersion();
    virtual int32_t getCurrentId();
    virtual void masterIdle();
    virtual bool isInputConnected(int32_t input);
    virtual bool isOutputConnected(int32_t output);

    // Texts of at most maxLen characters plus a terminator; nothing is
    // written beyond text[maxLen], and nothing at all for a null text or a
    // negative maxLen.
    virtual void decibelsToText(float value, char* text, int32_t maxLen);
    virtual void hertzToText(float samples, char* text, int32_t maxLen);
    virtual void millisecondsToText(float samples, char* text, int32_t maxLen);
    virtual void floatToText(float value, char* text, int32_t maxLen);
    virtual void intToText(int32_t value, char* text, int32_t maxLen);

    virtual void process(float** inputs, float** outputs, int32_t sampleFrames);
    virtual float getVu();
    virtual void hasVu(bool state);
    virtual void hasClip(bool state);
    virtual void canMono(bool state);
    virtual void setRealtimeQualities(int32_t qualities);
    virtual void setOfflineQualities(int32_t qualities);

    // Takes ownership of editor (may be null) and sets or clears hasEditor.
    // An editor set before is not deleted.
    void setEditor(AEffEditor* editor);

protected:
    void setFlag(int32_t flag, bool state);
    bool hasHost() const { return hostCallback != nullptr; }
    intptr_t callHost(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr, float opt = 0.0f);

    HostCallback hostCallback;  // may be null
    AEffEditor* editor;         // owned; may be null
    float sampleRate;
    int32_t blockSize;
    int32_t numPrograms;  // the dispatcher checks program numbers against this copy
    int32_t numParams;
    int32_t curProgram;
    EffectRecord effect;  // its address is what the host holds
};
