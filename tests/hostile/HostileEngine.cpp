// An engine module that misbehaves toward the plug-in the way a careless
// engine might, drawn from a seed the host sets: texts that are null, empty,
// far too long or cut without a terminator; exceptions out of every operation
// that may fail; service calls with boundary arguments (MIDI with null data,
// tick conversions of extreme positions, interfaces asked by null or unknown
// names, listeners added and removed during notifications); parameter reports
// for indices that do not exist, also while a host write is in progress.
//
// It also checks what the plug-in hands it (a render never gets a negative
// frame count or an unusable output array, MIDI always comes as four bytes,
// text buffers have the 9 bytes promised) and counts every breach, readable
// through the export "HostileEngineBreaches".
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <stdexcept>

#include "EngineLoader.h"
#include "HostileRandom.h"
#include "IHostLink.h"
#include "IMidiOut.h"
#include "MidiContext.h"
#include "MidiTransportNotifier.h"
#include "SoftSynth.h"

namespace {

hostile_test::HostileRandom random(1);
int32_t breaches = 0;
char firstBreach[256] = {};

void breach(const char* what)
{
    if (breaches++ == 0) {
        std::strncpy(firstBreach, what, sizeof firstBreach - 1);
    }
}

// Per mille chance of mischief at each opportunity.
constexpr uint32_t mischief = 120;

class HostileEngine;
HostileEngine* current = nullptr;

class HostileEngine final : public SoftSynth, public IHostLink, public Korvanta::MidiTransportListener {
public:
    HostileEngine()
    {
        static const int32_t counts[] = {0, 1, 8, 14, 300};
        parameterCount = random.pick(counts);
        longText[sizeof longText - 1] = '\0';
        std::memset(longText, 'L', sizeof longText - 1);
    }

    // SoftSynth
    void suspend() override { maybeThrow(); }
    void resume() override { maybeThrow(); }
    void release() override
    {
        if (current == this)
            current = nullptr;
        delete this;
    }
    void setSampleRate(float) override { maybeThrow(); }
    void setBlockSize(int32_t) override { maybeThrow(); }

    void receiveMidi(const unsigned char* midi, int32_t) override
    {
        if (midi == nullptr)
            breach("receiveMidi got no message");
        useServices();
        maybeThrow();
    }

    void renderAdding(float** outputs, int32_t frames) override { render(outputs, frames, true); }
    void renderReplacing(float** outputs, int32_t frames) override { render(outputs, frames, false); }

    void saveState(Korvanta::OutputStream& stream) override
    {
        for (uint32_t n = random.below(64); n > 0; --n) {
            stream.writeUInt32(static_cast<uint32_t>(random.next()));
            maybeThrow();
        }
    }

    void loadState(Korvanta::InputStream& stream) override
    {
        // Reads past the end on purpose: the stream throws, and an engine in
        // a hurry lets that escape.
        for (uint32_t n = random.below(64); n > 0; --n) {
            (void)stream.readInt32();
            maybeThrow();
        }
    }

    void getEditorSize(int32_t* width, int32_t* height) override
    {
        if (width == nullptr || height == nullptr) {
            breach("getEditorSize got null places");
            return;
        }
        if (random.chance(mischief))
            return;  // leaves the places as they were
        static const int32_t sizes[] = {0, 1, 640, 32767, 65536 + 480};
        *width = random.pick(sizes);
        *height = random.pick(sizes);
        maybeThrow();
    }
    void openEditor(void*) override { maybeThrow(); }
    void closeEditor() override { maybeThrow(); }

    const char* getVendorName() override { return text("Hostile Vendor"); }
    const char* getProductName() override { return text("Hostile Synth"); }
    const char* getOutputName() override { return text("Out"); }
    int32_t getVersion() override { return maybeThrow(), random.int32Boundary(); }
    int32_t getUniqueId() override { return 0x486F7374; }
    int32_t getParameterCount() override { return parameterCount; }

    float getParameter(int32_t) override
    {
        maybeThrow();
        static const float values[] = {0.0f,
                                       1.0f,
                                       0.5f,
                                       -1.0f,
                                       2.0f,
                                       std::numeric_limits<float>::quiet_NaN(),
                                       std::numeric_limits<float>::infinity()};
        return random.pick(values);
    }

    void setParameter(int32_t index, float) override
    {
        // Echoes the host's write, and now and then reports another index.
        if (random.chance(mischief) && callback != nullptr)
            callback(random.chance(500) ? index : random.int32Boundary(), SoftSynthParameterChanged, context);
        maybeThrow();
    }

    void getParameterLabel(int32_t index, char* text, int32_t size) override { parameterText(index, text, size); }
    void getParameterDisplay(int32_t index, char* text, int32_t size) override { parameterText(index, text, size); }
    void getParameterName(int32_t index, char* text, int32_t size) override { parameterText(index, text, size); }

    void setProcessMode(int32_t mode) override
    {
        if (mode < SoftSynthModeUnknown || mode > SoftSynthModeRealtime)
            breach("setProcessMode got a mode outside 0 to 2");
    }

    int32_t getOutputCount(int32_t) override { return 2; }

    // IHostLink
    void attachHost(IKorvantaHost* newHost) override
    {
        host = newHost;
        if (host == nullptr)
            return;
        contextService = static_cast<Korvanta::MidiContext*>(host->get_interface("Korvanta::MidiContext"));
        notifier =
            static_cast<Korvanta::MidiTransportNotifier*>(host->get_interface("Korvanta::MidiTransportNotifier"));
        midiOut = static_cast<IMidiOut*>(host->get_interface("IMidiOut"));
        if (contextService == nullptr || notifier == nullptr || midiOut == nullptr)
            breach("a service the plug-in offers was not found");
        if (notifier != nullptr) {
            notifier->addListener(this);
            ++registrations;
        }
    }

