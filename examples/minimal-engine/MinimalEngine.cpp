// MinimalEngine.dll: the smallest complete engine module. Eight sine voices
// with a soft attack and a release, two parameters (volume, release time), a
// versioned state, and a transport listener that lets every note go when the
// host stops. Built from the headers in include/ alone; docs/engine-guide.md
// explains each part.
#include <atomic>
#include <cmath>
#include <cstdio>
#include <new>

#include "EngineLoader.h"
#include "IHostLink.h"
#include "IKorvantaHost.h"
#include "MidiTransportListener.h"
#include "MidiTransportNotifier.h"
#include "SoftSynth.h"
#include "StreamBufferException.h"
#include "TextCopy.h"

namespace {

constexpr int32_t voiceCount = 8;
constexpr int32_t maxEvents = 512;           // messages held for one block
constexpr int64_t controlInterval = 32;      // samples of the engine's own clock between parameter reads
constexpr uint32_t stateMagic = 0x4C4D4E4D;  // the bytes M N M L
constexpr uint32_t stateVersion = 1;         // 1: volume, release, check
constexpr double twoPi = 6.28318530717958647692;

enum Parameter : int32_t { ParamVolume, ParamRelease, ParameterCount };
struct ParameterInfo {
    const char* name;  // texts reach the host through 9-byte buffers: 8 characters at most
    const char* label;
    float defaultValue;
};
const ParameterInfo parameterInfo[ParameterCount] = {{"Volume", "dB", 0.7f}, {"Release", "ms", 0.4f}};

// FNV-1a over the stored values' bytes, so a damaged state is refused
// instead of played.
uint32_t stateCheck(float volume, float releaseTime)
{
    const float stored[2] = {volume, releaseTime};
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(stored);
    uint32_t hash = 2166136261u;
    for (size_t i = 0; i < sizeof stored; ++i) {
        hash = (hash ^ bytes[i]) * 16777619u;
    }
    return hash;
}

float releaseSeconds(float value)
{
    return 0.01f * std::pow(300.0f, value);  // 10 ms to 3 s
}

struct Voice {
    int32_t note = -1;  // -1: idle
    bool held = false;
    double phase = 0.0;
    double step = 0.0;
    float level = 0.0f;
    float velocity = 0.0f;
};

struct Event {
    unsigned char bytes[3];
    int32_t frame;
};

class MinimalEngine final : public SoftSynth, public IHostLink, public Korvanta::MidiTransportListener {
public:
    MinimalEngine()
    {
        for (int32_t i = 0; i < ParameterCount; ++i) {
            values[i].store(parameterInfo[i].defaultValue);
        }
    }

    void suspend() override {}
    void resume() override  // a fresh start: a render after resume repeats exactly
    {
        for (Voice& voice : voices) {
            voice = Voice();
        }
        eventCount = 0;
        clock = 0;
        readParameters();
        gain = targetGain;
    }
    void release() override
    {
        detachHost();  // in case the plug-in did not
        delete this;
    }
    void setSampleRate(float rate) override
    {
        if (std::isfinite(rate) && rate >= 1000.0f && rate <= 768000.0f) {
            sampleRate = rate;  // hosts send 0 before they know their device
        }
    }
    void setBlockSize(int32_t) override {}

    // Audio thread: held in frame order (stable) until the block renders; no allocation.
    void receiveMidi(const unsigned char* midi, int32_t deltaFrames) override
    {
        if (midi == nullptr || eventCount == maxEvents) {
            return;
        }
        const int32_t frame = deltaFrames < 0 ? 0 : deltaFrames;
        int32_t slot = eventCount++;
        for (; slot > 0 && events[slot - 1].frame > frame; --slot) {
            events[slot] = events[slot - 1];
        }
        events[slot] = {{midi[0], midi[1], midi[2]}, frame};
    }
    void renderAdding(float** outputs, int32_t frames) override { render(outputs, frames, true); }
    void renderReplacing(float** outputs, int32_t frames) override { render(outputs, frames, false); }

