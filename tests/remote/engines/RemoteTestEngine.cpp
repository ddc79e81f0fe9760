// An engine for the engine-process tests: sine voices that make sound to
// measure, everything it hears told back as MIDI out, a state of any size
// kept byte for byte, and faults on cue.
//   note 100             receiveMidi writes through a null pointer
//   note 101             the next renderReplacing never returns
//   note 102             the next render sends B0 10 01, reports parameter 5
//                        (set to 0.75), then sends B0 10 02
//   note 103             a thread of the engine's sets parameter 4 to 0.5 and
//                        reports it, outside any call of the plug-in's
//   parameter 2          the state carries value * 32 MiB of bytes
//   parameter 3 > 0.5    saveState writes through a null pointer
// Transport news become MIDI out at frame 0: FA start, FC stop, F2 cycle,
// each with the tick's low seven bits as its first data byte.
#include <windows.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "EngineLoader.h"
#include "IHostLink.h"
#include "IMidiOut.h"
#include "MidiContext.h"
#include "MidiTransportNotifier.h"
#include "SoftSynth.h"
#include "TextCopy.h"

namespace {

constexpr int32_t parameterCount = 6;
constexpr uint32_t stateMagic = 0x54535452;  // "RTST"
constexpr double twoPi = 6.28318530717958647692;
const char* const names[parameterCount] = {"Gain", "Pitch", "StateMiB", "SaveCrash", "Spare", "Reported"};

uint32_t fnv(const uint8_t* bytes, size_t count, uint32_t hash = 2166136261u)
{
    for (size_t i = 0; i < count; ++i)
        hash = (hash ^ bytes[i]) * 16777619u;
    return hash;
}

class RemoteTestEngine final : public SoftSynth, public IHostLink, public Korvanta::MidiTransportListener {
public:
    RemoteTestEngine() : values{0.5f, 0.5f, 0.0f, 0.0f, 0.0f, 0.0f} {}

    void attachHost(IKorvantaHost* host) override
    {
        detachHost();
        if (host == nullptr)
            return;
        notifier =
            static_cast<Korvanta::MidiTransportNotifier*>(host->get_interface("Korvanta::MidiTransportNotifier"));
        midiOut = static_cast<IMidiOut*>(host->get_interface("IMidiOut"));
        if (notifier != nullptr)
            notifier->addListener(this);
    }
    void detachHost() override
    {
        if (notifier != nullptr)
            notifier->removeListener(this);
        notifier = nullptr;
        midiOut = nullptr;
    }

    void onTransportStart(int32_t tick) override { send(0xFA, tick & 0x7F, 0, 0); }
    void onTransportStop(int32_t tick) override { send(0xFC, tick & 0x7F, 0, 0); }
    void onCycle(int32_t startTick, int32_t endTick) override { send(0xF2, startTick & 0x7F, endTick & 0x7F, 0); }

    void suspend() override {}
    void resume() override {}
    void release() override
    {
        detachHost();
        delete this;
    }
    void setSampleRate(float rate) override
    {
        if (rate > 1000.0f)
            sampleRate = rate;
    }
    void setBlockSize(int32_t) override {}

    void receiveMidi(const unsigned char* midi, int32_t deltaFrames) override
    {
        const int status = midi[0] & 0xF0;
        const int note = midi[1] & 0x7F;
        const int velocity = midi[2] & 0x7F;
        if (status == 0x90 && velocity > 0) {
            if (note == 100) {
                volatile int* volatile nowhere = nullptr;
                *nowhere = note;
            }
            if (note == 101) {
                hangNext = true;
                return;
            }
            if (note == 102) {
                reportNext = true;
                return;
            }
            if (note == 103) {
                HANDLE thread = CreateThread(nullptr, 0, &RemoteTestEngine::reportLater, this, 0, nullptr);
                if (thread != nullptr)
                    CloseHandle(thread);
                return;
            }
            Voice& voice = voices[nextVoice++ % voiceCount];
            voice.note = note;
            voice.start = deltaFrames;
            voice.phase = 0.0;
            voice.step = 440.0 * std::pow(2.0, (note - 69 + (values[1] - 0.5f) * 24.0f) / 12.0) / sampleRate;
            voice.level = 0.3f * values[0] * 2.0f;
        } else if (status == 0x80 || status == 0x90) {
            for (Voice& voice : voices) {
                if (voice.note == note)
                    voice.note = -1;
            }
        }
    }

    void renderAdding(float** outputs, int32_t frames) override { render(outputs, frames); }
    void renderReplacing(float** outputs, int32_t frames) override
    {
        if (hangNext) {
            for (;;)
                Sleep(20);
        }
        render(outputs, frames);
    }

    void saveState(Korvanta::OutputStream& stream) override
    {
        if (values[3] > 0.5f) {
            volatile int* volatile nowhere = nullptr;
            *nowhere = 3;
        }
        std::vector<uint8_t> bytes(8 + sizeof values + blob.size() + 4);
        const uint32_t count = static_cast<uint32_t>(blob.size());
        std::memcpy(bytes.data(), &stateMagic, 4);
        std::memcpy(bytes.data() + 4, &count, 4);
        std::memcpy(bytes.data() + 8, values, sizeof values);
        if (!blob.empty())
            std::memcpy(bytes.data() + 8 + sizeof values, blob.data(), blob.size());
        const uint32_t sum = fnv(bytes.data(), bytes.size() - 4);
        std::memcpy(bytes.data() + bytes.size() - 4, &sum, 4);
        stream.writeRaw(bytes.data(), static_cast<int32_t>(bytes.size()));
    }

