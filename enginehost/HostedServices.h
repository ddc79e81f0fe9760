// The host services the engine finds through IKorvantaHost in its own
// process, under the same names as in the plug-in: the MIDI context and the
// transport over the values the plug-in sends with each block, the engine's
// transport listeners (told what the plug-in's transport announced, in the
// order it did), and a MIDI out whose messages travel back to the plug-in.
#pragma once

#include <cstdint>

#include "IKorvantaHost.h"
#include "IMidiOut.h"
#include "MidiContext.h"
#include "MidiTransportNotifier.h"
#include "bridge/MidiTransportBroadcaster.h"
#include "channel/ChannelLayout.h"

namespace enginehost {

class EventOutbox;

class HostedServices final : public IKorvantaHost,
                             public Korvanta::MidiContext,
                             public Korvanta::MidiTransportNotifier,
                             public IMidiOut {
public:
    explicit HostedServices(EventOutbox& outbox) : outbox(outbox) {}
    HostedServices(const HostedServices&) = delete;
    HostedServices& operator=(const HostedServices&) = delete;

    // The block's transport values, before its commands are replayed.
    void setTime(const channel::TimeSnapshot& snapshot) { time = snapshot; }
    Korvanta::MidiTransportBroadcaster& listeners() { return broadcaster; }

    // IKorvantaHost: each name looked up is also told to the plug-in, which
    // looks it up in its own services (and traces it) as an engine in the
    // host's process would have made it do.
    void* get_interface(const char* name) override;

    // Korvanta::MidiContext
    int32_t getTicksPerQuarter() override;
    double getTempo() override { return time.tempo; }
    int32_t barBeatTickToTicks(int32_t bar, int32_t beat, int32_t tick) override;
    void ticksToBarBeatTick(int32_t ticks, int32_t* bar, int32_t* beat, int32_t* tick) override;
    int32_t getTimeSigNumerator() override { return time.numerator; }
    int32_t getTimeSigDenominator() override { return time.denominator; }

    // Korvanta::MidiTransportNotifier
    void addListener(Korvanta::MidiTransportListener* listener) override { broadcaster.addListener(listener); }
    void removeListener(Korvanta::MidiTransportListener* listener) override { broadcaster.removeListener(listener); }
    int32_t isPlaying() override { return time.playing != 0 ? 1 : 0; }
    int32_t isCycleActive() override { return time.cycleActive != 0 ? 1 : 0; }
    double getSamplePosition() override { return time.samplePosition; }
    double getPpqPosition() override { return time.ppqPosition; }
    double getCycleStart() override { return time.cycleStart; }
    double getCycleEnd() override { return time.cycleEnd; }

    // IMidiOut: the four bytes as they are; a null message sends nothing.
    void sendMidi(const unsigned char* midi, int32_t deltaFrames) override;

private:
    EventOutbox& outbox;
    channel::TimeSnapshot time{};
    Korvanta::MidiTransportBroadcaster broadcaster;
};

}  // namespace enginehost