    // Stream errors are exceptions from the plug-in's stream: let them pass,
    // the plug-in keeps what was written.
    void saveState(Korvanta::OutputStream& stream) override
    {
        stream.writeUInt32(stateMagic);
        stream.writeUInt32(stateVersion);
        const float volume = values[ParamVolume].load();
        const float releaseTime = values[ParamRelease].load();
        stream.writeFloat(volume);
        stream.writeFloat(releaseTime);
        stream.writeUInt32(stateCheck(volume, releaseTime));
    }
    // Must not throw. Applies nothing unless the whole state is ours and sound.
    void loadState(Korvanta::InputStream& stream) override
    {
        try {
            uint32_t magic = 0;
            uint32_t version = 0;
            float volume = -1.0f;
            float releaseTime = -1.0f;
            uint32_t check = 0;
            if (!stream.read(magic) || magic != stateMagic || !stream.read(version) || version != stateVersion ||
                !stream.read(volume) || !stream.read(releaseTime) || !stream.read(check)) {
                return;  // foreign, newer or short
            }
            if (check != stateCheck(volume, releaseTime)) {
                return;  // damaged on the way
            }
            if (!(volume >= 0.0f && volume <= 1.0f && releaseTime >= 0.0f && releaseTime <= 1.0f)) {
                return;  // NaN fails these too
            }
            values[ParamVolume].store(volume);
            values[ParamRelease].store(releaseTime);
        } catch (const Korvanta::StreamBufferException&) {
            // a chunk shorter than the format: the plug-in's stream throws at its end
        } catch (...) {
        }
    }

    // No window: the plug-in still offers an editor, of size 0 x 0.
    void getEditorSize(int32_t* width, int32_t* height) override
    {
        if (width != nullptr && height != nullptr) {
            *width = *height = 0;
        }
    }
    void openEditor(void*) override {}
    void closeEditor() override {}

    const char* getVendorName() override { return "Example Maker"; }
    const char* getProductName() override { return "MinimalEngine"; }
    int32_t getVersion() override { return 100; }
    int32_t getUniqueId() override { return 0x4D6E6D6C; }  // 'Mnml'
    const char* getOutputName() override { return "Minimal"; }

    int32_t getParameterCount() override { return ParameterCount; }
    float getParameter(int32_t index) override { return isParameter(index) ? values[index].load() : 0.0f; }
    void setParameter(int32_t index, float value) override
    {
        if (isParameter(index) && !std::isnan(value)) {
            values[index].store(value < 0.0f ? 0.0f : (value > 1.0f ? 1.0f : value));
        }
    }
    void getParameterLabel(int32_t index, char* text, int32_t size) override
    {
        Korvanta::copyText(text, size, isParameter(index) ? parameterInfo[index].label : "");
    }
    void getParameterName(int32_t index, char* text, int32_t size) override
    {
        Korvanta::copyText(text, size, isParameter(index) ? parameterInfo[index].name : "");
    }
    void getParameterDisplay(int32_t index, char* text, int32_t size) override
    {
        char buffer[32] = "";
        const float value = getParameter(index);
        if (index == ParamVolume && value > 0.0f) {
            std::snprintf(buffer, sizeof buffer, "%.1f", 40.0f * std::log10(value));
        } else if (index == ParamVolume) {
            Korvanta::copyText(buffer, sizeof buffer, "-inf");
        } else if (index == ParamRelease) {
            std::snprintf(buffer, sizeof buffer, "%.0f", releaseSeconds(value) * 1000.0f);
        }
        Korvanta::copyText(text, size, buffer);
    }
    void setProcessMode(int32_t) override {}
    int32_t getOutputCount(int32_t) override { return 2; }

    // Host link: main thread, outside processing, so adding and removing the listener is allowed.
    void attachHost(IKorvantaHost* host) override
    {
        detachHost();
        void* service = host != nullptr ? host->get_interface(Korvanta::midiTransportNotifierService) : nullptr;
        transport = static_cast<Korvanta::MidiTransportNotifier*>(service);
        if (transport != nullptr) {
            transport->addListener(this);
        }
    }
    void detachHost() override
    {
        if (transport != nullptr) {
            transport->removeListener(this);
            transport = nullptr;
        }
    }

    // Called inside the plug-in's processing calls: only note it for the next render.
    void onTransportStart(int32_t) override {}
    void onTransportStop(int32_t) override { stopped.store(true); }
    void onCycle(int32_t, int32_t) override {}

private:
    static bool isParameter(int32_t index) { return index >= 0 && index < ParameterCount; }

    void readParameters()
    {
        const float volume = values[ParamVolume].load();
        targetGain = 0.25f * volume * volume;  // quarter scale for one full-volume voice
        releaseCoefficient = std::exp(-4.6f / (releaseSeconds(values[ParamRelease].load()) * sampleRate));
        attackCoefficient = std::exp(-4.6f / (0.003f * sampleRate));
    }

