// The fake host and the fake plug-ins the framework tests drive through the
// effect record's entry points.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "vst/AEffEditor.h"
#include "vst/AudioEffectX.h"
#include "vst/VstAbi.h"

#include "../support/RecordingHost.h"

namespace {

using velmorant_test::HostRequest;

// The framework tests see a handful of requests per host and make many
// short-lived hosts: a small room keeps each one cheap.
class RecordingHost : public velmorant_test::RecordingHost {
public:
    RecordingHost() : velmorant_test::RecordingHost(64, 16) {}
};

// The plug-in with nothing but the framework's defaults. Counts destructions
// so that the tests can see the entry point delete it.
class DefaultEffect : public AudioEffectX {
public:
    explicit DefaultEffect(HostCallback host, int32_t programs = 16, int32_t params = 4)
        : AudioEffectX(host, programs, params)
    {
    }
    ~DefaultEffect() override { ++destroyed(); }

    void processReplacing(float**, float**, int32_t) override {}

    static int& destroyed()
    {
        static int count = 0;
        return count;
    }

    // The fake plug-in's own view of the members it may touch.
    int32_t flagBits() const { return effect.flags; }
    AEffEditor* editorMember() const { return editor; }
};

// Dispatches through the record, exactly as a host does.
inline intptr_t dispatch(EffectRecord* record, int32_t opcode, int32_t index = 0, intptr_t value = 0,
                         void* ptr = nullptr, float opt = 0.0f)
{
    return record->dispatcherEntry(record, opcode, index, value, ptr, opt);
}

// The text a ProbeEffect notes for the same format and arguments.
inline std::string formatted(const char* text)
{
    return text;
}

template <typename... Args>
std::string formatted(const char* format, Args... args)
{
    char line[160];
    std::snprintf(line, sizeof(line), format, args...);
    return line;
}

// A plug-in whose operations note how the dispatcher called them and answer
// what the test sets, so that routing and answer conversion can be checked.
class ProbeEffect : public DefaultEffect {
public:
    explicit ProbeEffect(HostCallback host, int32_t programs = 16) : DefaultEffect(host, programs) {}

    void open() override { note("open"); }
    void close() override { note("close"); }
    void suspend() override { note("suspend"); }
    void resume() override { note("resume"); }
    void setSampleRate(float rate) override { note("setSampleRate %g", rate); }
    void setBlockSize(int32_t size) override { note("setBlockSize %d", size); }
    void process(float** in, float** out, int32_t n) override { note("process %p %p %d", in, out, n); }
    void processReplacing(float** in, float** out, int32_t n) override { note("replacing %p %p %d", in, out, n); }
    void processDoubleReplacing(double** in, double** out, int32_t n) override { note("double %p %p %d", in, out, n); }
    void setParameter(int32_t index, float value) override { note("setParameter %d %g", index, value); }
    float getParameter(int32_t index) override { return note("getParameter %d", index), floatAnswer; }
    void setProgram(int32_t program) override { note("setProgram %d", curProgram = program); }
    // Writes without looking, as real plug-ins do.
    void getParamName(int32_t index, char* text) override { std::strcpy(text, "P"), note("getParamName %d", index); }
    float getVu() override { return floatAnswer; }
    int32_t getChunk(void** data, bool preset) override { return note("getChunk %p %d", data, preset), intAnswer; }
    int32_t setChunk(void* data, int32_t size, bool preset) override
    {
        return note("setChunk %p %d %d", data, size, preset), intAnswer;
    }
    int32_t processEvents(VstEvents* events) override { return note("processEvents %p", events), intAnswer; }
    bool canBeAutomated(int32_t index) override { return note("canBeAutomated %d", index), boolAnswer; }
    bool getProgramNameIndexed(int32_t category, int32_t index, char* text) override
    {
        return std::strcpy(text, ""), note("getProgramNameIndexed %d %d", category, index), boolAnswer;
    }
    void connectInput(int32_t index, bool state) override { note("connectInput %d %d", index, state); }
    void connectOutput(int32_t index, bool state) override { note("connectOutput %d %d", index, state); }
    bool setSpeakerArrangement(VstSpeakerArrangement* in, VstSpeakerArrangement* out) override
    {
        return note("setSpeakerArrangement %p %p", in, out), boolAnswer;
    }
    bool setBypass(bool onOff) override { return note("setBypass %d", onOff), boolAnswer; }
    bool getEffectName(char* name) override { return std::strcpy(name, ""), note("getEffectName"), boolAnswer; }
    int32_t canDo(char* text) override { return note("canDo %s", text), intAnswer; }
    bool keysRequired() override { return boolAnswer; }

    std::vector<std::string> calls;
    bool boolAnswer = true;
    int32_t intAnswer = 0;
    float floatAnswer = 0.0f;

private:
    template <typename... Args>
    void note(const char* format, Args... args)
    {
        calls.push_back(formatted(format, args...));
    }
};

// An editor that counts its destruction and can be told what to answer.
class CountingEditor : public AEffEditor {
public:
    explicit CountingEditor(AudioEffect* effect, int* destroyed) : AEffEditor(effect), destroyed(destroyed) {}
    ~CountingEditor() override { ++*destroyed; }

    bool getRect(ERect** rect) override
    {
        if (rect != nullptr) {
            *rect = &area;
        }
        return answer;
    }
    bool onKeyDown(VstKeyCode& keyCode) override
    {
        lastKey = keyCode;
        ++keyDowns;
        return answer;
    }
    bool onKeyUp(VstKeyCode& keyCode) override
    {
        lastKey = keyCode;
        ++keyUps;
        return answer;
    }
    bool setKnobMode(int32_t mode) override
    {
        knobMode = mode;
        return answer;
    }
    void idle() override { ++idles; }

    bool answer = false;
    ERect area{1, 2, 3, 4};
    VstKeyCode lastKey{};
    int keyDowns = 0;
    int keyUps = 0;
    int32_t knobMode = -1;
    int idles = 0;

private:
    int* destroyed;
};

}  // namespace
