// A small correct engine for the validator's tests: eight sine voices, four
// parameters, a checked state, host services, a child-window editor, and a
// promise of sample accuracy that it keeps. Built once per FAULT value; each
// fault breaks exactly one rule of the engine contract:
//   FAULT_NONE              keeps every rule
//   FAULT_NAME_OVERRUN      a parameter name one byte longer than the buffer
//   FAULT_NAN               one NaN sample in every note
//   FAULT_STATE_ROUNDTRIP   loadState drops the last parameter
//   FAULT_CRASH_ON_NOTE     a note-on writes through a null pointer
//   FAULT_ALLOCATES         every render allocates and frees a scratch block
//   FAULT_LOADSTATE_THROWS  a short state throws std::runtime_error out of loadState
//   FAULT_BLOCK_SIZE_ONE    blocks of one frame come out at half level
//   FAULT_LEAKS_LISTENER    detachHost leaves its transport listener registered
//   FAULT_HANGS_ON_NOTE     a note-on never returns
#include <windows.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <stdexcept>

#include "EngineLoader.h"
#include "IHostLink.h"
#include "IMidiOut.h"
#include "MidiContext.h"
#include "MidiTransportNotifier.h"
#include "SoftSynth.h"
#include "StreamBufferException.h"

#define FAULT_NONE 0
#define FAULT_NAME_OVERRUN 1
#define FAULT_NAN 2
#define FAULT_STATE_ROUNDTRIP 3
#define FAULT_CRASH_ON_NOTE 4
#define FAULT_ALLOCATES 5
#define FAULT_LOADSTATE_THROWS 6
#define FAULT_BLOCK_SIZE_ONE 7
#define FAULT_LEAKS_LISTENER 8
#define FAULT_HANGS_ON_NOTE 9

#ifndef FAULT
#define FAULT FAULT_NONE
#endif

namespace {

constexpr int32_t parameterCount = 4;
constexpr int32_t voiceCount = 8;
constexpr int32_t queueSize = 256;
constexpr uint32_t stateMagic = 0x54535456;  // "VTST"
constexpr double twoPi = 6.28318530717958647692;

struct Parameter {
    const char* name;
    const char* label;
    float defaultValue;
};

const Parameter parameters[parameterCount] = {
    {"Gain", "dB", 0.5f}, {"Pitch", "semi", 0.5f}, {"Release", "ms", 0.3f}, {"Bright", "%", 0.2f}};

void copyText(char* destination, int32_t size, const char* text)
{
    if (destination == nullptr || size <= 0) {
        return;
    }
    std::snprintf(destination, static_cast<size_t>(size), "%s", text);
}

struct Voice {
    int32_t note = -1;
    bool releasing = false;
    double phase = 0.0;
    double step = 0.0;
    float amplitude = 0.0f;
    float level = 0.0f;
    int32_t age = 0;
};

uint32_t checksum(uint32_t count, const float* values)
{
    uint32_t hash = 2166136261u ^ count;
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t bits = 0;
        std::memcpy(&bits, &values[i], sizeof bits);
        hash = (hash ^ bits) * 16777619u;
    }
    return hash;
}

#if FAULT == FAULT_ALLOCATES
float* volatile scratch = nullptr;
#endif

class TestEngine final : public SoftSynth, public IHostLink, public Korvanta::MidiTransportListener {
public:
    TestEngine()
    {
        for (int32_t i = 0; i < parameterCount; ++i) {
            values[i] = parameters[i].defaultValue;
        }
    }

    // IHostLink
    void attachHost(IKorvantaHost* host) override
    {
        detachHost();
        if (host == nullptr) {
            return;
        }
        context = static_cast<Korvanta::MidiContext*>(host->get_interface("Korvanta::MidiContext"));
        notifier =
            static_cast<Korvanta::MidiTransportNotifier*>(host->get_interface("Korvanta::MidiTransportNotifier"));
        midiOut = static_cast<IMidiOut*>(host->get_interface("IMidiOut"));
        if (notifier != nullptr) {
            notifier->addListener(this);
        }
    }

    void detachHost() override
    {
#if FAULT != FAULT_LEAKS_LISTENER
        if (notifier != nullptr) {
            notifier->removeListener(this);
        }
#endif
        context = nullptr;
        notifier = nullptr;
        midiOut = nullptr;
    }

    // Korvanta::MidiTransportListener: heard, not used by this sound.
    void onTransportStart(int32_t) override
    {
        ++transportEvents;
    }
    void onTransportStop(int32_t) override
    {
        ++transportEvents;
    }
    void onCycle(int32_t, int32_t) override
    {
        ++transportEvents;
    }