    void handle(const unsigned char* bytes)
    {
        const int32_t status = bytes[0] & 0xF0;
        const int32_t note = bytes[1] & 0x7F;
        const int32_t velocity = bytes[2] & 0x7F;
        if (status == 0x90 && velocity > 0) {
            Voice* chosen = &voices[0];  // an idle voice, else the quietest
            for (Voice& voice : voices) {
                if (voice.note < 0 || (chosen->note >= 0 && voice.level < chosen->level)) {
                    chosen = &voice;
                }
            }
            *chosen = Voice();
            chosen->note = note;
            chosen->held = true;
            chosen->velocity = static_cast<float>(velocity) / 127.0f;
            chosen->step = 440.0 * std::pow(2.0, (note - 69) / 12.0) / sampleRate;
        } else if (status == 0x80 || status == 0x90) {
            for (Voice& voice : voices) {
                voice.held = voice.held && voice.note != note;
            }
        } else if (status == 0xB0 && (note == 120 || note == 123)) {
            releaseAll();  // all sound off, all notes off
        }
    }

    void releaseAll()
    {
        for (Voice& voice : voices) {
            voice.held = false;
        }
    }

    // Every timed step (messages, parameter reads) is placed on the engine's
    // own sample clock, so any split of a run into blocks gives the same samples.
    void render(float** outputs, int32_t frames, bool adding)
    {
        if (frames <= 0) {
            return;  // held messages wait for a real block
        }
        float* left = outputs != nullptr ? outputs[0] : nullptr;
        float* right = outputs != nullptr ? outputs[1] : nullptr;
        if (stopped.exchange(false)) {
            releaseAll();
        }
        int32_t next = 0;
        for (int32_t i = 0; i < frames; ++i, ++clock) {
            if (clock % controlInterval == 0) {
                readParameters();
            }
            // Messages timed at or beyond the end of the block play on its last frame.
            while (next < eventCount && (events[next].frame <= i || i == frames - 1)) {
                handle(events[next++].bytes);
            }
            float sum = 0.0f;
            for (Voice& voice : voices) {
                if (voice.note < 0) {
                    continue;
                }
                voice.level =
                    voice.held ? 1.0f + (voice.level - 1.0f) * attackCoefficient : voice.level * releaseCoefficient;
                if (!voice.held && voice.level < 1.0e-4f) {
                    voice.note = -1;
                    continue;
                }
                sum += static_cast<float>(std::sin(twoPi * voice.phase)) * voice.level * voice.velocity;
                voice.phase += voice.step;
                voice.phase -= voice.phase >= 1.0 ? 1.0 : 0.0;
            }
            gain += (targetGain - gain) * 0.002f;
            if (std::fabs(targetGain - gain) < 1.0e-7f) {
                gain = targetGain;  // no endless approach into denormals
            }
            const float sample = sum * gain;
            if (left != nullptr) {
                left[i] = adding ? left[i] + sample : sample;
            }
            if (right != nullptr) {
                right[i] = adding ? right[i] + sample : sample;
            }
        }
        eventCount = 0;
    }

    std::atomic<float> values[ParameterCount];  // written by the host's threads, read at control ticks
    std::atomic<bool> stopped{false};
    Korvanta::MidiTransportNotifier* transport = nullptr;
    Voice voices[voiceCount];
    Event events[maxEvents];
    int32_t eventCount = 0;
    int64_t clock = 0;
    float sampleRate = 44100.0f;
    float gain = 0.0f;
    float targetGain = 0.0f;
    float attackCoefficient = 0.0f;
    float releaseCoefficient = 0.0f;
};

}  // namespace

// The exports (cdecl, undecorated through MinimalEngine.def). The plug-in
// prefers CreatePluginSoftSynth, which can also hand over the host link.
extern "C" void __cdecl CreatePluginSoftSynth(EngineLoader* loader)
{
    if (loader == nullptr) {
        return;
    }
    MinimalEngine* engine = new (std::nothrow) MinimalEngine();
    loader->engine = engine;
    loader->hostLink = engine;
}

extern "C" SoftSynth* __cdecl CreateSoftSynth(int32_t, int32_t)
{
    return new (std::nothrow) MinimalEngine();
}

extern "C" int32_t __cdecl SoftSynthSampleAccurate()
{
    return 1;
}

#if defined(_WIN64)
// The statically linked C++ runtime keeps an emergency exception block from
// load to exit; hand it back at unload, as the plug-in loads its engine once
// per instance.
namespace __gnu_cxx {
void __freeres() noexcept;
}
namespace {
struct RuntimePoolRelease {
    ~RuntimePoolRelease() { __gnu_cxx::__freeres(); }
} runtimePoolRelease;
}  // namespace
#endif
