// A recording engine module for the bridge tests: it keeps every call the
// plug-in makes in the probe record, answers from the probe's steering, and
// uses the host services it receives through its host link.
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "BridgeProbe.h"
#include "EngineLoader.h"
#include "IHostLink.h"
#include "IMidiOut.h"

using bridge_test::BridgeProbe;
using bridge_test::Call;
using bridge_test::ProbeCall;

namespace {

BridgeProbe probe;

void resetProbe()
{
    std::memset(&probe, 0, sizeof probe);
    probe.outputCount = 2;
    probe.parameterCount = 8;
    probe.uniqueId = 0x42726467;
    probe.version = 1234;
    std::strcpy(probe.vendorName, "Bridge Vendor");
    std::strcpy(probe.productName, "Bridge Synth");
    std::strcpy(probe.outputName, "Out");
    probe.saveThrowsAfter = -1;
}

ProbeCall& record(Call call, int32_t a = 0, int32_t b = 0, double real = 0.0)
{
    static ProbeCall overflow;
    const int32_t slot = probe.callCount++;
    ProbeCall& entry = slot < bridge_test::probeCallRoom ? probe.calls[slot] : overflow;
    entry.call = call;
    entry.a = a;
    entry.b = b;
    entry.real = real;
    std::memset(entry.midi, 0, sizeof entry.midi);
    return entry;
}

class BridgeEngine final : public SoftSynth {
public:
    explicit BridgeEngine(int32_t channels) : channels(channels) {}

    void suspend() override { record(Call::Suspend); }
    void resume() override { record(Call::Resume); }
    void release() override
    {
        ++probe.releaseCount;
        if (probe.engine == this)
            probe.engine = nullptr;
        delete this;
    }
    void setSampleRate(float rate) override { record(Call::SetSampleRate, 0, 0, rate); }
    void setBlockSize(int32_t size) override { record(Call::SetBlockSize, size); }

    void receiveMidi(const unsigned char* midi, int32_t deltaFrames) override
    {
        if (probe.idle)
            return;
        ProbeCall& entry = record(Call::ReceiveMidi, deltaFrames);
        std::memcpy(entry.midi, midi, sizeof entry.midi);
    }

    void renderAdding(float** outputs, int32_t frames) override
    {
        if (probe.idle)
            return;
        const bool haveSample = outputs != nullptr && channels > 0 && outputs[0] != nullptr && frames > 0;
        record(Call::RenderAdding, frames, outputs == nullptr ? 1 : 0, haveSample ? outputs[0][0] : 0.0);
        if (probe.renderThrows)
            throw std::runtime_error("engine failed while rendering");
        sendScriptedMidi();
    }

    void renderReplacing(float** outputs, int32_t frames) override
    {
        if (probe.idle)
            return;
        bool silent = true;
        for (int32_t c = 0; outputs != nullptr && c < channels; ++c) {
            for (int32_t i = 0; i < frames; ++i)
                silent = silent && outputs[c][i] == 0.0f;
        }
        record(Call::RenderReplacing, frames, silent ? 1 : 0);
        if (probe.renderThrows)
            throw std::runtime_error("engine failed while rendering");
        for (int32_t c = 0; probe.renderValue != 0.0f && outputs != nullptr && c < channels; ++c) {
            for (int32_t i = 0; i < frames; ++i)
                outputs[c][i] = probe.renderValue;
        }
        sendScriptedMidi();
    }

    void saveState(Korvanta::OutputStream& stream) override
    {
        record(Call::SaveState);
        for (int32_t i = 0; i < probe.saveCount; ++i) {
            if (i == probe.saveThrowsAfter)
                throw std::runtime_error("engine failed while saving");
            stream.write(static_cast<uint8_t>(probe.saveBytes[i]));
        }
        if (probe.saveThrowsAfter == probe.saveCount)
            throw std::runtime_error("engine failed while saving");
    }

    void loadState(Korvanta::InputStream& stream) override
    {
        int32_t count = 0;
        try {
            uint8_t byte = 0;
            while (count < bridge_test::probeByteRoom && !stream.atEnd() && stream.read(byte))
                probe.loaded[count++] = byte;
        } catch (...) {
        }
        probe.loadedCount = count;
        record(Call::LoadState, count);
        if (probe.loadThrows)
            throw std::runtime_error("engine rejected the state");
    }