    // SoftSynth
    void suspend() override {}
    void resume() override
    {
        for (Voice& voice : voices) {
            voice = Voice();
        }
        queued = 0;
    }
    void release() override
    {
        closeEditor();
        detachHost();
        delete this;
    }
    void setSampleRate(float rate) override
    {
        if (std::isfinite(rate) && rate >= 1000.0f && rate <= 768000.0f) {
            sampleRate = rate;
        }
    }
    void setBlockSize(int32_t) override {}

    void receiveMidi(const unsigned char* midi, int32_t deltaFrames) override
    {
        if (midi == nullptr || queued >= queueSize) {
            return;
        }
#if FAULT == FAULT_CRASH_ON_NOTE
        if ((midi[0] & 0xF0) == 0x90 && midi[2] != 0) {
            volatile int* volatile nowhere = nullptr;
            *nowhere = midi[1];
        }
#elif FAULT == FAULT_HANGS_ON_NOTE
        if ((midi[0] & 0xF0) == 0x90 && midi[2] != 0) {
            for (;;)
                Sleep(50);
        }
#endif
        Event& event = queue[queued++];
        event.frame = deltaFrames < 0 ? 0 : deltaFrames;
        std::memcpy(event.bytes, midi, 4);
        if (midiOut != nullptr && (midi[0] & 0xF0) == 0x90) {
            midiOut->sendMidi(midi, event.frame);
        }
    }

    void renderAdding(float** outputs, int32_t frames) override
    {
        render(outputs, frames, true);
    }
    void renderReplacing(float** outputs, int32_t frames) override
    {
        render(outputs, frames, false);
    }

    void saveState(Korvanta::OutputStream& stream) override
    {
        stream.writeUInt32(stateMagic);
        stream.writeUInt32(parameterCount);
        for (float value : values) {
            stream.writeFloat(value);
        }
        stream.writeUInt32(checksum(parameterCount, values));
    }

    // Read whole into a temporary, applied only when complete and checked.
    void loadState(Korvanta::InputStream& stream) override
    {
        float loaded[parameterCount];
        try {
            uint32_t magic = 0;
            uint32_t count = 0;
            uint32_t stored = 0;
            if (!stream.read(magic) || magic != stateMagic || !stream.read(count) || count != parameterCount) {
                return;
            }
            for (float& value : loaded) {
                if (!stream.read(value) || !(value >= 0.0f && value <= 1.0f)) {
                    return;
                }
            }
            if (!stream.read(stored) || stored != checksum(count, loaded)) {
                return;
            }
        } catch (const Korvanta::StreamBufferException&) {
#if FAULT == FAULT_LOADSTATE_THROWS
            throw std::runtime_error("short state");
#else
            return;
#endif
        } catch (...) {
            return;
        }
#if FAULT == FAULT_STATE_ROUNDTRIP
        std::memcpy(values, loaded, sizeof(float) * (parameterCount - 1));
#else
        std::memcpy(values, loaded, sizeof values);
#endif
    }

    void getEditorSize(int32_t* width, int32_t* height) override
    {
        if (width != nullptr) {
            *width = 240;
        }
        if (height != nullptr) {
            *height = 120;
        }
    }
    void openEditor(void* parent) override
    {
        closeEditor();
        HWND parentWindow = static_cast<HWND>(parent);
        if (parentWindow != nullptr && IsWindow(parentWindow)) {
            editor = CreateWindowExA(0, "STATIC", "test engine", WS_CHILD | WS_VISIBLE, 0, 0, 240, 120, parentWindow,
                                     nullptr, nullptr, nullptr);
        }
    }
    void closeEditor() override
    {
        if (editor != nullptr) {
            DestroyWindow(editor);
            editor = nullptr;
        }
    }

    const char* getVendorName() override
    {
        return "Korvanta";
    }
    const char* getProductName() override
    {
        return "Validator Test Engine";
    }
    int32_t getVersion() override
    {
        return 1;
    }
    int32_t getUniqueId() override
    {
        return 0x56545354;
    }
    const char* getOutputName() override
    {
        return "Test";
    }
    int32_t getParameterCount() override
    {
        return parameterCount;
    }
    float getParameter(int32_t index) override
    {
        return isIndex(index) ? values[index] : 0.0f;
    }
    void setParameter(int32_t index, float value) override
    {
        if (isIndex(index) && value >= 0.0f && value <= 1.0f) {
            values[index] = value;
        }
    }
    void getParameterLabel(int32_t index, char* text, int32_t size) override
    {
        copyText(text, size, isIndex(index) ? parameters[index].label : "");
    }
    void getParameterDisplay(int32_t index, char* text, int32_t size) override
    {
        char display[16];
        std::snprintf(display, sizeof display, "%.1f", isIndex(index) ? values[index] * 100.0f : 0.0f);
        copyText(text, size, display);
    }
    void getParameterName(int32_t index, char* text, int32_t size) override
    {
#if FAULT == FAULT_NAME_OVERRUN
        if (index == 2 && text != nullptr && size > 0) {
            std::memcpy(text, "Release..", static_cast<size_t>(size));  // nine characters
            text[size] = '\0';                                          // and the terminator past the end
            return;
        }
#endif
        copyText(text, size, isIndex(index) ? parameters[index].name : "");
    }
    void setProcessMode(int32_t) override {}
    int32_t getOutputCount(int32_t) override
    {
        return 2;
    }

private:
    struct Event {
        int32_t frame;
        unsigned char bytes[4];
    };

