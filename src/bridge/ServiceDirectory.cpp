#include "bridge/ServiceDirectory.h"

#include <cstring>

namespace bridge {

Service findService(const char* name)
{
    if (name == nullptr)
        return Service::None;
    if (std::strcmp(name, "Korvanta::MidiContext") == 0)
        return Service::MidiContext;
    if (std::strcmp(name, "Korvanta::MidiTransportNotifier") == 0)
        return Service::TransportNotifier;
    if (std::strcmp(name, "IMidiOut") == 0)
        return Service::MidiOut;
    return Service::None;
}

}  // namespace bridge