    void getEditorSize(int32_t* width, int32_t* height) override
    {
        *width = 0;
        *height = 0;
    }
    void openEditor(void*) override {}
    void closeEditor() override {}

    const char* getVendorName() override { return probe.vendorName; }
    const char* getProductName() override { return probe.productName; }
    int32_t getVersion() override { return probe.version; }
    int32_t getUniqueId() override { return probe.uniqueId; }
    const char* getOutputName() override { return probe.outputName; }
    int32_t getParameterCount() override { return probe.parameterCount; }

    float getParameter(int32_t index) override
    {
        record(Call::GetParameter, index);
        return inRange(index) ? probe.parameters[index] : 0.0f;
    }

    void setParameter(int32_t index, float value) override
    {
        record(Call::SetParameter, index, 0, value);
        if (inRange(index))
            probe.parameters[index] = value;
        if (probe.echoOnSetParameter && callback != nullptr)
            callback(index, SoftSynthParameterChanged, context);
    }

    // Longer than the 9 bytes the plug-in offers, so that a test sees the cut.
    void getParameterLabel(int32_t index, char* text, int32_t size) override
    {
        if (!fillWhole(text, size))
            std::snprintf(text, static_cast<size_t>(size), "Label%d-long", static_cast<int>(index));
    }
    void getParameterDisplay(int32_t index, char* text, int32_t size) override
    {
        if (!fillWhole(text, size))
            std::snprintf(text, static_cast<size_t>(size), "Disp%d-longer", static_cast<int>(index));
    }
    void getParameterName(int32_t index, char* text, int32_t size) override
    {
        if (!fillWhole(text, size))
            std::snprintf(text, static_cast<size_t>(size), "Name%d-longer", static_cast<int>(index));
    }

    void setProcessMode(int32_t mode) override
    {
        if (!probe.idle)
            record(Call::SetProcessMode, mode);
    }
    int32_t getOutputCount(int32_t) override { return channels; }

    IMidiOut* midiOut = nullptr;

private:
    ~BridgeEngine() = default;

    static bool inRange(int32_t index) { return index >= 0 && index < bridge_test::probeParameterRoom; }

    // A careless engine's text: every byte offered, no terminator.
    static bool fillWhole(char* text, int32_t size)
    {
        if (!probe.unterminatedTexts || size <= 0)
            return false;
        std::memset(text, 'W', static_cast<size_t>(size));
        return true;
    }

    void sendScriptedMidi()
    {
        for (int32_t i = 0; midiOut != nullptr && i < probe.renderMidiCount && i < bridge_test::probeMidiRoom; ++i)
            midiOut->sendMidi(probe.renderMidi[i], probe.renderMidiDelta[i]);
    }

    int32_t channels;
};

class BridgeHostLink final : public IHostLink {
public:
    void attachHost(IKorvantaHost* host) override
    {
        ++probe.attachCount;
        probe.host = host;
        if (BridgeEngine* engine = current())
            engine->midiOut = static_cast<IMidiOut*>(host->get_interface("IMidiOut"));
    }

    void detachHost() override
    {
        ++probe.detachCount;
        probe.host = nullptr;
        if (BridgeEngine* engine = current())
            engine->midiOut = nullptr;
    }

private:
    static BridgeEngine* current() { return static_cast<BridgeEngine*>(probe.engine); }
};

BridgeHostLink hostLink;

struct ProbeInitialiser {
    ProbeInitialiser() { resetProbe(); }
} probeInitialiser;

}  // namespace

extern "C" __declspec(dllexport) void __cdecl CreatePluginSoftSynth(EngineLoader* loader)
{
    BridgeEngine* engine = new BridgeEngine(probe.outputCount);
    probe.engine = engine;
    loader->engine = engine;
    loader->hostLink = &hostLink;
}

extern "C" __declspec(dllexport) BridgeProbe* __cdecl GetBridgeProbe(int32_t reset)
{
    if (reset)
        resetProbe();
    return &probe;
}
