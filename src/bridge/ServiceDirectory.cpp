#include "bridge/ServiceDirectory.h"

#include <cstring>

#include "IKorvantaHost.h"

namespace bridge {

Service findService(const char* name)
{
    if (name == nullptr)
        return Service::None;
    if (std::strcmp(name, Korvanta::midiContextService) == 0)
        return Service::MidiContext;
    if (std::strcmp(name, Korvanta::midiTransportNotifierService) == 0)
        return Service::TransportNotifier;
    if (std::strcmp(name, Korvanta::midiOutService) == 0)
        return Service::MidiOut;
    return Service::None;
}

}  // namespace bridge
