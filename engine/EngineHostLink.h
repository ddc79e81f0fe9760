// The engine's end of the plug-in's host services: receives IKorvantaHost,
// looks up the MIDI context, the transport notifier and the MIDI output, and
// listens to the transport. Lives inside the engine object, so it exists as
// long as the engine; the plug-in detaches it before releasing the engine.
#pragma once

#include <atomic>
#include <cstdint>

#include "IHostLink.h"
#include "IKorvantaHost.h"
#include "IMidiOut.h"
#include "MidiContext.h"
#include "MidiTransportListener.h"
#include "MidiTransportNotifier.h"

namespace engine {

class EngineHostLink : public IHostLink, public Korvanta::MidiTransportListener {
public:
    void attachHost(IKorvantaHost* host) override;
    void detachHost() override;

    void onTransportStart(int32_t tick) override;
    void onTransportStop(int32_t tick) override;
    void onCycle(int32_t startTick, int32_t endTick) override;

    Korvanta::MidiContext* midiContext() const { return context; }
    Korvanta::MidiTransportNotifier* transport() const { return notifier; }
    IMidiOut* midiOut() const { return output; }

    // Transport news since the last call, taken by the audio thread.
    enum Event : uint32_t { Started = 1, Stopped = 2, Cycled = 4 };
    uint32_t takeEvents() { return events.exchange(0); }

private:
    Korvanta::MidiContext* context = nullptr;
    Korvanta::MidiTransportNotifier* notifier = nullptr;
    IMidiOut* output = nullptr;
    std::atomic<uint32_t> events{0};
};

}  // namespace engine
