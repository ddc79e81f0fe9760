#include "EngineHostLink.h"

namespace engine {

void EngineHostLink::attachHost(IKorvantaHost* host)
{
    detachHost();
    if (host == nullptr) {
        return;
    }
    context = static_cast<Korvanta::MidiContext*>(host->get_interface(Korvanta::midiContextService));
    notifier =
        static_cast<Korvanta::MidiTransportNotifier*>(host->get_interface(Korvanta::midiTransportNotifierService));
    output = static_cast<IMidiOut*>(host->get_interface(Korvanta::midiOutService));
    if (notifier != nullptr) {
        notifier->addListener(this);
    }
}

void EngineHostLink::detachHost()
{
    if (notifier != nullptr) {
        notifier->removeListener(this);
    }
    context = nullptr;
    notifier = nullptr;
    output = nullptr;
}

void EngineHostLink::onTransportStart(int32_t)
{
    events.fetch_or(Started);
}

void EngineHostLink::onTransportStop(int32_t)
{
    events.fetch_or(Stopped);
}

void EngineHostLink::onCycle(int32_t, int32_t)
{
    events.fetch_or(Cycled);
}

}  // namespace engine