    static bool isIndex(int32_t index)
    {
        return index >= 0 && index < parameterCount;
    }

    void handle(const unsigned char* bytes)
    {
        const int32_t status = bytes[0] & 0xF0;
        const int32_t note = bytes[1] & 0x7F;
        const int32_t velocity = bytes[2] & 0x7F;
        if (status == 0x90 && velocity > 0) {
            Voice* chosen = &voices[0];
            for (Voice& voice : voices) {
                if (voice.note < 0) {
                    chosen = &voice;
                    break;
                }
            }
            const double semitones = note - 69 + (values[1] - 0.5f) * 24.0f;
            chosen->note = note;
            chosen->releasing = false;
            chosen->phase = 0.0;
            chosen->step = 440.0 * std::pow(2.0, semitones / 12.0) / sampleRate;
            chosen->amplitude = 0.25f * values[0] * static_cast<float>(velocity) / 127.0f;
            chosen->level = 1.0f;
            chosen->age = 0;
        } else if (status == 0x80 || status == 0x90) {
            for (Voice& voice : voices) {
                if (voice.note == note) {
                    voice.releasing = true;
                }
            }
        } else if (status == 0xB0 && (note == 120 || note == 123)) {
            for (Voice& voice : voices) {
                voice.releasing = voice.note >= 0;
            }
        }
    }

    float sample(float releaseFactor)
    {
        float sum = 0.0f;
        for (Voice& voice : voices) {
            if (voice.note < 0) {
                continue;
            }
            const double angle = twoPi * voice.phase;
            float value =
                static_cast<float>(std::sin(angle) + values[3] * std::sin(2.0 * angle)) * voice.amplitude * voice.level;
#if FAULT == FAULT_NAN
            if (voice.age == 100) {
                value = std::nanf("");
            }
#endif
            sum += value;
            ++voice.age;
            voice.phase += voice.step;
            if (voice.phase >= 1.0) {
                voice.phase -= 1.0;
            }
            if (voice.releasing) {
                voice.level *= releaseFactor;
                if (voice.level < 1.0e-4f) {
                    voice = Voice();
                }
            }
        }
        return sum / (1.0f + std::fabs(sum));  // soft clip: never full scale
    }

    void render(float** outputs, int32_t frames, bool adding)
    {
        if (outputs == nullptr || frames <= 0) {
            return;
        }
#if FAULT == FAULT_ALLOCATES
        scratch = static_cast<float*>(std::malloc(sizeof(float) * static_cast<size_t>(frames)));
#endif
        const float releaseSeconds = 0.005f + 2.0f * values[2];
        const float releaseFactor = std::exp(-6.9f / (releaseSeconds * sampleRate));
        int32_t next = 0;
        for (int32_t i = 0; i < frames; ++i) {
            while (next < queued && (queue[next].frame < frames ? queue[next].frame : frames - 1) <= i) {
                handle(queue[next++].bytes);
            }
            float value = sample(releaseFactor);
#if FAULT == FAULT_BLOCK_SIZE_ONE
            if (frames == 1) {
                value *= 0.5f;
            }
#endif
            for (int32_t channel = 0; channel < 2; ++channel) {
                float* out = outputs[channel];
                if (out != nullptr) {
                    out[i] = adding ? out[i] + value : value;
                }
            }
        }
        queued = 0;
#if FAULT == FAULT_ALLOCATES
        std::free(scratch);
#endif
    }

    float values[parameterCount];
    Voice voices[voiceCount];
    Event queue[queueSize];
    int32_t queued = 0;
    float sampleRate = 44100.0f;
    int32_t transportEvents = 0;
    Korvanta::MidiContext* context = nullptr;
    Korvanta::MidiTransportNotifier* notifier = nullptr;
    IMidiOut* midiOut = nullptr;
    HWND editor = nullptr;
};

}  // namespace

extern "C" void __cdecl CreatePluginSoftSynth(EngineLoader* loader)
{
    if (loader == nullptr) {
        return;
    }
    TestEngine* engine = new (std::nothrow) TestEngine();
    loader->engine = engine;
    loader->hostLink = engine;
}

extern "C" SoftSynth* __cdecl CreateSoftSynth(int32_t, int32_t)
{
    return new (std::nothrow) TestEngine();
}

extern "C" int32_t __cdecl SoftSynthSampleAccurate()
{
    return 1;
}
