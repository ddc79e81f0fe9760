// The host services a validator offers an engine through its host link, as
// the plug-in does: found by exact name, and recording every use so that the
// service checks can judge it (unknown names asked, listeners added or removed
// during processing or never removed, MIDI sent outside processing).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "IKorvantaHost.h"
#include "IMidiOut.h"
#include "MidiContext.h"
#include "MidiTransportNotifier.h"

namespace validator {

extern const char* const knownServiceNames[3];

class FakeHostServices final : public IKorvantaHost,
                               public Korvanta::MidiContext,
                               public Korvanta::MidiTransportNotifier,
                               public IMidiOut {
public:
    FakeHostServices() = default;
    FakeHostServices(const FakeHostServices&) = delete;
    FakeHostServices& operator=(const FakeHostServices&) = delete;

    IKorvantaHost* host() { return this; }

    // IKorvantaHost
    void* get_interface(const char* name) override;

    // Korvanta::MidiContext
    int32_t getTicksPerQuarter() override { return Korvanta::ticksPerQuarterNote; }
    double getTempo() override { return tempo; }
    int32_t barBeatTickToTicks(int32_t bar, int32_t beat, int32_t tick) override;
    void ticksToBarBeatTick(int32_t ticks, int32_t* bar, int32_t* beat, int32_t* tick) override;
    int32_t getTimeSigNumerator() override { return 4; }
    int32_t getTimeSigDenominator() override { return 4; }

    // Korvanta::MidiTransportNotifier
    void addListener(Korvanta::MidiTransportListener* listener) override;
    void removeListener(Korvanta::MidiTransportListener* listener) override;
    int32_t isPlaying() override { return playing ? 1 : 0; }
    int32_t isCycleActive() override { return 0; }
    double getSamplePosition() override { return samplePosition; }
    double getPpqPosition() override { return samplePosition / sampleRate * tempo / 60.0; }
    double getCycleStart() override { return 0.0; }
    double getCycleEnd() override { return 0.0; }

    // IMidiOut
    void sendMidi(const unsigned char* midi, int32_t deltaFrames) override;

    // Driven by the renderer: processing calls run between begin and end.
    void beginProcessing() { processing = true; }
    void endProcessing() { processing = false; }
    // Tells the listeners, inside processing as the plug-in does.
    void startTransport();
    void stopTransport();
    // A stopped host stands still, as the plug-in's time information does then.
    void advance(int32_t frames)
    {
        if (playing) {
            samplePosition += frames;
        }
    }

    double sampleRate = 44100.0;
    double tempo = 120.0;

    // What the engine did.
    std::vector<std::string> unknownNames;
    int32_t namesAsked = 0;
    int32_t listenersAdded = 0;
    int32_t listenersRemoved = 0;
    int32_t listenerChangesWhileProcessing = 0;
    int32_t removalsOfUnknownListeners = 0;
    int32_t midiSentInProcessing = 0;
    int32_t midiSentOutsideProcessing = 0;
    std::vector<Korvanta::MidiTransportListener*> listeners;  // registration order

private:
    bool processing = false;
    bool playing = false;
    double samplePosition = 0.0;
};

}  // namespace validator