    void detachHost() override
    {
        for (; notifier != nullptr && registrations > 0; --registrations)
            notifier->removeListener(this);
        host = nullptr;
        contextService = nullptr;
        notifier = nullptr;
        midiOut = nullptr;
    }

    // MidiTransportListener: registrations change while the plug-in walks
    // its listeners.
    void onTransportStart(int32_t) override { reregister(); }
    void onTransportStop(int32_t) override { reregister(); }
    void onCycle(int32_t, int32_t) override { reregister(); }

private:
    ~HostileEngine() = default;

    // Only once the instance is handed to the host: a failure during
    // construction would only make the entry answer null.
    void maybeThrow()
    {
        if (host != nullptr && random.chance(mischief / 4))
            throw std::runtime_error("hostile engine");
    }

    const char* text(const char* usual)
    {
        maybeThrow();
        if (!random.chance(mischief))
            return usual;
        switch (random.below(3)) {
        case 0:
            return nullptr;
        case 1:
            return "";
        default:
            return longText;
        }
    }

    void parameterText(int32_t, char* text, int32_t size)
    {
        if (text == nullptr || size != 9) {
            breach("a parameter text came without the 9-byte buffer");
            return;
        }
        maybeThrow();
        if (random.chance(mischief)) {
            std::memset(text, 'P', static_cast<size_t>(size));  // every byte used, no terminator
            return;
        }
        std::strcpy(text, "Param");
    }

    void render(float** outputs, int32_t frames, bool adding)
    {
        if (frames < 0)
            breach("a render got a negative frame count");
        if (outputs == nullptr || outputs[0] == nullptr || outputs[1] == nullptr) {
            breach("a render got an unusable output array");
            return;
        }
        for (int32_t c = 0; c < 2; ++c) {
            for (int32_t i = 0; i < frames; ++i) {
                const float sample = static_cast<float>(random.between(-100, 100)) / 1000.0f;
                outputs[c][i] = adding ? outputs[c][i] + sample : sample;
            }
        }
        useServices();
        maybeThrow();
    }

    // The services, called with whatever an engine might pass.
    void useServices()
    {
        for (uint32_t n = random.below(4); n > 0; --n) {
            switch (random.below(8)) {
            case 0:
                if (midiOut != nullptr) {
                    const unsigned char message[4] = {random.byte(), random.byte(), random.byte(), random.byte()};
                    midiOut->sendMidi(random.chance(100) ? nullptr : message, random.int32Boundary());
                }
                break;
            case 1:
                if (contextService != nullptr) {
                    int32_t bar = 0, beat = 0, tick = 0;
                    contextService->ticksToBarBeatTick(random.int32Boundary(), random.chance(200) ? nullptr : &bar,
                                                       random.chance(200) ? nullptr : &beat,
                                                       random.chance(200) ? nullptr : &tick);
                }
                break;
            case 2:
                if (contextService != nullptr)
                    (void)contextService->barBeatTickToTicks(random.int32Boundary(), random.int32Boundary(),
                                                             random.int32Boundary());
                break;
            case 3:
                if (host != nullptr) {
                    static const char* const names[] = {nullptr,    "",          "IKorvantaHost",
                                                        "imidiout", "IMidiOut ", "Korvanta::MidiContext"};
                    (void)host->get_interface(random.pick(names));
                }
                break;
            case 4:
                if (callback != nullptr) {
                    static const int32_t requests[] = {SoftSynthParameterChanged, 0, -1, 2};
                    callback(random.int32Boundary(), random.pick(requests), context);
                }
                break;
            case 5:
                if (notifier != nullptr)
                    (void)(notifier->isPlaying() + notifier->isCycleActive() + notifier->getSamplePosition() +
                           notifier->getPpqPosition() + notifier->getCycleStart() + notifier->getCycleEnd());
                if (contextService != nullptr)
                    (void)(contextService->getTempo() + contextService->getTimeSigNumerator() +
                           contextService->getTimeSigDenominator() + contextService->getTicksPerQuarter());
                break;
            case 6:
                if (notifier != nullptr && random.chance(300))
                    notifier->removeListener(nullptr);  // never registered: nothing happens
                break;
            default:
                reregister();
                break;
            }
        }
    }

    void reregister()
    {
        if (notifier == nullptr || !random.chance(mischief))
            return;
        if (random.chance(500) || registrations == 0) {
            notifier->addListener(this);
            ++registrations;
        } else {
            notifier->removeListener(this);
            --registrations;
        }
    }

    int32_t parameterCount = 0;
    int32_t registrations = 0;
    IKorvantaHost* host = nullptr;
    Korvanta::MidiContext* contextService = nullptr;
    Korvanta::MidiTransportNotifier* notifier = nullptr;
    IMidiOut* midiOut = nullptr;
    char longText[400];
};

}  // namespace

extern "C" __declspec(dllexport) void __cdecl CreatePluginSoftSynth(EngineLoader* loader)
{
    HostileEngine* engine = new HostileEngine();
    current = engine;
    loader->engine = engine;
    loader->hostLink = engine;
}

// The host's seed for every later decision of this module.
extern "C" __declspec(dllexport) void __cdecl SeedHostileEngine(uint64_t seed)
{
    random = hostile_test::HostileRandom(seed ^ 0xE4614E5EEDull);
    breaches = 0;
    firstBreach[0] = '\0';
}

// How often the plug-in handed this engine something it must not, and the
// first such thing.
extern "C" __declspec(dllexport) int32_t __cdecl HostileEngineBreaches(const char** first)
{
    if (first != nullptr)
        *first = firstBreach;
    return breaches;
}
