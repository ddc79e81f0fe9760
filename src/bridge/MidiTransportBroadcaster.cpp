#include "bridge/MidiTransportBroadcaster.h"

#include <algorithm>

namespace Korvanta {

// The walks go by index and re-read the size at every step, so a listener
// that adds or removes registrations from inside a notification neither
// invalidates the walk nor makes it read past the end. Nothing is copied,
// so a notification allocates nothing.

void MidiTransportBroadcaster::onTransportStart(int32_t tick)
{
    for (size_t i = 0; i < listeners.size(); ++i) {
        if (MidiTransportListener* listener = listeners[i])
            listener->onTransportStart(tick);
    }
}

void MidiTransportBroadcaster::onTransportStop(int32_t tick)
{
    for (size_t i = 0; i < listeners.size(); ++i) {
        if (MidiTransportListener* listener = listeners[i])
            listener->onTransportStop(tick);
    }
}

void MidiTransportBroadcaster::onCycle(int32_t startTick, int32_t endTick)
{
    for (size_t i = 0; i < listeners.size(); ++i) {
        if (MidiTransportListener* listener = listeners[i])
            listener->onCycle(startTick, endTick);
    }
}

MidiTransportBroadcaster::~MidiTransportBroadcaster() = default;

void MidiTransportBroadcaster::addListener(MidiTransportListener* listener)
{
    listeners.push_back(listener);
}

void MidiTransportBroadcaster::removeListener(MidiTransportListener* listener)
{
    auto found = std::find(listeners.rbegin(), listeners.rend(), listener);
    if (found != listeners.rend())
        listeners.erase(std::next(found).base());
}

}  // namespace Korvanta
