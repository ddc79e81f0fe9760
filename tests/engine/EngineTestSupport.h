// Loads the real engine module and plays the plug-in's part around it:
// the loader record, the host services and the audio buffers.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "EngineLoader.h"
#include "IKorvantaHost.h"
#include "IMidiOut.h"
#include "MidiContext.h"
#include "MidiTransportNotifier.h"
#include "SoftSynth.h"
#include "stream/MemoryStream.h"
#include "stream/StreamBuffer.h"

namespace {

[[maybe_unused]] std::string engineBinaryFolder()
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path);
    return folder.substr(0, folder.find_last_of("\\/") + 1);
}

struct SentMidi {
    unsigned char bytes[4];
    int32_t frame;
};

// The plug-in's services as the engine sees them, with a transport the test moves.
class FakeHostServices : public IKorvantaHost,
                         public Korvanta::MidiContext,
                         public Korvanta::MidiTransportNotifier,
                         public IMidiOut {
public:
    void* get_interface(const char* name) override
    {
        const std::string wanted = name != nullptr ? name : "";
        if (wanted == "Korvanta::MidiContext") {
            return static_cast<Korvanta::MidiContext*>(this);
        }
        if (wanted == "Korvanta::MidiTransportNotifier") {
            return static_cast<Korvanta::MidiTransportNotifier*>(this);
        }
        if (wanted == "IMidiOut") {
            return static_cast<IMidiOut*>(this);
        }
        return nullptr;
    }

    int32_t getTicksPerQuarter() override { return 480; }
    double getTempo() override { return tempo; }
    int32_t barBeatTickToTicks(int32_t bar, int32_t beat, int32_t tick) override
    {
        return tick + ((bar - 1) * 4 + (beat - 1)) * 480;
    }
    void ticksToBarBeatTick(int32_t, int32_t*, int32_t*, int32_t*) override {}
    int32_t getTimeSigNumerator() override { return 4; }
    int32_t getTimeSigDenominator() override { return 4; }

    void addListener(Korvanta::MidiTransportListener* listener) override { listeners.push_back(listener); }
    void removeListener(Korvanta::MidiTransportListener* listener) override
    {
        for (auto it = listeners.rbegin(); it != listeners.rend(); ++it) {
            if (*it == listener) {
                listeners.erase(std::next(it).base());
                return;
            }
        }
    }
    int32_t isPlaying() override { return playing ? 1 : 0; }
    int32_t isCycleActive() override { return 0; }
    double getSamplePosition() override { return 0.0; }
    double getPpqPosition() override { return ppq; }
    double getCycleStart() override { return 0.0; }
    double getCycleEnd() override { return 0.0; }

    void sendMidi(const unsigned char* midi, int32_t deltaFrames) override
    {
        SentMidi sent = {{midi[0], midi[1], midi[2], midi[3]}, deltaFrames};
        this->sent.push_back(sent);
    }

    double tempo = 120.0;
    double ppq = 0.0;
    bool playing = false;
    std::vector<Korvanta::MidiTransportListener*> listeners;
    std::vector<SentMidi> sent;
};

// One engine instance from the module, released at the end.
class EngineUnderTest {
public:
    EngineUnderTest()
    {
        module = LoadLibraryA((engineBinaryFolder() + "VelmorantEngine.dll").c_str());
        if (module == nullptr) {
            return;
        }
        auto factory = reinterpret_cast<CreatePluginSoftSynthProc>(
            reinterpret_cast<void*>(GetProcAddress(module, "CreatePluginSoftSynth")));
        if (factory != nullptr) {
            factory(&loader);
        }
        if (engine() != nullptr) {
            engine()->setSampleRate(48000.0f);
            engine()->setBlockSize(256);
            engine()->setProcessMode(SoftSynthModeOffline);
            engine()->resume();
        }
    }
    ~EngineUnderTest()
    {
        if (loader.hostLink != nullptr && attached) {
            loader.hostLink->detachHost();
        }
        if (loader.engine != nullptr) {
            loader.engine->release();
        }
        if (module != nullptr) {
            FreeLibrary(module);
        }
    }
    EngineUnderTest(const EngineUnderTest&) = delete;
    EngineUnderTest& operator=(const EngineUnderTest&) = delete;

    SoftSynth* engine() const { return loader.engine; }
    IHostLink* hostLink() const { return loader.hostLink; }
    void attach(IKorvantaHost* host)
    {
        loader.hostLink->attachHost(host);
        attached = true;
    }

    void midi(unsigned char status, unsigned char data1, unsigned char data2, int32_t frame = 0)
    {
        const unsigned char bytes[4] = {status, data1, data2, 0};
        engine()->receiveMidi(bytes, frame);
    }

    // Renders `frames` stereo frames in blocks; appends to left and right.
    void render(int32_t frames, int32_t block = 256)
    {
        std::vector<float> l(static_cast<size_t>(block)), r(static_cast<size_t>(block));
        while (frames > 0) {
            const int32_t now = frames < block ? frames : block;
            std::fill(l.begin(), l.end(), 0.0f);
            std::fill(r.begin(), r.end(), 0.0f);
            float* outputs[2] = {l.data(), r.data()};
            engine()->renderReplacing(outputs, now);
            left.insert(left.end(), l.begin(), l.begin() + now);
            right.insert(right.end(), r.begin(), r.begin() + now);
            frames -= now;
        }
    }

    std::vector<uint8_t> saveState()
    {
        Korvanta::StreamBuffer* buffer = new Korvanta::StreamBuffer();
        Korvanta::MemoryStream stream(buffer);
        engine()->saveState(stream);
        std::vector<uint8_t> bytes(buffer->data(), buffer->data() + buffer->size());
        buffer->release();
        return bytes;
    }

    void loadState(std::vector<uint8_t> bytes)
    {
        Korvanta::StreamBuffer* buffer =
            new Korvanta::StreamBuffer(bytes.empty() ? nullptr : bytes.data(), static_cast<uint32_t>(bytes.size()));
        Korvanta::MemoryStream stream(buffer);
        engine()->loadState(stream);
        buffer->release();
    }

    std::vector<float> left;
    std::vector<float> right;

private:
    HMODULE module = nullptr;
    EngineLoader loader = {nullptr, 0, {0, 0, 0}, 128, nullptr, nullptr, nullptr};
    bool attached = false;
};

[[maybe_unused]] float peakOf(const std::vector<float>& samples, size_t from = 0, size_t to = SIZE_MAX)
{
    float peak = 0.0f;
    for (size_t i = from; i < samples.size() && i < to; ++i) {
        peak = std::fmax(peak, std::fabs(samples[i]));
    }
    return peak;
}

}  // namespace
