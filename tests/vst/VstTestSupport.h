// The fake host and the fake plug-ins the framework tests drive through the
// effect record's entry points.
#pragma once

#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "vst/AEffEditor.h"
#include "vst/AudioEffectX.h"
#include "vst/VstAbi.h"

namespace {

struct HostRequest {
    EffectRecord* effect;
    int32_t opcode;
    int32_t index;
    intptr_t value;
    void* ptr;
    float opt;
};

// Records every request and answers from a table (0 when not set). The host
// callback has no context pointer, so it reaches the live recorder through a
// file-level pointer; the tests are single-threaded.
class RecordingHost {
public:
    RecordingHost() { current() = this; }
    ~RecordingHost() { current() = nullptr; }

    static intptr_t __cdecl callback(EffectRecord* effect, int32_t opcode, int32_t index, intptr_t value,
                                     void* ptr, float opt) {
        RecordingHost* host = current();
        if (host == nullptr) {
            return 0;
        }
        host->requests.push_back({effect, opcode, index, value, ptr, opt});
        const auto found = host->answers.find(opcode);
        return found != host->answers.end() ? found->second : 0;
    }

    std::vector<HostRequest> requests;
    std::map<int32_t, intptr_t> answers;

private:
    static RecordingHost*& current() {
        static RecordingHost* host = nullptr;
        return host;
    }
};

// The plug-in with nothing but the framework's defaults. Counts destructions
// so that the tests can see the entry point delete it.
class DefaultEffect : public AudioEffectX {
public:
    explicit DefaultEffect(HostCallback host, int32_t programs = 16, int32_t params = 4)
        : AudioEffectX(host, programs, params) {}
    ~DefaultEffect() override { ++destroyed(); }

    void processReplacing(float**, float**, int32_t) override {}

    static int& destroyed() {
        static int count = 0;
        return count;
    }

    // The fake plug-in's own view of the members it may touch.
    int32_t flagBits() const { return effect.flags; }
    AEffEditor* editorMember() const { return editor; }
};

// Dispatches through the record, exactly as a host does.
inline intptr_t dispatch(EffectRecord* record, int32_t opcode, int32_t index = 0, intptr_t value = 0,
                  void* ptr = nullptr, float opt = 0.0f) {
    return record->dispatcherEntry(record, opcode, index, value, ptr, opt);
}

// The text a ProbeEffect notes for the same format and arguments.
template <typename... Args>
std::string formatted(const char* format, Args... args) {
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
    void process(float** in, float** out, int32_t frames) override { note("process %p %p %d", in, out, frames); }
    void processReplacing(float** in, float** out, int32_t frames) override {
        note("processReplacing %p %p %d", in, out, frames);
    }
    void processDoubleReplacing(double** in, double** out, int32_t frames) override {
        note("processDoubleReplacing %p %p %d", in, out, frames);
    }
    void setParameter(int32_t index, float value) override { note("setParameter %d %g", index, value); }
    float getParameter(int32_t index) override {
        note("getParameter %d", index);
        return floatAnswer;
    }
    void setProgram(int32_t program) override {
        note("setProgram %d", program);
        curProgram = program;
    }
    void getParamName(int32_t index, char* text) override {
        note("getParamName %d", index);
        text[0] = 'P';  // a real plug-in writes without looking, as this one does
        text[1] = '\0';
    }
    float getVu() override { return floatAnswer; }
    int32_t getChunk(void** data, bool isPreset) override {
        note("getChunk %p %d", static_cast<void*>(data), isPreset ? 1 : 0);
        return intAnswer;
    }
    int32_t setChunk(void* data, int32_t size, bool isPreset) override {
        note("setChunk %p %d %d", data, size, isPreset ? 1 : 0);
        return intAnswer;
    }
    int32_t processEvents(VstEvents* events) override {
        note("processEvents %p", static_cast<void*>(events));
        return intAnswer;
    }
    bool canBeAutomated(int32_t index) override {
        note("canBeAutomated %d", index);
        return boolAnswer;
    }
    bool getProgramNameIndexed(int32_t category, int32_t index, char* text) override {
        note("getProgramNameIndexed %d %d", category, index);
        text[0] = '\0';
        return boolAnswer;
    }
    void connectInput(int32_t index, bool state) override { note("connectInput %d %d", index, state ? 1 : 0); }
    void connectOutput(int32_t index, bool state) override { note("connectOutput %d %d", index, state ? 1 : 0); }
    bool setSpeakerArrangement(VstSpeakerArrangement* input, VstSpeakerArrangement* output) override {
        note("setSpeakerArrangement %p %p", static_cast<void*>(input), static_cast<void*>(output));
        return boolAnswer;
    }
    bool setBypass(bool onOff) override {
        note("setBypass %d", onOff ? 1 : 0);
        return boolAnswer;
    }
    bool getEffectName(char* name) override {
        note("getEffectName");
        name[0] = '\0';
        return boolAnswer;
    }
    intptr_t vendorSpecific(int32_t index, intptr_t value, void* ptr, float opt) override {
        note("vendorSpecific %d %lld %p %g", index, static_cast<long long>(value), ptr, opt);
        return intAnswer;
    }
    int32_t canDo(char* text) override {
        note("canDo %s", text);
        return intAnswer;
    }
    bool setViewPosition(int32_t x, int32_t y) override {
        note("setViewPosition %d %d", x, y);
        return boolAnswer;
    }
    bool keysRequired() override { return boolAnswer; }
    int32_t getMidiProgramName(int32_t channel, MidiProgramName* name) override {
        note("getMidiProgramName %d %p", channel, static_cast<void*>(name));
        return intAnswer;
    }
    bool setPanLaw(int32_t type, float value) override {
        note("setPanLaw %d %g", type, value);
        return boolAnswer;
    }
    bool offlineNotify(VstAudioFile* files, int32_t count, bool start) override {
        note("offlineNotify %p %d %d", static_cast<void*>(files), count, start ? 1 : 0);
        return boolAnswer;
    }

    std::vector<std::string> calls;
    bool boolAnswer = true;
    int32_t intAnswer = 0;
    float floatAnswer = 0.0f;

private:
    template <typename... Args>
    void note(const char* format, Args... args) {
        char line[160];
        std::snprintf(line, sizeof(line), format, args...);
        calls.emplace_back(line);
    }
    void note(const char* text) { calls.emplace_back(text); }
};

// An editor that counts its destruction and can be told what to answer.
class CountingEditor : public AEffEditor {
public:
    explicit CountingEditor(AudioEffect* effect, int* destroyed) : AEffEditor(effect), destroyed(destroyed) {}
    ~CountingEditor() override { ++*destroyed; }

    bool getRect(ERect** rect) override {
        if (rect != nullptr) {
            *rect = &area;
        }
        return answer;
    }
    bool onKeyDown(VstKeyCode& keyCode) override {
        lastKey = keyCode;
        ++keyDowns;
        return answer;
    }
    bool onKeyUp(VstKeyCode& keyCode) override {
        lastKey = keyCode;
        ++keyUps;
        return answer;
    }
    bool setKnobMode(int32_t mode) override {
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