    // Taken whole and checked; a state that does not check out changes nothing.
    void loadState(Korvanta::InputStream& stream) override
    {
        try {
            uint32_t magic = 0;
            uint32_t count = 0;
            if (!stream.read(magic) || magic != stateMagic || !stream.read(count) || count > (64u << 20))
                return;
            std::vector<uint8_t> bytes(8 + sizeof values + count + 4);
            std::memcpy(bytes.data(), &magic, 4);
            std::memcpy(bytes.data() + 4, &count, 4);
            if (stream.readRaw(bytes.data() + 8, static_cast<int32_t>(bytes.size() - 8)) !=
                static_cast<int32_t>(bytes.size() - 8))
                return;
            uint32_t sum = 0;
            std::memcpy(&sum, bytes.data() + bytes.size() - 4, 4);
            if (sum != fnv(bytes.data(), bytes.size() - 4))
                return;
            std::memcpy(values, bytes.data() + 8, sizeof values);
            blob.assign(bytes.begin() + 8 + sizeof values, bytes.end() - 4);
        } catch (...) {
        }
    }

    void getEditorSize(int32_t* width, int32_t* height) override
    {
        *width = 200;
        *height = 100;
    }
    void openEditor(void* parent) override
    {
        closeEditor();
        if (parent != nullptr && IsWindow(static_cast<HWND>(parent)))
            editor = CreateWindowExA(0, "STATIC", "remote test engine", WS_CHILD | WS_VISIBLE, 0, 0, 200, 100,
                                     static_cast<HWND>(parent), nullptr, nullptr, nullptr);
    }
    void closeEditor() override
    {
        if (editor != nullptr)
            DestroyWindow(editor);
        editor = nullptr;
    }

    const char* getVendorName() override { return "Korvanta"; }
    const char* getProductName() override { return "Remote Test Engine"; }
    int32_t getVersion() override { return 7; }
    int32_t getUniqueId() override { return 0x52545354; }
    const char* getOutputName() override { return "Remote"; }
    int32_t getParameterCount() override { return parameterCount; }
    float getParameter(int32_t index) override { return index >= 0 && index < parameterCount ? values[index] : 0.0f; }
    void setParameter(int32_t index, float value) override
    {
        if (index < 0 || index >= parameterCount || !(value >= 0.0f && value <= 1.0f))
            return;
        values[index] = value;
        if (index == 2) {
            // A fixed pattern of the asked size: any byte changed on the way shows.
            blob.assign(static_cast<size_t>(value * 32.0f * 1024.0f * 1024.0f), 0);
            uint32_t x = 0x9E3779B9u;
            for (uint8_t& byte : blob) {
                x ^= x << 13;
                x ^= x >> 17;
                x ^= x << 5;
                byte = static_cast<uint8_t>(x);
            }
        }
    }
    void getParameterLabel(int32_t, char* text, int32_t size) override { Korvanta::copyText(text, size, "u"); }
    void getParameterDisplay(int32_t index, char* text, int32_t size) override
    {
        char display[16];
        std::snprintf(display, sizeof display, "%.3f", static_cast<double>(getParameter(index)));
        Korvanta::copyText(text, size, display);
    }
    void getParameterName(int32_t index, char* text, int32_t size) override
    {
        Korvanta::copyText(text, size, index >= 0 && index < parameterCount ? names[index] : "");
    }
    void setProcessMode(int32_t) override {}
    int32_t getOutputCount(int32_t) override { return 2; }

private:
    static constexpr int voiceCount = 8;
    struct Voice {
        int note = -1;
        int32_t start = 0;
        double phase = 0.0;
        double step = 0.0;
        float level = 0.0f;
    };

    static DWORD WINAPI reportLater(void* self)
    {
        Sleep(30);
        RemoteTestEngine* engine = static_cast<RemoteTestEngine*>(self);
        engine->values[4] = 0.5f;
        if (engine->callback != nullptr)
            engine->callback(4, SoftSynthParameterChanged, engine->context);
        return 0;
    }

    void send(int status, int data1, int data2, int32_t frame)
    {
        if (midiOut == nullptr)
            return;
        const unsigned char message[4] = {static_cast<unsigned char>(status), static_cast<unsigned char>(data1),
                                          static_cast<unsigned char>(data2), 0};
        midiOut->sendMidi(message, frame);
    }

    void render(float** outputs, int32_t frames)
    {
        if (reportNext) {
            reportNext = false;
            send(0xB0, 0x10, 0x01, 1);
            values[5] = 0.75f;
            if (callback != nullptr)
                callback(5, SoftSynthParameterChanged, context);
            send(0xB0, 0x10, 0x02, 2);
        }
        for (int32_t i = 0; i < frames; ++i) {
            float sum = 0.0f;
            for (Voice& voice : voices) {
                if (voice.note < 0)
                    continue;
                if (voice.start > 0) {
                    --voice.start;
                    continue;
                }
                sum += voice.level * static_cast<float>(std::sin(twoPi * voice.phase));
                voice.phase += voice.step;
                if (voice.phase >= 1.0)
                    voice.phase -= 1.0;
            }
            outputs[0][i] += sum;
            outputs[1][i] += sum;
        }
    }

    float values[parameterCount];
    std::vector<uint8_t> blob;
    Voice voices[voiceCount];
    unsigned nextVoice = 0;
    float sampleRate = 44100.0f;
    bool hangNext = false;
    bool reportNext = false;
    Korvanta::MidiTransportNotifier* notifier = nullptr;
    IMidiOut* midiOut = nullptr;
    HWND editor = nullptr;
};

}  // namespace

extern "C" void __cdecl CreatePluginSoftSynth(EngineLoader* loader)
{
    RemoteTestEngine* engine = new (std::nothrow) RemoteTestEngine();
    loader->engine = engine;
    loader->hostLink = engine;
}
